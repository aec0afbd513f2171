#include "Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

namespace ravo {

namespace {

QLinearGradient steel(const QPointF& from, const QPointF& to)
{
    QLinearGradient g(from, to);
    g.setColorAt(0.0, kSteelLight);
    g.setColorAt(0.5, QColor(0xc9, 0xcf, 0xd5));
    g.setColorAt(1.0, kSteelDark);
    return g;
}

void caption(QPainter& p, const QRectF& where, const QString& text)
{
    QFont f = p.font();
    f.setPixelSize(13);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0x1f, 0x4e, 0x8c));
    p.drawText(where, Qt::AlignHCenter | Qt::AlignTop, text);
}

// A vernier caliper lying across the box, jaws down on the left.
void paintCaliper(QPainter& p, const QRectF& box)
{
    const double x0 = box.left() + 6, x1 = box.right() - 4;
    const double beamTop = box.top() + 22, beamH = 16;
    p.setPen(QPen(kInk, 1));
    // Fixed jaw and beam.
    QPainterPath fixed;
    fixed.moveTo(x0, beamTop - 14);
    fixed.lineTo(x0 + 12, beamTop - 14);
    fixed.lineTo(x0 + 12, beamTop);
    fixed.lineTo(x1, beamTop);
    fixed.lineTo(x1, beamTop + beamH);
    fixed.lineTo(x0 + 12, beamTop + beamH);
    fixed.lineTo(x0 + 12, beamTop + beamH + 40);
    fixed.lineTo(x0 + 4, beamTop + beamH + 48);
    fixed.lineTo(x0, beamTop + beamH + 48);
    fixed.closeSubpath();
    p.setBrush(steel(QPointF(0, beamTop - 14), QPointF(0, beamTop + beamH + 48)));
    p.drawPath(fixed);
    // Main scale.
    for (int i = 0; i <= 24; ++i) {
        const double x = x0 + 16 + i * 4.0;
        if (x > x1 - 2)
            break;
        p.drawLine(QPointF(x, beamTop + beamH), QPointF(x, beamTop + beamH - (i % 5 == 0 ? 7 : 4)));
    }
    // Sliding jaw with its vernier window.
    const double sx = x0 + 46;
    QPainterPath slider;
    slider.moveTo(sx, beamTop - 14);
    slider.lineTo(sx + 40, beamTop - 14);
    slider.lineTo(sx + 40, beamTop + beamH + 10);
    slider.lineTo(sx + 10, beamTop + beamH + 10);
    slider.lineTo(sx + 10, beamTop + beamH + 40);
    slider.lineTo(sx + 4, beamTop + beamH + 48);
    slider.lineTo(sx, beamTop + beamH + 48);
    slider.closeSubpath();
    p.setBrush(steel(QPointF(sx, 0), QPointF(sx + 40, 0)));
    p.drawPath(slider);
    p.setBrush(QColor(0xfb, 0xfb, 0xf2));
    p.drawRect(QRectF(sx + 12, beamTop + beamH + 1, 26, 7));
    for (int i = 0; i <= 6; ++i)
        p.drawLine(QPointF(sx + 14 + i * 3.6, beamTop + beamH + 1), QPointF(sx + 14 + i * 3.6, beamTop + beamH + 5));
    // Thumb wheel.
    p.setBrush(kSteelDark);
    p.drawEllipse(QPointF(sx + 30, beamTop + beamH + 16), 4, 4);
}

