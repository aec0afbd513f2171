#pragma once
// The pictures of the program, drawn in code so that they stay sharp at any
// size and need no image files: the gauge that is the product's mark (the
// application icon, the splash), the light bulb of the tip window and the
// column of instruments that scrolls through the About box.
#include <QIcon>
#include <QPointF>
#include <QSize>

class QPainter;

namespace ravo {

// A pointer gauge centred on `centre`: bezel, face, scale with an amber and
// a red band at its end, and the needle at `fraction` (0 … 1) of the scale.
// With `figures` the major ticks carry numbers.
void paintGauge(QPainter& p, const QPointF& centre, double radius, double fraction, bool figures = true);

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
