#include "frmWaitProvide.h"

#include "EditorTexts.h"
#include "core/Attachments.h"
#include "core/Dates.h"
#include "frmOperation.h"
#include "platform/AttachmentsWindow.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>

namespace ravo {

namespace {

EditorSpec stockSpec()
{
    EditorSpec s;
    s.caption = QStringLiteral("计量器具待发放库");
    s.table = tables::Stock;
    s.workingTable = tables::working(tables::Stock);
    s.order = QStringLiteral("购买日期,计量器具名称");
    s.symbolToolbar = true;
    return s;
}

const QString Category = QStringLiteral("计量器具类别");
const QString Kind = QStringLiteral("计量器具种别");
const QString NothingEntered = QStringLiteral("你没有输入任何数据！不能保存！");
const QString NotIssued = QStringLiteral("不能启用！");

// Indexes into Text1.
constexpr int Made = 6;      // 出厂日期
constexpr int Bought = 9;    // 购买日期
constexpr int Quantity = 12; // 库存数量

} // namespace

const QStringList& frmWaitProvide::textColumns()
{
    static const QStringList cols = QStringLiteral("计量器具名称,规格型号,准确度,准确度等级,测量范围,分度值,出厂日期,"
                                                   "制造厂家,配套设备,购买日期,购买价格,采购员,库存数量")
                                        .split(QLatin1Char(','));
    return cols;
}

frmWaitProvide::~frmWaitProvide()
{
    // The fields go after this part of the window: a combo box losing the
    // focus as it goes must not call back into it.
    Combo1->disconnect(this);
}

frmWaitProvide::frmWaitProvide(ProgramState& state, QWidget* parent) : LedgerEditor(state, stockSpec(), parent)
{
    createFields();
    createButtons();
    createLayout();
    setLockedFields(tabSequence());
    setEnterOrder(tabSequence(), cmdAdd);
}

QList<QWidget*> frmWaitProvide::tabSequence() const
{
    QList<QWidget*> seq = {Combo1, Combo2};
    seq.append(QList<QWidget*>(Text1.cbegin(), Text1.cend()));
    return seq;
}

void frmWaitProvide::createFields()
{
    auto combo = [this](const char* name, const QString& column, const QStringList& items) {
        auto* c = new QComboBox(this);
        c->setObjectName(QString::fromLatin1(name));
        c->setEditable(true);
        c->setInsertPolicy(QComboBox::NoInsert);
        c->addItems(items);
        c->setEditText(QString());
        bindField(c, column);
        // Symbols go into the text boxes only.
        excludeFromSymbols(c);
        return c;
    };
    QStringList categories;
    for (const InstrumentClass& c : *state().InstrumentClasses)
        categories << c.name;
    Combo1 = combo("Combo1", Category, categories);
    Combo2 = combo("Combo2", Kind, {});
    // Picking a category offers its kinds; typing alone does not.
    connect(Combo1, &QComboBox::activated, this, &frmWaitProvide::fillKindList);

    const QStringList& cols = textColumns();
    for (int i = 0; i < cols.size(); ++i)
        addTextField(i, cols.at(i));
}

void frmWaitProvide::createButtons()
{
    cmdAdd = addCommandButton(QStringLiteral("cmdAdd"), QStringLiteral("新品入库(&A)"));
    cmdUser = addCommandButton(QStringLiteral("cmdUser"), QStringLiteral("启用(&U)"));
    cmdDelete = addCommandButton(QStringLiteral("cmdDelete"), texts::DeleteCaption, &LedgerEditor::deleteCurrent);
    cmdExit = addCommandButton(QStringLiteral("cmdExit"), texts::CancelCaption, &LedgerEditor::cancel);
    cmdOK = addCommandButton(QStringLiteral("cmdOK"), texts::OkCaption, &LedgerEditor::save);
    cmdFiles = addCommandButton(QStringLiteral("cmdFiles"), QStringLiteral("附件(&M)..."));
    cmdFiles->setToolTip(
        QStringLiteral("这项待发放器具的附件，例如发票、说明书、出厂合格证；启用时随器具带到在用台帐"));
    connect(cmdAdd, &QPushButton::clicked, this, &frmWaitProvide::addStock);
    connect(cmdUser, &QPushButton::clicked, this, &frmWaitProvide::issue);
    connect(cmdFiles, &QPushButton::clicked, this, &frmWaitProvide::showStockAttachments);
}

void frmWaitProvide::createLayout()
{
    const QList<QWidget*> seq = tabSequence();
    layOutBody(labelledFields(seq, 3), seq, {cmdAdd, cmdUser, cmdDelete, cmdExit, cmdOK, cmdFiles});
    resize(860, sizeHint().height());
}

void frmWaitProvide::fillKindList(int)
{
    const QString kind = Combo2->currentText();
    const QSignalBlocker quiet(Combo2);
    Combo2->clear();
    for (const InstrumentClass& c : *state().InstrumentClasses) {
        if (c.name == Combo1->currentText()) {
            Combo2->addItems(c.kinds);
            break;
        }
    }
    Combo2->setCurrentIndex(-1);
    Combo2->setEditText(kind);
}

void frmWaitProvide::onActivate()
{
    state().EditorMode = ActiveWindow::Stock;
}

void frmWaitProvide::addStock()
{
    if (!Data1->addNew())
        return;
    unlockFields();
    Combo1->setFocus(Qt::OtherFocusReason);
    const QString today = formatShortDate(this->today());
    setFieldText(Made, today);
    setFieldText(Bought, today);
    setFieldText(Quantity, QStringLiteral("1"));
}

bool frmWaitProvide::rowIsBlank() const
{
    if (!Combo1->currentText().trimmed().isEmpty() || !Combo2->currentText().trimmed().isEmpty())
        return false;
    for (int i = 0; i < Text1.size(); ++i)
        if (!fieldText(i).trimmed().isEmpty())
            return false;
    return true;
}

void frmWaitProvide::refuseBlankRow()
{
    prompt().error(NothingEntered, AppTitle);
    Combo1->setFocus(Qt::OtherFocusReason);
}

bool frmWaitProvide::checkCurrentRow()
{
    if (!Data1->recordset().hasCurrent() || !rowIsBlank())
        return true;
    refuseBlankRow();
    return false;
}

bool frmWaitProvide::checkWorkingCopy()
{
    // A row emptied earlier and left behind is refused as well: the cursor
    // goes to it so that it can be filled in or deleted.
    const Recordset& rs = Data1->recordset();
    if (!rs.isOpen())
        return true;
    QStringList blank;
    for (const QString& c : rs.fields())
        blank << QStringLiteral("coalesce(trim(\"%1\"), '') = ''").arg(c);
    QSqlQuery q(db().connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT rowid FROM \"%1\" WHERE %2 ORDER BY rowid LIMIT 1")
                    .arg(rs.table(), blank.join(QStringLiteral(" AND "))))
        || !q.next())
        return true;
    const qint64 row = q.value(0).toLongLong();
    q.finish();
    Data1->recordset().moveToRowid(row);
    refuseBlankRow();
    return false;
}

