#pragma once
// A fresh ledger, settings folder and program state for the planning tests,
// with instruments put straight into the in-use ledger and the search
// result MSys检索临时表 made from it as the main window makes it.
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "core/Dates.h"
#include "core/ProgramState.h"

#include <QSqlQuery>
#include <QtTest>

namespace ravo::test {

struct PlanningFixture {
    Sandbox box;
    ScriptedPrompter prompt;
    ProgramState state{box.appDir(), prompt};
    bool open = false;

    PlanningFixture() { open = box.isValid() && !state.LedgerDatabase.open(box.databasePath()); }

    Database& db() { return state.LedgerDatabase; }

    // One in-use instrument per (number, validity date); an invalid date
    // leaves 有效日期 empty.
    bool addInstruments(const QList<QPair<QString, QDate>>& rows)
    {
        Transaction tx(db());
        for (const auto& [number, valid] : rows) {
            const QVariant date = valid.isValid() ? QVariant(formatShortDate(valid)) : QVariant();
            if (!db().executeNative(QStringLiteral("INSERT INTO 计量器具在用库 (计量器具编号, 计量器具名称, 有效日期) "
                                                   "VALUES (?, ?, ?)"),
                                    {number, QStringLiteral("压力表"), date})
                     .ok())
                return false;
        }
        return !tx.commit();
    }

    // Makes the search result with a select … into MSys检索临时表 statement.
    bool makeResult(const QString& statement = QStringLiteral("select * into MSys检索临时表 from 计量器具在用库"))
    {
        dropWorkingTable(db(), tables::SearchResult);
        return db().runScratch(statement).ok();
    }

    // One column of a table in rowid order (the order the grid shows).
    QStringList column(const QString& table, const QString& col)
    {
        QStringList out;
        QSqlQuery q(db().connection());
        if (q.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(col, table)))
            while (q.next())
                out << q.value(0).toString();
        return out;
    }

    QString stored(const QString& section, const QString& key)
    {
        return state.settings.read(SettingsStore::MainApp, section, key, QStringLiteral("<absent>"));
    }
};

// Runs `step` on the modal window named `name` as soon as it is up (to
// look at it and press its buttons); `step` has to close it. Gives up after
// a few seconds, so a window that never comes cannot hang the test.
inline void whenModal(const QString& name, std::function<void(QWidget*)> step, int triesLeft = 500)
{
    QTimer::singleShot(triesLeft == 500 ? 0 : 10, [=] {
        QWidget* w = QApplication::activeModalWidget();
        if (w && w->objectName() == name)
            step(w);
        else if (triesLeft > 0)
            whenModal(name, step, triesLeft - 1);
    });
}

} // namespace ravo::test
