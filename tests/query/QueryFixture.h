#pragma once
// A fresh ledger and settings folder with the program state around it, and
// a stand-in main window that the wizard is loaded under.
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "core/ProgramState.h"
#include "query/frmQuery.h"

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QSqlQuery>
#include <QtTest>
#include <memory>

namespace ravo::test {

inline const QString InUse = QStringLiteral("计量器具在用库");
inline const QString Environment = QStringLiteral("环境状况记录库");

struct QueryFixture {
    Sandbox box;
    ScriptedPrompter prompt;
    ProgramState state{box.appDir(), prompt};
    QWidget mainWindow;
    bool ready = false;

    QueryFixture()
    {
        ready = box.isValid() && !state.LedgerDatabase.open(box.databasePath());
        state.CurrentTable = InUse;
    }

    // Shows the wizard for a table, as the main window's command does.
    frmQuery& open(const QString& table)
    {
        state.CurrentTable = table;
        frmQuery& w = frmQuery::instance(state, &mainWindow);
        w.show();
        return w;
    }

    bool insert(const QString& table, const QList<QVariantHash>& rows)
    {
        for (const QVariantHash& row : rows) {
            QStringList cols, marks;
            QVariantList values;
            for (auto it = row.cbegin(); it != row.cend(); ++it) {
                cols << it.key();
                marks << QStringLiteral("?");
                values << it.value();
            }
            const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                    .arg(table, cols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
            if (!state.LedgerDatabase.executeNative(sql, values).ok())
                return false;
        }
        return true;
    }

    // One column of the result table in its row order.
    QStringList result(const QString& column)
    {
        QStringList out;
        QSqlQuery q(state.LedgerDatabase.connection());
        if (q.exec(QStringLiteral("SELECT %1 FROM MSys检索临时表 ORDER BY rowid").arg(column)))
            while (q.next())
                out << q.value(0).toString();
        return out;
    }
    QStringList resultColumns() { return state.LedgerDatabase.columns(QStringLiteral("MSys检索临时表")); }
};

inline QStringList listEntries(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

// Puts exactly these fields, in this order, into lstDest with the buttons.
inline bool chooseFields(frmQuery& w, const QStringList& fields)
{
    w.cmdDelAll->click();
    for (const QString& f : fields) {
        const auto found = w.lstSource->findItems(f, Qt::MatchExactly);
        if (found.isEmpty())
            return false;
        w.lstSource->setCurrentItem(found.first());
        w.cmdAddField->click();
    }
    return listEntries(w.lstDest) == fields;
}

// Sets the four sort keys; an empty field or direction leaves that box empty.
inline void setSortKeys(frmQuery& w, const QStringList& fields, const QStringList& directions)
{
    for (int k = 0; k < 4; ++k) {
        w.Combo1[k]->setEditText(fields.value(k));
        const int d = w.Combo2[k]->findText(directions.value(k));
        w.Combo2[k]->setCurrentIndex(directions.value(k).isEmpty() ? -1 : d);
    }
}

inline bool selectText(QComboBox* combo, const QString& text)
{
    const int i = combo->findText(text);
    combo->setCurrentIndex(i);
    return i >= 0;
}

} // namespace ravo::test
