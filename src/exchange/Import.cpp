#include "exchange/Import.h"

#include "core/Database.h"
#include "core/Dates.h"
#include "core/FaultInjection.h"
#include "core/History.h"
#include "core/Ledger.h"
#include "exchange/TableWriter.h"

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSqlQuery>
#include <algorithm>
#include <cmath>
#include <memory>
#include <sqlite3.h>

namespace ravo::exchange {

namespace {

// How often the progress is reported.
constexpr int ProgressEvery = 256;

const QString ClassColumn = QStringLiteral("计量器具类别");
const QString KindColumn = QStringLiteral("计量器具种别");

// The words instrument ledgers use for the table columns, each with the
// columns it may mean (the first one the table has is taken).
const QHash<QString, QStringList>& synonyms()
{
    static const QHash<QString, QStringList> map = [] {
        const QList<QPair<const char*, const char*>> list = {
            {"计量器具编号",
             "编号|管理编号|器具编号|统一编号|设备编号|仪器编号|仪器设备编号|计量编号|资产编号|固定资产编号|自编号|内部编号"},
            {"计量器具名称", "名称|器具名称|设备名称|仪器名称|仪器设备名称|计量器具|品名"},
            {"计量器具类别", "类别|器具类别|分类|专业类别|专业"},
            {"计量器具种别", "种别|器具种别|种类"},
            {"规格型号", "型号|规格|型号规格|规格型号|规格/型号|型号/规格"},
            {"准确度", "精度|准确度|精确度|不确定度|最大允许误差|允许误差|准确度/不确定度"},
            {"准确度等级", "等级|精度等级|准确度级别|准确等级"},
            {"测量范围", "量程|测量范围|测量区间|范围"},
            {"分度值", "分辨力|分辨率|分度|最小分度值"},
            {"管理类别", "管理等级|abc分类|abc类别|管理分类"},
            {"法制管理类别", "法制类别|强检类别|强检|是否强检|强制检定"},
            {"制造厂家", "生产厂家|制造商|厂家|生产厂商|制造厂|生产厂|制造单位|生产单位|制造厂商"},
            {"出厂编号", "出厂号|出厂编码|制造编号|机身号|序列号"},
            {"出厂日期", "生产日期|制造日期"},
            {"配套设备", "附件|配件|配套附件"},
            {"状态", "状况|使用状态|设备状态"},
            {"启用日期", "启用时间|投用日期|投入使用日期|使用日期"},
            {"检定日期", "校准日期|上次检定日期|检定时间|校准时间|检校日期|检定/校准日期|最近检定日期"},
            {"检定周期", "周期|检定周期(月)|校准周期|检定周期月|检定周期(年)"},
            {"有效日期", "有效期|有效期至|下次检定日期|到期日期|下次校准日期|有效期限|失效日期|到期日|有效截止日期"},
            {"检定单位", "校准单位|检定机构|校准机构|检定/校准单位"},
            {"使用部门", "部门|使用单位|使用科室|所属部门|使用车间"},
            {"存放地点", "存放位置|放置地点|安装地点|安装位置|地点|位置"},
            {"保管员", "保管人|责任人|使用人|负责人"},
            {"联系电话", "电话|联系方式"},
            {"购买日期", "购置日期|采购日期|购入日期|购买时间"},
            {"采购员", "采购人|购买人"},
            {"购买价格", "价格|单价|购置价格|采购价格|原值|金额"},
            {"备注", "说明|附注"},
            {"库存数量", "数量|库存|台数"},
            {"封存日期", "封存时间"},
            {"报废日期", "报废时间"},
            {"报废原因", "报废理由"},
            {"报告编号", "证书编号|证书号|报告号"},
            {"报告类型", "报告类别|证书类型"},
            {"送检单位", "送检部门|委托单位"},
            {"结论", "检定结论|校准结论|检定结果"},
            {"批准人", "批准"},
            {"核验员", "核验人|核验|核验人员"},
            {"检定员", "检定人|检定人员|校准员|校准人"},
            {"修理日期", "修理时间|维修日期|维修时间"},
            {"修理人员", "修理人|维修人员|维修人"},
            {"修理前状态", "维修前状态"},
            {"修理后状态", "维修后状态"},
            {"修理内容", "维修内容"},
            {"环境温度", "温度|室温"},
            {"环境湿度", "湿度|相对湿度"},
            {"大气压力", "气压|大气压"},
        };
        QHash<QString, QStringList> m;
        for (const auto& [column, words] : list)
            for (const QString& word : QString::fromUtf8(words).split(QLatin1Char('|')))
                m[headerKey(word)].append(QString::fromUtf8(column));
        return m;
    }();
    return map;
}

// SQLite's NOCASE: Latin letters only.
QString numberKey(const QString& number)
{
    QString k = number;
    for (QChar& c : k)
        if (c.unicode() < 128)
            c = c.toLower();
    return k;
}

QString withoutBrackets(const QString& key)
{
    static const QRegularExpression re(QStringLiteral(R"(\([^)]*\)|\[[^\]]*\])"));
    QString k = key;
    return k.remove(re);
}

// A name of the classification without its code letter: "长度L" → "长度".
QString withoutCode(const QString& name)
{
    if (name.size() > 1 && name.back().isLetter() && name.back().script() != QChar::Script_Han)
        return name.chopped(1);
    return name;
}

QString canonicalClass(const QString& value)
{
    const QString key = headerKey(value);
    for (const InstrumentClass& c : instrumentClasses())
        if (headerKey(c.name) == key || headerKey(withoutCode(c.name)) == key)
            return c.name;
    return value;
}

QString canonicalKind(const QString& className, const QString& value)
{
    const QString key = headerKey(value);
    for (const InstrumentClass& c : instrumentClasses()) {
        if (c.name != className)
            continue;
        for (const QString& kind : c.kinds)
            if (headerKey(kind) == key || headerKey(withoutCode(kind)) == key)
                return kind;
    }
    return value;
}

QString shown(const Cell& cell)
{
    return cell.toString().trimmed();
}

std::optional<QDate> dateOf(const Cell& cell)
{
    switch (cell.kind) {
    case Cell::Kind::Date:
    case Cell::Kind::DateTime:
        return cell.date;
    case Cell::Kind::Number: {
        const double n = cell.number;
        if (n != std::floor(n))
            break;
        // 20230501 typed as a number, or Excel's day number.
        if (n >= 10000101 && n <= 99991231)
            return parseUserDate(QString::number(qint64(n)));
        if (const auto dt = serialToDateTime(n, false))
            return dt->date;
        break;
    }
    case Cell::Kind::Text: {
        QString t = cell.text.trimmed();
        // A date written with its time of day: the date counts.
        static const QRegularExpression withTime(
            QStringLiteral(R"(^(\S+?)(?:\s+|T)\d{1,2}[:：]\d{1,2}(?:[:：]\d{1,2}(?:\.\d+)?)?$)"));
        if (const auto m = withTime.match(t); m.hasMatch())
            t = m.captured(1);
        if (const auto d = parseUserDate(t))
            return d;
        // An Excel day number that lost its format on the way (a CSV file).
        static const QRegularExpression serial(QStringLiteral(R"(^\d{5}$)"));
        if (serial.match(t).hasMatch())
            if (const auto dt = serialToDateTime(t.toDouble(), false))
                return dt->date;
        break;
    }
    default:
        break;
    }
    return std::nullopt;
}

std::optional<QTime> timeOf(const Cell& cell)
{
    switch (cell.kind) {
    case Cell::Kind::Time:
    case Cell::Kind::DateTime:
        return QTime(cell.time.hour(), cell.time.minute(), cell.time.second());
    case Cell::Kind::Number:
        if (cell.number >= 0 && cell.number < 1)
            return QTime(0, 0).addSecs(int(std::lround(cell.number * 86400)) % 86400);
        break;
    case Cell::Kind::Text:
        return parseUserTime(cell.text.trimmed());
    default:
        break;
    }
    return std::nullopt;
}

std::optional<qint64> integerOf(const Cell& cell)
{
    double n = 0;
    if (cell.kind == Cell::Kind::Number) {
        n = cell.number;
    } else if (cell.kind == Cell::Kind::Text) {
        const QString t = cell.text.trimmed();
        bool ok = false;
        if (const qint64 i = t.toLongLong(&ok); ok)
            return i;
        n = t.toDouble(&ok);
        if (!ok)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (!std::isfinite(n) || n != std::floor(n) || std::fabs(n) > 9.0e15)
        return std::nullopt;
    return qint64(n);
}

// A line under the list such as "制表人：王五   审核：赵六": every filled cell
// is a label with a colon followed by what it names.
bool isNoteLine(const QVector<Cell>& row)
{
    static const QRegularExpression note(QStringLiteral(R"(^\s*[^\d\s:：]{1,8}\s*[:：])"));
    bool any = false;
    for (const Cell& cell : row) {
        if (cell.isEmpty())
            continue;
        // The colon is looked for first: the regular expression costs more
        // than the rows of a large file can afford.
        if (cell.kind != Cell::Kind::Text || (!cell.text.contains(u':') && !cell.text.contains(u'：'))
            || !note.match(cell.text).hasMatch())
            return false;
        any = true;
    }
    return any;
}

} // namespace

// ------------------------------------------------------------------- tables

const QStringList& importTables()
{
    static const QStringList list = {tables::Stock,        tables::InUse,  tables::Sealed,     tables::Scrapped,
                                     tables::Confirmation, tables::Repair, tables::Environment};
    return list;
}

QString importTableNamed(const QString& name)
{
    const QString n = name.trimmed();
    for (const QString& t : importTables()) {
        const QString shortName = t.startsWith(QStringLiteral("计量器具")) ? t.mid(4) : t;
        if (n == t || n == shortName || n + QStringLiteral("库") == shortName)
            return t;
    }
    return {};
}

bool isNumberedLedger(const QString& table)
{
    return table == tables::InUse || table == tables::Sealed || table == tables::Scrapped;
}

// ------------------------------------------------------------------ mapping

QString headerKey(const QString& header)
{
    QString k;
    k.reserve(header.size());
    for (QChar c : header) {
        if (c.isSpace())
            continue;
        const char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E) // full-width forms
            c = QChar(char16_t(u - 0xFEE0));
        else if (u == 0x3010)
            c = QLatin1Char('[');
        else if (u == 0x3011)
            c = QLatin1Char(']');
        k += c.toLower();
    }
    // Marks of required fields and a trailing colon.
    while (k.startsWith(QLatin1Char('*')))
        k.remove(0, 1);
    while (k.endsWith(QLatin1Char('*')) || k.endsWith(QLatin1Char(':')))
        k.chop(1);
    return k;
}

QString targetColumnFor(const QString& header, const QStringList& tableColumns)
{
    const auto find = [&](const QString& key) -> QString {
        if (key.isEmpty())
            return {};
        for (const QString& c : tableColumns)
            if (headerKey(c) == key)
                return c;
        for (const QString& c : synonyms().value(key))
            if (tableColumns.contains(c))
                return c;
        return {};
    };
    const QString key = headerKey(header);
    if (QString t = find(key); !t.isEmpty())
        return t;
    // "检定周期(月)", "库存数量（台）": the unit in brackets does not count.
    return find(withoutBrackets(key));
}

QVector<QPair<int, QString>> ImportPlan::mappedColumns() const
{
    QVector<QPair<int, QString>> out;
    for (int i = 0; i < targets.size(); ++i)
        if (!targets.at(i).isEmpty())
            out.append({i, targets.at(i)});
    return out;
}

std::optional<ImportPlan> planImport(const Sheet& sheet, const QString& table, const QStringList& tableColumns,
                                     QString* error)
{
    // Several known names make a header; the small tables have few to know.
    const int needed = tableColumns.size() >= 12 ? 3 : 2;
    const int last = std::min(sheet.rowCount(), HeaderSearchRows);
    for (int r = 0; r < last; ++r) {
        const QVector<Cell>& row = sheet.rows.at(r);
        QStringList headers, targets;
        int found = 0, filled = 0;
        for (const Cell& cell : row) {
            const QString header = shown(cell);
            filled += header.isEmpty() ? 0 : 1;
            QString target = targetColumnFor(header, tableColumns);
            // A column named twice: the first one counts.
            if (!target.isEmpty() && targets.contains(target))
                target.clear();
            found += target.isEmpty() ? 0 : 1;
            headers << header;
            targets << target;
        }
        // A short list may have fewer columns, all of them known.
        if (found >= needed || (found >= 2 && found == filled)) {
            ImportPlan plan;
            plan.table = table;
            plan.tableColumns = tableColumns;
            plan.headerRow = r;
            plan.headers = headers;
            plan.targets = targets;
            return plan;
        }
    }
    if (error)
        *error = QStringLiteral("在工作表“%1”的前 %2 行中找不到标题行：没有一行含有《%3》的%4个以上的列名"
                                "（如“计量器具编号”“计量器具名称”“规格型号”）。")
                     .arg(sheet.name)
                     .arg(HeaderSearchRows)
                     .arg(table)
                     .arg(needed);
    return std::nullopt;
}

QString planProblem(const ImportPlan& plan)
{
    const auto mapped = plan.mappedColumns();
    if (mapped.isEmpty())
        return QStringLiteral("没有一列导入到《%1》中，请至少为一列选择目标列。").arg(plan.table);
    QStringList seen;
    for (const auto& [source, target] : mapped) {
        if (!plan.tableColumns.contains(target))
            return QStringLiteral("《%1》中没有“%2”列。").arg(plan.table, target);
        if (seen.contains(target))
            return QStringLiteral("“%1”被选了两次，每一列只能有一个来源。").arg(target);
        seen << target;
    }
    if (isNumberedLedger(plan.table) && !seen.contains(NumberColumn))
        return QStringLiteral("文件中没有对应“%1”的列，不能导入《%2》。请为一列选择“%1”。")
            .arg(NumberColumn, plan.table);
    return {};
}

// ------------------------------------------------------------ normalisation

namespace {

// The value of a cell for a column of the given kind; categories are left as
// written.
std::optional<QVariant> normaliseAs(const Cell& cell, const QString& column, ColumnKind kind, QString* reason)
{
    if (cell.isEmpty())
        return QVariant();
    if (cell.kind == Cell::Kind::Error) {
        *reason = QStringLiteral("“%1”是错误值 %2").arg(column, cell.text);
        return std::nullopt;
    }
    switch (kind) {
    case ColumnKind::Date:
        if (const auto d = dateOf(cell))
            return QVariant(formatShortDate(*d));
        *reason = QStringLiteral("“%1”的“%2”不是有效的日期").arg(column, shown(cell));
        return std::nullopt;
    case ColumnKind::Time:
        if (const auto t = timeOf(cell))
            return QVariant(t->toString(QLatin1String(StoredTimeFormat)));
        *reason = QStringLiteral("“%1”的“%2”不是有效的时间").arg(column, shown(cell));
        return std::nullopt;
    case ColumnKind::Number:
        if (cell.kind == Cell::Kind::Text && cell.text.trimmed().isEmpty())
            return QVariant();
        if (const auto i = integerOf(cell))
            return QVariant(*i);
        *reason = QStringLiteral("“%1”的“%2”不是整数").arg(column, shown(cell));
        return std::nullopt;
    case ColumnKind::Text:
        break;
    }
    const QString text = cell.kind == Cell::Kind::Text ? cell.text.trimmed() : shown(cell);
    if (text.isEmpty())
        return QVariant();
    return QVariant(text);
}

} // namespace

std::optional<QVariant> normaliseCell(const Cell& cell, const QString& column, QString* reason)
{
    std::optional<QVariant> v = normaliseAs(cell, column, columnKind(column), reason);
    if (v && column == ClassColumn && !v->isNull())
        *v = canonicalClass(v->toString());
    return v;
}

// ----------------------------------------------------------------- the walk

// Goes through the data rows of the sheet: each row's values as they will be
// stored, or why the row is refused. Remembers the numbers met so far.
class Importer::Walk {
public:
    Walk(Database& db, const ImportPlan& plan) : m_mapped(plan.mappedColumns())
    {
        for (int i = 0; i < m_mapped.size(); ++i) {
            m_kinds.append(columnKind(m_mapped.at(i).second));
            if (m_mapped.at(i).second == NumberColumn)
                m_number = i;
            else if (m_mapped.at(i).second == ClassColumn)
                m_class = i;
            else if (m_mapped.at(i).second == KindColumn)
                m_kind = i;
        }
        m_checkNumbers = isNumberedLedger(plan.table);
        if (!m_checkNumbers)
            return;
        // An instrument is in one of the three ledgers only.
        for (const QString& t : {tables::InUse, tables::Sealed, tables::Scrapped}) {
            QSqlQuery q(db.connection());
            q.setForwardOnly(true);
            if (!q.exec(QStringLiteral("SELECT %1 FROM %2").arg(quotedIdentifier(NumberColumn), quotedIdentifier(t))))
                continue;
            while (q.next())
                m_ledgers.insert(numberKey(q.value(0).toString().trimmed()), t);
        }
    }

