#include "LedgerEditor.h"

#include "HistoryCard.h"
#include "platform/AttachmentsWindow.h"
#include "platform/HistoryWindow.h"

#include "EditorTexts.h"
#include "MemoEdit.h"
#include "core/History.h"
#include "core/LedgerSchema.h"
#include "core/WorkingCopy.h"
#include "platform/Units.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcutEvent>
#include <QSqlQuery>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace ravo {

namespace {

bool isEnterKey(const QKeyEvent* e)
{
    return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
}

} // namespace

const QStringList& LedgerEditor::symbols()
{
    static const QStringList list = QString::fromUtf8("±×′″≤≥△°‰℃℉Ωαφμ～·ⅠⅡⅢⅣⅤ").split(QString(), Qt::SkipEmptyParts);
    return list;
}

LedgerEditor::LedgerEditor(ProgramState& state, EditorSpec editorSpec, QWidget* parent)
    : QDialog(parent), m_state(state), m_spec(std::move(editorSpec))
{
    setWindowTitle(m_spec.caption);
    setMouseTracking(true);
    Data1 = new DataControl(m_state.LedgerDatabase, m_state.prompt, this);
    connect(Data1, &DataControl::repositioned, this, &LedgerEditor::reposition);
    createLayout();
}

LedgerEditor::~LedgerEditor()
{
    // The window's own part is gone already: its fields must not hear of
    // the detach.
    disconnect(Data1, nullptr, this, nullptr);
    Data1->unbindAll();
    closeWorkingCopy();
}

void LedgerEditor::createLayout()
{
    auto* outer = new QVBoxLayout(this);
    if (m_spec.symbolToolbar) {
        createSymbolToolbar();
        outer->addWidget(Toolbar1);
    }
    m_body = new QWidget(this);
    m_body->setObjectName(QStringLiteral("body"));
    m_body->setMouseTracking(true);
    outer->addWidget(m_body, 1);
    outer->addWidget(Data1);
}

void LedgerEditor::createSymbolToolbar()
{
    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setFocusPolicy(Qt::NoFocus);
    QFont f = Toolbar1->font();
    f.setPointSizeF(f.pointSizeF() * 1.25);
    Toolbar1->setFont(f);
    for (const QString& s : symbols()) {
        QAction* a = Toolbar1->addAction(s);
        a->setToolTip(QStringLiteral("插入“%1”").arg(s));
        connect(a, &QAction::triggered, this, [this, s] { insertSymbol(s); });
    }
}

QDate LedgerEditor::today() const
{
    return m_clock ? m_clock() : QDate::currentDate();
}

// ---- building -------------------------------------------------------------

void LedgerEditor::bindField(QWidget* field, const QString& column)
{
    Data1->bind(field, column);
    field->installEventFilter(this);
    if (auto* c = qobject_cast<QComboBox*>(field); c && c->lineEdit())
        c->lineEdit()->installEventFilter(this);
    paintField(field, false);
}

QLineEdit* LedgerEditor::addTextField(int index, const QString& column)
{
    auto* e = new QLineEdit(this);
    e->setObjectName(QStringLiteral("Text1(%1)").arg(index));
    if (Text1.size() <= index)
        Text1.resize(index + 1);
    Text1[index] = e;
    bindField(e, column);
    return e;
}

MemoEdit* LedgerEditor::addMemoField(int index, const QString& column, int maxLength)
{
    auto* m = new MemoEdit(this);
    m->setObjectName(QStringLiteral("Text1(%1)").arg(index));
    m->setMaxLength(maxLength);
    if (Text1.size() <= index)
        Text1.resize(index + 1);
    Text1[index] = m;
    bindField(m, column);
    return m;
}

QComboBox* LedgerEditor::addComboField(int index, const QString& column, const QStringList& items)
{
    auto* c = new QComboBox(this);
    c->setObjectName(QStringLiteral("Combo1(%1)").arg(index));
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->addItems(items);
    c->setEditText(QString());
    if (Combo1.size() <= index)
        Combo1.resize(index + 1);
    Combo1[index] = c;
    bindField(c, column);
    return c;
}

QLabel* LedgerEditor::addLabel(int index, const QString& text)
{
    auto* l = new QLabel(text, this);
    l->setObjectName(QStringLiteral("Label1(%1)").arg(index));
    if (Label1.size() <= index)
        Label1.resize(index + 1);
    Label1[index] = l;
    return l;
}

