#include "SplitterHandle.h"

#include "platform/Units.h"

#include <QMouseEvent>

namespace ravo {

SplitterHandle::SplitterHandle(QWidget* parent) : QWidget(parent)
{
    setCursor(Qt::SplitHCursor);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
}

void SplitterHandle::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit pressed();
    event->accept();
}

void SplitterHandle::mouseMoveEvent(QMouseEvent* event)
{
    emit moved(int(pixelsToTwips(qRound(event->position().x()))));
    event->accept();
}

void SplitterHandle::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit released();
    event->accept();
}

} // namespace ravo
