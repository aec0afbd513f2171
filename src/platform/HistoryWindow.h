#pragma once
// The change history (变更履历), read only. Two uses:
//   - one instrument's history, followed back through its earlier numbers
//     (from the in-use, sealed and scrapped editors);
//   - the whole log, narrowed by date range, account, table and instrument,
//     and exported to an .xlsx or .csv file (from the main window).
// The log is read a page at a time as the grid is scrolled (newest first),
// so that a history of hundreds of thousands of rows opens at once; the
// status line counts the rows the filter lets through. Nothing in the
// window changes or deletes a history row.
#include "core/HistoryLog.h"

#include <QAbstractTableModel>
#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace ravo {

class DatePicker;
class Prompter;

// The rows of the history as the grid shows them: either a fixed list, or
// the filter's rows read a page at a time as the view asks for more.
class HistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int PageSize = 256;

    explicit HistoryModel(Database& db, QObject* parent = nullptr);

    // Shows exactly these rows.
    void setEntries(const QVector<HistoryEntry>& entries);
    // Shows the filter's rows, the first page read now; false (nothing
    // shown) with *error set when the ledger refused.
    bool setFilter(const HistoryFilter& filter, DbError* error = nullptr);

    const HistoryEntry& entry(int row) const { return m_rows.at(row); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent = {}) const override;
    void fetchMore(const QModelIndex& parent = {}) override;

private:
    Database& m_db;
    HistoryFilter m_filter;
    QVector<HistoryEntry> m_rows;
    bool m_more = false; // the filter has rows not read yet
};

class HistoryWindow : public QDialog {
    Q_OBJECT
public:
    // The whole log with its filters.
    HistoryWindow(Database& db, Prompter& prompt, QWidget* parent = nullptr);
    // One instrument's history (no filters).
    HistoryWindow(Database& db, Prompter& prompt, const QString& number, QWidget* parent = nullptr);

    // The filter as the fields give it; nothing, after saying why, when a
    // date is no date or the range runs backwards.
    std::optional<HistoryFilter> filterShown();
    // Reads the filter's rows into the grid and counts them.
    void query();
    // Writes the rows the filter shows to `path` (.xlsx or .csv); the user
    // is told the outcome. Returns the rows written, -1 when none was.
    qint64 exportTo(const QString& path);

    HistoryModel* model() const { return m_model; }
    bool isWholeLog() const { return m_number.isEmpty(); }

    QCheckBox* chkFrom = nullptr;
    DatePicker* dtpFrom = nullptr;
    QCheckBox* chkTo = nullptr;
    DatePicker* dtpTo = nullptr;
    QComboBox* cboAccount = nullptr;
    QComboBox* cboTable = nullptr;
    QLineEdit* txtNumber = nullptr;
    QPushButton* cmdQuery = nullptr;
    QTableView* grdHistory = nullptr;
    QLabel* lblCount = nullptr;
    QPushButton* cmdExport = nullptr;
    QPushButton* cmdClose = nullptr;

    // The first entry of the account and table lists: no narrowing.
    static QString anyEntry();

private:
    void build();
    void chooseExportFile();
    void showCount(qint64 count);

    Database& m_db;
    Prompter& m_prompt;
    QString m_number; // the instrument shown; empty for the whole log
    HistoryModel* m_model = nullptr;
    HistoryFilter m_shown; // the filter of the rows in the grid
};

} // namespace ravo
