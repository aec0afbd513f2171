#pragma once
// The pictures of the program, drawn in code so that they stay sharp at any
// size and need no image files: the application icon (the gauge that is the
// product's mark, platform/Gauge.h, on a tile), the light bulb of the tip
// window and the column of instruments that scrolls through the About box.
#include "platform/Gauge.h"

#include <QIcon>
#include <QSize>

class QPainter;

namespace ravo {

// The application icon at one size: the gauge on a rounded blue tile (the
// same picture as resources/icons/ravo.svg).
void paintApplicationIcon(QPainter& p, int size);
// The icon at the usual sizes, for QApplication::setWindowIcon.
QIcon applicationIcon();

// A light bulb in a box of the given size, its top-left corner at 0, 0.
void paintLightBulb(QPainter& p, const QSizeF& box);

// The About box's picture: a column of measuring instruments with their
// names, width × height as given.
void paintInstrumentColumn(QPainter& p, const QSizeF& box);

} // namespace ravo
