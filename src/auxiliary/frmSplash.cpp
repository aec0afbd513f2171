#include "frmSplash.h"

#include "Artwork.h"
#include "AuxTexts.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>

namespace ravo {

namespace {

// The logo: the gauge beside the product's name on a blue panel.
class Logo : public QWidget {
public:
    explicit Logo(QWidget* parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("picLogo"));
        setFixedSize(500, 260);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient g(0, 0, 0, height());
        g.setColorAt(0, QColor(0x2f, 0x6f, 0xc0));
        g.setColorAt(1, QColor(0x17, 0x3a, 0x6b));
        p.fillRect(rect(), g);
        p.setPen(QColor(0xff, 0xff, 0xff, 0x50));
        p.drawRect(rect().adjusted(0, 0, -1, -1));

        paintGauge(p, QPointF(120, 122), 86, 0.62);

        const QRect text(232, 40, width() - 252, height() - 80);
        p.setPen(Qt::white);
        QFont big = font();
        big.setPixelSize(54);
        big.setBold(true);
        p.setFont(big);
        p.drawText(QRect(text.left(), text.top(), text.width(), 66), Qt::AlignLeft | Qt::AlignVCenter, ProductName);
        QFont mid = font();
        mid.setPixelSize(22);
        p.setFont(mid);
        p.drawText(QRect(text.left(), text.top() + 70, text.width(), 32), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("计量器具管理系统"));
        QFont small = font();
        small.setPixelSize(13);
        p.setFont(small);
        p.setPen(QColor(0xdd, 0xe6, 0xf2));
        p.drawText(QRect(text.left(), text.top() + 106, text.width(), 20), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("版本 %1").arg(productVersion()));
        p.drawText(QRect(0, height() - 34, width(), 22), Qt::AlignCenter,
                   QStringLiteral("正在打开台帐数据库，请稍候……"));
    }
};

} // namespace

frmSplash::frmSplash() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setWindowTitle(ProductTitle);
    picLogo = new Logo(this);
    // The window is just the logo, placed so that the logo's middle is the
    // middle of the screen.
    resize(picLogo->size());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        move(s.left() + (s.width() - width()) / 2, s.top() + (s.height() - height()) / 2);
    }
}

void frmSplash::showNow()
{
    show();
    raise();
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace ravo