QPushButton* LedgerEditor::addCommandButton(const QString& objectName, const QString& caption,
                                            void (LedgerEditor::*slot)())
{
    auto* b = new QPushButton(caption, this);
    b->setObjectName(objectName);
    b->setMouseTracking(true);
    // No button is the dialog's default: Enter walks the fields, and on a
    // button it presses that button (see eventFilter).
    b->setAutoDefault(false);
    b->installEventFilter(this);
    m_buttons << b;
    if (slot)
        connect(b, &QPushButton::clicked, this, slot);
    return b;
}

void LedgerEditor::excludeFromHighlight(QPushButton* button)
{
    m_notHighlighted.insert(button);
}

QGridLayout* LedgerEditor::labelledFields(const QList<QWidget*>& fields, int perRow)
{
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    int row = 0;
    int column = 0;
    for (int i = 0; i < fields.size(); ++i) {
        QWidget* f = fields.at(i);
        QLabel* label = addLabel(i, Data1->boundColumn(f));
        label->setBuddy(f);
        if (qobject_cast<QPlainTextEdit*>(f)) {
            if (column > 0)
                ++row;
            label->setAlignment(Qt::AlignRight | Qt::AlignTop);
            grid->addWidget(label, row, 0);
            grid->addWidget(f, row, 1, 1, perRow * 2 - 1);
            grid->setRowStretch(row, 1);
            ++row;
            column = 0;
        } else {
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid->addWidget(label, row, column * 2);
            grid->addWidget(f, row, column * 2 + 1);
            if (++column == perRow) {
                column = 0;
                ++row;
            }
        }
        if (i > 0)
            setTabOrder(fields.at(i - 1), f);
    }
    for (int c = 0; c < perRow; ++c)
        grid->setColumnStretch(c * 2 + 1, 1);
    return grid;
}

void LedgerEditor::layOutBody(QLayout* fields, const QList<QWidget*>& tabOrder, const QList<QPushButton*>& buttons,
                              QGroupBox* buttonGroup)
{
    layOutBody(fields, nullptr, tabOrder, buttons, buttonGroup);
}

void LedgerEditor::layOutBody(QWidget* fields, const QList<QWidget*>& tabOrder, const QList<QPushButton*>& buttons,
                              QGroupBox* buttonGroup)
{
    layOutBody(nullptr, fields, tabOrder, buttons, buttonGroup);
}

void LedgerEditor::layOutBody(QLayout* fieldLayout, QWidget* fieldBox, const QList<QWidget*>& tabOrder,
                              const QList<QPushButton*>& buttons, QGroupBox* buttonGroup)
{
    QList<QWidget*> chain = tabOrder;
    auto* column = new QVBoxLayout;
    for (QPushButton* b : buttons) {
        column->addWidget(b);
        chain << b;
    }
    if (buttonGroup) {
        column->addSpacing(12);
        column->addWidget(buttonGroup);
        for (int i = 0; i < buttonGroup->layout()->count(); ++i)
            if (auto* b = qobject_cast<QPushButton*>(buttonGroup->layout()->itemAt(i)->widget()))
                chain << b;
    }
    column->addStretch(1);

    auto* row = new QHBoxLayout(m_body);
    row->setContentsMargins(0, 0, 0, 0);
    if (fieldBox) {
        row->addWidget(fieldBox, 1);
    } else if (fieldLayout->expandingDirections() & Qt::Vertical) {
        row->addLayout(fieldLayout, 1);
    } else {
        auto* top = new QVBoxLayout;
        top->addLayout(fieldLayout);
        top->addStretch(1);
        row->addLayout(top, 1);
    }
    row->addSpacing(8);
    row->addLayout(column);

    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));
}

void LedgerEditor::unlockFields()
{
    for (QWidget* f : std::as_const(m_lockedFields))
        f->setEnabled(true);
}

void LedgerEditor::setEnterOrder(const QList<QWidget*>& order, QWidget* afterLast)
{
    m_enterOrder = order;
    m_enterAfterLast = afterLast;
    m_customEnterOrder = true;
}

QString LedgerEditor::fieldText(int index) const
{
    return DataControl::fieldText(Text1.value(index));
}

