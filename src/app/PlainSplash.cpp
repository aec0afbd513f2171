#include "PlainSplash.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace ravo {

PlainSplash::PlainSplash()
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(420, 220);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void PlainSplash::showNow()
{
    show();
    raise();
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void PlainSplash::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, height());
    g.setColorAt(0, QColor(0x2F, 0x6F, 0xC0));
    g.setColorAt(1, QColor(0x1A, 0x3F, 0x73));
    p.fillRect(rect(), g);
    p.setPen(QColor(0xFF, 0xFF, 0xFF, 0x60));
    p.drawRect(rect().adjusted(0, 0, -1, -1));

    p.setPen(Qt::white);
    QFont big = font();
    big.setPointSize(34);
    big.setBold(true);
    p.setFont(big);
    p.drawText(QRect(0, 30, width(), 70), Qt::AlignCenter, QStringLiteral("RAVO"));
    QFont mid = font();
    mid.setPointSize(15);
    p.setFont(mid);
    p.drawText(QRect(0, 100, width(), 36), Qt::AlignCenter, QStringLiteral("计量器具管理系统"));
    QFont small = font();
    small.setPointSize(9);
    p.setFont(small);
    p.setPen(QColor(0xDD, 0xE6, 0xF2));
    p.drawText(QRect(0, height() - 40, width(), 24), Qt::AlignCenter, QStringLiteral("正在打开台帐数据库，请稍候……"));
}

} // namespace ravo
