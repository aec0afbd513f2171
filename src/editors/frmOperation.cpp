#include "frmOperation.h"

#include "platform/LabelPrint.h"

#include "EditorTexts.h"
#include "MemoEdit.h"
#include "core/Attachments.h"
#include "core/Dates.h"
#include "core/History.h"
#include "frmCertificate.h"
#include "frmRepair.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QVBoxLayout>

namespace ravo {

namespace {

EditorSpec inUseSpec()
{
    EditorSpec s;
    s.caption = QStringLiteral("在用计量器具台帐编辑器");
    s.table = tables::InUse;
    s.workingTable = tables::working(tables::InUse);
    s.order = NumberColumn;
    s.symbolToolbar = true;
    return s;
}

const QString Category = QStringLiteral("计量器具类别");
const QString Kind = QStringLiteral("计量器具种别");
const QString Accessories = QStringLiteral("配套设备");

} // namespace

const QStringList& frmOperation::textColumns()
{
    static const QStringList cols =
        QStringLiteral(
            "计量器具编号,计量器具名称,规格型号,准确度,准确度等级,测量范围,分度值,制造厂家,出厂编号,出厂日期,"
            "启用日期,检定日期,检定周期,有效日期,检定单位,使用部门,存放地点,保管员,联系电话,购买日期,采购员,"
            "购买价格,备注")
            .split(QLatin1Char(','));
    return cols;
}

const QStringList& frmOperation::comboColumns()
{
    static const QStringList cols = {Category, Kind, QStringLiteral("管理类别"), QStringLiteral("法制管理类别"),
                                     QStringLiteral("状态")};
    return cols;
}

frmOperation::~frmOperation()
{
    // The fields go after this part of the window: a category box whose text
    // changes as it goes must not call back into it.
    Combo1[0]->disconnect(this);
}

frmOperation::frmOperation(ProgramState& state, QWidget* parent) : LedgerEditor(state, inUseSpec(), parent)
{
    createFields();
    createButtons();
    createLayout();
    setNumberField(Text1[0]);
    setEnterOrder(tabSequence(), cmdOK);
    connect(&Data1->recordset(), &Recordset::rowAdded, this, &frmOperation::noteRowAdded);
    for (int i : {11, 12})
        connect(static_cast<QLineEdit*>(Text1[i]), &QLineEdit::editingFinished, this,
                &frmOperation::calibrationChanged);
}

void frmOperation::createFields()
{
    const QStringList& cols = textColumns();
    for (int i = 0; i < cols.size() - 1; ++i)
        addTextField(i, cols.at(i));
    addMemoField(22, cols.last(), RemarkMaxLength);

    QStringList categories;
    for (const InstrumentClass& c : *state().InstrumentClasses)
        categories << c.name;
    addComboField(0, Category, categories);
    addComboField(1, Kind);
    addComboField(2, comboColumns().at(2), {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    addComboField(3, comboColumns().at(3), {QStringLiteral("送检"), QStringLiteral("自检"), QStringLiteral("抽检")});
    addComboField(4, comboColumns().at(4),
                  {QStringLiteral("合格"), QStringLiteral("准用"), QStringLiteral("限用"), QStringLiteral("禁用"),
                   QStringLiteral("测量标准"), QStringLiteral("封存"), QStringLiteral("报废")});
    // The kind list follows whatever the category box shows, typed or picked.
    connect(Combo1[0], &QComboBox::editTextChanged, this, &frmOperation::fillKindList);
}

void frmOperation::createButtons()
{
    cmdFind = addCommandButton(QStringLiteral("cmdFind"), texts::FindCaption, &LedgerEditor::findByNumber);
    cmdCopy = addCommandButton(QStringLiteral("cmdCopy"), texts::CopyCaption);
    cmdAdd = addCommandButton(QStringLiteral("cmdAdd"), texts::AddCaption);
    cmdDelete = addCommandButton(QStringLiteral("cmdDelete"), texts::DeleteCaption, &LedgerEditor::deleteCurrent);
    cmdCancle = addCommandButton(QStringLiteral("cmdCancle"), QStringLiteral("取消(&E)"), &LedgerEditor::cancel);
    cmdOK = addCommandButton(QStringLiteral("cmdOK"), texts::OkCaption, &LedgerEditor::save);
    cmdValidate = addCommandButton(QStringLiteral("cmdValidate"), QStringLiteral("确认记录(&V)"));
    cmdJunk = addCommandButton(QStringLiteral("cmdJunk"), QStringLiteral("报废(&J)"));
    cmdObturate = addCommandButton(QStringLiteral("cmdObturate"), QStringLiteral("封存(&S)"));
    cmdRepair = addCommandButton(QStringLiteral("cmdRepair"), QStringLiteral("修理记录(&R)"));
    cmdLabel = addCommandButton(QStringLiteral("cmdLabel"), QStringLiteral("标签(&B)..."));
    cmdCard =
        addCommandButton(QStringLiteral("cmdCard"), QStringLiteral("履历卡(&H)..."), &LedgerEditor::printHistoryCard);
    cmdFiles =
        addCommandButton(QStringLiteral("cmdFiles"), QStringLiteral("附件(&M)..."), &LedgerEditor::showAttachments);
    cmdChanges = addCommandButton(QStringLiteral("cmdChanges"), QStringLiteral("变更履历(&Y)..."),
                                  &LedgerEditor::showChangeHistory);
    connect(cmdCopy, &QPushButton::clicked, this, &frmOperation::copyRecord);
    connect(cmdAdd, &QPushButton::clicked, this, &frmOperation::addRecord);
    connect(cmdValidate, &QPushButton::clicked, this, &frmOperation::showConfirmationRecords);
    connect(cmdJunk, &QPushButton::clicked, this, &frmOperation::scrap);
    connect(cmdObturate, &QPushButton::clicked, this, &frmOperation::seal);
    connect(cmdRepair, &QPushButton::clicked, this, &frmOperation::showRepairRecords);
    connect(cmdLabel, &QPushButton::clicked, this, &frmOperation::printLabel);
}

QList<QWidget*> frmOperation::tabSequence() const
{
    QList<QWidget*> seq = {Text1[0], Combo1[0], Combo1[1]};
    for (int i = 1; i <= 6; ++i)
        seq << Text1[i];
    seq << Combo1[2] << Combo1[3] << Text1[7] << Text1[8] << Text1[9] << Combo1[4];
    for (int i = 10; i <= 22; ++i)
        seq << Text1[i];
    return seq;
}

void frmOperation::createLayout()
{
    const QList<QWidget*> seq = tabSequence();
    auto* fields = new QGridLayout;
    fields->setHorizontalSpacing(6);
    fields->setVerticalSpacing(4);
    // Label and field pairs, three to a row, in tab order; the remark spans
    // the width below them.
    constexpr int PerRow = 3;
    for (int i = 0; i < seq.size(); ++i) {
        QWidget* f = seq.at(i);
        auto* label = addLabel(i, Data1->boundColumn(f));
        label->setBuddy(f);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (f == Text1[22]) {
            const int row = (i + PerRow - 1) / PerRow;
            label->setAlignment(Qt::AlignRight | Qt::AlignTop);
            fields->addWidget(label, row, 0);
            fields->addWidget(f, row, 1, 1, PerRow * 2 - 1);
            fields->setRowStretch(row, 1);
        } else {
            fields->addWidget(label, i / PerRow, (i % PerRow) * 2);
            fields->addWidget(f, i / PerRow, (i % PerRow) * 2 + 1);
        }
    }
    for (int c = 0; c < PerRow; ++c)
        fields->setColumnStretch(c * 2 + 1, 1);
    Text1[22]->setMinimumHeight(72);

    // The buttons that open the instrument's records or move it to another
    // ledger stand apart, in a frame.
    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* frame = new QVBoxLayout(Frame1);
    for (QPushButton* b : {cmdValidate, cmdJunk, cmdObturate, cmdRepair, cmdLabel, cmdCard, cmdChanges, cmdFiles})
        frame->addWidget(b);
    layOutBody(fields, seq, {cmdFind, cmdCopy, cmdAdd, cmdDelete, cmdCancle, cmdOK}, Frame1);
    resize(980, 540);
}

void frmOperation::fillKindList(const QString& category)
{
    QComboBox* kind = Combo1[1];
    const QString text = kind->currentText();
    const QSignalBlocker quiet(kind);
    kind->clear();
    for (const InstrumentClass& c : *state().InstrumentClasses) {
        if (c.name == category) {
            kind->addItems(c.kinds);
            break;
        }
    }
    kind->setCurrentIndex(-1);
    kind->setEditText(text);
}

void frmOperation::proposeValidUntil(bool byPeriod)
{
    m_proposedValidUntil.clear();
    const std::optional<QDate> calibrated = parseUserDate(fieldText(11));
    if (!calibrated)
        return;
    const QString until =
        formatShortDate(byPeriod ? validUntilAfterMonths(*calibrated, calibrationPeriodMonths(fieldText(12)))
                                 : validUntilDefault(*calibrated));
    setFieldText(13, until);
    if (byPeriod)
        m_proposedValidUntil = until;
}

void frmOperation::calibrationChanged()
{
    // Only on the row Add proposed a date for, and only while the user has
    // not typed a 有效日期 of his own.
    if (m_proposedValidUntil.isEmpty() || !Data1->recordset().isAdding() || fieldText(13) != m_proposedValidUntil)
        return;
    proposeValidUntil(true);
}

void frmOperation::setNewRowDefaults()
{
    Combo1[2]->setEditText(QStringLiteral("A"));
    Combo1[3]->setEditText(QStringLiteral("强检"));
    Combo1[4]->setEditText(QStringLiteral("准用"));
    setFieldText(11, formatShortDate(today()));
    setFieldText(12, QStringLiteral("12"));
    proposeValidUntil(state().options.ValidUntilByPeriod);
}

void frmOperation::addRecord()
{
    if (!Data1->addNew())
        return;
    unlockFields();
    setNewRowDefaults();
    Text1[0]->setFocus(Qt::OtherFocusReason);
}

void frmOperation::copyRecord()
{
    QStringList texts;
    for (QWidget* f : std::as_const(Text1))
        texts << DataControl::fieldText(f);
    QStringList combos;
    for (QComboBox* c : std::as_const(Combo1))
        combos << c->currentText();
    if (!Data1->addNew())
        return;
    unlockFields();
    m_proposedValidUntil.clear();
    for (int i = 0; i < Combo1.size(); ++i)
        Combo1[i]->setEditText(combos.at(i));
    for (int i = 0; i < Text1.size(); ++i)
        setFieldText(i, texts.at(i));
    auto* number = static_cast<QLineEdit*>(Text1[0]);
    number->selectAll();
    number->setFocus(Qt::OtherFocusReason);
}

void frmOperation::onActivate()
{
    if (state().EditorMode == ActiveWindow::Stock)
        issueFromStock();
    else
        walkBackToNumber(state().SelectedNumber);
    state().EditorMode = ActiveWindow::InUseEditor;
}

DbError frmOperation::commitAlso()
{
    QString number;
    if (const DbError e = issuedNumber(&number))
        return e;
    if (number.isEmpty())
        return {};
    if (const DbError e =
            recordHistoryEvent(db(), tables::InUse, number, historyevent::Issued, {}, tables::Stock, tables::InUse))
        return e;
    // Copies, not the files themselves: the stock item keeps its own for
    // the instruments issued after.
    return copyStockAttachments(db(), m_issued.stockRow, number);
}

void frmOperation::afterSave()
{
    m_issued = {};
    LedgerEditor::afterSave();
}

void frmOperation::issueFromStock()
{
    m_issued = {};
    if (!Data1->addNew())
        return;
    // The new row gets its rowid when it is first written (noteRowAdded).
    m_issued = {true, state().navigation.StockIssueRow, Data1->recordset().additions(), -1};
    unlockFields();
    const QHash<QString, QVariant>& item = state().StockIssue;
    auto stock = [&item](const QString& column) { return item.value(column).toString(); };
    auto dateOrToday = [&](const QString& column) {
        const QString d = stock(column).trimmed();
        return d.isEmpty() ? formatShortDate(today()) : d;
    };
    Combo1[0]->setEditText(stock(Category));
    Combo1[1]->setEditText(stock(Kind));
    Combo1[2]->setEditText(QStringLiteral("A"));
    Combo1[3]->setEditText(QStringLiteral("强检"));
    Combo1[4]->setEditText(QStringLiteral("准用"));
    setFieldText(10, formatShortDate(today()));
    setFieldText(11, formatShortDate(today()));
    setFieldText(12, QStringLiteral("12"));
    const QStringList& cols = textColumns();
    for (int i = 1; i <= 7; ++i)
        setFieldText(i, stock(cols.at(i)));
    setFieldText(9, dateOrToday(cols.at(9)));
    setFieldText(19, dateOrToday(cols.at(19)));
    setFieldText(21, stock(cols.at(21)));
    setFieldText(20, stock(cols.at(20)));
    proposeValidUntil(false);
    // The accessories are not shown here but belong to the instrument.
    if (!stock(Accessories).isEmpty())
        Data1->recordset().setValue(Accessories, stock(Accessories));
    Text1[0]->setFocus(Qt::OtherFocusReason);
}

void frmOperation::noteRowAdded(qint64 rowid)
{
    if (!m_issued.active)
        return;
    if (Data1->recordset().additions() == m_issued.addition)
        m_issued.workingRow = rowid;
    else if (rowid == m_issued.workingRow)
        m_issued.workingRow = -1;
}

DbError frmOperation::issuedNumber(QString* number)
{
    number->clear();
    if (!m_issued.active || m_issued.workingRow < 0)
        return {};
    // A row issued and then deleted again before OK was never issued.
    QSqlQuery q(db().connection());
    q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                  .arg(quotedIdentifier(NumberColumn), quotedIdentifier(editorSpec().workingTable)));
    q.addBindValue(m_issued.workingRow);
    if (!q.exec())
        return DbError::fromSqlError(q.lastError(), q.lastQuery());
    if (q.next())
        *number = q.value(0).toString();
    return {};
}

void frmOperation::scrap()
{
    moveCurrentInstrument(Move::InUseToScrapped, QStringLiteral("报废"), QStringLiteral("”报废吗？"));
}

void frmOperation::seal()
{
    moveCurrentInstrument(Move::InUseToSealed, QStringLiteral("封存"), QStringLiteral("”封存吗？"));
}

bool frmOperation::handOverInstrument(bool forRepair)
{
    const QString number = fieldText(0).trimmed();
    if (number.isEmpty()) {
        refuseBlankNumber();
        return false;
    }
    QHash<QString, QString>& target = state().TargetInstrument;
    const QStringList& cols = textColumns();
    target.insert(cols.at(0), number);
    target.insert(cols.at(1), fieldText(1));
    target.insert(cols.at(2), fieldText(2));
    if (forRepair) {
        target.insert(Category, Combo1[0]->currentText());
        target.insert(Kind, Combo1[1]->currentText());
    } else {
        target.insert(cols.at(14), fieldText(14));
        target.insert(cols.at(8), fieldText(8));
        target.insert(cols.at(7), fieldText(7));
    }
    // The period goes along in both cases, so that it always belongs to the
    // number handed over: a new confirmation record may count its validity by it.
    target.insert(cols.at(12), fieldText(12));
    state().EditorMode = ActiveWindow::InUseEditor;
    return true;
}

bool frmOperation::openConfirmationEditor()
{
    frmCertificate records(state(), this);
    records.exec();
    takeOverLedgerUpdates(records.ledgerUpdates());
    return true;
}

void frmOperation::takeOverLedgerUpdates(const QVector<LedgerUpdate>& updates)
{
    if (updates.isEmpty() || !isLoaded())
        return;
    Recordset& rs = Data1->recordset();
    const qint64 current = rs.isAdding() ? -1 : rs.currentRowid();
    QStringList currentColumns;
    for (const LedgerUpdate& u : updates) {
        if (u.changes.isEmpty())
            continue;
        QStringList sets;
        QVariantList values;
        for (const FieldChange& c : u.changes) {
            sets << quotedIdentifier(c.column) + QStringLiteral(" = ?");
            values << c.after;
        }
        const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                                .arg(quotedIdentifier(editorSpec().workingTable), sets.join(QStringLiteral(", ")));
        for (const qint64 row : workingRowsOf(u.number)) {
            if (const DbResult r = db().executeNative(sql, values + QVariantList{row}); !r.ok()) {
                showEngineError(r.error);
                continue;
            }
            if (row == current)
                for (const FieldChange& c : u.changes)
                    currentColumns << c.column;
        }
    }
    Data1->rowsChangedBehind(currentColumns);
}

bool frmOperation::openRepairEditor()
{
    frmRepair records(state(), this);
    records.exec();
    return true;
}

void frmOperation::showConfirmationRecords()
{
    if (handOverInstrument(false) && openConfirmationEditor())
        activate();
}

// The label of the instrument as the window shows it, typed changes included:
// a label is often printed right after a new calibration was typed in.
void frmOperation::printLabel()
{
    QHash<QString, QString> shown;
    for (QWidget* field : Data1->boundFields())
        shown.insert(Data1->boundColumn(field), DataControl::fieldText(field).trimmed());
    LabelData label;
    label.number = shown.value(NumberColumn);
    if (label.number.isEmpty()) {
        prompt().plain(QStringLiteral("请先填写计量器具编号，再打印标签。"), AppTitle);
        return;
    }
    label.name = shown.value(QStringLiteral("计量器具名称"));
    label.calibrated = shown.value(QStringLiteral("检定日期"));
    label.validUntil = shown.value(QStringLiteral("有效日期"));
    label.calibratingBody = shown.value(QStringLiteral("检定单位"));
    label.status = labelStatusFor(shown.value(QStringLiteral("状态")), label.validUntil, QDate::currentDate());
    printStatusLabels(this, prompt(), state().settings, {label});
}

void frmOperation::showRepairRecords()
{
    if (handOverInstrument(true) && openRepairEditor())
        activate();
}

} // namespace ravo