std::optional<QHash<QString, QVariant>> frmWaitProvide::readIssue()
{
    auto refuse = [this](int field, const QString& why) {
        prompt().error(NotIssued + why, AppTitle);
        auto* box = static_cast<QLineEdit*>(Text1[field]);
        box->setFocus(Qt::OtherFocusReason);
        box->selectAll();
        return std::nullopt;
    };
    const QStringList& cols = textColumns();
    QHash<QString, QVariant> item;
    item.insert(Category, Combo1->currentText());
    item.insert(Kind, Combo2->currentText());
    for (int i = 0; i < cols.size(); ++i)
        item.insert(cols.at(i), fieldText(i));

    // A date box left empty stands for today.
    for (int i : {Made, Bought}) {
        const QString typed = fieldText(i);
        if (typed.trimmed().isEmpty()) {
            item.insert(cols.at(i), today());
            continue;
        }
        const std::optional<QDate> date = parseUserDate(typed);
        if (!date)
            return refuse(i, dateErrorMessage(cols.at(i), typed.trimmed()));
        item.insert(cols.at(i), *date);
    }

    const QString typed = fieldText(Quantity).trimmed();
    bool ok = false;
    const qlonglong quantity = typed.toLongLong(&ok);
    if (typed.isEmpty())
        return refuse(Quantity, QStringLiteral("没有填写“库存数量”。"));
    if (!ok)
        return refuse(Quantity, QStringLiteral("“库存数量”必须是整数：“%1”。").arg(typed));
    item.insert(cols.at(Quantity), quantity);
    return item;
}

