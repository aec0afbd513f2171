// Writes the empty installed ledger from the schema: makedb SCHEMA.sql OUT.mdb
// With --server, creates the ledger's tables in an empty database on a
// PostgreSQL server instead (the server demo's ledger):
//   makedb --server "host=H port=P dbname=D user=U"
// The account must be let in without a password (the private cluster's
// superuser on its own socket); a database that holds tables is refused
// (exit code 3); a ledger of an earlier program in it is brought up to
// date (its attachment and history tables added, as the owner). The ledger's first account, 系统管理员
// (level 0), is made with a temporary password printed on standard output,
// to be changed at its first sign-in.
#include "core/Database.h"
#include "core/Ledger.h"
#include "core/LedgerSchema.h"
#include "core/ServerAccounts.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

namespace {

int makeServerLedger(const QString& connection)
{
    QString why;
    const auto address = ravo::ServerAddress::parse(connection, &why);
    if (!address) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 2;
    }
    ravo::Database db;
    if (const ravo::DbError e = db.openServer(*address, {})) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    }
    if (!db.tables(true).isEmpty()) {
        // A ledger made by an earlier program is brought up to date by its
        // owner: the accounts that sign in may not add tables.
        int from = 0;
        if (db.tableExists(ravo::tables::InUse)) {
            if (const ravo::DbError e = ravo::upgradeLedgerSchema(db, &from)) {
                std::fprintf(stderr, "%s\n", qPrintable(e.text()));
                return 1;
            }
            if (from < ravo::LedgerSchemaVersion)
                std::printf("%s\n",
                            qPrintable(QStringLiteral("台帐“%1”已从结构版本 %2 升级到 %3。")
                                           .arg(address->database)
                                           .arg(from)
                                           .arg(ravo::LedgerSchemaVersion)));
        }
        std::fprintf(stderr, "%s\n",
                     qPrintable(QStringLiteral("数据库“%1”中已经有数据表，没有另建台帐。").arg(address->database)));
        return 3;
    }
    QString temporary;
    if (const QString why = ravo::createServerLedgerWithAdministrator(db, {}, &temporary); !why.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    std::printf("%s\n", qPrintable(QStringLiteral("系统管理员的临时密码（首次登录时必须更改）：%1").arg(temporary)));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--server") == 0)
        return makeServerLedger(QString::fromLocal8Bit(argv[2]));
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s schema.sql ravo.mdb\n       %s --server \"host=H port=P dbname=D user=U\"\n",
                     argv[0], argv[0]);
        return 2;
    }
    QFile schema(QString::fromLocal8Bit(argv[1]));
    if (!schema.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const ravo::DbError e =
        ravo::Database::createFromSchema(QString::fromLocal8Bit(argv[2]), QString::fromUtf8(schema.readAll()));
    if (e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}
