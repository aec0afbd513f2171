#include "ServerCopy.h"

#include "core/LedgerSchema.h"

#include "Export.h"
#include "core/Database.h"
#include "core/InstanceLock.h"
#include "core/Ledger.h"
#include "core/ServerAccounts.h"
#include "core/SettingsStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <QVariant>

namespace ravo::exchange {

namespace {

// Rows sent to the server in one statement.
constexpr int kBatchRows = 200;

// A value as the checksum and the server see it: text, or nothing.
QVariant plainValue(const QVariant& v, bool number)
{
    if (v.isNull())
        return QVariant(QMetaType(number ? QMetaType::LongLong : QMetaType::QString));
    if (number || v.typeId() == QMetaType::QByteArray)
        return v;
    return v.toString();
}

void addToChecksum(QCryptographicHash& hash, const QVariant& v)
{
    // A missing value is a byte no text holds; each value ends with another.
    if (v.isNull())
        hash.addData(QByteArrayView("\x01", 1));
    else if (v.typeId() == QMetaType::QByteArray)
        hash.addData(v.toByteArray()); // a file kept in the ledger, byte for byte
    else
        hash.addData(v.toString().toUtf8());
    hash.addData(QByteArrayView("\x00", 1));
}

bool isNumberColumn(const QString& column)
{
    return columnKind(column) == ColumnKind::Number;
}

QString columnList(const QStringList& columns)
{
    QStringList quoted;
    for (const QString& c : columns)
        quoted << quotedIdentifier(c);
    return quoted.join(QStringLiteral(", "));
}

// The attachments and the history, kept beside the ledger tables.
const QStringList& extensionTables()
{
    static const QStringList names{tables::Attachments, tables::History};
    return names;
}

// What orders a table's rows: the ledger tables' row address, the
// extension tables' ID.
QString rowOrder(const QString& table)
{
    return ledgerTables().contains(table) ? QStringLiteral("rowid") : quotedIdentifier(QStringLiteral("ID"));
}

// Reads a table back in row order: its count and checksum.
bool tableChecksum(const QSqlDatabase& connection, const QString& table, const QStringList& columns, qint64* rows,
                   QByteArray* checksum, QString* problem)
{
    QSqlQuery q(connection);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                    .arg(columnList(columns), quotedIdentifier(table), rowOrder(table)))) {
        *problem = DbError::fromSqlError(q.lastError()).text();
        return false;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    *rows = 0;
    while (q.next()) {
        for (int i = 0; i < columns.size(); ++i)
            addToChecksum(hash, plainValue(q.value(i), isNumberColumn(columns.at(i))));
        ++*rows;
    }
    *checksum = hash.result().toHex();
    return true;
}

class Copier {
public:
    Copier(Database& file, Database& server, const ServerCopyProgress& progress)
        : m_file(file), m_server(server), m_progress(progress)
    {
    }

