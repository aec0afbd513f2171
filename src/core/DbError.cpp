#include "DbError.h"

#include <QRegularExpression>
#include <QSqlError>
#include <sqlite3.h>

namespace ravo {

QString DbError::text() const
{
    if (detail.isEmpty() || detail == description)
        return description;
    return description + QStringLiteral("\n（") + detail + QStringLiteral("）");
}

DbError DbError::make(int number, const QString& description, const QString& detail, const QString& statement)
{
    DbError e = make(number == TableExists ? Kind::TableExistsKind : Kind::Other, description, detail, statement);
    e.number = number;
    return e;
}

DbError DbError::make(Kind kind, const QString& description, const QString& detail, const QString& statement)
{
    DbError e;
    e.number = kind == Kind::TableExistsKind ? TableExists : General;
    e.kind = kind;
    e.description = description;
    e.detail = detail;
    e.statement = statement;
    return e;
}

namespace {

// The column a constraint message names: "UNIQUE constraint failed: T.C" → C.
QString constraintColumn(const QString& engineText)
{
    static const QRegularExpression re(QStringLiteral(R"(failed:\s*[^.\s]+\.([^\s,]+))"));
    const auto m = re.match(engineText);
    return m.hasMatch() ? m.captured(1) : QString();
}

// The column a CHECK names: "CHECK constraint failed: 检定日期 IS NULL OR …".
QString checkColumn(const QString& engineText)
{
    static const QRegularExpression re(QStringLiteral(R"(CHECK constraint failed:\s*\(?\s*(?:trim\()?([^\s()]+))"));
    const auto m = re.match(engineText);
    return m.hasMatch() ? m.captured(1) : QString();
}

} // namespace

QString DbError::ruleMessage(const QString& column)
{
    if (column == QStringLiteral("计量器具编号"))
        return QStringLiteral("计量器具编号不能为空！");
    if (column == QStringLiteral("时间"))
        return QStringLiteral("“时间”不是有效的时间，请按 08:30:00 的格式输入。");
    if (column == QStringLiteral("ID") || column == QStringLiteral("库存数量"))
        return QStringLiteral("“%1”必须是整数。").arg(column);
    if (!column.isEmpty())
        return QStringLiteral("“%1”不是有效的日期，请按 2003-3-28 的格式输入。").arg(column);
    return QStringLiteral("数据不符合要求，不能保存。");
}

DbError DbError::fromSqlError(const QSqlError& error, const QString& statement)
{
    bool numeric = false;
    const int code = error.nativeErrorCode().toInt(&numeric);
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return fromSqlite(numeric ? code : 0, text, statement);
}

DbError DbError::fromSqlite(int resultCode, const QString& engineText, const QString& statement)
{
    const QString t = engineText.trimmed();
    auto out = [&](Kind kind, const QString& description) { return make(kind, description, t, statement); };
    static const QRegularExpression exists(QStringLiteral(R"re(table\s+"?([^"\s]+)"?\s+already exists)re"));
    static const QRegularExpression noTable(QStringLiteral(R"(no such table:\s*(\S+))"));
    static const QRegularExpression noColumn(QStringLiteral(R"((?:no such column|has no column named):?\s*(\S+))"));

    // A driver that gives no code leaves only the general class.
    const int code = resultCode == 0 ? SQLITE_ERROR : resultCode;
    switch (code) {
    case SQLITE_CONSTRAINT_UNIQUE:
    case SQLITE_CONSTRAINT_PRIMARYKEY: {
        const QString col = constraintColumn(t);
        if (col == QStringLiteral("计量器具编号"))
            return out(Kind::DuplicateNumber,
                       QStringLiteral("计量器具编号重复：同一编号的计量器具已经存在，不能重复保存！"));
        return out(Kind::InvalidValue, QStringLiteral("“%1”的值重复，不能保存！").arg(col));
    }
    case SQLITE_CONSTRAINT_NOTNULL: {
        const QString col = constraintColumn(t);
        if (col == QStringLiteral("计量器具编号"))
            return out(Kind::BlankNumber, QStringLiteral("计量器具编号不能为空！"));
        return out(Kind::InvalidValue, QStringLiteral("“%1”不能为空！").arg(col));
    }
    case SQLITE_CONSTRAINT_CHECK: {
        const QString col = checkColumn(t);
        return out(col == QStringLiteral("计量器具编号") ? Kind::BlankNumber : Kind::InvalidValue, ruleMessage(col));
    }
    case SQLITE_MISMATCH:
        return out(Kind::InvalidValue, QStringLiteral("数据类型不符，不能保存。"));
    }
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return out(Kind::Busy, QStringLiteral("数据库正被其他程序使用，请稍后再试。"));
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return out(Kind::ReadOnly, QStringLiteral("数据库文件是只读的，不能写入。"));
    case SQLITE_FULL:
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        return out(Kind::DiskFull, QStringLiteral("写入数据库文件失败：磁盘已满或无法访问。"));
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return out(Kind::Damaged, QStringLiteral("数据库文件已损坏或不是台帐数据库。"));
    case SQLITE_ERROR:
        // SQLite gives the plain error code for all of these; its text
        // tells them apart.
        if (auto m = exists.match(t); m.hasMatch()) {
            DbError e = out(Kind::TableExistsKind, QStringLiteral("数据表“%1”已经存在。").arg(m.captured(1)));
            e.number = TableExists;
            return e;
        }
        if (auto m = noTable.match(t); m.hasMatch())
            return out(Kind::MissingTable, QStringLiteral("找不到数据表“%1”。").arg(m.captured(1)));
        if (auto m = noColumn.match(t); m.hasMatch())
            return out(Kind::MissingColumn, QStringLiteral("找不到字段“%1”。").arg(m.captured(1)));
        if (t.contains(QLatin1String("syntax error")) || t.contains(QLatin1String("incomplete input")))
            return out(Kind::Syntax, QStringLiteral("SQL 语句语法错误。"));
        break;
    }
    return out(Kind::Other, QStringLiteral("数据库操作失败。"));
}

} // namespace ravo
