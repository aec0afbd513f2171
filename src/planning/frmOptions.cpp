#include "frmOptions.h"

#include "PlanningTexts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QVBoxLayout>

namespace ravo {

namespace k = optionkeys;

namespace {

enum Tab { ReminderTab, EnvironmentTab, PrintTab, CertificateTab };

// The captions of the five print offset pairs, kind 1 … 5.
const std::array<QString, 5> PrintClassCaptions = {
    QStringLiteral("检定证书(小):"),         QStringLiteral("检定证书(大)与正副本:"),
    QStringLiteral("检定结果通知书(小):"),   QStringLiteral("检定结果通知书(大)与正副本:"),
    QStringLiteral("测试报告(大)与正副本:"),
};

QLineEdit* numberEdit(const QString& name, QWidget* parent, int width)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setFixedWidth(width);
    e->setAlignment(Qt::AlignRight);
    return e;
}

QString stripColon(QString caption)
{
    while (caption.endsWith(QLatin1Char(':')) || caption.endsWith(QChar(0xFF1A)))
        caption.chop(1);
    return caption;
}

} // namespace

frmOptions::frmOptions(ProgramState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(planningtexts::OptionsCaption);
    createLayout();
    load();
}

// ------------------------------------------------------------------- layout

void frmOptions::createLayout()
{
    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    SSTab1->addTab(createReminderTab(), QStringLiteral("检定提醒"));
    SSTab1->addTab(createEnvironmentTab(), QStringLiteral("环境设置"));
    SSTab1->addTab(createPrintTab(), QStringLiteral("打印设置"));
    SSTab1->addTab(createCertificateTab(), QStringLiteral("确认记录"));

    cmdOK = new QPushButton(planningtexts::OkCaption, this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(planningtexts::CancelCaption, this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cmdOK, &QPushButton::clicked, this, &frmOptions::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmOptions::cmdCancel_Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SSTab1);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(480, 0)));
}

QWidget* frmOptions::createReminderTab()
{
    auto* page = new QWidget;
    auto* frame = new QGroupBox(QStringLiteral("检定提醒设置"), page);
    frame->setObjectName(QStringLiteral("Frame1"));

    chkAwoke = new QCheckBox(QStringLiteral("每次起动程序自动提醒！"), frame);
    chkAwoke->setObjectName(QStringLiteral("chkAwoke"));
    auto* leadLabel = new QLabel(QStringLiteral("提前提醒时间设置："), frame);
    leadLabel->setObjectName(QStringLiteral("Label9"));

    optNoAhead = new QRadioButton(QStringLiteral("不提前（已经到期和当日到期的）"), frame);
    optNoAhead->setObjectName(QStringLiteral("optNoAhead"));
    optDate = new QRadioButton(QStringLiteral("于"), frame);
    optDate->setObjectName(QStringLiteral("optDate"));
    optWeek = new QRadioButton(QStringLiteral("于"), frame);
    optWeek->setObjectName(QStringLiteral("optWeek"));
    for (QRadioButton* b : {optNoAhead, optDate, optWeek})
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                leadOptionChosen();
        });

    txtDate = numberEdit(QStringLiteral("txtDate"), frame, 60);
    txtWeek = numberEdit(QStringLiteral("txtWeek"), frame, 60);
    Label10 = new QLabel(QStringLiteral("天前提醒"), frame);
    Label10->setObjectName(QStringLiteral("Label10"));
    Label11 = new QLabel(QStringLiteral("周前提醒"), frame);
    Label11->setObjectName(QStringLiteral("Label11"));
    // Digits only: the key filter beeps at anything else; the validator
    // keeps pasted or composed text out as well.
    auto* digits = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    for (QLineEdit* e : {txtDate, txtWeek}) {
        e->installEventFilter(this);
        e->setValidator(digits);
    }

    auto* grid = new QGridLayout;
    grid->setColumnMinimumWidth(0, 16);
    grid->addWidget(optNoAhead, 0, 1, 1, 4);
    grid->addWidget(optDate, 1, 1);
    grid->addWidget(txtDate, 1, 2);
    grid->addWidget(Label10, 1, 3);
    grid->addWidget(optWeek, 2, 1);
    grid->addWidget(txtWeek, 2, 2);
    grid->addWidget(Label11, 2, 3);
    grid->setColumnStretch(4, 1);

    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(chkAwoke);
    frameLayout->addSpacing(6);
    frameLayout->addWidget(leadLabel);
    frameLayout->addLayout(grid);
    frameLayout->addStretch(1);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(frame);
    return page;
}