    // Copies one table, rows numbered as in the file; false with the reason.
    bool copyTable(const QString& table, CopiedTable* copied, QString* problem)
    {
        const QStringList columns = m_file.columns(table);
        const QStringList serverColumns = m_server.columns(table);
        if (columns != serverColumns) {
            *problem = QStringLiteral("台帐文件中《%1》的字段与数据库服务器上的不一致，不能复制。").arg(table);
            return false;
        }
        qint64 total = 0;
        {
            QSqlQuery count(m_file.connection());
            if (count.exec(QStringLiteral("SELECT count(*) FROM %1").arg(quotedIdentifier(table))) && count.next())
                total = count.value(0).toLongLong();
        }
        QSqlQuery read(m_file.connection());
        read.setForwardOnly(true);
        // A ledger table's rows keep their row address; an extension table's
        // their ID, one of their columns.
        const bool addressed = ledgerTables().contains(table);
        if (!read.exec(QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %4")
                           .arg(addressed ? QStringLiteral("rowid") : QStringLiteral("0"), columnList(columns),
                                quotedIdentifier(table), rowOrder(table)))) {
            *problem = DbError::fromSqlError(read.lastError()).text();
            return false;
        }
        QCryptographicHash hash(QCryptographicHash::Sha256);
        const QString insertHead =
            QStringLiteral("INSERT INTO %1 (%2%3) VALUES ")
                .arg(quotedIdentifier(table), columnList(columns), addressed ? QStringLiteral(", rowid") : QString());
        const QString oneRow = QLatin1Char('(')
            + QStringList(columns.size() + (addressed ? 1 : 0), QStringLiteral("?")).join(',') + QLatin1Char(')');
        // Files kept in the ledger go one to a statement.
        const int batchRows = table == tables::Attachments ? 1 : kBatchRows;
        QVariantList binds;
        int batched = 0;
        qint64 done = 0;
        auto flush = [&]() {
            if (batched == 0)
                return true;
            const DbResult r =
                m_server.executeNative(insertHead + QStringList(batched, oneRow).join(QLatin1Char(',')), binds);
            binds.clear();
            batched = 0;
            if (!r.ok()) {
                *problem = QStringLiteral("《%1》的记录没有能写到数据库服务器上：%2").arg(table, r.error.text());
                return false;
            }
            return true;
        };
        const QString step = QStringLiteral("正在复制《%1》").arg(table);
        while (read.next()) {
            for (int i = 0; i < columns.size(); ++i) {
                const QVariant v = plainValue(read.value(i + 1), isNumberColumn(columns.at(i)));
                addToChecksum(hash, v);
                binds << v;
            }
            if (addressed)
                binds << read.value(0).toLongLong();
            ++done;
            if (++batched == batchRows) {
                if (!flush())
                    return false;
                if (m_progress && !m_progress(step, done, total)) {
                    *problem = QStringLiteral("复制已取消，数据库服务器上没有写入任何数据。");
                    return false;
                }
            }
        }
        if (read.lastError().isValid()) {
            *problem = DbError::fromSqlError(read.lastError()).text();
            return false;
        }
        if (!flush())
            return false;
        if (m_progress && !m_progress(step, done, total)) {
            *problem = QStringLiteral("复制已取消，数据库服务器上没有写入任何数据。");
            return false;
        }
        // New rows the program adds on the server are numbered after these.
        const DbResult next = m_server.executeNative(
            QStringLiteral("SELECT setval(pg_get_serial_sequence(?, ?), coalesce(max(%2), 0) + 1, false) FROM %1")
                .arg(quotedIdentifier(table), rowOrder(table)),
            {quotedIdentifier(table), addressed ? QStringLiteral("rowid") : QStringLiteral("ID")});
        if (!next.ok()) {
            *problem = next.error.text();
            return false;
        }
        copied->name = table;
        copied->rows = done;
        copied->checksum = hash.result().toHex();
        return true;
    }

private:
    Database& m_file;
    Database& m_server;
    const ServerCopyProgress& m_progress;
};

int usage(QTextStream& err, const QString& why)
{
    err << why << Qt::endl
        << QStringLiteral("用法：ravo [--appdir 台帐文件夹] --copy-to-server \"host=主机 port=端口 dbname=数据库 "
                          "user=用户\"")
        << Qt::endl;
    return 2;
}

} // namespace

QStringList serverDatabaseContents(Database& server)
{
    QStringList names;
    QSqlQuery q(server.connection());
    if (!q.exec(QStringLiteral(
            "SELECT n.nspname, c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
            "WHERE c.relkind IN ('r', 'p', 'v', 'm', 'S', 'f') AND n.nspname NOT IN ('pg_catalog', "
            "'information_schema') AND n.nspname NOT LIKE 'pg\\_toast%' AND n.nspname NOT LIKE 'pg\\_temp%' "
            "ORDER BY 1, 2 LIMIT 6")))
        return {DbError::fromSqlError(q.lastError()).text()};
    while (q.next())
        names << (q.value(0).toString() == QLatin1String("public")
                      ? q.value(1).toString()
                      : q.value(0).toString() + QLatin1Char('.') + q.value(1).toString());
    return names;
}

