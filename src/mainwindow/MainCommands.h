#pragma once
// The main window's commands: the menu tree and the toolbar, the checks a
// command makes before it opens its window (the ledger check, the grid's
// current cell handed over as SelectedNumber, the rights of level 2
// accounts), and the opening of every other window of the program.
//
// Each window is opened by one show…() function, which first announces the
// request (the signal windowRequested).
#include <QAction>
#include <QHash>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QVector>

namespace ravo {

struct ProgramState;
class frmMain;
class HelpWindow;
class frmOptions;
class frmQuery;

class MainCommands : public QObject {
    Q_OBJECT
public:
    MainCommands(frmMain& window, ProgramState& state);

    // The toolbar's buttons, in their order, by key.
    static const QStringList& toolbarKeys();
    // The key's button, or nullptr.
    QAction* toolbarButton(const QString& key) const { return m_buttons.value(key); }

    // Level 1 may not manage users; level 2 may neither edit the ledgers nor
    // manage users, and its toolbar ignores the editor buttons.
    void applyLevel(int level);

    // The current table is one of the three instrument ledgers; otherwise
    // the user is told so (false).
    bool ledgerCheck();
    // Hands the grid's current cell to the editors; without a current cell
    // SelectedNumber stays as it was.
    void takeSelectedNumber();

    // The toolbar's handler: runs the command of the button with this key.
    void tbToolBar_ButtonClick(const QString& key);

    // With false the windows are announced but not opened (tests that look
    // only at which window a command asks for).
    void setOpensWindows(bool opens) { m_opensWindows = opens; }

    // Menu entries, named as the menu names them.
    QMenu* mnuRecord = nullptr;
    QAction* mnuRecordQuery = nullptr;
    QAction* mnuRecordRefresh = nullptr;
    QAction* mnuFileBar10 = nullptr;
    QAction* mnuEditPlan = nullptr;
    QAction* mnuEditOverDate = nullptr;
    QAction* mnuFileBar0 = nullptr;
    QAction* mnuRecordPrintList = nullptr;
    QAction* mnuRecordPrintQuery = nullptr;
    QAction* mnuRecordExport = nullptr;
    QAction* mnuRecordLabels = nullptr;
    QAction* mnuRecordCards = nullptr;
    QAction* mnuRecordHistory = nullptr;
    QAction* mnuRecordBarImport = nullptr;
    QAction* mnuRecordImport = nullptr;
    QAction* mnuFileBar1 = nullptr;
    QAction* mnuRecordQuit = nullptr;
    QMenu* mnuEdit = nullptr;
    QAction* mnuEditCondition = nullptr;
    QAction* mnuEditWait = nullptr;
    QAction* mnuEditEquipment = nullptr;
    QAction* mnuEditClose = nullptr;
    QAction* mnuEditReject = nullptr;
    QAction* mnuEditReport = nullptr;
    QAction* mnuEditRepair = nullptr;
    QMenu* mnuSystem = nullptr;
    QAction* mnuViewOptions = nullptr;
    QAction* mnuSystemUserManage = nullptr;
    QAction* mnuSystemPassword = nullptr;
    QAction* mnuSystemConnection = nullptr;
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpContents = nullptr;
    QAction* mnuHelpAbout = nullptr;

public slots:
    // Commands that check before they open.
    void calibrationPlan();   // ledger check, then frmPlanSetup
    void dueEquipment();      // ledger check, then frmOverDate
    void printLedgerReport(); // ledger check, then ReportCaption
    void inUseLedger();       // SelectedNumber, then frmOperation
    void sealedLedger();      // SelectedNumber, then frmClose
    void scrappedLedger();    // SelectedNumber, then frmReject
    void changePassword();    // frmPassword and the new password kept
    void helpContents();      // the manual in the help window
    void exitProgram();       // closes the main window (the exit question)
    void exportResult();      // the grid's rows to an .xlsx or .csv file
    void printLabels();       // status labels of the grid's instruments
    void printCards();        // history cards of the grid's instruments

    // The windows, each shown modally over the main window.
    void showFrmQuery();       // query wizard
    void showFrmPlanSetup();   // calibration plan
    void showFrmOverDate();    // due and overdue instruments
    void showReportCaption();  // in-use ledger report
    void showFrmCondition();   // environment condition records
    void showFrmWaitProvide(); // stock waiting to be issued
    void showFrmOperation();   // in-use ledger editor
    void showFrmClose();       // sealed ledger editor
    void showFrmReject();      // scrapped ledger editor
    void showFrmCertificate(); // calibration confirmation records
    void showFrmRepair();      // repair records
    void showFrmOptions();     // system options
    void showFrmUser();        // user management
    void showFrmAbout();       // About box
    void showFrmImport();      // spreadsheet import (not for level 2)
    void showFrmConnection();  // which ledger: the file or a server (next start)
    void showFrmHistory();     // the change history, the whole log with its filters

    // The due list the main window shows on its first activation when the
    // reminder option is on (no ledger check there).
    void showDueListAtStartup() { showFrmOverDate(); }

signals:
    // A window was asked for; objectName of the window ("frmOperation", …).
    void windowRequested(const QString& window);

private:
    void createMenus();
    void createToolbar();
    QAction* addEntry(QMenu* menu, const char* objectName, const QString& caption, const QKeySequence& key,
                      void (MainCommands::*slot)());
    QAction* addSeparator(QMenu* menu, const char* objectName);
    // Announces the window; true when it is to be opened. A window that
    // works on the ledger first needs a working server connection (made
    // again when it was lost; nothing opens when the server is away).
    bool request(const QString& window, bool needsLedger = true);
    void returned();
    // Announces the window, shows it modally over the main window and
    // activates the main window again when it closes.
    template <typename Window> void showModal(const QString& name);

    frmMain& m_main;
    ProgramState& m_state;
    QHash<QString, QAction*> m_buttons;
    QPointer<HelpWindow> m_help;
    // Kept between showings (platform/KeptWindow.h).
    QPointer<frmQuery> m_query;
    QPointer<frmOptions> m_options;
    bool m_opensWindows = true;
};

} // namespace ravo
