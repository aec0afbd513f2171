#pragma once
// A fresh ledger with the program state around it, for the editor tests:
// rows are put straight into the tables and read back the same way. The
// ledger is a file unless the test asks for one on the test server.
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "core/ProgramState.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

namespace ravo::test {

struct EditorFixture {
    Sandbox box;
    ScriptedPrompter prompt;
    ProgramState state{box.appDir(), prompt};

    explicit EditorFixture(Engine engine = Engine::Sqlite)
    {
        if (engine == Engine::Postgres) {
            failure = openFreshServerLedger(state.LedgerDatabase);
            open = box.isValid() && failure.isEmpty();
            return;
        }
        open = box.isValid() && !state.LedgerDatabase.open(box.databasePath());
    }
    bool open = false;
    QString failure;

    // A colleague's session on the same ledger (or a second connection to
    // the same file).
    QString openColleague(Database& other)
    {
        if (db().engine() == Engine::Postgres)
            return openSecondSession(db(), other);
        const DbError e = other.open(box.databasePath());
        return e ? e.text() : QString();
    }

    Database& db() { return state.LedgerDatabase; }

    // Puts rows into a table; each row is column → value.
    bool insert(const QString& table, const QList<QVariantHash>& rows)
    {
        Transaction tx(db());
        for (const QVariantHash& row : rows)
            if (!insertRow(db(), table, row))
                return false;
        return !tx.commit();
    }
    // In-use rows numbered N-001 … with names 表1 ….
    bool fillInUse(int n)
    {
        QList<QVariantHash> rows;
        for (int i = 1; i <= n; ++i)
            rows << QVariantHash{
                {QStringLiteral("计量器具编号"), QStringLiteral("N-%1").arg(i, 3, 10, QLatin1Char('0'))},
                {QStringLiteral("计量器具名称"), QStringLiteral("表%1").arg(i)}};
        return insert(QStringLiteral("计量器具在用库"), rows);
    }

    // One column of a table in rowid order.
    QStringList column(const QString& table, const QString& col)
    {
        QStringList out;
        QSqlQuery q(db().connection());
        if (q.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(col, table)))
            while (q.next())
                out << q.value(0).toString();
        return out;
    }
    QVariantHash row(const QString& table, const QString& number)
    {
        QVariantHash out;
        QSqlQuery q(db().connection());
        q.prepare(QStringLiteral("SELECT * FROM %1 WHERE 计量器具编号 = ?").arg(table));
        q.addBindValue(number);
        if (q.exec() && q.next())
            for (int i = 0; i < q.record().count(); ++i)
                out.insert(q.record().fieldName(i), q.value(i));
        return out;
    }
};

} // namespace ravo::test