namespace {

ServerCopyResult copyInOneTransaction(const QString& ledgerFile, const QVector<UserAccount>& accounts, Database& server,
                                      const AccountPasswordSource& passwordOf, const ServerCopyProgress& progress)
{
    ServerCopyResult result;
    if (server.engine() != Engine::Postgres || !server.isOpen()) {
        result.problem = QStringLiteral("没有连接到数据库服务器，不能复制台帐。");
        return result;
    }
    const QString target = server.serverAddress().database;
    const QStringList held = serverDatabaseContents(server);
    if (!held.isEmpty()) {
        result.problem =
            QStringLiteral("数据库服务器上的数据库“%1”不是空的（其中已有：%2），台帐只能复制到一个空的数据库中。"
                           "没有改动它。")
                .arg(target, held.join(QStringLiteral("、")));
        return result;
    }
    Database file;
    if (const DbError e = file.open(ledgerFile)) {
        result.problem = e.text();
        return result;
    }
    for (const QString& t : file.tables(true))
        if (!ledgerTables().contains(t) && !extensionTables().contains(t) && t != tables::SchemaVersion)
            result.leftOut << t;

    Transaction tx(server);
    if (tx.error()) {
        result.problem = tx.error().text();
        return result;
    }
    if (progress && !progress(QStringLiteral("正在建立台帐的数据表"), 0, 0)) {
        result.problem = QStringLiteral("复制已取消，数据库服务器上没有写入任何数据。");
        return result;
    }
    if (const DbError e = server.createServerLedger()) {
        result.problem = QStringLiteral("没有能在数据库服务器上建立台帐的数据表：%1").arg(e.text());
        return result;
    }
    Copier copier(file, server, progress);
    for (const QString& table : ledgerTables()) {
        CopiedTable copied;
        if (!copier.copyTable(table, &copied, &result.problem)) {
            return result;
        }
        result.tables << copied;
    }
    // The attachments and the history, when the file has them (a ledger of
    // an older program has not; the server's are then left empty).
    for (const QString& table : extensionTables()) {
        if (!file.tableExists(table))
            continue;
        CopiedTable copied;
        if (!copier.copyTable(table, &copied, &result.problem))
            return result;
        result.tables << copied;
    }

    // The accounts, each at its level (anything but 0 and 1 reads as 2).
    bool administrator = false;
    QVector<UserAccount> wanted;
    for (const UserAccount& a : accounts) {
        if (a.Name.isEmpty())
            continue;
        UserAccount one = a;
        one.Level = a.Level == 0 || a.Level == 1 ? a.Level : qint16(2);
        administrator = administrator || one.Level == 0;
        wanted << one;
    }
    if (!administrator) {
        UserAccount admin = seededAdministrator();
        wanted.prepend(admin);
    }
    for (const UserAccount& a : wanted) {
        if (progress && !progress(QStringLiteral("正在建立用户“%1”").arg(a.Name), 0, 0)) {
            result.problem = QStringLiteral("复制已取消，数据库服务器上没有写入任何数据。");
            return result;
        }
        std::optional<QString> password = passwordOf ? passwordOf(a) : std::nullopt;
        const bool temporary = !password || password->isEmpty();
        if (temporary)
            password = temporaryPassword();
        const AccountChange made = createServerAccount(server, a.Name, *password, a.Level, temporary);
        if (!made.ok()) {
            result.problem = QStringLiteral("没有能在数据库服务器上建立用户“%1”：%2").arg(a.Name, made.refusal);
            return result;
        }
        result.accounts << a.Name;
        if (temporary)
            result.temporaryPasswords << TemporaryPassword{a.Name, *password};
    }

    // What the server holds now must be what the file holds.
    for (const CopiedTable& copied : std::as_const(result.tables)) {
        if (progress && !progress(QStringLiteral("正在核对《%1》").arg(copied.name), 0, 0)) {
            result.problem = QStringLiteral("复制已取消，数据库服务器上没有写入任何数据。");
            return result;
        }
        qint64 rows = 0;
        QByteArray checksum;
        QString why;
        if (!tableChecksum(server.connection(), copied.name, file.columns(copied.name), &rows, &checksum, &why)) {
            result.problem = why;
            return result;
        }
        if (rows != copied.rows || checksum != copied.checksum) {
            result.problem =
                QStringLiteral("核对时发现数据库服务器上的《%1》与台帐文件不一致"
                               "（文件 %2 条记录，服务器 %3 条），复制没有完成，服务器上没有写入任何数据。")
                    .arg(copied.name)
                    .arg(copied.rows)
                    .arg(rows);
            return result;
        }
    }
    if (const DbError e = tx.commit()) {
        result.problem = QStringLiteral("数据库服务器没有接受这次复制，服务器上没有写入任何数据：%1").arg(e.text());
    }
    return result;
}

} // namespace

ServerCopyResult copyLedgerToServer(const QString& ledgerFile, const QVector<UserAccount>& accounts, Database& server,
                                    const AccountPasswordSource& passwordOf, const ServerCopyProgress& progress)
{
    ServerCopyResult result = copyInOneTransaction(ledgerFile, accounts, server, passwordOf, progress);
    // Nothing of a failed copy stays on the server, so nothing of it is told.
    if (!result.ok()) {
        result.tables.clear();
        result.accounts.clear();
        result.temporaryPasswords.clear();
    }
    return result;
}