QWidget* frmOptions::createEnvironmentTab()
{
    auto* page = new QWidget;
    auto* misc = new QGroupBox(QStringLiteral("杂项："), page);
    misc->setObjectName(QStringLiteral("Frame2"));
    chkDBBackup = new QCheckBox(QStringLiteral("启动程序时自动对数据库进行备份。"), misc);
    chkDBBackup->setObjectName(QStringLiteral("chkDBBackup"));
    chkDBCompact = new QCheckBox(QStringLiteral("启动程序时自动对数据库进行压缩。"), misc);
    chkDBCompact->setObjectName(QStringLiteral("chkDBCompact"));
    chkTipShow = new QCheckBox(QStringLiteral("启动时显示《日积月累》窗口。"), misc);
    chkTipShow->setObjectName(QStringLiteral("chkTipShow"));
    auto* miscLayout = new QVBoxLayout(misc);
    miscLayout->addWidget(chkDBBackup);
    miscLayout->addWidget(chkDBCompact);
    miscLayout->addWidget(chkTipShow);

    auto* nav = new QGroupBox(QStringLiteral("快速导航器："), page);
    nav->setObjectName(QStringLiteral("Frame3"));
    chkNav = new QCheckBox(QStringLiteral("自动隐藏（鼠标移动到左边时自动弹出）"), nav);
    chkNav->setObjectName(QStringLiteral("chkNav"));
    auto* navLayout = new QVBoxLayout(nav);
    navLayout->addWidget(chkNav);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(misc);
    layout->addWidget(nav);
    layout->addStretch(1);
    return page;
}

QWidget* frmOptions::createPrintTab()
{
    auto* page = new QWidget;
    auto* groupLabel = new QLabel(QStringLiteral("公司名称:"), page);
    groupLabel->setObjectName(QStringLiteral("Label1"));
    txtGroupName = new QLineEdit(page);
    txtGroupName->setObjectName(QStringLiteral("txtGroupName"));
    groupLabel->setBuddy(txtGroupName);
    auto* groupRow = new QHBoxLayout;
    groupRow->addWidget(groupLabel);
    groupRow->addWidget(txtGroupName, 1);

    auto* frame = new QGroupBox(QStringLiteral("打印位置设置："), page);
    frame->setObjectName(QStringLiteral("Frame4"));
    auto* hint = new QLabel(QStringLiteral("  左上角为原点，正数代表向右和向下移，负数代表向左和向上移！"), frame);
    hint->setObjectName(QStringLiteral("Label2"));
    hint->setWordWrap(true);

    auto* grid = new QGridLayout;
    for (int i = 0; i < 5; ++i) {
        auto* caption = new QLabel(PrintClassCaptions[i], frame);
        caption->setObjectName(QStringLiteral("lblPrintClass%1").arg(i + 1));
        txtX[i] = numberEdit(QStringLiteral("txt%1X").arg(i + 1), frame, 70);
        txtY[i] = numberEdit(QStringLiteral("txt%1Y").arg(i + 1), frame, 70);
        grid->addWidget(caption, i, 0);
        grid->addWidget(new QLabel(QStringLiteral("横向："), frame), i, 1);
        grid->addWidget(txtX[i], i, 2);
        grid->addWidget(new QLabel(QStringLiteral("纵向："), frame), i, 3);
        grid->addWidget(txtY[i], i, 4);
    }
    grid->setColumnStretch(5, 1);

    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(hint);
    frameLayout->addLayout(grid);

    auto* layout = new QVBoxLayout(page);
    layout->addLayout(groupRow);
    layout->addWidget(frame);
    layout->addStretch(1);
    return page;
}

QWidget* frmOptions::createCertificateTab()
{
    auto* page = new QWidget;
    auto* frame = new QGroupBox(QStringLiteral("确认记录与在用台帐："), page);
    frame->setObjectName(QStringLiteral("Frame5"));
    chkUpdateLedger = new QCheckBox(QStringLiteral("保存确认记录时自动更新在用台帐的检定日期和有效日期"), frame);
    chkUpdateLedger->setObjectName(QStringLiteral("chkUpdateLedger"));
    chkValidByPeriod = new QCheckBox(QStringLiteral("新确认记录的有效日期按器具的检定周期计算"), frame);
    chkValidByPeriod->setObjectName(QStringLiteral("chkValidByPeriod"));
    auto* hint = new QLabel(QStringLiteral("  保存时只有结论为“合格”或“准用”的新记录或修改过的记录才更新台帐；"
                                           "检定周期为空或不是整数月时按一年计算。"),
                            frame);
    hint->setObjectName(QStringLiteral("Label12"));
    hint->setWordWrap(true);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(chkUpdateLedger);
    frameLayout->addWidget(chkValidByPeriod);
    frameLayout->addSpacing(6);
    frameLayout->addWidget(hint);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(frame);
    layout->addStretch(1);
    return page;
}

// ------------------------------------------------------------------ loading

