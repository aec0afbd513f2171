#include "Export.h"

#include "TableWriter.h"

#include "core/DueList.h"
#include "core/Ledger.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>

namespace ravo::exchange {

namespace {

// Makes the writer for the file's kind (by its extension) and writes the
// header row; null, with *error set, when it cannot.
std::unique_ptr<TableWriter> beginWriter(const QString& path, const QString& sheetName, const QStringList& headers,
                                         QString* error)
{
    std::unique_ptr<TableWriter> writer;
    if (QFileInfo(path).suffix().compare(QStringLiteral("xlsx"), Qt::CaseInsensitive) == 0)
        writer = std::make_unique<XlsxTableWriter>(sheetName);
    else
        writer = createTableWriter(path, error);
    if (!writer || !writer->begin(path, headers, error))
        return nullptr;
    return writer;
}

// Counts a row written; every ExportProgressStep rows the caller is told
// how far it is. False when it asked to stop: the file is let go.
bool rowWritten(ExportResult& result, int& step, qint64 total, const ExportProgress& progress, TableWriter& writer)
{
    ++result.rows;
    if (++step < ExportProgressStep)
        return true;
    step = 0;
    if (!progress || progress(result.rows, std::max(total, result.rows)))
        return true;
    writer.cancel();
    result.cancelled = true;
    return false;
}

// What a column's values are written as.
enum class Target { Text, Date, Time, Number, Price };

Target targetOf(const QString& column)
{
    if (column == QStringLiteral("购买价格"))
        return Target::Price;
    switch (columnKind(column)) {
    case ColumnKind::Date:
        return Target::Date;
    case ColumnKind::Time:
        return Target::Time;
    case ColumnKind::Number:
        return Target::Number;
    case ColumnKind::Text:
        break;
    }
    return Target::Text;
}

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

int digitsAt(const QString& s, int from, int count)
{
    int value = 0;
    for (int i = from; i < from + count; ++i)
        value = value * 10 + (s.at(i).unicode() - u'0');
    return value;
}

// True when every character of `s` outside the separator positions is a digit.
bool digitsAround(const QString& s, int length, QChar separator, std::initializer_list<int> separators)
{
    if (s.size() != length)
        return false;
    for (int i = 0; i < length; ++i) {
        const bool isSeparator = std::find(separators.begin(), separators.end(), i) != separators.end();
        if (isSeparator ? s.at(i) != separator : !isDigit(s.at(i)))
            return false;
    }
    return true;
}

// The stored date form yyyy-MM-dd, a real calendar day.
std::optional<QDate> storedDate(const QString& s)
{
    if (!digitsAround(s, 10, u'-', {4, 7}))
        return std::nullopt;
    const QDate d(digitsAt(s, 0, 4), digitsAt(s, 5, 2), digitsAt(s, 8, 2));
    return d.isValid() ? std::optional<QDate>(d) : std::nullopt;
}

// The stored time form HH:mm:ss, a real time of day.
std::optional<QTime> storedTime(const QString& s)
{
    if (!digitsAround(s, 8, u':', {2, 5}))
        return std::nullopt;
    const QTime t(digitsAt(s, 0, 2), digitsAt(s, 3, 2), digitsAt(s, 6, 2));
    return t.isValid() ? std::optional<QTime>(t) : std::nullopt;
}

// A price typed as a plain decimal number ("1200", "35.50", "-3"): no
// leading zeros, no thousands separators, few enough digits that the number
// says exactly what the text said.
bool isPlainDecimal(const QString& s)
{
    static const QRegularExpression pattern(QStringLiteral("^-?(0|[1-9][0-9]{0,11})(\\.[0-9]{1,4})?$"));
    return pattern.match(s).hasMatch();
}

Cell cellOf(Target target, sqlite3_stmt* statement, int column)
{
    const int type = sqlite3_column_type(statement, column);
    if (type == SQLITE_NULL)
        return {};
    if ((target == Target::Number || target == Target::Price) && (type == SQLITE_INTEGER || type == SQLITE_FLOAT))
        return Cell::ofNumber(sqlite3_column_double(statement, column));
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    const QString text = QString::fromUtf8(bytes, sqlite3_column_bytes(statement, column));
    switch (target) {
    case Target::Date:
        if (const auto d = storedDate(text))
            return Cell::ofDate(*d);
        break;
    case Target::Time:
        if (const auto t = storedTime(text))
            return Cell::ofTime(*t);
        break;
    case Target::Price:
        if (isPlainDecimal(text))
            return Cell::ofNumber(text.toDouble());
        break;
    case Target::Number:
    case Target::Text:
        break;
    }
    return Cell::ofText(text);
}

// A prepared statement that finalizes itself.
struct Statement {
    sqlite3_stmt* handle = nullptr;
    ~Statement() { sqlite3_finalize(handle); }
};

QString engineMessage(sqlite3* db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

} // namespace

const QStringList& ledgerTables()
{
    static const QStringList names = {tables::Stock,        tables::InUse,  tables::Sealed,     tables::Scrapped,
                                      tables::Confirmation, tables::Repair, tables::Environment};
    return names;
}

ExportResult exportDueList(Database& db, const QString& table, const QDate& cutOff, const QDate& today,
                           const QString& path, const QString& sheetName)
{
    ExportResult result;
    QVector<duelist::Group> groups;
    if (const DbError e = duelist::read(db, table, cutOff, today, &groups)) {
        result.error = QStringLiteral("无法读取数据表《%1》：%2").arg(table, e.text());
        return result;
    }
    const QStringList headers =
        QStringList{duelist::DepartmentField} + duelist::fields() + QStringList{duelist::DaysHeading};
    const std::unique_ptr<TableWriter> writer = beginWriter(path, sheetName, headers, &result.error);
    if (!writer)
        return result;
    const int validColumn = int(duelist::fields().indexOf(duelist::ValidField));
    QVector<Cell> row;
    for (const duelist::Group& group : groups) {
        for (const duelist::Row& r : group.rows) {
            row.clear();
            row << Cell::ofText(group.department);
            for (int c = 0; c < r.cells.size(); ++c) {
                const QString& text = r.cells.at(c);
                if (text.isEmpty())
                    row << Cell{};
                else if (const auto d = c == validColumn ? storedDate(text) : std::nullopt)
                    row << Cell::ofDate(*d);
                else
                    row << Cell::ofText(text);
            }
            row << (r.daysLeft ? Cell::ofNumber(*r.daysLeft) : Cell{});
            if (!writer->addRow(row, &result.error))
                return result;
            ++result.rows;
        }
    }
    writer->finish(&result.error);
    return result;
}

ExportResult exportQuery(Database& db, const QString& select, const QVariantList& binds, const QStringList& headers,
                         const QString& path, const QString& sheetName, const ExportProgress& progress, qint64 total)
{
    ExportResult result;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    const auto readFailed = [&] {
        result.error = QStringLiteral("无法读取要导出的记录：%1").arg(DbError::fromSqlError(q.lastError()).text());
        return result;
    };
    if (!q.prepare(select))
        return readFailed();
    for (const QVariant& b : binds)
        q.addBindValue(b);
    if (!q.exec())
        return readFailed();

    const std::unique_ptr<TableWriter> writer = beginWriter(path, sheetName, headers, &result.error);
    if (!writer)
        return result;

    const int columns = int(headers.size());
    QVector<Cell> row(columns);
    int step = 0;
    while (q.next()) {
        for (int c = 0; c < columns; ++c) {
            const QVariant v = q.value(c);
            if (v.isNull()) {
                row[c] = Cell{};
                continue;
            }
            switch (v.typeId()) {
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::Double:
                row[c] = Cell::ofNumber(v.toDouble());
                continue;
            default:
                break;
            }
            const QString text = v.toString();
            const auto date = text.size() == 19 && text.at(10) == u' ' ? storedDate(text.left(10)) : std::nullopt;
            const auto time = date ? storedTime(text.mid(11)) : std::nullopt;
            row[c] = time ? Cell::ofDateTime(*date, *time) : Cell::ofText(text);
        }
        if (!writer->addRow(row, &result.error))
            return result;
        if (!rowWritten(result, step, total, progress, *writer))
            return result;
    }
    if (q.lastError().isValid()) {
        writer->cancel();
        return readFailed();
    }
    writer->finish(&result.error);
    return result;
}

QStringList exportFileTypes()
{
    return {QStringLiteral("Excel 工作簿 (*.xlsx)"), QStringLiteral("CSV 文件，逗号分隔，UTF-8 (*.csv)")};
}

ExportResult exportTable(Database& db, const QString& table, const QString& path, const QString& sheetName,
                         const ExportProgress& progress)
{
    ExportResult result;
    sqlite3* handle = db.handle();
    if (!handle || !db.tableExists(table)) {
        result.error = QStringLiteral("台帐数据库中没有数据表《%1》。").arg(table);
        return result;
    }
    const auto readFailed = [&](sqlite3* h) {
        result.error = QStringLiteral("无法读取数据表《%1》：%2").arg(table, engineMessage(h));
        return result;
    };

    // The total, for the progress window; the rows themselves are counted as
    // they are written.
    qint64 total = 0;
    {
        Statement count;
        const QByteArray sql = ("SELECT count(*) FROM " + quotedIdentifier(table)).toUtf8();
        if (sqlite3_prepare_v2(handle, sql.constData(), -1, &count.handle, nullptr) != SQLITE_OK
            || sqlite3_step(count.handle) != SQLITE_ROW)
            return readFailed(handle);
        total = sqlite3_column_int64(count.handle, 0);
    }

    Statement rows;
    const QByteArray sql = ("SELECT * FROM " + quotedIdentifier(table) + " ORDER BY rowid").toUtf8();
    if (sqlite3_prepare_v2(handle, sql.constData(), -1, &rows.handle, nullptr) != SQLITE_OK)
        return readFailed(handle);
    const int columns = sqlite3_column_count(rows.handle);
    QStringList headers;
    QVector<Target> targets;
    for (int c = 0; c < columns; ++c) {
        headers << QString::fromUtf8(sqlite3_column_name(rows.handle, c));
        targets << targetOf(headers.last());
    }

    const std::unique_ptr<TableWriter> writer = beginWriter(path, sheetName, headers, &result.error);
    if (!writer)
        return result;

    QVector<Cell> row(columns);
    int step = 0;
    for (;;) {
        const int rc = sqlite3_step(rows.handle);
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_ROW) {
            writer->cancel();
            return readFailed(handle);
        }
        for (int c = 0; c < columns; ++c)
            row[c] = cellOf(targets.at(c), rows.handle, c);
        if (!writer->addRow(row, &result.error))
            return result;
        if (!rowWritten(result, step, total, progress, *writer))
            return result;
    }
    writer->finish(&result.error);
    return result;
}

} // namespace ravo::exchange
