#include "InstrumentRecordEditor.h"

#include "EditorTexts.h"

#include <QPushButton>

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