    // False for a row without a value in any imported column and for the
    // signature lines under a list: they are passed over.
    bool row(const SheetRow& row, QVariantList* values, QString* number, QString* reason)
    {
        static const Cell empty;
        const int r = row.index;
        values->resize(m_mapped.size());
        QStringList reasons;
        bool any = false;
        for (int i = 0; i < m_mapped.size(); ++i) {
            const int column = m_mapped.at(i).first;
            const Cell& cell = column < row.cells.size() ? row.cells.at(column) : empty;
            if (!any && !cell.isEmpty()
                && !(cell.kind == Cell::Kind::Text
                     && std::all_of(cell.text.cbegin(), cell.text.cend(), [](QChar c) { return c.isSpace(); })))
                any = true;
            QString why;
            if (const auto v = value(cell, i, &why)) {
                (*values)[i] = *v;
            } else {
                (*values)[i] = QVariant();
                reasons << why;
            }
        }
        if (!any || isNoteLine(row.cells))
            return false;
        if (m_class >= 0 && !values->at(m_class).isNull()) {
            const QString written = values->at(m_class).toString();
            auto it = m_classes.constFind(written);
            if (it == m_classes.cend())
                it = m_classes.insert(written, canonicalClass(written));
            (*values)[m_class] = it.value();
            if (m_kind >= 0 && !values->at(m_kind).isNull())
                (*values)[m_kind] = canonicalKind(it.value(), values->at(m_kind).toString());
        }
        number->clear();
        if (m_number >= 0)
            *number = values->at(m_number).toString();
        if (m_checkNumbers) {
            if (number->isEmpty()) {
                reasons.prepend(QStringLiteral("计量器具编号为空"));
            } else {
                const QString key = numberKey(*number);
                if (const auto it = m_ledgers.constFind(key); it != m_ledgers.cend())
                    reasons.prepend(QStringLiteral("计量器具编号“%1”已在《%2》中").arg(*number, it.value()));
                else if (const auto seen = m_seen.constFind(key); seen != m_seen.cend())
                    reasons.prepend(QStringLiteral("计量器具编号“%1”与第 %2 行重复").arg(*number).arg(seen.value()));
                else
                    m_seen.insert(key, r + 1);
            }
        }
        *reason = reasons.join(QStringLiteral("；"));
        return true;
    }

private:
    // Ledgers repeat the same dates over and over; each text is read once.
    static constexpr int RememberedDates = 4096;