bool isCopyToServerCommand(const QStringList& arguments)
{
    return arguments.contains(QStringLiteral("--copy-to-server"));
}

int runCopyToServerCommand(const QStringList& arguments, const QString& defaultAppDir, QTextStream& out,
                           QTextStream& err, const std::function<std::optional<QString>(const QString&)>& ask)
{
    QString appDir = defaultAppDir, connection;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a != QStringLiteral("--appdir") && a != QStringLiteral("--copy-to-server"))
            return usage(err, QStringLiteral("不认识的参数“%1”。").arg(a));
        if (i + 1 >= arguments.size() || arguments.at(i + 1).startsWith(QStringLiteral("--")))
            return usage(err, QStringLiteral("“%1”后面缺少值。").arg(a));
        (a == QStringLiteral("--appdir") ? appDir : connection) = arguments.at(++i);
    }
    if (appDir.isEmpty())
        return usage(err, QStringLiteral("请用 --appdir 指定台帐所在的文件夹。"));
    QString why;
    const std::optional<ServerAddress> address = ServerAddress::parse(connection, &why);
    if (!address)
        return usage(err, why);
    const QString ledger = QDir(appDir).filePath(QStringLiteral("ravo.mdb"));
    if (!QFileInfo(ledger).isFile()) {
        err << QStringLiteral("找不到台帐数据库文件：%1").arg(QDir::toNativeSeparators(ledger)) << Qt::endl;
        return 1;
    }
    // Nobody changes the file while it is copied.
    InstanceLock lock(appDir);
    if (!lock.isLocked()) {
        err << lock.problem() << Qt::endl;
        return 1;
    }

    QString password = qEnvironmentVariable("PGPASSWORD");
    if (password.isEmpty())
        password = ask(QStringLiteral("数据库服务器上用户“%1”的密码（直接回车：不用密码）：").arg(address->user))
                       .value_or(QString());
    Database server;
    if (const DbError e = server.openServer(*address, password)) {
        err << e.text() << Qt::endl;
        return 1;
    }
    SettingsStore settings;
    const AccountLoad load = loadAccountList(settings);
    const auto passwordOf = [&](const UserAccount& a) -> std::optional<QString> {
        for (;;) {
            const std::optional<QString> first =
                ask(QStringLiteral("用户“%1”在数据库服务器上的密码（直接回车：给一个临时密码，首次登录时更改）：")
                        .arg(a.Name));
            if (!first || first->isEmpty())
                return std::nullopt;
            const std::optional<QString> again = ask(QStringLiteral("再输入一次：")).value_or(QString());
            if (again == first)
                return first;
            err << QStringLiteral("两次输入的密码不一致，请重新输入。") << Qt::endl;
        }
    };
    qint64 lastShown = -1;
    const auto progress = [&](const QString& step, qint64 done, qint64 total) {
        if (total <= 0 || done == total || done / 10000 != lastShown / 10000) {
            out << step;
            if (total > 0)
                out << QStringLiteral("：%1 / %2").arg(done).arg(total);
            out << Qt::endl;
        }
        lastShown = done;
        return true;
    };
    const ServerCopyResult r = copyLedgerToServer(ledger, load.accounts, server, passwordOf, progress);
    if (!r.ok()) {
        err << r.problem << Qt::endl;
        return 1;
    }
    out << QStringLiteral("台帐已复制到数据库服务器 %1，并已逐表核对：").arg(server.description()) << Qt::endl;
    for (const CopiedTable& t : r.tables)
        out << QStringLiteral("  《%1》%2 条记录").arg(t.name).arg(t.rows) << Qt::endl;
    out << QStringLiteral("用户：%1").arg(r.accounts.join(QStringLiteral("、"))) << Qt::endl;
    if (!r.temporaryPasswords.isEmpty()) {
        out << QStringLiteral("以下用户的临时密码（首次登录时必须更改），请分别转交本人：") << Qt::endl;
        for (const TemporaryPassword& t : r.temporaryPasswords)
            out << QStringLiteral("  %1\t%2").arg(t.account, t.password) << Qt::endl;
    }
    if (!r.leftOut.isEmpty())
        out << QStringLiteral("没有复制的工作表（它们在服务器上属于每个用户自己）：%1")
                   .arg(r.leftOut.join(QStringLiteral("、")))
            << Qt::endl;
    return 0;
}

} // namespace ravo::exchange