void LedgerEditor::setFieldText(int index, const QString& text)
{
    if (QWidget* f = Text1.value(index))
        DataControl::setFieldText(f, text);
}

// ---- life of the window -----------------------------------------------------

QString LedgerEditor::openStatement() const
{
    return QStringLiteral("select * into %1 from %2 order by %3;").arg(m_spec.workingTable, m_spec.table, m_spec.order);
}

QString LedgerEditor::commitDeleteStatement() const
{
    return deleteAllStatement(m_spec.table);
}

QString LedgerEditor::commitInsertStatement() const
{
    return insertAllStatement(m_spec.table, m_spec.workingTable);
}

bool LedgerEditor::load()
{
    if (m_loaded)
        return true;
    beforeOpen();
    const QString source = QStringLiteral("select * from ") + m_spec.workingTable + QLatin1Char(';');
    m_tracked = tracksChanges();
    m_keptRules = false;
    auto make = [this] {
        return m_tracked ? createTrackedWorkingTable(db(), m_spec.table, m_spec.workingTable, m_spec.order,
                                                     openStatement(), &m_keptRules, trackedNumber())
                         : createWorkingTable(db(), m_spec.workingTable, openStatement());
    };
    // A copy that OK replaces whole is watched, so that the history compares
    // only the rows written.
    auto watch = [this](DbError e) { return e || m_tracked ? e : watchReplacedCopy(db(), m_spec.workingTable); };
    DbError e = watch(make());
    if (!e)
        e = Data1->setRecordSource(source);
    if (e) {
        // Once more from scratch, then give up with the engine's reason.
        dropWorkingTable(db(), m_spec.workingTable);
        e = watch(make());
        if (!e)
            e = Data1->setRecordSource(source);
    }
    if (e) {
        showEngineError(e);
        return false;
    }
    m_loaded = true;
    return true;
}

int LedgerEditor::exec()
{
    if (!load())
        return QDialog::Rejected;
    return QDialog::exec();
}

void LedgerEditor::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    if (!m_loaded)
        load();
    activate();
    // Once the window stands on the screen, so the user sees what is named.
    QTimer::singleShot(0, this, &LedgerEditor::reportRuleBreaches);
    // The window opens on its first field unless activation chose another.
    if (!focusWidget()) {
        const QList<QWidget*> order = enterOrder();
        if (!order.isEmpty() && order.first()->isEnabled())
            order.first()->setFocus(Qt::OtherFocusReason);
    }
}

void LedgerEditor::activate()
{
    if (m_loaded)
        onActivate();
}

void LedgerEditor::done(int result)
{
    closeWorkingCopy();
    QDialog::done(result);
}

void LedgerEditor::closeWorkingCopy()
{
    if (!m_loaded)
        return;
    m_loaded = false;
    // Detaching cannot fail; binding to another source can only fail to
    // find it, and the window is closing either way.
    (void)Data1->setRecordSource(m_spec.detachedRecordSource);
    dropWorkingTable(db(), m_spec.workingTable);
}

void LedgerEditor::reposition()
{
    const Recordset& rs = Data1->recordset();
    if (rs.recordCount() == 0 && !rs.isAdding()) {
        for (QWidget* f : std::as_const(m_lockedFields))
            f->setEnabled(false);
    } else if (m_spec.unlockWhenNotEmpty && rs.recordCount() > 0) {
        unlockFields();
    }
    onReposition();
}

// ---- positioning ----------------------------------------------------------

void LedgerEditor::walkBackToNumber(const QString& number)
{
    const Recordset& rs = Data1->recordset();
    if (rs.recordCount() == 0)
        return;
    if (number.isEmpty()) {
        Data1->moveLast();
        return;
    }
    // The walk from the last row backwards stops at the last exact match;
    // the index finds the candidates, the exact comparison picks one.
    const QString column = m_numberField ? Data1->boundColumn(m_numberField) : NumberColumn;
    QSqlQuery q(db().connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT rowid, %2 FROM %1 WHERE %2 = ? ORDER BY rowid DESC")
                  .arg(quotedIdentifier(rs.table()), quotedIdentifier(column)));
    q.addBindValue(number);
    qint64 hit = -1;
    if (q.exec()) {
        while (q.next()) {
            if (q.value(1).toString() == number) {
                hit = q.value(0).toLongLong();
                break;
            }
        }
    }
    if (hit >= 0)
        Data1->moveToRowid(hit);
    else
        Data1->moveFirst();
}

