#pragma once
// The list windows of the due reminder and the calibration plan share one
// life: when the window loads, a working table is made from the search
// result MSys检索临时表 with a select … into statement run through the
// scratch query; the grid DBGrid1 shows it through the data source Data1,
// Label2 counts its rows, "打印|预览(&P)" prints it, "按部门打印(&D)..."
// prints it grouped by department, "导出(&X)..." writes it to an .xlsx or
// .csv file, and closing the window drops the table.
//
// The grid opens sorted by 有效日期 and sorts by any column whose header is
// clicked; a leading column and a red or amber tint mark the instruments
// overdue or due within the lead time (DueListModel).
//
// A copy of the working table left behind by an interrupted run makes the
// statement fail with "table already exists" (3010): the copy is dropped and
// the statement run once more. Any other failure, or a second one, shows the
// engine's description, and the window closes without being shown.
//
// Use: construct, then exec(). load() alone builds the table without
// showing the window (for callers that only want the rows).
#include "core/ProgramState.h"
#include "core/Recordset.h"
#include "core/RecordsetModel.h"
#include "planning/DueListModel.h"

#include <QDate>

#include <QDialog>

class QLabel;
class QPushButton;
class QTableView;

namespace ravo {

class WorkingTableWindow : public QDialog {
    Q_OBJECT
public:
    ~WorkingTableWindow() override;

    // Builds the working table and opens the grid on it. False when that
    // failed; the engine's description has been shown then.
    bool load();
    bool isLoaded() const { return m_loaded; }
    // Loads (unless loaded already) and shows the window modally. When the
    // table cannot be made the window is not shown and Rejected returned.
    int exec() override;

    // The statement the table is made with, in the ledger's dialect.
    virtual QString statement() const = 0;
    QString workingTable() const { return m_table; }
    int recordCount() const { return Data1.recordCount(); }

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QTableView* DBGrid1 = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPushButton* cmdExport = nullptr;
    QPushButton* cmdPrintByDepartment = nullptr;
    Recordset Data1;

    // The day the marks and the days left count from; the current date
    // unless set.
    void setToday(const QDate& today) { m_today = today; }
    QDate today() const { return m_today.isValid() ? m_today : QDate::currentDate(); }

public slots:
    // Closing by the OK button, Escape or the close box unloads the window:
    // the grid lets go of the table and the table is dropped.
    void done(int result) override;
    // Prints the rows as the main window prints its result; the title box
    // offers printTitle().
    void cmdPrint_Click();
    // Prints the instruments grouped by department under printTitle().
    void cmdPrintByDepartment_Click();
    // Writes the rows, in the list's own order (by number), to a file the
    // user chooses.
    void cmdExport_Click();

protected:
    // okName is the object name of the window's OK button ("cmdOK", "cmdOk").
    WorkingTableWindow(ProgramState& state, const QString& workingTable, const QString& okName, QWidget* parent);
    // The title the printout carries.
    virtual QString printTitle() const = 0;
    // The name of an export's worksheet and the start of its file name.
    virtual QString exportTitle() const = 0;
    // Refreshes the grid and the count label each time the window is shown.
    void showEvent(QShowEvent* event) override;
    void activate();

    ProgramState& m_state;
    QPushButton* m_ok = nullptr;

private:
    void createLayout(const QString& okName);
    DbError build();
    void unload();

    RecordsetModel m_model;
    DueListModel m_dueModel;
    QString m_table;
    QDate m_today;
    bool m_loaded = false;
    bool m_touched = false; // load() ran since the last unload
};

} // namespace ravo
