#include "Gauge.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <numbers>

namespace ravo {

namespace {

// The scale runs clockwise from 225° (lower left) to −45° (lower right).
constexpr double kStartDeg = 225.0;
constexpr double kSweepDeg = -270.0;

double angleAt(double fraction)
{
    return kStartDeg + kSweepDeg * fraction;
}

} // namespace

QPointF onCircle(double radius, double degrees)
{
    const double rad = degrees * std::numbers::pi / 180.0;
    return {radius * std::cos(rad), -radius * std::sin(rad)};
}

void paintGauge(QPainter& p, const QPointF& centre, double radius, double fraction, bool figures)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(centre);
    p.scale(radius / 100.0, radius / 100.0); // a 100-unit face

    QRadialGradient bezel(QPointF(-30, -30), 130);
    bezel.setColorAt(0.0, kSteelLight);
    bezel.setColorAt(1.0, kSteelDark);
    p.setPen(QPen(QColor(0x4a, 0x52, 0x5a), 3));
    p.setBrush(bezel);
    p.drawEllipse(QPointF(0, 0), 98, 98);

    QRadialGradient face(QPointF(0, -20), 100);
    face.setColorAt(0.0, Qt::white);
    face.setColorAt(1.0, QColor(0xe6, 0xeb, 0xf0));
    p.setPen(QPen(QColor(0xb8, 0xbf, 0xc6), 1.5));
    p.setBrush(face);
    p.drawEllipse(QPointF(0, 0), 85, 85);

    const QRectF band(-70, -70, 140, 140);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kAmber, 9, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(band, int(angleAt(0.75) * 16), int(kSweepDeg * 0.12 * 16));
    p.setPen(QPen(kNeedle, 9, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(band, int(angleAt(0.87) * 16), int(kSweepDeg * 0.13 * 16));

    const int majors = 10, minors = 5;
    QFont f = p.font();
    f.setPixelSize(15);
    f.setBold(false);
    p.setFont(f);
    for (int i = 0; i <= majors * minors; ++i) {
        const double a = angleAt(double(i) / (majors * minors));
        const bool major = i % minors == 0;
        if (!major && radius < 24)
            continue; // too small to tell apart
        p.setPen(QPen(kInk, major ? 3.0 : 1.2, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(onCircle(major ? 60 : 67, a), onCircle(78, a));
        if (figures && major && (i / minors) % 2 == 0) {
            const QPointF c = onCircle(45, a);
            p.drawText(QRectF(c.x() - 14, c.y() - 9, 28, 18), Qt::AlignCenter, QString::number(i / minors));
        }
    }

    const double needle = angleAt(fraction);
    QPainterPath path;
    path.moveTo(onCircle(74, needle));
    path.lineTo(onCircle(6, needle + 90));
    path.lineTo(onCircle(18, needle + 180));
    path.lineTo(onCircle(6, needle - 90));
    path.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kNeedle);
    p.drawPath(path);

    QRadialGradient hub(QPointF(-3, -3), 12);
    hub.setColorAt(0.0, QColor(0x7a, 0x84, 0x8e));
    hub.setColorAt(1.0, kInk);
    p.setBrush(hub);
    p.drawEllipse(QPointF(0, 0), 10, 10);
    p.restore();
}

} // namespace ravo
