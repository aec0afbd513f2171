#pragma once
// Shared by the main window's tests: a run of the program on fresh folders
// with the administrator signed in, rows put into the ledger, and the main
// window loaded and shown offscreen.
#include "ProgramRun.h"
#include "core/Ledger.h"
#include "mainwindow/MainCommands.h"
#include "mainwindow/frmMain.h"
#include "platform/Units.h"

#include <QComboBox>
#include <QSqlQuery>
#include <QtTest>
#include <memory>

namespace ravo::test {

struct MainRun : Run {
    std::unique_ptr<frmMain> window;

    explicit MainRun(int level = 0)
    {
        state.UserList = {{QStringLiteral("系统管理员"), QString(), 0, 0},
                          {QStringLiteral("张三"), QString(), qint16(level), 0}};
        state.UserEditList = state.UserList;
        state.UserCount = 2;
        state.CurrentUser = level == 0 ? 1 : 2;
    }

    // Runs statements on the ledger file before the window opens it.
    void prepare(const QStringList& statements)
    {
        Database db;
        QVERIFY(!db.open(sandbox.databasePath()));
        for (const QString& s : statements) {
            const DbResult r = db.executeNative(s);
            QVERIFY2(r.ok(), qPrintable(s + QStringLiteral(": ") + r.error.text()));
        }
    }

    // Loads the window (placement widthTw × 9000 twips; none stored with a
    // width of 0) and shows it.
    bool open(int widthTw = 15000)
    {
        if (widthTw > 0) {
            state.settings.save(SettingsStore::MainApp, QStringLiteral("WindowsSettings"), QStringLiteral("MainWidth"),
                                QString::number(widthTw));
            state.settings.save(SettingsStore::MainApp, QStringLiteral("WindowsSettings"), QStringLiteral("MainHeight"),
                                QStringLiteral("9000"));
        }
        window = std::make_unique<frmMain>(state);
        // The commands only announce their windows unless a test opens them.
        window->commands->setOpensWindows(false);
        if (!window->load())
            return false;
        window->show();
        QCoreApplication::processEvents();
        return true;
    }

    Database& db() { return state.LedgerDatabase; }

    int count(const QString& table)
    {
        QSqlQuery q(db().connection());
        if (!q.exec(QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table)) || !q.next())
            return -1;
        return q.value(0).toInt();
    }

    void chooseTable(const QString& table)
    {
        window->cboDbase->setCurrentIndex(window->cboDbase->findText(table));
        window->cboDbase_Click();
    }

    void chooseField(const QString& field)
    {
        window->cboField->setCurrentIndex(window->cboField->findText(field));
        window->cboField_Click();
    }
};

// In-use rows: number, name, department, calibration date (empty = none).
inline QString inUseRow(const QString& number, const QString& name, const QString& department, const QString& date = {})
{
    auto lit = [](const QString& v) {
        return v.isEmpty() ? QStringLiteral("NULL") : QStringLiteral("'") + QString(v).replace('\'', "''") + '\'';
    };
    return QStringLiteral(
               "INSERT INTO 计量器具在用库 (计量器具编号, 计量器具名称, 使用部门, 检定日期) VALUES (%1, %2, %3, %4)")
        .arg(lit(number), lit(name), lit(department), lit(date));
}

inline QStringList sampleInUse()
{
    return {inUseRow("L-001", "游标卡尺", "一车间", "2026-01-05"),
            inUseRow("L-002", "卡尺\"A\"", "一车间", "2024-02-29"), inUseRow("T-003", "温度计", "二车间", "2026-01-05"),
            inUseRow("E-004", "万用表", "", "")};
}

} // namespace ravo::test