void LedgerEditor::moveToFirstNumber(const QString& number)
{
    if (!number.isEmpty())
        Data1->findFirst(NumberColumn, number);
}

QList<qint64> LedgerEditor::workingRowsOf(const QString& ledgerNumber) const
{
    if (!m_loaded || !m_tracked)
        return {};
    QSqlQuery q(db().connection());
    q.prepare(QStringLiteral("SELECT rowid FROM %1 WHERE %2 = ?")
                  .arg(quotedIdentifier(m_spec.table), quotedIdentifier(NumberColumn)));
    q.addBindValue(ledgerNumber);
    if (!q.exec() || !q.next())
        return {};
    const qint64 ledgerRow = q.value(0).toLongLong();
    q.finish();
    return workingRowsOfLedgerRow(db(), m_spec.workingTable, ledgerRow);
}

void LedgerEditor::refreshAfterMove(qint64 movedRowid)
{
    Data1->recordset().forgetRow(movedRowid);
}

// ---- the current instrument leaving the ledger ----------------------------

bool LedgerEditor::confirmForCurrent(const QString& title, const QString& questionEnding, bool writeFirst)
{
    const QString shown = DataControl::fieldText(m_numberField);
    if (shown.trimmed().isEmpty()) {
        refuseBlankNumber();
        return false;
    }
    if (writeFirst) {
        if (const DbError e = Data1->writePending()) {
            Data1->reportRefusal(e);
            return false;
        }
    }
    const QString question =
        QStringLiteral("你确认要将编号为：“") + shown + QStringLiteral("”的“") + fieldText(1) + questionEnding;
    return prompt().confirm(question, title);
}

bool LedgerEditor::moveCurrentInstrument(Move move, const QString& title, const QString& questionEnding)
{
    // The row is copied from the working table, so what was typed goes there first.
    if (!confirmForCurrent(title, questionEnding, true))
        return false;
    // The statements name the number without surrounding blanks; the row in
    // the working copy has to carry it the same way to be found and moved.
    const QString typed = DataControl::fieldText(m_numberField);
    if (typed != typed.trimmed()) {
        DataControl::setFieldText(m_numberField, typed.trimmed());
        if (const DbError e = Data1->writePending()) {
            Data1->reportRefusal(e);
            return false;
        }
    }
    // The ledger's own row is the one this row was copied from, found by the
    // number it had then: what was typed into the number since names the
    // instrument in the target, not the row to take out of the source. A row
    // added in the window is in no ledger yet and only goes to the target.
    const qint64 row = Data1->recordset().currentRowid();
    LedgerRow inLedger = LedgerRow::notInLedger();
    if (const qint64 ledgerRow = m_tracked ? ledgerRowOf(db(), m_spec.workingTable, row) : -1; ledgerRow >= 0) {
        // The number the ledger holds for that row now.
        QSqlQuery q(db().connection());
        q.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                      .arg(quotedIdentifier(NumberColumn), quotedIdentifier(m_spec.table)));
        q.addBindValue(ledgerRow);
        if (!q.exec() || !q.next()) {
            prompt().error(QStringLiteral("“%1”中已经没有这台计量器具（可能已被移走或删除），没有移动任何记录。")
                               .arg(m_spec.table),
                           AppTitle);
            return false;
        }
        inLedger = LedgerRow::numbered(q.value(0).toString());
    }
    if (const DbError e = moveInstrument(db(), move, DataControl::fieldText(m_numberField), today(), inLedger)) {
        prompt().error(e.text(), AppTitle);
        return false;
    }
    refreshAfterMove(row);
    return true;
}

// ---- operations -------------------------------------------------------------

void LedgerEditor::findByNumber()
{
    const std::optional<QString> answer = prompt().input(texts::FindPrompt, texts::FindTitle, QString());
    const QString number = answer ? answer->trimmed() : QString();
    // Nothing asked for: the cursor (and anything typed) stays as it was.
    if (number.isEmpty())
        return;
    Data1->findFirst(NumberColumn, number);
}

void LedgerEditor::deleteCurrent()
{
    Recordset& rs = Data1->recordset();
    if (rs.isAdding()) {
        // A row not yet written is simply dropped.
        rs.cancelUpdate();
        return;
    }
    if (!rs.hasCurrent() || rs.deleteCurrent())
        return;
    rs.moveNext();
    if (rs.isEOF())
        rs.moveLast();
}

