#pragma once
// A small frameless window with the product's name, shown while the main
// window loads.
#include <QWidget>

namespace ravo {

class PlainSplash : public QWidget {
    Q_OBJECT
public:
    PlainSplash();
    // Shows the window and paints it at once, before the event loop runs.
    void showNow();

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace ravo
