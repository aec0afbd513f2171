#include "frmReject.h"

#include "core/Attachments.h"

#include "EditorTexts.h"
#include "MemoEdit.h"

#include <QGridLayout>
#include <QPushButton>

namespace ravo {

namespace {

EditorSpec scrappedSpec()
{
    EditorSpec s;
    s.caption = QStringLiteral("报废计量器具台帐编辑器");
    s.table = tables::Scrapped;
    s.workingTable = tables::working(tables::Scrapped);
    s.order = NumberColumn;
    return s;
}

} // namespace

const QStringList& frmReject::textColumns()
{
    static const QStringList cols =
        QStringLiteral("计量器具编号,计量器具名称,规格型号,准确度,法制管理类别,制造厂家,"
                       "出厂编号,出厂日期,启用日期,报废日期,使用部门,保管员,存放地点,报废原因")
            .split(QLatin1Char(','));
    return cols;
}

frmReject::frmReject(ProgramState& state, QWidget* parent) : LedgerEditor(state, scrappedSpec(), parent)
{
    const QStringList& cols = textColumns();
    for (int i = 0; i < cols.size() - 1; ++i)
        addTextField(i, cols.at(i));
    addMemoField(cols.size() - 1, cols.last(), ReasonMaxLength)->setMinimumHeight(60);
    const QList<QWidget*> fields(Text1.cbegin(), Text1.cend());

    cmdUser = addCommandButton(QStringLiteral("cmdUser"), QStringLiteral("启用(&U)"));
    cmdDelete = addCommandButton(QStringLiteral("cmdDelete"), QStringLiteral("注销(&D)"));
    cmdFind = addCommandButton(QStringLiteral("cmdFind"), texts::FindCaption, &LedgerEditor::findByNumber);
    cmdOK = addCommandButton(QStringLiteral("cmdOK"), texts::OkCaption, &LedgerEditor::save);
    cmdCancle = addCommandButton(QStringLiteral("cmdCancle"), texts::CancelCaption, &LedgerEditor::cancel);
    cmdCard =
        addCommandButton(QStringLiteral("cmdCard"), QStringLiteral("履历卡(&H)..."), &LedgerEditor::printHistoryCard);
    cmdFiles =
        addCommandButton(QStringLiteral("cmdFiles"), QStringLiteral("附件(&M)..."), &LedgerEditor::showAttachments);
    cmdChanges = addCommandButton(QStringLiteral("cmdChanges"), QStringLiteral("变更履历(&Y)..."),
                                  &LedgerEditor::showChangeHistory);
    connect(cmdUser, &QPushButton::clicked, this, &frmReject::reinstate);
    connect(cmdDelete, &QPushButton::clicked, this, &frmReject::writeOff);

    layOutBody(labelledFields(fields, 3), fields,
               {cmdUser, cmdDelete, cmdFind, cmdOK, cmdCancle, cmdCard, cmdChanges, cmdFiles});
    resize(860, 340);

    setNumberField(Text1[0]);
    setLockedFields(fields);
    setEnterOrder(fields, cmdOK);
}

void frmReject::onActivate()
{
    walkBackToNumber(state().SelectedNumber);
}

void frmReject::reinstate()
{
    moveCurrentInstrument(Move::ScrappedToInUse, QStringLiteral("启用"), QStringLiteral("”启用吗？"));
}

void frmReject::writeOff()
{
    // Like a delete, the row leaves the ledger only with OK.
    const QString number = fieldText(0).trimmed();
    if (!confirmForCurrent(QStringLiteral("注销"), QStringLiteral("”永久性删除吗？"), false))
        return;
    deleteCurrent();
    // Its attachments are kept unless the user lets them go with it.
    if (const int files = number.isEmpty() ? 0 : attachmentCount(db(), number); files > 0
        && prompt().message(QStringLiteral("编号为“%1”的器具有 %2 个附件。按“确定”注销时，要同时删除这些附件吗？\n"
                                           "选“否”则附件仍保留在台帐中。")
                                .arg(number)
                                .arg(files),
                            QStringLiteral("注销"), Prompter::Icon::Question, Prompter::Buttons::YesNo)
            == Prompter::Answer::Yes)
        m_attachmentsToDrop << number;
}

} // namespace ravo
