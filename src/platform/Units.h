#pragma once
// Window geometry is kept in twips (1/1440 inch); the screen works in pixels
// at 96 dpi, 15 twips a pixel. Colours are kept as COLORREF values
// (0x00BBGGRR, blue in the high byte).
#include <QColor>
#include <QtGlobal>

namespace ravo {

constexpr int TwipsPerPixel = 15;
// Far beyond any screen the result stays at ±10⁹ pixels instead of
// overflowing.
inline int twipsToPixels(double twips)
{
    return qRound(qBound(-1e9, twips / TwipsPerPixel, 1e9));
}
inline double pixelsToTwips(int pixels)
{
    return double(pixels) * TwipsPerPixel;
}

inline QColor fromColorRef(quint32 colorRef)
{
    return QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}
inline quint32 toColorRef(const QColor& c)
{
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}

} // namespace ravo