void LedgerEditor::showEngineError(const DbError& error)
{
    prompt().plain(error.text(), AppTitle);
}

void LedgerEditor::refuseBlankNumber()
{
    prompt().error(texts::BlankNumber, AppTitle);
    if (m_numberField)
        m_numberField->setFocus(Qt::OtherFocusReason);
}

bool LedgerEditor::checkCurrentRow()
{
    if (!m_numberField || !Data1->recordset().hasCurrent())
        return true;
    if (!DataControl::fieldText(m_numberField).trimmed().isEmpty())
        return true;
    refuseBlankNumber();
    return false;
}

bool LedgerEditor::checkWorkingCopy()
{
    if (!m_numberField || !Data1->recordset().isOpen())
        return true;
    const QString column = quotedIdentifier(Data1->boundColumn(m_numberField));
    // Where the table's own rules refuse a blank number, the rows that kept
    // them since the copy was made need no second look.
    const QString rows = rowsToCheck();
    const bool onlyWritten = !rows.isEmpty() && refusesBlank(Data1->boundColumn(m_numberField));
    QSqlQuery q(db().connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT rowid FROM %1 WHERE (%2 IS NULL OR trim(%2) = '')%3 ORDER BY rowid LIMIT 1")
                    .arg(quotedIdentifier(Data1->recordset().table()), column,
                         onlyWritten ? QStringLiteral(" AND ") + rows : QString()))
        || !q.next())
        return true;
    const qint64 blank = q.value(0).toLongLong();
    q.finish();
    Data1->recordset().moveToRowid(blank);
    refuseBlankNumber();
    return false;
}

QString LedgerEditor::breachText(const RuleBreach& breach) const
{
    QString where;
    if (!breach.number.isEmpty()) {
        where = QStringLiteral("编号为“%1”的记录").arg(breach.number);
    } else {
        QSqlQuery q(db().connection());
        const bool counted = q.exec(QStringLiteral("SELECT count(*) FROM %1 WHERE rowid <= %2")
                                        .arg(quotedIdentifier(m_spec.workingTable))
                                        .arg(breach.rowid))
            && q.next();
        where = counted ? QStringLiteral("第 %1 条记录").arg(q.value(0).toLongLong()) : QStringLiteral("一条记录");
    }
    return QStringLiteral("%1的“%2”是“%3”").arg(where, breach.column, breach.value);
}

void LedgerEditor::reportRuleBreaches()
{
    if (!m_loaded)
        return;
    constexpr int Shown = 10;
    const QVector<RuleBreach> found = ruleBreaches(db(), m_spec.workingTable, Shown + 1);
    if (found.isEmpty())
        return;
    QStringList lines;
    for (int i = 0; i < found.size() && i < Shown; ++i)
        lines << breachText(found.at(i));
    if (found.size() > Shown)
        lines << QStringLiteral("……（还有更多）");
    prompt().message(QStringLiteral("“%1”中有不符合要求的数据（可能是其他程序写入的）：\n\n%2\n\n"
                                    "请找到这些记录并改正，改正之前不能保存。")
                         .arg(m_spec.table, lines.join(QLatin1Char('\n'))),
                     AppTitle, Prompter::Icon::Warning);
}

bool LedgerEditor::refusesBlank(const QString& column) const
{
    for (const ColumnDefinition& d : columnDefinitions(db().createSql(m_spec.workingTable))) {
        if (d.name.compare(column, Qt::CaseInsensitive) != 0)
            continue;
        const QString rule = checkExpression(d.definition);
        if (!d.definition.contains(QLatin1String("not null"), Qt::CaseInsensitive) || rule.isEmpty())
            return false;
        // The column's rule, tried on a blank value.
        QSqlQuery q(db().connection());
        return q.exec(QStringLiteral("SELECT coalesce((%1), 1) FROM (SELECT ' ' AS %2)")
                          .arg(rule, quotedIdentifier(d.name)))
            && q.next() && !q.value(0).toBool();
    }
    return false;
}

QString LedgerEditor::rowsToCheck() const
{
    // A copy made with every row keeping the rules can break them only in
    // the rows written since, which the engine checked as they were written.
    return m_tracked && m_keptRules ? changedRowsCondition(db(), m_spec.workingTable) : QString();
}

