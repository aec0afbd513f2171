#pragma once
// The pointer gauge that is the product's mark, drawn in code so that it
// stays sharp at any size: the application icon, the splash, the About box's
// picture and the sign-in window all show this one drawing.
#include <QColor>
#include <QPointF>

class QPainter;

namespace ravo {

// The colours the program's pictures share.
inline const QColor kInk(0x26, 0x32, 0x3c);
inline const QColor kSteelLight(0xf2, 0xf4, 0xf6);
inline const QColor kSteelDark(0x8a, 0x93, 0x9c);
inline const QColor kNeedle(0xc6, 0x28, 0x28);
inline const QColor kAmber(0xe0, 0xa1, 0x1b);

// The point at `degrees` (counterclockwise from three o'clock) on a circle
// round 0, 0, with y growing downwards as on the screen.
QPointF onCircle(double radius, double degrees);

// A pointer gauge centred on `centre`: bezel, face, scale with an amber and
// a red band at its end, and the needle at `fraction` (0 … 1) of the scale.
// With `figures` the major ticks carry numbers.
void paintGauge(QPainter& p, const QPointF& centre, double radius, double fraction, bool figures = true);

} // namespace ravo
