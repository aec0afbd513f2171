#pragma once
// The window the user works in from sign-in to exit. Its left column, the
// quick navigator, holds the table selector, the field selector and the value
// list; its right side is the grid with the current result (the working table
// MSys检索临时表); the status bar counts the rows and greets the user. Every
// other window is opened from its menu and toolbar (MainCommands). Closing it
// is the program's shut-down.
//
// Geometry is reckoned in twips, as the stored window placement is, and
// turned into pixels by the Units helper.
#include "core/ProgramState.h"
#include "core/Recordset.h"
#include "core/RecordsetModel.h"

#include <QMainWindow>
#include <QVector>

class QComboBox;
class QFrame;
class QLabel;
class QListView;
class QModelIndex;
class QStatusBar;
class QTableView;
class QTimer;
class QToolBar;

namespace ravo {

class DistinctValuesModel;
class MainCommands;
class SplitterHandle;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(ProgramState& state, QWidget* parent = nullptr);
    ~frmMain() override;

    // Places the window, opens the ledger, fills the table and field lists,
    // runs the options pass and applies the account's rights. False (with the
    // reason shown) when the ledger cannot be opened or lacks its tables.
    bool load();

    // What the window does each time it becomes the active one; also called
    // by the activation event.
    void activate();

    // Table selection: rebuilds the field list ("全部" and the columns), shows
    // the whole table and remembers it as the current table.
    void cboDbase_Click();
    // Field selection: "全部" shows the whole table again; any field fills
    // the value list with its values.
    void cboField_Click();
    void itemSort();
    // A pick in the value list. A row outside the list is ignored.
    void dblSort_Click(int row);
    // Shows the rows of the current table whose current field equals the
    // picked value. False when the statement failed; the whole table is then
    // shown again and the user told why.
    bool SQLQueryStar();
    // Rebuilds the result with QuerySQL, or the whole current table when
    // there is none; reports a failing statement.
    bool requery();

    // On a server ledger: makes sure the connection works before an action.
    // A connection found gone is made again (same account, the password of
    // the sign-in held in memory) and the result table, which went with the
    // old session, is rebuilt; the user is told once, naming the windows
    // whose unsaved work went with it. False, told once, when the server
    // cannot be reached: the action is not done. Always true on the file.
    bool ensureConnected();
    // The status bar's notice that another user changed the table shown
    // (server only); empty when there is none. The next requery clears it.
    QString colleagueNotice() const { return m_colleagueNotice; }

    // Lays the navigator and the grid out at splitter position x (twips),
    // x kept at least 800 twips from either edge; returns the position used.
    int SizeControls(int x);
    // The self-hiding navigator: x is the pointer's position (twips) inside
    // the grid or its title.
    void MoveNav(int x);
    // Prints the current result.
    void PrintQuery();

    // The text of the grid's current cell, or nothing when there is none.
    std::optional<QString> currentCellText() const;
    // Rows in the current result.
    int resultCount() const { return m_result.recordCount(); }
    const Recordset& result() const { return m_result; }
    ProgramState& state() { return m_state; }
    // The text of status panel 1 … 4.
    QString panelText(int panel) const;
    // The navigator width the user chose by dragging the splitter (twips);
    // a resize lays out at this position again, within the clamps.
    int splitterPosition() const { return m_splitterPos; }
    int clientWidthTwips() const;

    // Controls, named as the window's description names them.
    QToolBar* tbToolBar = nullptr;
    QWidget* picTitles = nullptr;
    QVector<QLabel*> lblTitle;
    QComboBox* cboDbase = nullptr;
    QComboBox* cboField = nullptr;
    QListView* dblSort = nullptr;
    QTableView* DBGridListBook = nullptr;
    SplitterHandle* imgSplitter = nullptr;
    QFrame* picSplitter = nullptr;
    QStatusBar* sbStatusBar = nullptr;
    MainCommands* commands = nullptr;

    bool NoShow = true;
    bool NavHidden = false;
    bool SplitterMoving = false;
    QString t_sqlselectfield;
    QString t_sqlappend;

    // Splitter drag, in twips within the splitter.
    void imgSplitter_MouseDown();
    void imgSplitter_MouseMove(int x);
    void imgSplitter_MouseUp();

signals:
    // The result was rebuilt (whole table, quick search or requery).
    void resultRebuilt();
    // An activation has done its work (after the due list, when it showed).
    void activated();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void createNavigator(QWidget* client);
    void createGrid(QWidget* client);
    void createStatusBar();
    void layoutNavigatorVertically();
    void applyDockedNavigator();
    void setNavigatorHidden(bool hidden);

    bool selectStartTable();
    void showGreeting();
    void runOptionsPass();
    void applyLevelRights();

    // Drops the result table and makes it again with the statement; the grid
    // is let go of the table meanwhile and shows the new rows afterwards.
    DbError rebuildResult(const QString& statement, bool throughScratch);
    DbError showWholeTable();
    void detachGrid();
    void attachGrid();
    void updateCounter();
    void updateClock();
    void savePlacement();
    // Server ledger: the title names it, the connection's loss is watched,
    // and colleagues' changes are listened for.
    void attachServer();
    void listenForColleagues();
    void colleagueChanged(const QString& table);
    void clearColleagueNotice();

    ProgramState& m_state;
    Recordset m_result;
    RecordsetModel m_model;
    DistinctValuesModel* m_values = nullptr;
    QWidget* m_client = nullptr;
    QVector<QLabel*> m_panels;
    QTimer* m_clock = nullptr;
    int m_splitterPos = 2400;
    // The navigator has been hidden or brought back by the pointer and is not
    // docked again yet.
    bool m_navFloating = false;
    QString m_colleagueNotice;
    // Windows that were open when the server connection was lost: their
    // working copies went with the old session.
    QStringList m_lostWindows;
    bool m_reconnecting = false;
    // The statement that made the result shown, made again after a
    // reconnection.
    QString m_shownStatement;
};

} // namespace ravo