void frmWaitProvide::issue()
{
    if (!Data1->recordset().hasCurrent() || !Combo1->isEnabled())
        return;
    if (rowIsBlank()) {
        refuseBlankRow();
        return;
    }
    // Everything is read before the question, so that a refusal comes first
    // and nothing changes.
    const std::optional<QHash<QString, QVariant>> item = readIssue();
    if (!item)
        return;
    const QString question = QStringLiteral("你确定要将此：\"") + fieldText(0)
        + QStringLiteral("\"启用吗？启用后，待发放库中此类数量将减少1只！");
    if (!prompt().confirm(question, QStringLiteral("启用")))
        return;

    state().StockIssue = *item;
    state().navigation.StockIssueRow = currentLedgerRow();
    frmOperation editor(state(), this);
    if (!editor.load())
        return; // the reason was shown; nothing issued
    const qlonglong quantity = item->value(textColumns().at(Quantity)).toLongLong();
    setFieldText(Quantity, QString::number(quantity > 0 ? quantity - 1 : 0));
    // The in-use editor starts its new row from StockIssue because this
    // window was the active one.
    state().EditorMode = ActiveWindow::Stock;
    editor.exec();
    activate();
}

qint64 frmWaitProvide::currentLedgerRow() const
{
    const Recordset& rs = Data1->recordset();
    if (!rs.hasCurrent() || rs.isAdding())
        return -1;
    return ledgerRowOf(db(), editorSpec().workingTable, rs.currentRowid());
}

void frmWaitProvide::showStockAttachments()
{
    if (!attachmentsAvailable())
        return;
    const qint64 row = currentLedgerRow();
    if (row < 0) {
        prompt().plain(QStringLiteral("附件跟随台帐中的待发放器具：这一项还没有保存到台帐中，"
                                      "请先“确定”保存，再打开它的附件。"),
                       AppTitle);
        return;
    }
    QSqlQuery q(db().connection());
    q.prepare(QStringLiteral("SELECT count(*) FROM %1 WHERE rowid = ?").arg(quotedIdentifier(editorSpec().table)));
    q.addBindValue(row);
    if (!q.exec() || !q.next() || q.value(0).toInt() == 0) {
        prompt().plain(QStringLiteral("这项待发放器具已经不在台帐中了（也许刚被别人删除），不能打开它的附件。"),
                       AppTitle);
        return;
    }
    q.finish();
    const QString name = fieldText(0).trimmed();
    AttachmentsWindow w(db(), prompt(), stockItemOwner(row), signedInName(),
                        name.isEmpty() ? QStringLiteral("这项待发放器具") : QStringLiteral("待发放器具“%1”").arg(name),
                        this);
    w.exec();
}

DbError frmWaitProvide::commitWorkingCopy()
{
    // The commit clears the books that name them.
    m_deletedItems = removedLedgerRows(db(), editorSpec().workingTable);
    return LedgerEditor::commitWorkingCopy();
}

DbError frmWaitProvide::commitAlso()
{
    return removeStockAttachments(db(), m_deletedItems);
}

} // namespace ravo