    std::optional<QVariant> value(const Cell& cell, int i, QString* reason)
    {
        if (m_kinds.at(i) == ColumnKind::Date && cell.kind == Cell::Kind::Date) {
            // A date cell: its day, written once.
            auto it = m_days.constFind(cell.date.toJulianDay());
            if (it == m_days.cend()) {
                if (m_days.size() >= RememberedDates)
                    return normaliseAs(cell, m_mapped.at(i).second, m_kinds.at(i), reason);
                it = m_days.insert(cell.date.toJulianDay(), QVariant(formatShortDate(cell.date)));
            }
            return it.value();
        }
        if (m_kinds.at(i) != ColumnKind::Date || cell.kind != Cell::Kind::Text)
            return normaliseAs(cell, m_mapped.at(i).second, m_kinds.at(i), reason);
        if (const auto it = m_dates.constFind(cell.text); it != m_dates.cend())
            return it.value();
        std::optional<QVariant> v = normaliseAs(cell, m_mapped.at(i).second, m_kinds.at(i), reason);
        if (v && m_dates.size() < RememberedDates)
            m_dates.insert(cell.text, *v);
        return v;
    }

    QVector<QPair<int, QString>> m_mapped;
    QVector<ColumnKind> m_kinds;
    QHash<QString, QVariant> m_dates;  // date text → stored date
    QHash<qint64, QVariant> m_days;    // date cell's day → stored date
    QHash<QString, QString> m_classes; // category as written → as listed
    int m_number = -1;
    int m_class = -1;
    int m_kind = -1;
    bool m_checkNumbers = false;
    QHash<QString, QString> m_ledgers; // number key → the ledger holding it
    QHash<QString, int> m_seen;        // number key → its first file row
};

// ----------------------------------------------------------------- importer

Importer::Importer(Database& db, const Sheet& sheet, const ImportPlan& plan) : m_db(db), m_sheet(&sheet), m_plan(plan)
{
}

Importer::Importer(Database& db, const QString& path, int sheetIndex, const ImportPlan& plan)
    : m_db(db), m_path(path), m_sheetIndex(sheetIndex), m_plan(plan)
{
}

std::unique_ptr<SheetRows> Importer::rows(QString* error) const
{
    if (m_sheet)
        return rowsOf(*m_sheet);
    return openSheetRows(m_path, m_sheetIndex, error);
}

QVector<Importer::PreviewRow> Importer::preview(int limit) const
{
    QVector<PreviewRow> out;
    const std::unique_ptr<SheetRows> rows = this->rows(nullptr);
    if (!rows)
        return out;
    Walk walk(m_db, m_plan);
    SheetRow row;
    QVariantList values;
    QString number, reason;
    while (out.size() < limit && rows->next(&row))
        if (row.index > m_plan.headerRow && walk.row(row, &values, &number, &reason) && reason.isEmpty())
            out.append({row.index + 1, values});
    return out;
}

namespace {

// Reports progress every so many rows; false when the user cancelled.
bool reportProgress(const std::function<bool(int, int)>& progress, const SheetRows& rows, int first, int index,
                    int* counted)
{
    if (!progress || (*counted)++ % ProgressEvery != 0)
        return true;
    const int done = std::max(0, index - first);
    // 0: the file does not say how many rows it has.
    return progress(done, rows.expectedRows() > 0 ? std::max(done, rows.expectedRows() - first) : 0);
}

} // namespace

ImportOutcome Importer::check(const std::function<bool(int, int)>& progress) const
{
    ImportOutcome outcome;
    const auto fail = [&](const QString& error) {
        outcome.result = ImportOutcome::Result::Failed;
        outcome.error = error;
        outcome.accepted = 0;
        return outcome;
    };
    if (const QString problem = planProblem(m_plan); !problem.isEmpty())
        return fail(problem);
    QString error;
    const std::unique_ptr<SheetRows> rows = this->rows(&error);
    if (!rows)
        return fail(error);
    Walk walk(m_db, m_plan);
    SheetRow row;
    QVariantList values;
    QString number, reason;
    const int first = m_plan.headerRow + 1;
    int counted = 0;
    while (rows->next(&row)) {
        if (row.index < first)
            continue;
        if (!reportProgress(progress, *rows, first, row.index, &counted)) {
            outcome.result = ImportOutcome::Result::Cancelled;
            outcome.accepted = 0;
            return outcome;
        }
        if (!walk.row(row, &values, &number, &reason))
            continue;
        if (reason.isEmpty())
            ++outcome.accepted;
        else
            outcome.refusals.append({row.index + 1, number, reason, {}});
    }
    if (!rows->error().isEmpty())
        return fail(rows->error());
    if (!outcome.refusals.isEmpty())
        outcome.result = ImportOutcome::Result::Refused;
    return outcome;
}

ImportOutcome Importer::run(const ImportOptions& options)
{
    ImportOutcome outcome;
    const auto fail = [&](const QString& error) {
        outcome.result = ImportOutcome::Result::Failed;
        outcome.error = error;
        outcome.accepted = 0;
        return outcome;
    };
    if (const QString problem = planProblem(m_plan); !problem.isEmpty())
        return fail(problem);
    QString error;
    const std::unique_ptr<SheetRows> rows = this->rows(&error);
    if (!rows)
        return fail(error);

    const auto mapped = m_plan.mappedColumns();
    QStringList names, marks;
    for (const auto& [source, target] : mapped) {
        names << quotedIdentifier(target);
        marks << QStringLiteral("?");
    }
    const QString sql =
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(quotedIdentifier(m_plan.table), names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));

