#include "DbError.h"

#include <QRegularExpression>

namespace ravo {

QString DbError::text() const
{
    if (detail.isEmpty() || detail == description)
        return description;
    return description + QStringLiteral("\n（") + detail + QStringLiteral("）");
}

DbError DbError::make(int number, const QString& description, const QString& detail,
                      const QString& statement)
{
    DbError e;
    e.number = number;
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

DbError DbError::fromEngine(const QString& engineText, const QString& statement)
{
    const QString t = engineText.trimmed();
    auto out = [&](int number, const QString& description) {
        return make(number, description, t, statement);
    };
    static const QRegularExpression exists(QStringLiteral(R"re(table\s+"?([^"\s]+)"?\s+already exists)re"));
    static const QRegularExpression noTable(QStringLiteral(R"(no such table:\s*(\S+))"));
    static const QRegularExpression noColumn(QStringLiteral(R"((?:no such column|has no column named):?\s*(\S+))"));

    if (auto m = exists.match(t); m.hasMatch())
        return out(TableExists, QStringLiteral("数据表“%1”已经存在。").arg(m.captured(1)));
    if (t.contains(QLatin1String("UNIQUE constraint failed"))) {
        const QString col = constraintColumn(t);
        if (col == QStringLiteral("计量器具编号"))
            return out(General, QStringLiteral("计量器具编号重复：同一编号的计量器具已经存在，不能重复保存！"));
        return out(General, QStringLiteral("“%1”的值重复，不能保存！").arg(col));
    }
    if (t.contains(QLatin1String("NOT NULL constraint failed"))) {
        const QString col = constraintColumn(t);
        if (col == QStringLiteral("计量器具编号"))
            return out(General, QStringLiteral("计量器具编号不能为空！"));
        return out(General, QStringLiteral("“%1”不能为空！").arg(col));
    }
    if (t.contains(QLatin1String("CHECK constraint failed")))
        return out(General, ruleMessage(checkColumn(t)));
    if (t.contains(QLatin1String("datatype mismatch")))
        return out(General, QStringLiteral("数据类型不符，不能保存。"));
    if (auto m = noTable.match(t); m.hasMatch())
        return out(General, QStringLiteral("找不到数据表“%1”。").arg(m.captured(1)));
    if (auto m = noColumn.match(t); m.hasMatch())
        return out(General, QStringLiteral("找不到字段“%1”。").arg(m.captured(1)));
    if (t.contains(QLatin1String("syntax error")) || t.contains(QLatin1String("incomplete input")))
        return out(General, QStringLiteral("SQL 语句语法错误。"));
    if (t.contains(QLatin1String("database is locked")) || t.contains(QLatin1String("busy")))
        return out(General, QStringLiteral("数据库正被其他程序使用，请稍后再试。"));
    if (t.contains(QLatin1String("readonly")) || t.contains(QLatin1String("read-only")))
        return out(General, QStringLiteral("数据库文件是只读的，不能写入。"));
    if (t.contains(QLatin1String("disk is full")) || t.contains(QLatin1String("disk I/O")))
        return out(General, QStringLiteral("写入数据库文件失败：磁盘已满或无法访问。"));
    if (t.contains(QLatin1String("not a database")) || t.contains(QLatin1String("malformed")))
        return out(General, QStringLiteral("数据库文件已损坏或不是台帐数据库。"));
    return out(General, QStringLiteral("数据库操作失败。"));
}

} // namespace ravo
