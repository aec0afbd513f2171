#pragma once
// The plan setup dialog "检定计划设置": chooses the period of the calibration
// plan and the title of its printout. Confirming stores both ("PDC" section
// of the settings and the program-wide options), closes the dialog and opens
// the plan list frmProgram.
//
//     frmPlanSetup setup(state, this);
//     setup.exec();      // on 确定(&O) the plan list follows
//
// A fixed period (one week, one month, one year) is counted from the day of
// confirmation: 7, 30 or 365 days after today, both ends included in the
// plan. Only a chosen date range uses the date pickers, and only then are
// the stored dates of any use.
#include "core/ProgramState.h"

#include <QDate>
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace ravo {

class DatePicker;

struct PlanPeriod {
    PlanPeriodKind kind = PlanPeriodKind::Week;
    QDate start;
    QDate end;
};

// The period of a kind confirmed on `today`; a chosen range (and any unknown
// kind) takes the chosen range as it is.
PlanPeriod planPeriod(PlanPeriodKind kind, const QDate& today, const QDate& chosenStart, const QDate& chosenEnd);

class frmPlanSetup : public QDialog {
    Q_OBJECT
public:
    explicit frmPlanSetup(ProgramState& state, QWidget* parent = nullptr);

    // Shows the dialog modally; after 确定(&O) opens the plan list unless
    // OpenListOnOK has been cleared.
    int exec() override;
    bool OpenListOnOK = true;

    // The day a fixed period starts; the current date unless set.
    void setToday(const QDate& today) { m_today = today; }

    // Shows the stored period kind, dates and title.
    void activate();

    QRadioButton* optWeek = nullptr;
    QRadioButton* optMonth = nullptr;
    QRadioButton* optYear = nullptr;
    QRadioButton* optSet = nullptr;
    DatePicker* DTPStr = nullptr;
    DatePicker* DTPEnd = nullptr;
    QLineEdit* txtReportCapt = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancle = nullptr;

public slots:
    // Stores the period and the title and closes the dialog; a date typed
    // into a picker that is no date is refused first.
    void cmdOK_Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createLayout();
    void showStoredDates();
    void enablePickers(bool enabled);
    void refuseTypedDate(DatePicker* picker);
    QDate today() const { return m_today.isValid() ? m_today : QDate::currentDate(); }

    ProgramState& m_state;
    QDate m_today;
};

} // namespace ravo
