#include "StatusPanels.h"

#include <QEvent>
#include <QLabel>
#include <algorithm>

namespace ravo {

namespace {

constexpr int Gap = 2; // pixels between two panels

} // namespace

StatusPanels::StatusPanels(const QString& barName, QWidget* parent) : QWidget(parent)
{
    // Only the room the bar has: never a reason for a wider window.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    for (int i = 1; i <= 4; ++i) {
        auto* panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("%1.Panels(%2)").arg(barName).arg(i));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setContentsMargins(4, 0, 4, 0);
        m_panels.append(panel);
    }
}

QSize StatusPanels::sizeHint() const
{
    int width = Gap * int(m_panels.size() - 1);
    int height = 0;
    for (const QLabel* p : m_panels) {
        width += p->sizeHint().width();
        height = std::max(height, p->sizeHint().height());
    }
    return {width, height};
}

QSize StatusPanels::minimumSizeHint() const
{
    return {0, sizeHint().height()};
}

void StatusPanels::arrange()
{
    auto want = [this](int number) { return panel(number)->sizeHint().width(); };
    int room = width();
    // The counter first, whole if it fits at all.
    const int counter = std::min(want(1), room);
    room = std::max(0, room - counter - Gap);
    // Then the date and the time, shrinking alike when both do not fit.
    int date = want(3);
    int time = want(4);
    const int clockRoom = std::max(0, room - 2 * Gap);
    if (date + time > clockRoom) {
        date = clockRoom * date / std::max(1, date + time);
        time = clockRoom - date;
    }
    // The greeting takes what is left.
    const int greeting = std::max(0, room - date - time - 2 * Gap);

    const int h = height();
    int x = 0;
    for (const auto& [number, w] : {std::pair{1, counter}, {2, greeting}, {3, date}, {4, time}}) {
        panel(number)->setGeometry(x, 0, w, h);
        panel(number)->setVisible(w > 0);
        x += w + Gap;
    }
}

bool StatusPanels::event(QEvent* event)
{
    // A panel's new text asks for another width.
    if (event->type() == QEvent::LayoutRequest)
        arrange();
    return QWidget::event(event);
}

void StatusPanels::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrange();
}

} // namespace ravo
