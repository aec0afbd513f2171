#pragma once
// The report title dialog "报表标题" of the ledger report command: it shows
// the stored report title, stores the edited one ("Report"/"RepCaption" and
// the program-wide copy) on 确定(&O), and the in-use ledger report is then
// printed under it.
//
//     ReportCaption caption(state, this);
//     caption.exec();    // on 确定(&O) the ledger report follows
//
// 取消(&C) and the close box hide the dialog and store nothing; each showing
// fills the box afresh from the stored title.
#include "core/ProgramState.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;

namespace ravo {

class ReportCaption : public QDialog {
    Q_OBJECT
public:
    explicit ReportCaption(ProgramState& state, QWidget* parent = nullptr);

    // Shows the dialog modally; after 确定(&O) prints the in-use ledger
    // report unless PrintOnOK has been cleared.
    int exec() override;
    bool PrintOnOK = true;
    // Prints straight to this printer (already set up) instead of through
    // the print preview.
    void setDirectPrinter(QPrinter* printer) { m_direct = printer; }

    QLabel* Label1 = nullptr;
    QLineEdit* txtReportCaption = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;

public slots:
    // Stores the title and closes the dialog.
    void OKButton_Click();
    // Hides the dialog; nothing is stored.
    void CancelButton_Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createLayout();

    ProgramState& m_state;
    QPrinter* m_direct = nullptr;
};

} // namespace ravo