// A glass thermometer standing upright in the middle of the box.
void paintThermometer(QPainter& p, const QRectF& box)
{
    const double cx = box.center().x();
    const double top = box.top() + 4, bottom = box.bottom() - 26;
    p.setPen(QPen(kInk, 1.2));
    // Backing board.
    p.setBrush(QColor(0xff, 0xfd, 0xf4));
    p.drawRoundedRect(QRectF(cx - 22, top, 44, bottom - top + 18), 6, 6);
    // Tube and bulb.
    p.setBrush(QColor(0xee, 0xf4, 0xfa));
    p.drawRoundedRect(QRectF(cx - 4, top + 6, 8, bottom - top - 6), 4, 4);
    QRadialGradient bulb(QPointF(cx - 2, bottom + 2), 10);
    bulb.setColorAt(0.0, QColor(0xf2, 0x6b, 0x6b));
    bulb.setColorAt(1.0, kNeedle);
    p.setBrush(bulb);
    p.drawEllipse(QPointF(cx, bottom + 4), 8, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(kNeedle);
    const double level = top + (bottom - top) * 0.38;
    p.drawRect(QRectF(cx - 2, level, 4, bottom - level));
    // Scale on both sides.
    p.setPen(QPen(kInk, 1));
    for (int i = 0; i <= 10; ++i) {
        const double y = top + 10 + (bottom - top - 16) * i / 10.0;
        const double len = i % 5 == 0 ? 8 : 5;
        p.drawLine(QPointF(cx - 6, y), QPointF(cx - 6 - len, y));
        p.drawLine(QPointF(cx + 6, y), QPointF(cx + 6 + len, y));
    }
}

// An outside micrometer: C frame, anvil, spindle, sleeve and thimble.
void paintMicrometer(QPainter& p, const QRectF& box)
{
    const double left = box.left() + 8, midY = box.top() + 30;
    p.setPen(QPen(kInk, 1.2));
    // Frame.
    QPainterPath frame;
    frame.moveTo(left, midY - 8);
    frame.lineTo(left, midY + 8);
    frame.cubicTo(left, midY + 52, left + 64, midY + 52, left + 64, midY + 8);
    frame.lineTo(left + 52, midY + 8);
    frame.cubicTo(left + 52, midY + 36, left + 12, midY + 36, left + 12, midY + 8);
    frame.lineTo(left + 12, midY - 8);
    frame.closeSubpath();
    QLinearGradient enamel(QPointF(0, midY), QPointF(0, midY + 48));
    enamel.setColorAt(0.0, QColor(0x5a, 0x8f, 0xd0));
    enamel.setColorAt(1.0, QColor(0x1f, 0x4e, 0x8c));
    p.setBrush(enamel);
    p.drawPath(frame);
    // Anvil and spindle.
    p.setBrush(steel(QPointF(0, midY - 4), QPointF(0, midY + 4)));
    p.drawRect(QRectF(left + 12, midY - 4, 10, 8));
    p.drawRect(QRectF(left + 30, midY - 4, 22, 8));
    // Sleeve with its line and ticks, then the thimble.
    p.drawRect(QRectF(left + 64, midY - 7, 30, 14));
    p.drawLine(QPointF(left + 64, midY), QPointF(left + 94, midY));
    for (int i = 0; i < 7; ++i)
        p.drawLine(QPointF(left + 67 + i * 4, midY), QPointF(left + 67 + i * 4, midY - (i % 2 ? 3 : 5)));
    p.setBrush(steel(QPointF(0, midY - 10), QPointF(0, midY + 10)));
    p.drawRoundedRect(QRectF(left + 94, midY - 10, 24, 20), 3, 3);
    for (int i = 1; i < 6; ++i)
        p.drawLine(QPointF(left + 94 + i * 4, midY - 10), QPointF(left + 94 + i * 4, midY + 10));
}

// A two-pan balance.
void paintBalance(QPainter& p, const QRectF& box)
{
    const double cx = box.center().x(), top = box.top() + 6;
    p.setPen(QPen(kInk, 1.4));
    // Column and foot.
    p.setBrush(steel(QPointF(cx - 4, 0), QPointF(cx + 4, 0)));
    p.drawRect(QRectF(cx - 3, top + 8, 6, 60));
    p.drawRoundedRect(QRectF(cx - 30, top + 68, 60, 8), 3, 3);
    // Beam, a little tilted.
    p.save();
    p.translate(cx, top + 10);
    p.rotate(-4);
    p.drawRect(QRectF(-52, -2, 104, 4));
    p.setBrush(kAmber);
    p.drawEllipse(QPointF(0, 0), 4, 4);
    // Strings and pans.
    for (int side : {-1, 1}) {
        const double x = side * 48.0;
        p.drawLine(QPointF(x, 0), QPointF(x - 14, 34));
        p.drawLine(QPointF(x, 0), QPointF(x + 14, 34));
        p.setBrush(steel(QPointF(0, 34), QPointF(0, 42)));
        QPainterPath pan;
        pan.moveTo(x - 18, 34);
        pan.lineTo(x + 18, 34);
        pan.quadTo(x, 48, x - 18, 34);
        p.drawPath(pan);
    }
    // A weight on the left pan.
    p.setBrush(QColor(0xb0, 0x8d, 0x57));
    p.drawRect(QRectF(-54, 26, 12, 8));
    p.restore();
    // Pointer.
    p.setPen(QPen(kNeedle, 2));
    p.drawLine(QPointF(cx, top + 10), QPointF(cx + 2, top + 40));
}

} // namespace

