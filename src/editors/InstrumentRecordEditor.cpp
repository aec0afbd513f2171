#include "InstrumentRecordEditor.h"

#include "EditorTexts.h"
#include "core/Attachments.h"
#include "platform/AttachmentsWindow.h"

#include <QPushButton>
#include <QSqlQuery>

namespace ravo {

InstrumentRecordEditor::InstrumentRecordEditor(ProgramState& state, EditorSpec editorSpec, QStringList columns,
                                               QWidget* parent)
    : LedgerEditor(state, std::move(editorSpec), parent), m_columns(std::move(columns))
{
    cmdAdd = addCommandButton(QStringLiteral("cmdAdd"), texts::AddCaption);
    cmdDelete = addCommandButton(QStringLiteral("cmdDelete"), texts::DeleteCaption, &LedgerEditor::deleteCurrent);
    cmdFind = addCommandButton(QStringLiteral("cmdFind"), texts::FindCaption, &LedgerEditor::findByNumber);
    cmdPrint = addCommandButton(QStringLiteral("cmdPrint"), texts::PrintCaption);
    cmdOK = addCommandButton(QStringLiteral("cmdOK"), texts::OkCaption, &LedgerEditor::save);
    cmdCancle = addCommandButton(QStringLiteral("cmdCancle"), texts::CancelCaption, &LedgerEditor::cancel);
    connect(cmdAdd, &QPushButton::clicked, this, &InstrumentRecordEditor::addRecord);
    connect(cmdPrint, &QPushButton::clicked, this, &InstrumentRecordEditor::printRecords);
}

QPushButton* InstrumentRecordEditor::addAttachmentsButton(RecordFiles files, const QString& toolTip)
{
    m_files = std::move(files);
    cmdFiles = addCommandButton(QStringLiteral("cmdFiles"), QStringLiteral("附件(&M)..."));
    cmdFiles->setToolTip(toolTip);
    connect(cmdFiles, &QPushButton::clicked, this, &InstrumentRecordEditor::showRecordAttachments);
    return cmdFiles;
}

void InstrumentRecordEditor::showRecordAttachments()
{
    if (m_files.kind.isEmpty() || !attachmentsAvailable())
        return;
    const QString number = shownText(NumberColumn);
    const QString date = shownText(m_files.dateColumn);
    const QString second = shownText(m_files.secondColumn);
    // The record as the ledger holds it, by the values the window shows.
    QSqlQuery q(db().connection());
    q.prepare(QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = ? AND coalesce(%3, '') = coalesce(?, '') "
                             "AND coalesce(%4, '') = coalesce(?, '')")
                  .arg(quotedIdentifier(editorSpec().table), quotedIdentifier(NumberColumn),
                       quotedIdentifier(m_files.dateColumn), quotedIdentifier(m_files.secondColumn)));
    for (const QString& v : {number, date, second})
        q.addBindValue(v);
    if (number.isEmpty() || !q.exec() || !q.next() || q.value(0).toInt() == 0) {
        prompt().plain(
            QStringLiteral("附件跟随台帐中的%1：请先“确定”保存这条记录（要有计量器具编号），再打开它的附件。")
                .arg(m_files.recordName),
            AppTitle);
        return;
    }
    q.finish();
    AttachmentsWindow w(db(), prompt(), {number, m_files.kind, recordKey(date, second)}, signedInName(),
                        QStringLiteral("“%1”%2的%3").arg(number, date, m_files.recordName), this);
    w.exec();
}

void InstrumentRecordEditor::beforeOpen()
{
    m_oneInstrument = state().EditorMode != ActiveWindow::Main;
    m_number = m_oneInstrument ? handedOver(NumberColumn) : QString();
    cmdFind->setEnabled(!m_oneInstrument);
}

QString InstrumentRecordEditor::instrumentCondition() const
{
    return QStringLiteral(" where ") + NumberColumn + QLatin1Char('=') + quoted(m_number);
}

QString InstrumentRecordEditor::openStatement() const
{
    const EditorSpec& s = editorSpec();
    return QStringLiteral("select ") + m_columns.join(QLatin1Char(',')) + QStringLiteral(" into ") + s.workingTable
        + QStringLiteral(" from ") + s.table + (m_oneInstrument ? instrumentCondition() : QString())
        + QStringLiteral(" order by ") + s.order + QLatin1Char(';');
}

QString InstrumentRecordEditor::commitDeleteStatement() const
{
    if (!m_oneInstrument)
        return LedgerEditor::commitDeleteStatement();
    return QStringLiteral("delete %1.* from %1").arg(editorSpec().table) + instrumentCondition();
}

void InstrumentRecordEditor::onActivate()
{
    if (m_oneInstrument)
        Data1->moveLast();
    else
        moveToFirstNumber(state().SelectedNumber);
}

} // namespace ravo
