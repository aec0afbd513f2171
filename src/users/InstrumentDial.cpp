#include "InstrumentDial.h"

#include "platform/Gauge.h"

#include <QPainter>

namespace ravo {

InstrumentDial::InstrumentDial(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("imgDial"));
    setMinimumSize(96, 96);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void InstrumentDial::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const double side = std::min(width(), height());
    const QPointF centre(width() / 2.0, height() / 2.0);
    paintGauge(p, centre, side / 2.0, 0.62);

    // The product's name under the hub, on the gauge's 100-unit face.
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(centre);
    p.scale(side / 200.0, side / 200.0);
    QFont unit = font();
    unit.setPixelSize(13);
    unit.setBold(true);
    p.setFont(unit);
    p.setPen(QColor(0x4a, 0x55, 0x60));
    p.drawText(QRectF(-40, 30, 80, 20), Qt::AlignCenter, QStringLiteral("RAVO"));
}

} // namespace ravo
