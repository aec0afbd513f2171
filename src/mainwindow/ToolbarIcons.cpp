#include "ToolbarIcons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <functional>

namespace ravo {

namespace {

// Every picture is drawn on a 32 × 32 grid.
using Drawing = std::function<void(QPainter&)>;

const QColor Ink(0x33, 0x33, 0x33);
const QColor Paper(0xFF, 0xFF, 0xFF);
const QColor Steel(0x8A, 0x94, 0x9E);
const QColor Blue(0x2F, 0x6F, 0xC0);
const QColor Green(0x2E, 0x9E, 0x4F);
const QColor Red(0xD0, 0x3A, 0x2F);
const QColor Amber(0xE8, 0xA3, 0x17);
const QColor Tan(0xC8, 0x96, 0x5A);

QPen pen(const QColor& c, qreal w = 1.5)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void sheet(QPainter& p, const QRectF& r)
{
    p.setPen(pen(Ink, 1.2));
    p.setBrush(Paper);
    p.drawRoundedRect(r, 1.5, 1.5);
}

void lines(QPainter& p, qreal x1, qreal x2, qreal y, int count, qreal step, const QColor& c = Steel)
{
    p.setPen(pen(c, 1.5));
    for (int i = 0; i < count; ++i)
        p.drawLine(QPointF(x1, y + i * step), QPointF(x2, y + i * step));
}

void magnifier(QPainter& p, const QPointF& centre, qreal radius)
{
    p.setPen(QPen(QColor(0x6B, 0x4A, 0x2B), radius * 0.55, Qt::SolidLine, Qt::RoundCap));
    const QPointF handle = centre + QPointF(radius * 0.75, radius * 0.75);
    p.drawLine(handle, handle + QPointF(radius * 0.9, radius * 0.9));
    p.setPen(pen(Ink, 1.8));
    QRadialGradient glass(centre - QPointF(radius / 3, radius / 3), radius * 1.3);
    glass.setColorAt(0, QColor(0xE6, 0xF2, 0xFF));
    glass.setColorAt(1, QColor(0x8F, 0xC1, 0xF0));
    p.setBrush(glass);
    p.drawEllipse(centre, radius, radius);
}

void printer(QPainter& p)
{
    // Paper coming out on top, the body, the tray.
    sheet(p, QRectF(9, 3, 14, 11));
    p.setPen(pen(Ink, 1.2));
    QLinearGradient body(0, 12, 0, 24);
    body.setColorAt(0, QColor(0xB8, 0xC0, 0xC8));
    body.setColorAt(1, QColor(0x78, 0x82, 0x8C));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(3, 12, 26, 11), 2, 2);
    p.setBrush(Paper);
    p.drawRect(QRectF(8, 20, 16, 8));
    p.setPen(Qt::NoPen);
    p.setBrush(Green);
    p.drawEllipse(QPointF(25, 15.5), 1.3, 1.3);
}

void drawQuery(QPainter& p)
{
    sheet(p, QRectF(4, 3, 17, 22));
    lines(p, 7, 18, 8, 4, 3.5);
    magnifier(p, QPointF(18, 17), 6);
    // The wizard's spark.
    p.setPen(pen(Amber, 1.6));
    const QPointF s(26, 6);
    p.drawLine(s + QPointF(-3.5, 0), s + QPointF(3.5, 0));
    p.drawLine(s + QPointF(0, -3.5), s + QPointF(0, 3.5));
    p.drawLine(s + QPointF(-2.2, -2.2), s + QPointF(2.2, 2.2));
    p.drawLine(s + QPointF(-2.2, 2.2), s + QPointF(2.2, -2.2));
}

void drawEnvironment(QPainter& p)
{
    // Thermometer and a water drop: temperature and humidity.
    p.setPen(pen(Ink, 1.3));
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(7, 3, 7, 20), 3.5, 3.5);
    p.setBrush(Red);
    p.drawEllipse(QPointF(10.5, 25), 5, 5);
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(9.3, 10, 2.4, 13));
    p.setPen(pen(Ink, 1));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(14, 7 + i * 4), QPointF(16, 7 + i * 4));
    QPainterPath drop;
    drop.moveTo(24, 9);
    drop.cubicTo(24, 9, 30, 17, 30, 21);
    drop.arcTo(QRectF(18, 15, 12, 12), 0, -180);
    drop.cubicTo(18, 17, 24, 9, 24, 9);
    p.setPen(pen(Ink, 1.2));
    p.setBrush(QColor(0x4A, 0x9B, 0xE8));
    p.drawPath(drop);
}

