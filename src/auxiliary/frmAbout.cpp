#include "frmAbout.h"

#include "Artwork.h"
#include "AuxTexts.h"
#include "platform/Units.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace ravo {

namespace {

const QString kDescription =
    QStringLiteral("RAVO 用于管理计量部门的计量器具台帐，贯穿器具的整个寿命：购入待发放、发放使用、封存、报废直至注销。"
                   "它同时保存每台器具的检定确认记录和修理记录、计量室的环境状况记录，"
                   "按期提醒到期的器具，编制检定计划，并可按任意条件查询和打印台帐。");
const QString kDisclaimer =
    QStringLiteral("警告：本软件按“现状”提供，不附带任何明示或暗示的担保。台帐数据由使用单位录入并负责核对；"
                   "请定期备份数据库文件 ravo.mdb。因使用本软件或无法使用本软件而造成的任何损失，作者不承担责任。");

// The frame in which the picture scrolls.
constexpr int kFrameWidth = 150;
constexpr int kFrameHeight = 250;

class InstrumentColumn : public QWidget {
public:
    explicit InstrumentColumn(QWidget* parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("Image3"));
        // Tall enough that at its last position it still fills the frame.
        resize(kFrameWidth + 6, twipsToPixels(-frmAbout::StopBelow) + kFrameHeight + 2);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        paintInstrumentColumn(p, size());
    }
};

} // namespace

frmAbout::frmAbout(ProgramState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("关于 ") + ProductName);
    createLayout();
}

void frmAbout::createLayout()
{
    picScroll = new QFrame(this);
    picScroll->setObjectName(QStringLiteral("picScroll"));
    static_cast<QFrame*>(picScroll)->setFrameShape(QFrame::NoFrame);
    picScroll->setFixedSize(kFrameWidth, kFrameHeight);
    Image3 = new InstrumentColumn(picScroll);
    placeImage();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(40);
    connect(Timer1, &QTimer::timeout, this, &frmAbout::Timer1_Timer);

    lblTitle = new QLabel(ProductTitle, this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont title = lblTitle->font();
    title.setPointSizeF(title.pointSizeF() * 1.6);
    title.setBold(true);
    lblTitle->setFont(title);

    lblVersion = new QLabel(QStringLiteral("版本 ") + productVersion(), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));

    lblDescription = new QLabel(kDescription, this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    lblDisclaimer = new QLabel(kDisclaimer, this);
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setWordWrap(true);
    QFont small = lblDisclaimer->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    lblDisclaimer->setFont(small);
    lblDisclaimer->setForegroundRole(QPalette::PlaceholderText);

    cmdOK = new QPushButton(QStringLiteral("确定(&O)"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::accept);
    cmdSysInfo = new QPushButton(QStringLiteral("系统信息(&S)..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);

    auto* texts = new QVBoxLayout;
    texts->addWidget(lblTitle);
    texts->addWidget(lblVersion);
    texts->addSpacing(10);
    texts->addWidget(lblDescription);
    texts->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addWidget(picScroll, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(texts, 1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    buttons->addStretch(1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblDisclaimer, 1);
    bottom->addSpacing(12);
    bottom->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(line);
    layout->addLayout(bottom);
    setFixedWidth(600);
}

void frmAbout::placeImage()
{
    Image3->move(twipsToPixels(StartLeft), twipsToPixels(m_top));
}

void frmAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    // Every showing starts the picture from the beginning.
    m_top = StartTop;
    placeImage();
    Timer1->start();
}

void frmAbout::Timer1_Timer()
{
    m_top -= Step;
    placeImage();
    if (m_top < StopBelow)
        Timer1->stop();
}

void frmAbout::StartSysInfo()
{
    std::optional<SystemInfo> info = m_source ? m_source() : std::nullopt;
    if (!info || info->isEmpty()) {
        m_state.prompt.error(SysInfoUnavailable, AppTitle);
        return;
    }
    info->append({QStringLiteral("台帐数据库"), m_state.databasePath()});
    SystemInfoDialog dialog(*info, this);
    dialog.exec();
}

} // namespace ravo