bool LedgerEditor::checkRules()
{
    const QVector<RuleBreach> found = ruleBreaches(db(), m_spec.workingTable, 1, rowsToCheck());
    if (found.isEmpty())
        return true;
    const RuleBreach& first = found.first();
    Data1->moveToRowid(first.rowid);
    // The field takes the focus before the message, which hands it back.
    for (QWidget* field : Data1->boundFields()) {
        if (Data1->boundColumn(field).compare(first.column, Qt::CaseInsensitive) == 0 && field->isEnabled()) {
            field->setFocus(Qt::OtherFocusReason);
            break;
        }
    }
    prompt().error(breachText(first) + QStringLiteral("，不能保存：") + DbError::ruleMessage(first.column), AppTitle);
    return false;
}

DbError LedgerEditor::commitWorkingCopy()
{
    return m_tracked ? commitTrackedCopy() : commitReplacedCopy();
}

DbError LedgerEditor::commitReplacedCopy()
{
    Transaction tx(db());
    if (tx.error())
        return tx.error();
    const QString number = trackedNumber();
    if (const DbError e = commitReplacedRows(
            db(), m_spec.table, m_spec.workingTable, number.isNull() ? std::nullopt : std::optional<QString>(number),
            commitDeleteStatement(), commitInsertStatement(), m_spec.commitInsertDirect))
        return e;
    if (const DbError e = commitAlso())
        return e;
    return tx.commit();
}

DbError LedgerEditor::commitTrackedCopy()
{
    // What follows an instrument beyond its row rides in the same
    // transaction: its attachments take its new number, and those of an
    // instrument written off go when the user said so.
    const bool instruments = isMoveSource(m_spec.table);
    const QVector<std::pair<QString, QString>> renamed = instruments
        ? renumberedInstruments(db(), m_spec.table, m_spec.workingTable)
        : QVector<std::pair<QString, QString>>();
    Transaction tx(db());
    if (tx.error())
        return tx.error();
    if (const DbError e = commitTrackedWorkingTable(db(), m_spec.table, m_spec.workingTable, commitInsertStatement(),
                                                    nullptr, &m_conflicts))
        return e;
    if (const DbError e = followRenumbering(db(), renamed))
        return e;
    if (const DbError e = commitAlso())
        return e;
    for (const QString& number : std::as_const(m_attachmentsToDrop))
        if (const DbError e = removeAttachmentsOf(db(), number))
            return e;
    if (const DbError e = tx.commit())
        return e;
    m_attachmentsToDrop.clear();
    return {};
}

void LedgerEditor::afterSave()
{
    if (m_spec.closeOnSave)
        accept();
}

void LedgerEditor::save()
{
    m_state.RequeryOnActivate = true;
    if (!checkCurrentRow())
        return;
    if (const DbError e = Data1->writePending()) {
        showEngineError(e);
        return;
    }
    Recordset& rs = Data1->recordset();
    if (rs.lastModified() >= 0 && rs.currentRowid() != rs.lastModified())
        rs.moveToRowid(rs.lastModified());
    if (!checkWorkingCopy() || !checkRules())
        return;
    if (const DbError e = commitWorkingCopy()) {
        if (e.kind == DbError::Kind::Conflict && !m_conflicts.isEmpty())
            resolveConflict(e);
        else
            showEngineError(e);
        return;
    }
    // On a server the commit may have filled in values of the rows it
    // wrote (a reading's ID); a window that stays open shows them.
    if (m_tracked && db().engine() == Engine::Postgres) {
        Data1->recordset().forgetValues();
        Data1->reloadFields();
    }
    afterSave();
}

