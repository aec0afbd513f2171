#pragma once
// The window shown after sign-in while the main window loads: the product's
// logo, centred on the screen, and nothing to operate. Start-up shows it,
// paints it at once and closes it when the main window has loaded.
#include <QWidget>

namespace ravo {

class frmSplash : public QWidget {
    Q_OBJECT
public:
    frmSplash();

    // The logo picture.
    QWidget* picLogo = nullptr;

    // Shows the window and paints it before the main window starts loading.
    void showNow();
};

} // namespace ravo
