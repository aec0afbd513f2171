#include "frmRepair.h"

#include "EditorTexts.h"
#include "MemoEdit.h"
#include "RecordPrints.h"
#include "core/Attachments.h"
#include "core/Dates.h"
#include "platform/PrintProgress.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace ravo {

namespace {

EditorSpec repairSpec()
{
    EditorSpec s;
    s.caption = QStringLiteral("计量器具修理记录编辑器");
    s.table = tables::Repair;
    s.workingTable = tables::working(tables::Repair);
    s.order = QStringLiteral("修理日期");
    s.detachedRecordSource = QStringLiteral("select * from ") + tables::Repair + QLatin1Char(';');
    return s;
}

enum Field { Number = 0, Category, Kind, Name, Model, RepairDate, Repairer, Before, After, Content };

// Shares of the printed table's width, column by column.
constexpr int PrintWeights[] = {10, 7, 9, 11, 9, 8, 7, 8, 8, 23};

} // namespace

const QStringList& frmRepair::recordColumns()
{
    static const QStringList cols =
        QStringLiteral(
            "计量器具编号,计量器具类别,计量器具种别,计量器具名称,规格型号,修理日期,修理人员,修理前状态,修理后状态,"
            "修理内容")
            .split(QLatin1Char(','));
    return cols;
}

const QStringList& frmRepair::textCaptions()
{
    static const QStringList captions =
        QStringLiteral("计量器具编号,类别,种别,计量器具名称,规格型号,修理日期,修理人员,修理前状态,修理后状态,修理内容")
            .split(QLatin1Char(','));
    return captions;
}

frmRepair::frmRepair(ProgramState& state, QWidget* parent)
    : InstrumentRecordEditor(state, repairSpec(), recordColumns(), parent)
{
    // A repair report or the invoice belongs to one repair, named by its
    // 修理日期 and 修理人员.
    addAttachmentsButton(
        {attachmentkind::Repair, QStringLiteral("修理日期"), QStringLiteral("修理人员"), QStringLiteral("修理记录")},
        QStringLiteral("这条修理记录的附件，例如修理报告或发票的扫描件"));
    createFields();
    createLayout();
    setNumberField(Text1[Number]);
    setLockedFields(QList<QWidget*>(Text1.cbegin(), Text1.cend()));
    // Enter ends in the content box, where it starts a new line.
    setEnterOrder(QList<QWidget*>(Text1.mid(Number, Content)), Text1[Content]);
}

void frmRepair::createFields()
{
    const QStringList& cols = recordColumns();
    for (int i = Number; i < Content; ++i)
        addTextField(i, cols.at(i));
    addMemoField(Content, cols.at(Content), ContentMaxLength);
}

void frmRepair::createLayout()
{
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    const QStringList& captions = textCaptions();
    for (int i = Number; i < Content; ++i) {
        auto* label = addLabel(i, captions.at(i));
        label->setBuddy(Text1[i]);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(label, i / 2, (i % 2) * 2);
        grid->addWidget(Text1[i], i / 2, (i % 2) * 2 + 1);
    }
    const int contentRow = Content / 2 + 1;
    auto* contentLabel = addLabel(Content, captions.at(Content));
    contentLabel->setBuddy(Text1[Content]);
    contentLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(contentLabel, contentRow, 0);
    grid->addWidget(Text1[Content], contentRow, 1, 1, 3);
    grid->setRowStretch(contentRow, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    Text1[Content]->setMinimumHeight(110);

    layOutBody(grid, QList<QWidget*>(Text1.cbegin(), Text1.cend()),
               {cmdAdd, cmdDelete, cmdFind, cmdPrint, cmdFiles, cmdOK, cmdCancle});
    resize(720, 420);
}

void frmRepair::addRecord()
{
    if (!Data1->addNew())
        return;
    unlockFields();
    const QStringList& cols = recordColumns();
    for (int i = Number; i <= Model; ++i)
        setFieldText(i, handedOver(cols.at(i)));
    setFieldText(RepairDate, formatShortDate(today()));
    Text1[RepairDate]->setFocus(Qt::OtherFocusReason);
}

bool frmRepair::listedRepairs(RecordTable* table)
{
    if (const DbError e = Data1->writePending()) {
        Data1->reportRefusal(e);
        return false;
    }
    const Recordset& rs = Data1->recordset();
    table->organisation = state().options.GroupName;
    table->title = recordprints::RepairTitle;
    table->subtitle =
        isOneInstrument() ? textCaptions().at(Number) + QStringLiteral("：") + instrumentNumber() : QString();
    table->printDate = today();
    table->columns.clear();
    for (int i = Number; i <= Content; ++i)
        table->columns.append({textCaptions().at(i), PrintWeights[i]});
    table->rows.clear();
    QVector<int> at;
    for (const QString& c : recordColumns())
        at << rs.fieldIndex(c);
    for (int r = 0; r < rs.recordCount(); ++r) {
        const QVector<QVariant> values = rs.rowAt(r);
        QStringList row;
        for (int i : std::as_const(at))
            row << (i >= 0 && i < values.size() && !values[i].isNull() ? values[i].toString() : QString());
        table->rows << row;
    }
    return true;
}

void frmRepair::printRecords()
{
    printList();
}

bool frmRepair::printList(QPrinter* direct)
{
    RecordTable table;
    if (!listedRepairs(&table))
        return false;
    if (table.rows.isEmpty()) {
        prompt().message(recordprints::NoRepairsMessage, AppTitle, Prompter::Icon::Information);
        return false;
    }
    const PrintRequest request = recordTableRequest(table);
    if (direct) {
        PrintProgressWindow progress(this);
        return printDirect(*direct, prompt(), request, progress.callback()).ok();
    }
    return printWithPreview(this, prompt(), request).ok();
}

} // namespace ravo