void box(QPainter& p, const QColor& colour)
{
    p.setPen(pen(Ink, 1.2));
    p.setBrush(colour.lighter(115));
    QPolygonF lid;
    lid << QPointF(4, 11) << QPointF(10, 5) << QPointF(28, 5) << QPointF(22, 11);
    p.drawPolygon(lid);
    p.setBrush(colour);
    p.drawRect(QRectF(4, 11, 18, 17));
    p.setBrush(colour.darker(120));
    QPolygonF side;
    side << QPointF(22, 11) << QPointF(28, 5) << QPointF(28, 22) << QPointF(22, 28);
    p.drawPolygon(side);
}

void drawStock(QPainter& p)
{
    box(p, Tan);
    // The arrow of an item waiting to go out.
    p.setPen(pen(Blue, 2.4));
    p.drawLine(QPointF(8, 20), QPointF(17, 20));
    p.drawLine(QPointF(14, 16.5), QPointF(17.5, 20));
    p.drawLine(QPointF(14, 23.5), QPointF(17.5, 20));
}

void drawInUse(QPainter& p)
{
    // A dial gauge: an instrument at work.
    p.setPen(pen(Ink, 1.4));
    QRadialGradient face(QPointF(14, 13), 14);
    face.setColorAt(0, Paper);
    face.setColorAt(1, QColor(0xDD, 0xE6, 0xEE));
    p.setBrush(face);
    p.drawEllipse(QPointF(16, 17), 12, 12);
    p.setPen(pen(Green, 2.6));
    p.drawArc(QRectF(6.5, 7.5, 19, 19), 210 * 16, -240 * 16);
    p.setPen(pen(Ink, 1));
    for (int i = 0; i <= 6; ++i) {
        const double a = (210 - i * 40) * M_PI / 180;
        p.drawLine(QPointF(16 + 7 * std::cos(a), 17 - 7 * std::sin(a)),
                   QPointF(16 + 9 * std::cos(a), 17 - 9 * std::sin(a)));
    }
    p.setPen(pen(Red, 2));
    p.drawLine(QPointF(16, 17), QPointF(22, 11.5));
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawEllipse(QPointF(16, 17), 1.8, 1.8);
    p.setBrush(Steel);
    p.drawRect(QRectF(14, 2, 4, 3));
}

