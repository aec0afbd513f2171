#include "frmTip.h"

#include "Artwork.h"
#include "core/Options.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStringDecoder>
#include <QVBoxLayout>

namespace ravo {

namespace {

class BulbPicture : public QWidget {
public:
    explicit BulbPicture(QWidget* parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("imgTip"));
        setFixedSize(70, 84);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        paintLightBulb(p, size());
    }
};

QString decodeTipFile(QByteArray bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder chinese("GB18030");
    if (chinese.isValid())
        return chinese(bytes);
    return QString::fromLocal8Bit(bytes);
}

} // namespace

QStringList tipsOf(const QByteArray& contents)
{
    const QString text = decodeTipFile(contents);
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(line);
            line.clear();
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else {
            line.append(c);
        }
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

QString frmTip::missingFileText()
{
    return QStringLiteral("文件 ") + TipFileName + QStringLiteral(" 没有被找到吗? ") + QStringLiteral("\r\n\r\n")
        + QStringLiteral("创建文本文件名为 ") + TipFileName + QStringLiteral(" 使用记事本每行写一条提示。 ")
        + QStringLiteral("然后将它存放在应用程序所在的目录 ");
}

frmTip::frmTip(ProgramState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmTip"));
    setWindowTitle(QStringLiteral("日积月累"));
    createLayout();

    if (m_state.ShowTipsAtStartup == 0) {
        m_closeAtOnce = true;
        return;
    }
    chkLoadTipsAtStartup->setChecked(true);
    m_random.seed(quint32(QDateTime::currentMSecsSinceEpoch()));
    if (!LoadTips(m_state.appDir + QLatin1Char('/') + TipFileName))
        lblTipText->setText(missingFileText());
}

void frmTip::createLayout()
{
    auto* picture = new BulbPicture(this);

    auto* heading = new QLabel(QStringLiteral("您知道吗..."), this);
    heading->setObjectName(QStringLiteral("lblTipsHeading"));
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    heading->setFont(bold);

    lblTipText = new QLabel(this);
    lblTipText->setObjectName(QStringLiteral("lblTipText"));
    lblTipText->setTextFormat(Qt::PlainText);
    lblTipText->setWordWrap(true);
    lblTipText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblTipText->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // The tip stands on a white sheet beside the bulb.
    auto* sheet = new QFrame(this);
    sheet->setObjectName(QStringLiteral("fraTip"));
    sheet->setFrameShape(QFrame::StyledPanel);
    sheet->setAutoFillBackground(true);
    QPalette pal = sheet->palette();
    pal.setColor(QPalette::Window, Qt::white);
    sheet->setPalette(pal);
    sheet->setFixedSize(400, 190);
    auto* sheetLayout = new QVBoxLayout(sheet);
    sheetLayout->addWidget(heading);
    sheetLayout->addSpacing(6);
    sheetLayout->addWidget(lblTipText, 1);

    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addWidget(sheet, 1);

    chkLoadTipsAtStartup = new QCheckBox(QStringLiteral("在启动时显示提示(&S)"), this);
    chkLoadTipsAtStartup->setObjectName(QStringLiteral("chkLoadTipsAtStartup"));
    connect(chkLoadTipsAtStartup, &QCheckBox::clicked, this, &frmTip::startupToggled);

    cmdNextTip = new QPushButton(QStringLiteral("下一条提示(&N)"), this);
    cmdNextTip->setObjectName(QStringLiteral("cmdNextTip"));
    connect(cmdNextTip, &QPushButton::clicked, this, &frmTip::pickTip);
    cmdOK = new QPushButton(QStringLiteral("确定"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmTip::accept);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(chkLoadTipsAtStartup);
    bottom->addStretch(1);
    bottom->addWidget(cmdNextTip);
    bottom->addWidget(cmdOK);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool frmTip::LoadTips(const QString& sFile)
{
    if (sFile.isEmpty() || !QFileInfo(sFile).isFile())
        return false;
    QFile file(sFile);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    m_tips = tipsOf(file.readAll());
    pickTip();
    return true;
}

void frmTip::pickTip()
{
    if (m_tips.isEmpty())
        return;
    CurrentTip = int(m_random.generateDouble() * m_tips.size()) + 1;
    DisplayCurrentTip();
}

void frmTip::DisplayCurrentTip()
{
    if (!m_tips.isEmpty() && CurrentTip >= 1 && CurrentTip <= m_tips.size())
        lblTipText->setText(m_tips.at(CurrentTip - 1));
}

void frmTip::startupToggled(bool on)
{
    m_state.ShowTipsAtStartup = on ? 1 : 0;
    saveOptions(m_state.settings, m_state.options, {optionkeys::TipsSection});
    m_state.settings.sync();
}

int frmTip::exec()
{
    if (m_closeAtOnce)
        return QDialog::Rejected;
    return QDialog::exec();
}

} // namespace ravo
