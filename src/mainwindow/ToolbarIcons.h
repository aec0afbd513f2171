#pragma once
// The pictures of the main window's toolbar buttons, drawn in code so that
// they stay sharp at every size.
#include <QIcon>
#include <QString>

namespace ravo {

// The picture of the toolbar button with this key; an empty icon for a key
// the toolbar does not have.
QIcon toolbarIcon(const QString& key);

} // namespace ravo
