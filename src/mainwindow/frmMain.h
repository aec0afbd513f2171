#pragma once
// The window the user works in from sign-in to exit: the table selector, the
// grid with the current result and the record counter. Closing it is the
// program's shut-down.
#include "core/ProgramState.h"
#include "core/Recordset.h"
#include "core/RecordsetModel.h"

#include <QMainWindow>

class QComboBox;
class QLabel;
class QTableView;

namespace ravo {

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit frmMain(ProgramState& state, QWidget* parent = nullptr);

    // Opens the ledger and fills the lists; false (with the reason shown)
    // when the ledger cannot be opened.
    bool load();

    QComboBox* cboDbase = nullptr;
    QTableView* DBGridListBook = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createLayout();
    void selectTable(const QString& table);
    void updateCounter();
    void savePlacement();

    ProgramState& m_state;
    Recordset m_result;
    RecordsetModel m_model;
    QLabel* m_counter = nullptr;
};

} // namespace ravo
