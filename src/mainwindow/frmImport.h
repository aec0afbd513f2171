#pragma once
// The import window: a spreadsheet (.xlsx, .xls, .csv) read into one of the
// ledger's tables. The user picks the file, the sheet when there are several
// and the table; the window finds the header row, shows how the file's
// columns map onto the table's (each may be changed or left out), the first
// rows as they will be stored, how many rows will be imported and each
// refused row with its reason. Import writes all rows or, when chosen, only
// the good ones with a report of the others; either way in one transaction,
// with a progress window that can cancel it.
#include "exchange/Import.h"

#include <QDialog>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace ravo {

struct ProgramState;

class frmImport : public QDialog {
    Q_OBJECT
public:
    frmImport(ProgramState& state, QWidget* parent = nullptr);
    ~frmImport() override;

    // Reads the file and shows its first sheet; false (the user told why)
    // when it cannot be read.
    bool openFile(const QString& path);
    // The table to import into, one of exchange::importTables().
    void setTable(const QString& table);
    // Maps the file's column (from 0) onto a table column; empty leaves it out.
    void setTarget(int fileColumn, const QString& tableColumn);

    const std::optional<exchange::ImportPlan>& plan() const { return m_plan; }
    const exchange::ImportOutcome& checked() const { return m_checked; }

    QLineEdit* txtFile = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QComboBox* cboSheet = nullptr;
    QComboBox* cboTable = nullptr;
    QTableWidget* grdMapping = nullptr;
    QTableWidget* grdPreview = nullptr;
    QLabel* lblSummary = nullptr;
    QTableWidget* grdRefused = nullptr;
    QRadioButton* optAllOrNothing = nullptr;
    QRadioButton* optSkipBad = nullptr;
    QPushButton* cmdImport = nullptr;
    QPushButton* cmdCancel = nullptr;

public slots:
    void browse();
    void runImport();

private:
    void loadSheet(int index);
    void replan();
    void fillMapping();
    void recheck();
    void showSummary(const QString& text, bool canImport);

    ProgramState& m_state;
    QString m_path;
    int m_sheetIndex = 0;
    std::optional<exchange::Sheet> m_head; // the first rows of the sheet, where the header is

    std::optional<exchange::ImportPlan> m_plan;
    exchange::ImportOutcome m_checked;
    bool m_filling = false;
};

} // namespace ravo