void LedgerEditor::resolveConflict(const DbError& error)
{
    const Prompter::Answer answer =
        prompt().message(error.description
                             + QStringLiteral("\n\n重新读取：放弃您对这些记录的修改，换成数据库中现在的内容。"
                                              "\n保留我的修改：再按“确定”时，用您的修改覆盖别人的修改。"
                                              "\n取消：回到窗口，暂不处理。"),
                         AppTitle, Prompter::Icon::Warning, Prompter::Buttons::ReloadKeepCancel);
    if (answer == Prompter::Answer::Cancel)
        return;
    QVector<qint64> rows;
    for (const RowConflict& c : std::as_const(m_conflicts))
        rows << c.ledgerRow;
    const qint64 current = Data1->recordset().currentRowid();
    const DbError e = answer == Prompter::Answer::Yes ? reloadLedgerRows(db(), m_spec.table, m_spec.workingTable, rows)
                                                      : keepOwnEdits(db(), m_spec.table, m_spec.workingTable, rows);
    if (e) {
        showEngineError(e);
        return;
    }
    m_conflicts.clear();
    if (answer == Prompter::Answer::No)
        return;
    // Rows were rewritten, taken out or brought back behind the window.
    if (const DbError r = Data1->refresh()) {
        showEngineError(r);
        return;
    }
    if (current < 0 || !Data1->moveToRowid(current))
        Data1->moveFirst();
    Data1->reloadFields();
}

void LedgerEditor::cancel()
{
    reject();
}

void LedgerEditor::insertSymbol(const QString& symbol)
{
    QWidget* target = m_symbolTarget;
    if (!target || !target->isEnabled())
        return;
    if (auto* e = qobject_cast<QLineEdit*>(target)) {
        if (!e->isReadOnly())
            e->insert(symbol);
    } else if (auto* c = qobject_cast<QComboBox*>(target)) {
        if (c->lineEdit())
            c->lineEdit()->insert(symbol);
    } else if (auto* p = qobject_cast<QPlainTextEdit*>(target)) {
        if (!p->isReadOnly())
            p->insertPlainText(symbol);
    }
}

// ---- focus, keys and mouse ------------------------------------------------

void LedgerEditor::paintField(QWidget* field, bool focused)
{
    QPalette p = field->palette();
    const QColor base = fromColorRef(focused ? FocusBackground : FieldBackground);
    const QColor text = fromColorRef(focused ? FocusText : FieldText);
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(g, QPalette::Base, base);
        p.setColor(g, QPalette::Text, text);
    }
    field->setPalette(p);
}

QList<QWidget*> LedgerEditor::enterOrder() const
{
    return m_customEnterOrder ? m_enterOrder : QList<QWidget*>(Text1.cbegin(), Text1.cend());
}

bool LedgerEditor::walkOnEnter(QWidget* field)
{
    const QList<QWidget*> order = enterOrder();
    const qsizetype i = order.indexOf(field);
    if (i < 0)
        return false;
    QWidget* next = i + 1 < order.size() ? order.at(i + 1) : m_enterAfterLast.data();
    if (next)
        next->setFocus(Qt::TabFocusReason);
    return true;
}

