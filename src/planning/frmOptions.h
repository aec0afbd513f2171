#pragma once
// The options dialog "系统选项": the calibration reminder, start-up
// maintenance of the database, the tip of the day, the self-hiding
// navigator and the print settings, on three tabs, and on a fourth what a
// confirmation record does to the in-use ledger.
//
// The dialog is filled from the program-wide options when it is made and is
// then kept for the run: 确定(&O) stores every value and hides it, 取消(&C)
// hides it without storing, so edits made before a cancel are still there
// at the next showing. Its close box stores nothing and unloads it; the next
// showing makes it afresh. The main window keeps it so (platform/KeptWindow.h):
//
//     QPointer<frmOptions> m_options;          // member of the main window
//     execKept(m_options, state, this);        // "选项(&I)..."
//
// The lead-time boxes take digits only. At confirmation every number box
// must hold a whole number within its range (0 … 32767 for the lead times,
// −32768 … 32767 for the print offsets); otherwise the box is named in a
// message, the dialog stays open and nothing is stored.
#include "core/ProgramState.h"

#include <QDialog>
#include <QPointer>
#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace ravo {

class frmOptions : public QDialog {
    Q_OBJECT
public:
    explicit frmOptions(ProgramState& state, QWidget* parent = nullptr);

    // The close box was used: the dialog is to be thrown away.
    bool isUnloaded() const { return m_unloaded; }

    QTabWidget* SSTab1 = nullptr;
    QCheckBox* chkAwoke = nullptr;
    QRadioButton* optNoAhead = nullptr;
    QRadioButton* optDate = nullptr;
    QRadioButton* optWeek = nullptr;
    QLineEdit* txtDate = nullptr;
    QLineEdit* txtWeek = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label11 = nullptr;
    QCheckBox* chkDBBackup = nullptr;
    QCheckBox* chkDBCompact = nullptr;
    QCheckBox* chkTipShow = nullptr;
    QCheckBox* chkNav = nullptr;
    QLineEdit* txtGroupName = nullptr;
    // txtX[0] is txt1X, … txtY[4] is txt5Y.
    std::array<QLineEdit*, 5> txtX{};
    std::array<QLineEdit*, 5> txtY{};
    // The tab "确认记录": what the confirmation records do to the in-use ledger.
    QCheckBox* chkUpdateLedger = nullptr;
    QCheckBox* chkValidByPeriod = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

public slots:
    // Stores every value and hides the dialog; refuses a bad number box.
    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct NumberBox {
        QLineEdit* edit;
        QString name; // how the refusal names the box
        int tab;
        int min;
    };

    void createLayout();
    QWidget* createReminderTab();
    QWidget* createEnvironmentTab();
    QWidget* createPrintTab();
    QWidget* createCertificateTab();
    void load();
    void leadOptionChosen();
    QList<NumberBox> numberBoxes() const;
    // The refusal for a box whose text is no number of its range, or empty.
    QString refusal(const NumberBox& box) const;

    ProgramState& m_state;
    bool m_unloaded = false;
};

} // namespace ravo