void drawSealed(QPainter& p)
{
    box(p, QColor(0xA8, 0xB4, 0xBF));
    // The padlock that seals it.
    p.setPen(pen(Ink, 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(9, 12, 8, 9), 0, 180 * 16);
    p.drawLine(QPointF(9, 16.5), QPointF(9, 18));
    p.drawLine(QPointF(17, 16.5), QPointF(17, 18));
    p.setPen(pen(Ink, 1.1));
    p.setBrush(Amber);
    p.drawRoundedRect(QRectF(7, 18, 12, 9), 1.5, 1.5);
    p.setBrush(Ink);
    p.drawEllipse(QPointF(13, 22), 1.2, 1.2);
}

void drawScrapped(QPainter& p)
{
    // A waste bin.
    p.setPen(pen(Ink, 1.3));
    p.setBrush(Steel);
    p.drawRoundedRect(QRectF(5, 6, 22, 4), 1, 1);
    p.drawRect(QRectF(13, 3, 6, 3));
    QPolygonF bin;
    bin << QPointF(7, 10) << QPointF(25, 10) << QPointF(23, 29) << QPointF(9, 29);
    QLinearGradient g(7, 0, 25, 0);
    g.setColorAt(0, QColor(0xC9, 0xD1, 0xD8));
    g.setColorAt(1, QColor(0x8A, 0x94, 0x9E));
    p.setBrush(g);
    p.drawPolygon(bin);
    p.setPen(pen(Red, 2.4));
    p.drawLine(QPointF(11.5, 15), QPointF(20.5, 24));
    p.drawLine(QPointF(20.5, 15), QPointF(11.5, 24));
}

void drawConfirmation(QPainter& p)
{
    sheet(p, QRectF(5, 2, 20, 27));
    lines(p, 9, 21, 8, 3, 4);
    // The tick of a confirmed calibration.
    p.setPen(QPen(Green, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF() << QPointF(13, 22) << QPointF(18, 27) << QPointF(29, 14));
}

void drawRepair(QPainter& p)
{
    // A wrench across a screwdriver.
    p.setPen(pen(Ink, 1.2));
    p.setBrush(QColor(0xE0, 0x5A, 0x3A));
    p.save();
    p.translate(16, 16);
    p.rotate(45);
    p.drawRoundedRect(QRectF(-2, 2, 4, 11), 1.5, 1.5);
    p.setBrush(Steel);
    p.drawRect(QRectF(-0.9, -13, 1.8, 15));
    p.restore();
    p.save();
    p.translate(16, 16);
    p.rotate(-45);
    QPainterPath wrench;
    wrench.addRoundedRect(QRectF(-2.2, -8, 4.4, 20), 2, 2);
    QPainterPath head;
    head.addEllipse(QPointF(0, -10), 6, 6);
    QPainterPath jaw;
    jaw.addRect(QRectF(-2.2, -17, 4.4, 8));
    p.setBrush(QColor(0x9A, 0xA5, 0xB0));
    p.drawPath(wrench.united(head).subtracted(jaw));
    p.restore();
}

void drawDue(QPainter& p)
{
    // An alarm clock.
    p.setPen(pen(Ink, 1.3));
    p.setBrush(Red);
    p.drawEllipse(QPointF(7, 7), 4, 4);
    p.drawEllipse(QPointF(25, 7), 4, 4);
    p.setPen(pen(Ink, 1.8));
    p.drawLine(QPointF(10, 27), QPointF(8, 30));
    p.drawLine(QPointF(22, 27), QPointF(24, 30));
    p.setPen(pen(Ink, 1.3));
    p.setBrush(Paper);
    p.drawEllipse(QPointF(16, 18), 11, 11);
    p.setPen(pen(Ink, 2));
    p.drawLine(QPointF(16, 18), QPointF(16, 11));
    p.drawLine(QPointF(16, 18), QPointF(21, 20));
}

void drawPlan(QPainter& p)
{
    // A calendar page.
    p.setPen(pen(Ink, 1.2));
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(3, 5, 26, 24), 2, 2);
    p.setBrush(Red);
    p.drawRoundedRect(QRectF(3, 5, 26, 7), 2, 2);
    p.setPen(pen(Ink, 1.8));
    p.drawLine(QPointF(9, 3), QPointF(9, 8));
    p.drawLine(QPointF(23, 3), QPointF(23, 8));
    p.setPen(Qt::NoPen);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) {
            p.setBrush(r == 1 && c == 2 ? Blue : Steel);
            p.drawRect(QRectF(6 + c * 5.6, 14.5 + r * 4.6, 3.4, 3));
        }
}

void drawPrintLedger(QPainter& p)
{
    printer(p);
    // A table on the printed page.
    p.setPen(pen(Blue, 1));
    p.drawLine(QPointF(11, 6), QPointF(21, 6));
    p.drawLine(QPointF(11, 9), QPointF(21, 9));
    p.drawLine(QPointF(15, 4.5), QPointF(15, 11));
    p.setPen(pen(Steel, 1.2));
    p.drawLine(QPointF(10, 23), QPointF(22, 23));
    p.drawLine(QPointF(10, 25.5), QPointF(22, 25.5));
}

