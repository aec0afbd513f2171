#pragma once
// The keyboard goes back to the window a dialog was opened over.
//
// When a dialog closes, the window manager gives the activation back to the
// window below it; a bare X server (Xvfb, a kiosk session) gives it to
// nobody, and every key typed next is lost. Installed on the application,
// this filter activates a closing dialog's owner whenever nothing else took
// the activation, which on a desktop is what the window manager does anyway.
#include <QObject>

namespace ravo {

class FocusReturn : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace ravo
