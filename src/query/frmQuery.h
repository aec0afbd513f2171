#pragma once
// The query wizard "查询向导": composes one statement over the main window's
// current table — which fields to show, which rows to keep, in which order —
// or takes a saved one, and leaves it in QuerySQL for the main window to run.
//
// Opening it (the main window's "查询(&F)..." and the toolbar's "查询向导"):
//
//     QPointer<frmQuery> m_query;              // member of the main window
//     execKept(m_query, state, this);          // platform/KeptWindow.h
//
// The main window keeps the wizard between showings. exec() returns Accepted after "查询(&Q)" (QuerySQL set,
// RequeryOnActivate raised) and Rejected otherwise (RequeryOnActivate
// cleared, QuerySQL untouched); the main window's next activation then runs
// the requery as usual. The wizard never touches the database except to read
// the current table's columns.
//
// The buttons only hide the wizard, so every choice survives until the next
// opening; its field lists are rebuilt only when CurrentTable has changed.
// The close box unloads it: the next showing starts afresh.
#include "QueryComposer.h"

#include "core/ProgramState.h"

#include <QDialog>
#include <QVector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace ravo {

class frmQuery : public QDialog {
    Q_OBJECT
public:
    explicit frmQuery(ProgramState& state, QWidget* parent = nullptr);

    // The close box was used: the wizard is to be thrown away.
    bool isUnloaded() const { return m_unloaded; }

    // Outside the tabs.
    QLabel* lblQuerySave = nullptr;
    QComboBox* cboQuerySave = nullptr;
    QPushButton* cmdQuery = nullptr;
    QPushButton* cmdSaveQuery = nullptr;
    QPushButton* cmdCancle = nullptr;
    QTabWidget* SSTab1 = nullptr;

    // "约束条件": the simple mode …
    QLabel* Label1 = nullptr;
    QComboBox* cboQueryFields = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtQueryMatter = nullptr;
    QCheckBox* chkBlur = nullptr;
    QCheckBox* chkHigh = nullptr;
    // … and the advanced one.
    QComboBox* cboFields = nullptr;
    QComboBox* cboOperator = nullptr;
    QLineEdit* txtValue = nullptr;
    QRadioButton* optAND = nullptr;
    QRadioButton* optOR = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdClear = nullptr;
    QPlainTextEdit* txtSQL = nullptr;

    // "字段选择".
    QLabel* Label3 = nullptr;
    QListWidget* lstSource = nullptr;
    QListWidget* lstDest = nullptr;
    QPushButton* cmdAddField = nullptr;
    QPushButton* cmdAddAll = nullptr;
    QPushButton* cmdDel = nullptr;
    QPushButton* cmdDelAll = nullptr;
    QLabel* Label13 = nullptr;

    // "排序方式": sort keys first to fourth and their directions.
    QVector<QComboBox*> Combo1;
    QVector<QComboBox*> Combo2;

    // The table the field lists were last built for.
    QString oldTable() const { return t_oldTable; }
    // What the tabs say now.
    QueryChoice currentChoice() const;

public slots:
    // Rebuilds the field lists when CurrentTable has changed since the last
    // opening; runs each time the wizard is shown.
    void activate();
    void query();
    void saveQuery();
    void reject() override; // 取消, and Esc

    void addCondition();
    void clearConditions();
    void addField();
    void addAllFields();
    void removeField();
    void removeAllFields();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    QWidget* createConditionsTab();
    QWidget* createFieldsTab();
    QWidget* createOrderTab();
    void createLayout();
    void connectControls();
    void load();

    void applyMode();
    void refreshMoveButtons();
    void fillSavedList();
    // Refuses, with a message, what cannot be composed: no field to show,
    // or a simple-mode value that does not suit its field.
    bool checkComposable();

    ProgramState& m_state;
    QString t_oldTable;
    bool m_unloaded = false;
};

} // namespace ravo