void drawPrintResult(QPainter& p)
{
    printer(p);
    p.setPen(pen(Steel, 1.2));
    p.drawLine(QPointF(10, 23), QPointF(19, 23));
    p.drawLine(QPointF(10, 25.5), QPointF(17, 25.5));
    magnifier(p, QPointF(23.5, 7), 4.2);
}

void drawOptions(QPainter& p)
{
    // A gear.
    QPainterPath gear;
    const QPointF c(16, 16);
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const double a0 = (i - 0.5) * M_PI / teeth;
        const double a1 = (i + 0.5) * M_PI / teeth;
        const double r = i % 2 ? 10.5 : 14;
        const QPointF p0 = c + QPointF(r * std::cos(a0), r * std::sin(a0));
        const QPointF p1 = c + QPointF(r * std::cos(a1), r * std::sin(a1));
        if (i == 0)
            gear.moveTo(p0);
        else
            gear.lineTo(p0);
        gear.lineTo(p1);
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(c, 4.5, 4.5);
    p.setPen(pen(Ink, 1.2));
    QRadialGradient g(QPointF(12, 12), 18);
    g.setColorAt(0, QColor(0xC5, 0xCE, 0xD6));
    g.setColorAt(1, QColor(0x6E, 0x7A, 0x86));
    p.setBrush(g);
    p.drawPath(gear.subtracted(hole));
}

void drawExit(QPainter& p)
{
    // An open door and the arrow out of it.
    p.setPen(pen(Ink, 1.3));
    p.setBrush(QColor(0xEE, 0xEE, 0xEE));
    p.drawRect(QRectF(4, 3, 15, 26));
    QPolygonF door;
    door << QPointF(4, 3) << QPointF(13, 6) << QPointF(13, 31) << QPointF(4, 29);
    p.setBrush(QColor(0x9C, 0x6B, 0x3E));
    p.drawPolygon(door);
    p.setBrush(Amber);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(11, 18), 1.2, 1.2);
    p.setPen(pen(Green, 3));
    p.drawLine(QPointF(17, 16), QPointF(29, 16));
    p.drawLine(QPointF(24.5, 11.5), QPointF(29, 16));
    p.drawLine(QPointF(24.5, 20.5), QPointF(29, 16));
}

Drawing drawingFor(const QString& key)
{
    static const QHash<QString, Drawing> drawings = {
        {QStringLiteral("查询向导"), drawQuery},        {QStringLiteral("环境记录"), drawEnvironment},
        {QStringLiteral("待发放库"), drawStock},        {QStringLiteral("在用库"), drawInUse},
        {QStringLiteral("封存库"), drawSealed},         {QStringLiteral("报废库"), drawScrapped},
        {QStringLiteral("确认记录"), drawConfirmation}, {QStringLiteral("修理记录"), drawRepair},
        {QStringLiteral("到期设备"), drawDue},          {QStringLiteral("检定计划"), drawPlan},
        {QStringLiteral("打印台帐"), drawPrintLedger},  {QStringLiteral("打印检索结果"), drawPrintResult},
        {QStringLiteral("系统选项"), drawOptions},      {QStringLiteral("退出系统"), drawExit},
    };
    return drawings.value(key);
}

QPixmap render(const Drawing& draw, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    draw(p);
    return pm;
}

QPixmap greyed(const QPixmap& pm)
{
    QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int g = qGray(line[x]) / 2 + 110;
            line[x] = qRgba(g, g, g, qAlpha(line[x]) / 2);
        }
    }
    return QPixmap::fromImage(img);
}

} // namespace

QIcon toolbarIcon(const QString& key)
{
    const Drawing draw = drawingFor(key);
    if (!draw)
        return {};
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        const QPixmap pm = render(draw, size);
        icon.addPixmap(pm, QIcon::Normal);
        icon.addPixmap(greyed(pm), QIcon::Disabled);
    }
    return icon;
}

} // namespace ravo