void frmOptions::load()
{
    const Options& o = m_state.options;
    txtDate->setText(QString::number(o.AdvanceDay));
    txtWeek->setText(QString::number(o.AdvanceWeek));
    chkAwoke->setChecked(o.Awoke);
    const LeadMode mode = o.leadMode();
    QRadioButton* lead = mode == LeadMode::None ? optNoAhead : mode == LeadMode::Days ? optDate : optWeek;
    lead->setChecked(true);
    leadOptionChosen();
    chkNav->setChecked(o.Nav);
    chkDBCompact->setChecked(o.DBCompact);
    chkDBBackup->setChecked(o.DBBackup);
    chkTipShow->setChecked(o.ShowTipsAtStartup == 1);
    txtGroupName->setText(o.GroupName);
    for (int i = 0; i < 5; ++i) {
        txtX[i]->setText(QString::number(o.PrintClassX[i]));
        txtY[i]->setText(QString::number(o.PrintClassY[i]));
    }
    chkUpdateLedger->setChecked(o.CertificateUpdatesLedger);
    chkValidByPeriod->setChecked(o.ValidUntilByPeriod);
}

void frmOptions::leadOptionChosen()
{
    const bool days = optDate->isChecked();
    const bool weeks = optWeek->isChecked();
    txtDate->setEnabled(days);
    Label10->setEnabled(days);
    txtWeek->setEnabled(weeks);
    Label11->setEnabled(weeks);
}

bool frmOptions::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == txtDate || watched == txtWeek) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        // Keys that type nothing (arrows, Delete, Tab, shortcuts) pass, and
        // so does Backspace; a typed character must be a digit.
        const bool typesCharacter = !text.isEmpty() && text.at(0).isPrint();
        if (typesCharacter && !(text.size() == 1 && text.at(0) >= QLatin1Char('0') && text.at(0) <= QLatin1Char('9'))) {
            m_state.prompt.beep();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ------------------------------------------------------------- confirmation

QList<frmOptions::NumberBox> frmOptions::numberBoxes() const
{
    QList<NumberBox> boxes{
        {txtDate, QStringLiteral("提前提醒天数"), ReminderTab, 0},
        {txtWeek, QStringLiteral("提前提醒周数"), ReminderTab, 0},
    };
    for (int i = 0; i < 5; ++i) {
        const QString caption = stripColon(PrintClassCaptions[i]);
        boxes.append({txtX[i], caption + QStringLiteral(" 横向"), PrintTab, -32768});
        boxes.append({txtY[i], caption + QStringLiteral(" 纵向"), PrintTab, -32768});
    }
    return boxes;
}

QString frmOptions::refusal(const NumberBox& box) const
{
    const QString text = box.edit->text().trimmed();
    const QString range = QStringLiteral("%1 到 32767 之间的整数").arg(box.min);
    if (text.isEmpty())
        return QStringLiteral("“%1”不能为空，请输入%2！").arg(box.name, range);
    const std::optional<qint16> value = SettingsStore::toInt16(text);
    if (!value || *value < box.min)
        return QStringLiteral("“%1”的值“%2”无效，请输入%3！").arg(box.name, text, range);
    return {};
}

void frmOptions::cmdOK_Click()
{
    const QList<NumberBox> boxes = numberBoxes();
    for (const NumberBox& box : boxes) {
        if (const QString why = refusal(box); !why.isEmpty()) {
            m_state.prompt.error(why, planningtexts::OptionsCaption);
            SSTab1->setCurrentIndex(box.tab);
            if (box.edit->isEnabled()) {
                box.edit->setFocus();
                box.edit->selectAll();
            }
            return;
        }
    }
    auto number = [](const QLineEdit* e) { return *SettingsStore::toInt16(e->text().trimmed()); };

    m_state.RequeryOnActivate = false;

    Options& o = m_state.options;
    o.Nav = chkNav->isChecked();
    o.ShowTipsAtStartup = chkTipShow->isChecked() ? 1 : 0;
    o.DBCompact = chkDBCompact->isChecked();
    o.DBBackup = chkDBBackup->isChecked();
    o.Awoke = chkAwoke->isChecked();
    o.setLeadMode(optNoAhead->isChecked() ? LeadMode::None : optDate->isChecked() ? LeadMode::Days : LeadMode::Weeks);
    o.AdvanceDay = number(txtDate);
    o.AdvanceWeek = number(txtWeek);
    o.GroupName = txtGroupName->text();
    for (int i = 0; i < 5; ++i) {
        o.PrintClassX[i] = number(txtX[i]);
        o.PrintClassY[i] = number(txtY[i]);
    }
    o.CertificateUpdatesLedger = chkUpdateLedger->isChecked();
    o.ValidUntilByPeriod = chkValidByPeriod->isChecked();

    saveOptions(m_state.settings, o, {k::SysOptions, k::TipsSection, k::Print, k::Certificate});
    m_state.settings.sync();
    accept();
}

void frmOptions::cmdCancel_Click()
{
    reject();
}

void frmOptions::closeEvent(QCloseEvent* event)
{
    // Only the close box arrives here: 确定 and 取消 hide the dialog without
    // a close event.
    m_unloaded = true;
    QDialog::closeEvent(event);
}

} // namespace ravo
