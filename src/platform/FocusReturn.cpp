#include "FocusReturn.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>

namespace ravo {

bool FocusReturn::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Hide || !watched->isWidgetType())
        return false;
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (!dialog || !dialog->isWindow() || !dialog->parentWidget())
        return false;
    QWidget* owner = dialog->parentWidget()->window();
    QWidget* active = QApplication::activeWindow();
    // The activation still names the closing dialog until the server says
    // otherwise; another window that took it keeps it.
    if (owner->isVisible() && (!active || active == dialog))
        owner->activateWindow();
    return false;
}

} // namespace ravo
