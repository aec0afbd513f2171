#include "frmQuery.h"

#include "QueryTexts.h"
#include "SavedQueries.h"
#include "platform/TypedText.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace ravo {

namespace t = querytexts;

namespace {

const QStringList& operators()
{
    static const QStringList ops = {QStringLiteral("="),   QStringLiteral(">"),  QStringLiteral(">="),
                                    QStringLiteral("<"),   QStringLiteral("<="), QStringLiteral("<>"),
                                    QStringLiteral("like")};
    return ops;
}

const QStringList& keyCaptions()
{
    static const QStringList captions = {QStringLiteral("排序一"), QStringLiteral("排序二"), QStringLiteral("排序三"),
                                         QStringLiteral("排序四")};
    return captions;
}

template <class W> W* named(W* w, const QString& name)
{
    w->setObjectName(name);
    return w;
}

QPushButton* button(const QString& caption, const QString& name)
{
    auto* b = named(new QPushButton(caption), name);
    b->setAutoDefault(false);
    return b;
}

QStringList entries(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

bool hasSelection(const QListWidget* list)
{
    return !list->selectedItems().isEmpty();
}

// Moves the selected entry of one list to the end of the other and selects
// it there; the source then selects what now stands at the removed place,
// or its new last entry.
void moveSelected(QListWidget* from, QListWidget* to)
{
    const QList<QListWidgetItem*> picked = from->selectedItems();
    if (picked.isEmpty())
        return;
    const int row = from->row(picked.first());
    to->addItem(from->item(row)->text());
    to->setCurrentRow(to->count() - 1);
    delete from->takeItem(row);
    if (from->count() == 0) {
        from->setCurrentRow(-1);
        from->clearSelection();
    } else {
        from->setCurrentRow(qMin(row, from->count() - 1));
    }
}

void moveAll(QListWidget* from, QListWidget* to)
{
    to->addItems(entries(from));
    from->clear();
    if (to->count() > 0)
        to->setCurrentRow(0);
}

} // namespace

frmQuery::frmQuery(ProgramState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmQuery"));
    setWindowTitle(t::Caption);
    createControls();
    createLayout();
    connectControls();
    load();
}

void frmQuery::createControls()
{
    lblQuerySave = named(new QLabel(t::SavedLabel), QStringLiteral("lblQuerySave"));
    cboQuerySave = named(new QComboBox, QStringLiteral("cboQuerySave"));
    cboQuerySave->setEditable(true);
    cboQuerySave->setInsertPolicy(QComboBox::NoInsert);
    lblQuerySave->setBuddy(cboQuerySave);

    cmdQuery = button(t::QueryCaption, QStringLiteral("cmdQuery"));
    cmdQuery->setDefault(true);
    cmdSaveQuery = button(t::SaveCaption, QStringLiteral("cmdSaveQuery"));
    cmdCancle = button(t::CancelCaption, QStringLiteral("cmdCancle"));

    SSTab1 = named(new QTabWidget, QStringLiteral("SSTab1"));
    SSTab1->addTab(createConditionsTab(), t::TabConditions);
    SSTab1->addTab(createFieldsTab(), t::TabFields);
    SSTab1->addTab(createOrderTab(), t::TabOrder);
}

QWidget* frmQuery::createConditionsTab()
{
    Label1 = named(new QLabel(t::FieldLabel), QStringLiteral("Label1"));
    cboQueryFields = named(new QComboBox, QStringLiteral("cboQueryFields"));
    Label1->setBuddy(cboQueryFields);
    Label2 = named(new QLabel(t::MatterLabel), QStringLiteral("Label2"));
    txtQueryMatter = named(new QLineEdit, QStringLiteral("txtQueryMatter"));
    txtQueryMatter->installEventFilter(this);
    Label2->setBuddy(txtQueryMatter);
    chkBlur = named(new QCheckBox(t::BlurCaption), QStringLiteral("chkBlur"));
    chkHigh = named(new QCheckBox(t::HighCaption), QStringLiteral("chkHigh"));

    cboFields = named(new QComboBox, QStringLiteral("cboFields"));
    cboOperator = named(new QComboBox, QStringLiteral("cboOperator"));
    cboOperator->addItems(operators());
    txtValue = named(new QLineEdit, QStringLiteral("txtValue"));
    optAND = named(new QRadioButton(t::AndCaption), QStringLiteral("optAND"));
    optOR = named(new QRadioButton(t::OrCaption), QStringLiteral("optOR"));
    auto* joiners = new QButtonGroup(this);
    joiners->addButton(optAND);
    joiners->addButton(optOR);
    cmdAdd = button(t::AddConditionCaption, QStringLiteral("cmdAdd"));
    cmdClear = button(t::ClearCaption, QStringLiteral("cmdClear"));
    txtSQL = named(new QPlainTextEdit, QStringLiteral("txtSQL"));
    txtSQL->setTabChangesFocus(true);

    auto* tab = new QWidget;
    auto* simple = new QGridLayout;
    simple->addWidget(Label1, 0, 0);
    simple->addWidget(cboQueryFields, 0, 1);
    simple->addWidget(Label2, 1, 0);
    simple->addWidget(txtQueryMatter, 1, 1);
    simple->addWidget(chkBlur, 2, 1);
    simple->setColumnStretch(1, 1);

    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto* condition = new QHBoxLayout;
    condition->addWidget(cboFields, 3);
    condition->addWidget(cboOperator, 1);
    condition->addWidget(txtValue, 3);
    auto* joinRow = new QHBoxLayout;
    joinRow->addWidget(optAND);
    joinRow->addWidget(optOR);
    joinRow->addStretch();
    joinRow->addWidget(cmdAdd);
    joinRow->addWidget(cmdClear);

    auto* v = new QVBoxLayout(tab);
    v->addLayout(simple);
    v->addWidget(line);
    v->addWidget(chkHigh);
    v->addLayout(condition);
    v->addLayout(joinRow);
    v->addWidget(txtSQL, 1);
    return tab;
}

QWidget* frmQuery::createFieldsTab()
{
    Label3 = named(new QLabel(t::FieldsHint), QStringLiteral("Label3"));
    lstSource = named(new QListWidget, QStringLiteral("lstSource"));
    lstDest = named(new QListWidget, QStringLiteral("lstDest"));
    for (QListWidget* l : {lstSource, lstDest})
        l->setSelectionMode(QAbstractItemView::SingleSelection);
    cmdAddField = button(QStringLiteral(">"), QStringLiteral("cmdAddField"));
    cmdAddAll = button(QStringLiteral(">>"), QStringLiteral("cmdAddAll"));
    cmdDel = button(QStringLiteral("<"), QStringLiteral("cmdDel"));
    cmdDelAll = button(QStringLiteral("<<"), QStringLiteral("cmdDelAll"));
    Label13 = named(new QLabel(t::UniqueFieldHint), QStringLiteral("Label13"));

    auto* moves = new QVBoxLayout;
    moves->addStretch();
    for (QPushButton* b : {cmdAddField, cmdAddAll, cmdDel, cmdDelAll}) {
        b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral(">>")) + 32);
        moves->addWidget(b);
    }
    moves->addStretch();

    auto* lists = new QHBoxLayout;
    lists->addWidget(lstSource, 1);
    lists->addLayout(moves);
    lists->addWidget(lstDest, 1);

    auto* tab = new QWidget;
    auto* v = new QVBoxLayout(tab);
    v->addWidget(Label3);
    v->addLayout(lists, 1);
    v->addWidget(Label13);
    return tab;
}

