#pragma once
// Window geometry is kept in twips (1/1440 inch); the screen works in pixels
// at 96 dpi, 15 twips a pixel. Colours are kept as COLORREF values
// (0x00BBGGRR, blue in the high byte).
#include <QColor>
#include <QtGlobal>

namespace ravo {

constexpr int TwipsPerPixel = 15;
inline int twipsToPixels(double twips) { return qRound(twips / TwipsPerPixel); }
inline double pixelsToTwips(int pixels) { return double(pixels) * TwipsPerPixel; }

inline QColor fromColorRef(quint32 colorRef)
{
    return QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}
inline quint32 toColorRef(const QColor& c)
{
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}

} // namespace ravo