bool LedgerEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (auto* b = qobject_cast<QPushButton*>(watched); b && m_buttons.contains(b)) {
        if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove)
            highlightButton(b);
        if (event->type() == QEvent::KeyPress && isEnterKey(static_cast<QKeyEvent*>(event))) {
            b->click();
            return true;
        }
        // Its access key (Alt+A for 添加(&A)) clicks the button at once. Qt
        // would show the button pressed for a moment first, and whatever the
        // user types meanwhile, such as the number of the instrument being
        // added, would reach the fields before the click.
        if (event->type() == QEvent::Shortcut && !static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
            if (b->isEnabled())
                b->click();
            return true;
        }
        return QDialog::eventFilter(watched, event);
    }

    // The inner line edit of a combo box speaks for its combo box.
    auto* w = qobject_cast<QWidget*>(watched);
    if (w && qobject_cast<QComboBox*>(w->parentWidget()) && qobject_cast<QLineEdit*>(w))
        w = w->parentWidget();
    if (!w || !Data1->boundFields().contains(w))
        return QDialog::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* k = static_cast<QKeyEvent*>(event);
        const bool lineBreak = qobject_cast<QPlainTextEdit*>(w) && (k->modifiers() & Qt::ShiftModifier);
        if (isEnterKey(k) && !lineBreak && walkOnEnter(w))
            return true;
        break;
    }
    case QEvent::FocusIn:
        // A field that gets the focus back after a message box or its own
        // drop-down list is already dark; it does not beep again.
        if (m_focusField != w) {
            m_focusField = w;
            paintField(w, true);
            prompt().beep();
        }
        break;
    case QEvent::FocusOut: {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
            break;
        if (watched != w && w->hasFocus())
            break; // the focus moved between a combo box and its own line edit
        m_focusField = nullptr;
        paintField(w, false);
        if (m_spec.symbolToolbar && !m_noSymbols.contains(w))
            m_symbolTarget = w;
        break;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void LedgerEditor::keyPressEvent(QKeyEvent* event)
{
    // Escape does not throw the working copy away; Cancel does.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void LedgerEditor::highlightButton(QPushButton* button)
{
    if (m_state.ButtonHighlighted || m_notHighlighted.contains(button))
        return;
    m_state.ButtonHighlighted = true;
    QPalette p = button->palette();
    p.setColor(QPalette::Button, fromColorRef(HighlightColor));
    button->setPalette(p);
}

void LedgerEditor::restoreButtons()
{
    if (!m_state.ButtonHighlighted)
        return;
    for (QPushButton* b : std::as_const(m_buttons))
        b->setPalette(QPalette());
    m_state.ButtonHighlighted = false;
}

void LedgerEditor::mouseMoveEvent(QMouseEvent* event)
{
    QWidget* under = childAt(event->position().toPoint());
    auto* button = qobject_cast<QPushButton*>(under);
    if (!button || !m_buttons.contains(button))
        restoreButtons();
    QDialog::mouseMoveEvent(event);
}

void LedgerEditor::printHistoryCard()
{
    const QString number = m_numberField ? DataControl::fieldText(m_numberField).trimmed() : QString();
    if (number.isEmpty()) {
        prompt().plain(QStringLiteral("请先选择一台计量器具，再打印履历卡。"), AppTitle);
        return;
    }
    printHistoryCards(this, prompt(), db(), {number});
}

void LedgerEditor::showAttachments()
{
    if (!attachmentsAvailable())
        return;
    const QString number = m_numberField ? DataControl::fieldText(m_numberField).trimmed() : QString();
    QSqlQuery q(db().connection());
    q.prepare(QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = ?")
                  .arg(quotedIdentifier(m_spec.table), quotedIdentifier(NumberColumn)));
    q.addBindValue(number);
    if (number.isEmpty() || !q.exec() || !q.next() || q.value(0).toInt() == 0) {
        prompt().plain(QStringLiteral("附件跟随台帐中的器具：请先“确定”保存这台器具，再打开它的附件。"), AppTitle);
        return;
    }
    AttachmentsWindow w(db(), prompt(), {number, attachmentkind::Instrument}, signedInName(),
                        QStringLiteral("计量器具“%1”").arg(number), this);
    w.exec();
}

void LedgerEditor::showChangeHistory()
{
    const QString number = m_numberField ? DataControl::fieldText(m_numberField).trimmed() : QString();
    if (number.isEmpty()) {
        prompt().plain(QStringLiteral("请先选择一台计量器具，再查看它的变更履历。"), AppTitle);
        return;
    }
    if (!keepsHistory(db())) {
        prompt().plain(
            QStringLiteral("这个台帐还没有变更履历数据表（由较早版本的 RAVO 建立，尚未升级），没有变更履历可看。"),
            AppTitle);
        return;
    }
    QSqlQuery q(db().connection());
    q.prepare(QStringLiteral("SELECT count(*) FROM %1 WHERE %2 = ?")
                  .arg(quotedIdentifier(m_spec.table), quotedIdentifier(NumberColumn)));
    q.addBindValue(number);
    if (!q.exec() || !q.next() || q.value(0).toInt() == 0) {
        prompt().plain(
            QStringLiteral("台帐中还没有编号为“%1”的器具（还没有“确定”保存），所以没有它的变更履历。").arg(number),
            AppTitle);
        return;
    }
    q.finish();
    HistoryWindow w(db(), prompt(), number, this);
    w.exec();
}

QString LedgerEditor::shownText(const QString& column) const
{
    for (QWidget* field : Data1->boundFields())
        if (Data1->boundColumn(field) == column)
            return DataControl::fieldText(field).trimmed();
    return {};
}

bool LedgerEditor::attachmentsAvailable() const
{
    if (db().tableExists(tables::Attachments))
        return true;
    prompt().plain(QStringLiteral("这个台帐还没有附件数据表（由较早版本的 RAVO 建立，尚未升级），不能使用附件。"),
                   AppTitle);
    return false;
}

QString LedgerEditor::signedInName() const
{
    const int i = state().CurrentUser - 1;
    return i >= 0 && i < state().UserList.size() ? state().UserList.at(i).Name : QString();
}

} // namespace ravo