QWidget* frmQuery::createOrderTab()
{
    auto* hint = named(new QLabel(t::OrderHint), QStringLiteral("lblOrderHint"));
    auto* priority = named(new QLabel(t::OrderPriorityHint), QStringLiteral("lblOrderPriority"));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(t::OrderNumberHeading), 0, 0);
    grid->addWidget(new QLabel(t::OrderFieldHeading), 0, 1);
    grid->addWidget(new QLabel(t::OrderDirectionHeading), 0, 2);
    for (int k = 0; k < 4; ++k) {
        auto* field = named(new QComboBox, QStringLiteral("Combo1(%1)").arg(k));
        // Editable, so that a key can be emptied again.
        field->setEditable(true);
        field->setInsertPolicy(QComboBox::NoInsert);
        auto* direction = named(new QComboBox, QStringLiteral("Combo2(%1)").arg(k));
        direction->addItems({t::Ascending, t::Descending});
        Combo1 << field;
        Combo2 << direction;
        auto* caption = new QLabel(keyCaptions()[k]);
        caption->setBuddy(field);
        grid->addWidget(caption, k + 1, 0);
        grid->addWidget(field, k + 1, 1);
        grid->addWidget(direction, k + 1, 2);
    }
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(2, 1);

    auto* tab = new QWidget;
    auto* v = new QVBoxLayout(tab);
    v->addWidget(hint);
    v->addLayout(grid);
    v->addStretch();
    v->addWidget(priority);
    return tab;
}