    Transaction tx(m_db);
    if (tx.error())
        return fail(tx.error().text());
    // The rows past the last one now are the imported ones, for the history.
    qint64 lastRow = 0;
    {
        QSqlQuery q(m_db.connection());
        if (q.exec(QStringLiteral("SELECT coalesce(max(rowid), 0) FROM %1").arg(quotedIdentifier(m_plan.table)))
            && q.next())
            lastRow = q.value(0).toLongLong();
    }
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(m_db.handle(), sql.toUtf8().constData(), -1, &raw, nullptr) != SQLITE_OK) {
        sqlite3_finalize(raw);
        return fail(DbError::fromSqlite(sqlite3_extended_errcode(m_db.handle()),
                                        QString::fromUtf8(sqlite3_errmsg(m_db.handle())), sql)
                        .text());
    }
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> insert(raw, sqlite3_finalize);

    // The report shows each refused row as the file has it.
    const bool keepCells = options.skipBad && !options.reportPath.isEmpty();
    Walk walk(m_db, m_plan);
    SheetRow row;
    QVariantList values;
    QString number, reason;
    QByteArray utf8;
    const int first = m_plan.headerRow + 1;
    int counted = 0;
    while (rows->next(&row)) {
        if (row.index < first)
            continue;
        if (!reportProgress(options.progress, *rows, first, row.index, &counted)) {
            outcome.result = ImportOutcome::Result::Cancelled;
            outcome.accepted = 0;
            return outcome; // the transaction rolls back
        }
        if (!walk.row(row, &values, &number, &reason))
            continue;
        if (!reason.isEmpty()) {
            outcome.refusals.append({row.index + 1, number, reason, keepCells ? row.cells : QVector<Cell>()});
            continue;
        }
        ++outcome.accepted;
        // Nothing is written once a row is refused, unless the good rows go
        // in alone; the rest is still checked so that every refusal is named.
        if (!options.skipBad && !outcome.refusals.isEmpty())
            continue;
        sqlite3_stmt* st = insert.get();
        for (int i = 0; i < values.size(); ++i) {
            const QVariant& v = values.at(i);
            if (v.isNull())
                sqlite3_bind_null(st, i + 1);
            else if (v.typeId() == QMetaType::LongLong)
                sqlite3_bind_int64(st, i + 1, v.toLongLong());
            else {
                const QString& s = *static_cast<const QString*>(v.constData());
                sqlite3_bind_text16(st, i + 1, s.utf16(), int(s.size() * 2), SQLITE_STATIC);
            }
        }
        const int rc = sqlite3_step(st);
        sqlite3_reset(st);
        RAVO_FAULT_STATEMENT(sql);
        if (rc != SQLITE_DONE) {
            const DbError e = DbError::fromSqlite(sqlite3_extended_errcode(m_db.handle()),
                                                  QString::fromUtf8(sqlite3_errmsg(m_db.handle())), sql);
            return fail(QStringLiteral("文件第 %1 行不能写入《%2》，没有导入任何数据：%3")
                            .arg(row.index + 1)
                            .arg(m_plan.table, e.text()));
        }
    }
    if (!rows->error().isEmpty())
        return fail(rows->error() + QStringLiteral("没有导入任何数据。"));
    if (options.progress)
        options.progress(1, 1);
    insert.reset();

    if (!outcome.refusals.isEmpty() && (!options.skipBad || outcome.accepted == 0)) {
        outcome.result = ImportOutcome::Result::Refused;
        return outcome; // the transaction rolls back
    }
    if (options.skipBad && !options.reportPath.isEmpty()) {
        if (!writeRefusalReport(options.reportPath, m_plan, outcome.refusals, &error))
            return fail(QStringLiteral("拒绝导入的行的报告不能保存，没有导入任何数据：%1").arg(error));
    }
    if (const DbError e = recordImportedRows(m_db, m_plan.table, lastRow,
                                             m_path.isEmpty() ? QString() : QFileInfo(m_path).fileName()))
        return fail(QStringLiteral("导入的数据不能记入变更履历，台帐没有改变：%1").arg(e.text()));
    if (const DbError e = tx.commit())
        return fail(QStringLiteral("导入的数据不能保存，台帐没有改变：%1").arg(e.text()));
    return outcome;
}

// ------------------------------------------------------------------- report

bool writeRefusalReport(const QString& path, const ImportPlan& plan, const QVector<Refusal>& refusals, QString* error)
{
    int columns = int(plan.headers.size());
    for (const Refusal& r : refusals)
        columns = std::max(columns, int(r.cells.size()));
    QStringList headers = {QStringLiteral("文件行号"), QStringLiteral("拒绝原因")};
    for (int c = 0; c < columns; ++c) {
        const QString h = plan.headers.value(c);
        headers << (h.isEmpty() ? QStringLiteral("第%1列").arg(c + 1) : h);
    }
    XlsxTableWriter writer(QStringLiteral("拒绝导入的行"));
    if (!writer.begin(path, headers, error))
        return false;
    for (const Refusal& r : refusals) {
        QVector<Cell> row = {Cell::ofNumber(r.fileRow), Cell::ofText(r.reason)};
        for (int c = 0; c < columns; ++c)
            row << r.cells.value(c);
        if (!writer.addRow(row, error))
            return false;
    }
    return writer.finish(error);
}

} // namespace ravo::exchange