void paintApplicationIcon(QPainter& p, int size)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);
    QLinearGradient tile(QPointF(0, 16), QPointF(0, 240));
    tile.setColorAt(0.0, QColor(0x3a, 0x7b, 0xd5));
    tile.setColorAt(1.0, QColor(0x1a, 0x3f, 0x73));
    p.setPen(Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(12, 12, 232, 232), 44, 44);
    p.restore();
    paintGauge(p, QPointF(size / 2.0, size * 134.0 / 256.0), size * 100.0 / 256.0, 0.62, false);
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        paintApplicationIcon(p, size);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void paintLightBulb(QPainter& p, const QSizeF& box)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(box.width() / 100.0, box.height() / 120.0);
    // Rays.
    p.setPen(QPen(kAmber, 4, Qt::SolidLine, Qt::RoundCap));
    for (int a : {90, 135, 45, 180, 0}) {
        const QPointF c(50, 46);
        p.drawLine(c + onCircle(44, a), c + onCircle(52, a));
    }
    // Glass.
    QPainterPath glass;
    glass.moveTo(38, 78);
    glass.cubicTo(38, 66, 22, 60, 22, 44);
    glass.cubicTo(22, 26, 35, 16, 50, 16);
    glass.cubicTo(65, 16, 78, 26, 78, 44);
    glass.cubicTo(78, 60, 62, 66, 62, 78);
    glass.closeSubpath();
    QRadialGradient light(QPointF(44, 36), 40);
    light.setColorAt(0.0, QColor(0xff, 0xfb, 0xd6));
    light.setColorAt(0.7, QColor(0xff, 0xe0, 0x6a));
    light.setColorAt(1.0, QColor(0xf2, 0xb6, 0x2a));
    p.setPen(QPen(QColor(0xb0, 0x7d, 0x10), 2));
    p.setBrush(light);
    p.drawPath(glass);
    // Filament.
    p.setPen(QPen(QColor(0xc0, 0x60, 0x10), 2));
    p.setBrush(Qt::NoBrush);
    QPainterPath wire;
    wire.moveTo(44, 78);
    wire.lineTo(44, 56);
    wire.quadTo(47, 48, 50, 56);
    wire.quadTo(53, 48, 56, 56);
    wire.lineTo(56, 78);
    p.drawPath(wire);
    // Screw base.
    p.setPen(QPen(QColor(0x4a, 0x52, 0x5a), 1.5));
    p.setBrush(steel(QPointF(38, 0), QPointF(62, 0)));
    p.drawRoundedRect(QRectF(37, 78, 26, 22), 3, 3);
    for (int y : {84, 90, 96})
        p.drawLine(QPointF(37, y), QPointF(63, y - 2));
    p.setBrush(kInk);
    p.drawRoundedRect(QRectF(44, 100, 12, 6), 2, 2);
    p.restore();
}

void paintInstrumentColumn(QPainter& p, const QSizeF& box)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient back(QPointF(0, 0), QPointF(0, box.height()));
    back.setColorAt(0.0, QColor(0xf5, 0xf8, 0xfc));
    back.setColorAt(1.0, QColor(0xdc, 0xe6, 0xf2));
    p.fillRect(QRectF(QPointF(0, 0), box), back);

    struct Item {
        QString name;
        void (*paint)(QPainter&, const QRectF&);
    };
    const Item items[] = {
        {QStringLiteral("压力表"),
         [](QPainter& q, const QRectF& r) { paintGauge(q, QPointF(r.center().x(), r.top() + 46), 44, 0.62); }},
        {QStringLiteral("游标卡尺"), paintCaliper},
        {QStringLiteral("温度计"), paintThermometer},
        {QStringLiteral("千分尺"), paintMicrometer},
        {QStringLiteral("天平"), paintBalance},
    };
    const double slot = (box.height() - 24) / std::size(items);
    double y = 16;
    for (const Item& item : items) {
        const QRectF picture(8, y, box.width() - 16, slot - 30);
        item.paint(p, picture);
        caption(p, QRectF(0, y + slot - 28, box.width(), 20), item.name);
        y += slot;
    }
    p.restore();
}

} // namespace ravo