void frmQuery::createLayout()
{
    auto* saved = new QHBoxLayout;
    saved->addWidget(lblQuerySave);
    saved->addWidget(cboQuerySave, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdQuery);
    buttons->addWidget(cmdSaveQuery);
    buttons->addWidget(cmdCancle);

    auto* v = new QVBoxLayout(this);
    v->addLayout(saved);
    v->addWidget(SSTab1, 1);
    v->addLayout(buttons);
    setMinimumSize(480, 400);
}

void frmQuery::connectControls()
{
    connect(cmdQuery, &QPushButton::clicked, this, &frmQuery::query);
    connect(cmdSaveQuery, &QPushButton::clicked, this, &frmQuery::saveQuery);
    connect(cmdCancle, &QPushButton::clicked, this, &frmQuery::reject);
    connect(chkHigh, &QCheckBox::toggled, this, &frmQuery::applyMode);
    connect(cmdAdd, &QPushButton::clicked, this, &frmQuery::addCondition);
    connect(cmdClear, &QPushButton::clicked, this, &frmQuery::clearConditions);
    connect(cmdAddField, &QPushButton::clicked, this, &frmQuery::addField);
    connect(cmdAddAll, &QPushButton::clicked, this, &frmQuery::addAllFields);
    connect(cmdDel, &QPushButton::clicked, this, &frmQuery::removeField);
    connect(cmdDelAll, &QPushButton::clicked, this, &frmQuery::removeAllFields);
    connect(lstSource, &QListWidget::itemSelectionChanged, this, &frmQuery::refreshMoveButtons);
    connect(lstDest, &QListWidget::itemSelectionChanged, this, &frmQuery::refreshMoveButtons);
}

// Runs once, when the wizard is loaded.
void frmQuery::load()
{
    chkHigh->setChecked(true);
    chkHigh->setChecked(false);
    optAND->setChecked(true);
    for (int k = 1; k < 4; ++k)
        Combo2[k]->setCurrentIndex(-1);
    refreshMoveButtons();
}

void frmQuery::activate()
{
    if (m_state.CurrentTable == t_oldTable)
        return;
    t_oldTable = m_state.CurrentTable;

    cboQueryFields->clear();
    lstSource->clear();
    lstDest->clear();
    cboFields->clear();
    for (QComboBox* c : std::as_const(Combo1))
        c->clear();

    const QStringList columns = m_state.LedgerDatabase.columns(t_oldTable);
    cboFields->addItems(columns);
    cboQueryFields->addItems(columns);
    lstDest->addItems(columns);
    for (QComboBox* c : std::as_const(Combo1))
        c->addItems(columns);

    fillSavedList();

    lstDest->setCurrentRow(columns.isEmpty() ? -1 : 0);
    cboQueryFields->setCurrentIndex(columns.isEmpty() ? -1 : 0);
    cboFields->setCurrentIndex(columns.isEmpty() ? -1 : 0);
    cboOperator->setCurrentIndex(0);
    Combo1[0]->setCurrentIndex(columns.isEmpty() ? -1 : 0);
    Combo2[0]->setCurrentIndex(0);
    for (int k = 1; k < 4; ++k)
        Combo1[k]->setCurrentIndex(-1);
    refreshMoveButtons();
}

void frmQuery::fillSavedList()
{
    cboQuerySave->clear();
    cboQuerySave->addItem(QString());
    for (const SavedQuery& q : std::as_const(m_state.SavedQueries))
        cboQuerySave->addItem(q.name);
    cboQuerySave->setCurrentIndex(0);
}

void frmQuery::applyMode()
{
    const bool advanced = chkHigh->isChecked();
    const QList<QWidget*> simpleControls{Label1, Label2, cboQueryFields, txtQueryMatter, chkBlur};
    const QList<QWidget*> advancedControls{cboFields, cboOperator, txtValue, optAND, optOR, cmdAdd, cmdClear, txtSQL};
    for (QWidget* w : simpleControls)
        w->setEnabled(!advanced);
    for (QWidget* w : advancedControls)
        w->setEnabled(advanced);
}

void frmQuery::refreshMoveButtons()
{
    const bool source = hasSelection(lstSource);
    const bool dest = hasSelection(lstDest);
    cmdAddField->setEnabled(source);
    cmdAddAll->setEnabled(source);
    cmdDel->setEnabled(dest);
    cmdDelAll->setEnabled(dest);
}

