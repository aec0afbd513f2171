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

namespace {

// What libpq says when there is no server to answer: the connection could
// not be made or broke off. SQLite never words a failure so.
bool isConnectionFailure(const QString& text)
{
    static const QRegularExpression re(
        QStringLiteral("could not connect|connection to server|server closed the connection|no connection to the "
                       "server|terminating connection|could not send data|could not receive data|connection refused|"
                       "no such file or directory|password authentication failed|SSL SYSCALL"),
        QRegularExpression::CaseInsensitiveOption);
    return re.match(text).hasMatch();
}

// The names a server message quotes, in order: relation "T", column "C",
// constraint "R".
QStringList quotedNames(const QString& text)
{
    static const QRegularExpression re(QStringLiteral(R"re("((?:[^"]|"")+)")re"));
    QStringList names;
    for (auto it = re.globalMatch(text); it.hasNext();)
        names << it.next().captured(1).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return names;
}

// The column of a duplicate key: "Key (计量器具编号)=(A) already exists."
QString duplicateKeyColumn(const QString& text)
{
    static const QRegularExpression re(QStringLiteral(R"(\(([^()=]+)\)=\()"));
    const auto m = re.match(text);
    return m.hasMatch() ? m.captured(1).remove(QLatin1Char('"')).trimmed() : QString();
}

} // namespace

DbError DbError::fromSqlError(const QSqlError& error, const QString& statement)
{
    const QString code = error.nativeErrorCode().trimmed();
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    if (code.size() == 5 || (code.isEmpty() && isConnectionFailure(error.text())))
        return fromPostgres(code, text.isEmpty() ? error.text() : text, statement);
    bool numeric = false;
    const int number = code.toInt(&numeric);
    return fromSqlite(numeric ? number : 0, text, statement);
}

DbError DbError::fromPostgres(const QString& sqlState, const QString& engineText, const QString& statement)
{
    const QString t = engineText.trimmed();
    auto out = [&](Kind kind, const QString& description) { return make(kind, description, t, statement); };
    QString state = sqlState.toUpper();
    // A refusal at sign-in comes without a code; its words tell which.
    static const QRegularExpression noDatabase(QStringLiteral(R"re(database "((?:[^"]|"")+)" does not exist)re"));
    const auto missing = noDatabase.match(t);
    if (state.isEmpty() && missing.hasMatch())
        state = QStringLiteral("3D000");
    if (state.isEmpty() && t.contains(QLatin1String("password authentication failed")))
        state = QStringLiteral("28P01");
    const QString cls = state.left(2);
    // The first line holds the message and its names; what follows
    // (DETAIL, HINT) only explains.
    const QStringList names = quotedNames(t.section(QLatin1Char('\n'), 0, 0));
    const QString first = names.value(0);

    if (state == QLatin1String("23505")) {
        QString col = duplicateKeyColumn(t);
        if (col.isEmpty() && !names.isEmpty()) // only the constraint: T_C_key
            col = names.last().section(QLatin1Char('_'), 1, -2);
        if (col == QStringLiteral("计量器具编号"))
            return out(Kind::DuplicateNumber,
                       QStringLiteral("计量器具编号重复：同一编号的计量器具已经存在，不能重复保存！"));
        return out(Kind::InvalidValue, QStringLiteral("“%1”的值重复，不能保存！").arg(col));
    }
    if (state == QLatin1String("23502")) {
        if (first == QStringLiteral("计量器具编号"))
            return out(Kind::BlankNumber, QStringLiteral("计量器具编号不能为空！"));
        return out(Kind::InvalidValue, QStringLiteral("“%1”不能为空！").arg(first));
    }
    if (state == QLatin1String("23514")) {
        // The ledger's rules are named after their column; a rule named by
        // the server (…_check) is one of the table as a whole.
        QString col = names.value(1);
        if (col.endsWith(QLatin1String("_check")))
            col.clear();
        return out(col == QStringLiteral("计量器具编号") ? Kind::BlankNumber : Kind::InvalidValue, ruleMessage(col));
    }
    if (cls == QLatin1String("22"))
        return out(Kind::InvalidValue, QStringLiteral("数据类型不符，不能保存。"));
    if (state == QLatin1String("40001") || state == QLatin1String("40P01") || state == QLatin1String("55P03"))
        return out(Kind::Busy, QStringLiteral("数据库正被其他程序使用，请稍后再试。"));
    if (cls == QLatin1String("08") || state == QLatin1String("57P01") || state == QLatin1String("57P02")
        || state == QLatin1String("57P03")
        || (state.isEmpty() && isConnectionFailure(t)))
        return out(Kind::LostConnection,
                   QStringLiteral("与数据库服务器的连接中断了：服务器没有运行或网络不通。已经保存的内容不会丢失，"
                                  "请检查后再试。"));
    if (cls == QLatin1String("28"))
        return out(Kind::PermissionDenied, QStringLiteral("数据库服务器拒绝登录：用户名或密码不对。"));
    if (state == QLatin1String("42501"))
        return out(Kind::PermissionDenied, QStringLiteral("没有权限：数据库服务器不允许这个用户做这项操作。"));
    if (state == QLatin1String("3D000"))
        return out(Kind::LostConnection,
                   QStringLiteral("数据库服务器上没有数据库“%1”。")
                       .arg(missing.hasMatch() ? missing.captured(1).replace(QStringLiteral("\"\""), QStringLiteral("\""))
                                               : first));
    if (state == QLatin1String("25006"))
        return out(Kind::ReadOnly, QStringLiteral("数据库文件是只读的，不能写入。"));
    if (cls == QLatin1String("53") || cls == QLatin1String("58"))
        return out(Kind::DiskFull, QStringLiteral("写入数据库文件失败：磁盘已满或无法访问。"));
    if (cls == QLatin1String("XX"))
        return out(Kind::Damaged, QStringLiteral("数据库文件已损坏或不是台帐数据库。"));
    if (state == QLatin1String("42P07")) {
        DbError e = out(Kind::TableExistsKind, QStringLiteral("数据表“%1”已经存在。").arg(first));
        e.number = TableExists;
        return e;
    }
    if (state == QLatin1String("42P01"))
        return out(Kind::MissingTable, QStringLiteral("找不到数据表“%1”。").arg(first));
    if (state == QLatin1String("42703"))
        return out(Kind::MissingColumn, QStringLiteral("找不到字段“%1”。").arg(first));
    if (state == QLatin1String("42601"))
        return out(Kind::Syntax, QStringLiteral("SQL 语句语法错误。"));
    return out(Kind::Other, QStringLiteral("数据库操作失败。"));
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
