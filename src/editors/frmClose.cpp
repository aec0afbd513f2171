#include "frmClose.h"

#include "EditorTexts.h"

#include <QGridLayout>
#include <QPushButton>

namespace ravo {

namespace {

EditorSpec sealedSpec()
{
    EditorSpec s;
    s.caption = QStringLiteral("封存计量器具台帐编辑器");
    s.table = tables::Sealed;
    s.workingTable = tables::working(tables::Sealed);
    s.order = NumberColumn;
    return s;
}

} // namespace

const QStringList& frmClose::textColumns()
{
    static const QStringList cols = QStringLiteral("计量器具编号,计量器具名称,规格型号,准确度,法制管理类别,制造厂家,"
                                                   "出厂编号,出厂日期,启用日期,封存日期,使用部门,保管员,存放地点")
                                        .split(QLatin1Char(','));
    return cols;
}

frmClose::frmClose(ProgramState& state, QWidget* parent) : LedgerEditor(state, sealedSpec(), parent)
{
    for (int i = 0; i < textColumns().size(); ++i)
        addTextField(i, textColumns().at(i));
    const QList<QWidget*> fields(Text1.cbegin(), Text1.cend());

    cmdOpen = addCommandButton(QStringLiteral("cmdOpen"), QStringLiteral("启用(&S)"));
    cmdReject = addCommandButton(QStringLiteral("cmdReject"), QStringLiteral("报废(&R)"));
    cmdFind = addCommandButton(QStringLiteral("cmdFind"), texts::FindCaption, &LedgerEditor::findByNumber);
    cmdOK = addCommandButton(QStringLiteral("cmdOK"), texts::OkCaption, &LedgerEditor::save);
    cmdCancle = addCommandButton(QStringLiteral("cmdCancle"), texts::CancelCaption, &LedgerEditor::cancel);
    cmdCard =
        addCommandButton(QStringLiteral("cmdCard"), QStringLiteral("履历卡(&H)..."), &LedgerEditor::printHistoryCard);
    cmdFiles =
        addCommandButton(QStringLiteral("cmdFiles"), QStringLiteral("附件(&M)..."), &LedgerEditor::showAttachments);
    cmdChanges = addCommandButton(QStringLiteral("cmdChanges"), QStringLiteral("变更履历(&Y)..."),
                                  &LedgerEditor::showChangeHistory);
    connect(cmdOpen, &QPushButton::clicked, this, &frmClose::unseal);
    connect(cmdReject, &QPushButton::clicked, this, &frmClose::scrap);

    layOutBody(labelledFields(fields, 3), fields,
               {cmdOpen, cmdReject, cmdFind, cmdOK, cmdCancle, cmdCard, cmdChanges, cmdFiles});
    resize(860, sizeHint().height());

    setNumberField(Text1[0]);
    setLockedFields(fields);
    setEnterOrder(fields, cmdOK);
}

void frmClose::onActivate()
{
    walkBackToNumber(state().SelectedNumber);
}

void frmClose::unseal()
{
    moveCurrentInstrument(Move::SealedToInUse, QStringLiteral("启用"), QStringLiteral("”启用吗？"));
}

void frmClose::scrap()
{
    moveCurrentInstrument(Move::SealedToScrapped, QStringLiteral("报废"), QStringLiteral("”报废吗？"));
}

} // namespace ravo
