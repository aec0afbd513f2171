#include "InstrumentDial.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <numbers>

namespace ravo {

namespace {

// The scale runs clockwise from 225° (lower left) to −45° (lower right),
// in the mathematical sense, counterclockwise from three o'clock.
constexpr double kStartDeg = 225.0;
constexpr double kSweepDeg = -270.0;
constexpr int kMajorTicks = 10;
constexpr int kMinorPerMajor = 5;

QPointF onCircle(double radius, double degrees)
{
    const double rad = degrees * std::numbers::pi / 180.0;
    return {radius * std::cos(rad), -radius * std::sin(rad)};
}

double angleAt(double fraction)
{
    return kStartDeg + kSweepDeg * fraction;
}

} // namespace

InstrumentDial::InstrumentDial(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("imgDial"));
    setMinimumSize(96, 96);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void InstrumentDial::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double side = std::min(width(), height());
    p.translate(width() / 2.0, height() / 2.0);
    p.scale(side / 200.0, side / 200.0); // draw on a 200 × 200 face centred on 0,0

    // Bezel: a brushed metal ring.
    QRadialGradient bezel(QPointF(-30, -30), 130);
    bezel.setColorAt(0.0, QColor(0xf4, 0xf6, 0xf8));
    bezel.setColorAt(1.0, QColor(0x8a, 0x93, 0x9c));
    p.setPen(QPen(QColor(0x5b, 0x63, 0x6b), 2));
    p.setBrush(bezel);
    p.drawEllipse(QPointF(0, 0), 96, 96);

    // Face.
    QRadialGradient face(QPointF(0, -20), 100);
    face.setColorAt(0.0, Qt::white);
    face.setColorAt(1.0, QColor(0xe9, 0xed, 0xf1));
    p.setPen(QPen(QColor(0xb8, 0xbf, 0xc6), 1));
    p.setBrush(face);
    p.drawEllipse(QPointF(0, 0), 84, 84);

    // Tolerance bands: the last fifth of the scale in amber, then red.
    const QRectF bandRect(-70, -70, 140, 140);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xe0, 0xa1, 0x1b), 7, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(bandRect, int(angleAt(0.8) * 16), int(kSweepDeg * 0.1 * 16));
    p.setPen(QPen(QColor(0xc6, 0x28, 0x28), 7, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(bandRect, int(angleAt(0.9) * 16), int(kSweepDeg * 0.1 * 16));

    // Ticks and figures.
    QFont figures = font();
    figures.setPixelSize(15);
    p.setFont(figures);
    const int steps = kMajorTicks * kMinorPerMajor;
    for (int i = 0; i <= steps; ++i) {
        const double a = angleAt(double(i) / steps);
        const bool major = i % kMinorPerMajor == 0;
        p.setPen(QPen(QColor(0x26, 0x32, 0x3c), major ? 2.4 : 1.0, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(onCircle(major ? 62 : 68, a), onCircle(76, a));
        if (major && (i / kMinorPerMajor) % 2 == 0) {
            const QPointF c = onCircle(47, a);
            p.drawText(QRectF(c.x() - 14, c.y() - 9, 28, 18), Qt::AlignCenter,
                       QString::number(i / kMinorPerMajor));
        }
    }

    // Unit name under the hub.
    QFont unit = font();
    unit.setPixelSize(13);
    unit.setBold(true);
    p.setFont(unit);
    p.setPen(QColor(0x4a, 0x55, 0x60));
    p.drawText(QRectF(-40, 30, 80, 20), Qt::AlignCenter, QStringLiteral("RAVO"));

    // Needle, resting a little past the middle of the scale.
    const double needle = angleAt(0.62);
    QPainterPath path;
    path.moveTo(onCircle(72, needle));
    path.lineTo(onCircle(5, needle + 90));
    path.lineTo(onCircle(16, needle + 180));
    path.lineTo(onCircle(5, needle - 90));
    path.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xc6, 0x28, 0x28));
    p.drawPath(path);

    // Hub.
    QRadialGradient hub(QPointF(-2, -2), 10);
    hub.setColorAt(0.0, QColor(0x7a, 0x84, 0x8e));
    hub.setColorAt(1.0, QColor(0x26, 0x32, 0x3c));
    p.setBrush(hub);
    p.drawEllipse(QPointF(0, 0), 8, 8);
}

} // namespace ravo
