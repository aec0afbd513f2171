#include "frmCondition.h"

#include "EditorTexts.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace ravo {

namespace {

EditorSpec environmentSpec()
{
    EditorSpec s;
    s.caption = QStringLiteral("环境状况记录编辑器");
    s.table = tables::Environment;
    s.workingTable = tables::EnvironmentWorking;
    s.order = QStringLiteral("日期,时间");
    s.closeOnSave = false;
    return s;
}

} // namespace

const QStringList& frmCondition::textColumns()
{
    static const QStringList cols = {QStringLiteral("日期"), QStringLiteral("时间"), QStringLiteral("环境温度"),
                                     QStringLiteral("环境湿度"), QStringLiteral("大气压力")};
    return cols;
}

const QStringList& frmCondition::textCaptions()
{
    static const QStringList captions = {QStringLiteral("记录日期"), QStringLiteral("记录时间"),
                                         QStringLiteral("环境温度"), QStringLiteral("环境湿度"),
                                         QStringLiteral("大气压力")};
    return captions;
}

const QStringList& frmCondition::units()
{
    static const QStringList list = {QString(), QString(), QStringLiteral("℃"), QStringLiteral("%"),
                                     QStringLiteral("kPa")};
    return list;
}

frmCondition::frmCondition(ProgramState& state, QWidget* parent) : LedgerEditor(state, environmentSpec(), parent)
{
    for (int i = 0; i < textColumns().size(); ++i)
        addTextField(i, textColumns().at(i));
    cmdAdd = addCommandButton(QStringLiteral("cmdAdd"), texts::AddCaption);
    cmdDelete = addCommandButton(QStringLiteral("cmdDelete"), texts::DeleteCaption, &LedgerEditor::deleteCurrent);
    cmdSave = addCommandButton(QStringLiteral("cmdSave"), texts::SaveCaption, &LedgerEditor::save);
    cmdExit = addCommandButton(QStringLiteral("cmdExit"), QStringLiteral("退出(&E)"), &LedgerEditor::cancel);
    connect(cmdAdd, &QPushButton::clicked, this, &frmCondition::addRecord);
    createLayout();
    setLockedFields(QList<QWidget*>(Text1.cbegin(), Text1.cend()));
    setEnterOrder(QList<QWidget*>(Text1.cbegin(), Text1.cend()), cmdAdd);
}

void frmCondition::createLayout()
{
    Frame1 = new QGroupBox(QStringLiteral("计量室环境状况记录"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* grid = new QGridLayout(Frame1);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);
    for (int i = 0; i < Text1.size(); ++i) {
        auto* label = addLabel(i, textCaptions().at(i));
        label->setBuddy(Text1[i]);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(label, i, 0);
        grid->addWidget(Text1[i], i, 1);
        if (!units().at(i).isEmpty()) {
            auto* unit = new QLabel(units().at(i), Frame1);
            unit->setObjectName(QStringLiteral("lblUnit%1").arg(i));
            grid->addWidget(unit, i, 2);
        }
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(2, 28);

    layOutBody(Frame1, QList<QWidget*>(Text1.cbegin(), Text1.cend()), {cmdAdd, cmdDelete, cmdSave, cmdExit});
    resize(440, 280);
}

void frmCondition::onActivate()
{
    // The latest reading.
    Data1->moveLast();
}

void frmCondition::addRecord()
{
    if (!Data1->addNew())
        return;
    unlockFields();
    Text1[0]->setFocus(Qt::OtherFocusReason);
}

} // namespace ravo