void frmQuery::addCondition()
{
    const QString value = txtValue->text();
    if (value.isEmpty()) {
        m_state.prompt.plain(t::NoConditionValue, AppTitle);
        return;
    }
    const QString field = cboFields->currentText();
    // The condition box keeps lines, not carriage returns: a value holding
    // one would be looked for without it and never found.
    if (value.contains(QLatin1Char('\r'))) {
        m_state.prompt.error(t::CarriageReturnInValue, AppTitle);
        txtValue->setFocus();
        return;
    }
    if (const QString problem = valueProblem(field, value); !problem.isEmpty()) {
        m_state.prompt.error(problem, AppTitle);
        txtValue->setFocus();
        return;
    }
    txtSQL->setPlainText(
        appendCondition(typedText(txtSQL), optAND->isChecked(), field, cboOperator->currentText(), value));
    cmdClear->setEnabled(true);
}

void frmQuery::clearConditions()
{
    txtValue->clear();
    txtSQL->clear();
    cmdClear->setEnabled(false);
    cboFields->setFocus();
}

void frmQuery::addField()
{
    moveSelected(lstSource, lstDest);
    refreshMoveButtons();
}

void frmQuery::addAllFields()
{
    moveAll(lstSource, lstDest);
    refreshMoveButtons();
}

void frmQuery::removeField()
{
    moveSelected(lstDest, lstSource);
    refreshMoveButtons();
}

void frmQuery::removeAllFields()
{
    moveAll(lstDest, lstSource);
    refreshMoveButtons();
}

QueryChoice frmQuery::currentChoice() const
{
    QueryChoice c;
    c.table = m_state.CurrentTable;
    c.fields = entries(lstDest);
    for (int k = 0; k < 4; ++k)
        c.sortKeys[k] = {Combo1[k]->currentText().trimmed(), Combo2[k]->currentText()};
    c.advanced = chkHigh->isChecked();
    c.conditionText = typedText(txtSQL);
    c.field = cboQueryFields->currentText();
    c.value = txtQueryMatter->text();
    c.blur = chkBlur->isChecked();
    return c;
}

bool frmQuery::checkComposable()
{
    if (lstDest->count() == 0) {
        m_state.prompt.error(t::NoFieldChosen, AppTitle);
        SSTab1->setCurrentIndex(1);
        return false;
    }
    if (!chkHigh->isChecked()) {
        const QString problem = valueProblem(cboQueryFields->currentText(), txtQueryMatter->text());
        if (!problem.isEmpty()) {
            m_state.prompt.error(problem, AppTitle);
            SSTab1->setCurrentIndex(0);
            txtQueryMatter->setFocus();
            return false;
        }
    }
    return true;
}

void frmQuery::query()
{
    const QString pick = cboQuerySave->currentText();
    const SavedQuery* saved = pick.isEmpty() ? nullptr : findSavedQuery(m_state.SavedQueries, pick);
    if (saved) {
        m_state.QuerySQL = saved->sql;
    } else {
        if (!checkComposable())
            return;
        m_state.QuerySQL = composeQuery(currentChoice());
    }
    m_state.RequeryOnActivate = true;
    accept();
}

void frmQuery::saveQuery()
{
    if (!checkComposable())
        return;
    const std::optional<QString> answer = m_state.prompt.input(t::SaveNamePrompt, t::SaveNameTitle);
    const QString name = answer.value_or(QString()).trimmed();
    if (name.isEmpty())
        return;
    cboQuerySave->addItem(name);
    const QString statement = composeQuery(currentChoice());
    m_state.QuerySQL = statement;
    appendSavedQuery(m_state.settings, m_state.SavedQueries, {name, statement});
}

void frmQuery::reject()
{
    m_state.RequeryOnActivate = false;
    QDialog::reject();
}

void frmQuery::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    activate();
}

void frmQuery::closeEvent(QCloseEvent* event)
{
    // The close box runs nothing, as 取消 does, but unloads the wizard.
    m_unloaded = true;
    QDialog::closeEvent(event);
    if (event->isAccepted())
        m_state.RequeryOnActivate = false;
    else
        m_unloaded = false;
}

bool frmQuery::eventFilter(QObject* watched, QEvent* event)
{
    // The typed value is selected whole on entry, so that typing replaces it;
    // deferred, as a mouse click would otherwise place the cursor over it.
    if (watched == txtQueryMatter && event->type() == QEvent::FocusIn)
        QTimer::singleShot(0, txtQueryMatter, &QLineEdit::selectAll);
    return QDialog::eventFilter(watched, event);
}

} // namespace ravo
