#pragma once
// A fresh ledger and settings folder with the program state around it, and a
// stand-in main window that the wizard is loaded under.
#include "ScriptedPrompter.h"
#include "TestSupport.h"
#include "core/ProgramState.h"
#include "platform/KeptWindow.h"
#include "query/QueryTexts.h"
#include "query/frmQuery.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QtTest>

namespace ravo::test {

inline const QString InUse = QStringLiteral("计量器具在用库");
inline const QString Environment = QStringLiteral("环境状况记录库");
inline const QString Number = QStringLiteral("计量器具编号");
inline const QString Name = QStringLiteral("计量器具名称");

struct QueryFixture {
    Sandbox box;
    ScriptedPrompter prompt;
    ProgramState state{box.appDir(), prompt};
    QWidget mainWindow;
    QPointer<frmQuery> wizard; // kept as the main window keeps it
    bool ready = box.isValid() && !state.LedgerDatabase.open(box.databasePath());

    // Shows the wizard for a table, as the main window's command does.
    frmQuery& open(const QString& table)
    {
        state.CurrentTable = table;
        frmQuery& w = keptWindow(wizard, state, &mainWindow);
        w.show();
        return w;
    }
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
        w.Combo2[k]->setCurrentIndex(directions.value(k).isEmpty() ? -1 : w.Combo2[k]->findText(directions[k]));
    }
}

inline bool selectText(QComboBox* combo, const QString& text)
{
    combo->setCurrentIndex(combo->findText(text));
    return combo->currentIndex() >= 0;
}

} // namespace ravo::test
