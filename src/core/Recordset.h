#pragma once
// The rows of one table as the windows walk them: first, last, next,
// previous, the true record count, a zero-based position, find, add, delete
// and the writing of the pending edits of the current row.
//
// Rows are addressed by SQLite's rowid and read in rowid order (the order the
// working table was filled in). Only the row ids are known when the
// recordset opens (for a table filled in one go, just the first and the
// count); row values are read on demand in blocks, so a table of a million
// rows opens at once.
#include "Database.h"

#include <QHash>
#include <QObject>
#include <QVariant>
#include <QVector>
#include <optional>

namespace ravo {

// The row ids of a table in ascending order. A table filled in one go (a
// result table, a working copy) has ids that run without gaps; those are
// kept as their first id and count, so that a million rows need neither the
// memory of the list nor the reading of every id. The first change that
// breaks the run turns it into a plain list.
class RowIdList {
public:
    void clear();
    void setRun(qint64 first, int count);
    void setList(QVector<qint64> ids);

    int size() const { return m_run ? m_count : int(m_ids.size()); }
    bool isEmpty() const { return size() == 0; }
    bool isRun() const { return m_run; }
    qint64 at(int position) const { return m_run ? m_first + position : m_ids.at(position); }
    qint64 value(int position, qint64 missing) const
    {
        return position >= 0 && position < size() ? at(position) : missing;
    }
    // The position of the first id not below rowid (size() when none).
    int lowerBound(qint64 rowid) const;
    // The position of rowid; -1 when it is not in the list.
    int indexOf(qint64 rowid) const;
    void removeAt(int position);
    // Inserts rowid at its place in the order; returns that position.
    int insert(qint64 rowid);

private:
    void toList();

    bool m_run = true;
    qint64 m_first = 1;
    int m_count = 0;
    QVector<qint64> m_ids;
};

class Recordset : public QObject {
    Q_OBJECT
public:
    explicit Recordset(Database& db, QObject* parent = nullptr);

    // Opens "select * from T" (with or without the semicolon); an empty
    // source closes the recordset. Other statements are refused.
    DbError setRecordSource(const QString& statement);
    QString recordSource() const { return m_source; }
    DbError openTable(const QString& table);
    // Opens a table the caller has just made and filled in one go (a result
    // table, the due list, the plan: "select … into" a new table), whose
    // row ids therefore run from 1 without gaps. Only the highest id is
    // read, so a million rows open without being counted.
    DbError openFilledTable(const QString& table);
    void close();
    // Reads the row ids again, keeping the current row when it still exists.
    DbError refresh();

    bool isOpen() const { return !m_table.isEmpty(); }
    QString table() const { return m_table; }
    const QStringList& fields() const { return m_fields; }
    int fieldIndex(const QString& name) const; // -1 when absent; case-insensitive

    int recordCount() const { return int(m_ids.size()); }
    // Zero-based position of the current row; -1 before the first row, after
    // the last, on a new row being added, or on a deleted row.
    int absolutePosition() const;
    void setAbsolutePosition(int position);
    bool isBOF() const { return m_pos < 0 || m_ids.isEmpty(); }
    bool isEOF() const { return m_pos >= recordCount() || m_ids.isEmpty(); }
    bool hasCurrent() const { return m_adding || (!m_deleted && m_pos >= 0 && m_pos < recordCount()); }

    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();

    // Values of the current row (with its pending edits).
    QVariant value(int field) const;
    QVariant value(const QString& field) const { return value(fieldIndex(field)); }
    // Changes a value of the current row; written by update().
    void setValue(int field, const QVariant& value);
    void setValue(const QString& field, const QVariant& v) { setValue(fieldIndex(field), v); }
    bool isDirty() const { return !m_pending.isEmpty() || m_adding; }

    // Starts a new row; its values are blank until set. update() appends it.
    void addNew();
    bool isAdding() const { return m_adding; }
    // How many new rows addNew() started so far: names the row being added,
    // so that a window can tell its own new row when it is written.
    quint64 additions() const { return m_additions; }
    // Writes the pending edits (or the new row). Empty text is written as no
    // value; dates, times and numbers are checked and converted first, and a
    // value that is not one leaves the edits pending and says why.
    DbError update();
    void cancelUpdate();
    // Deletes the current row. The cursor then stands on no row until moved.
    DbError deleteCurrent();

    // Moves to the first row whose field equals the text (compared without
    // regard to case, as the ledger compares). Returns false and keeps the
    // cursor when there is none.
    bool findFirst(const QString& field, const QString& text);
    // Rowid of the last row written by update(), or -1.
    qint64 lastModified() const { return m_lastModified; }
    bool moveToRowid(qint64 rowid);
    // A row that left the table behind the recordset's back (a move between
    // ledgers took it) leaves the list too; the cursor then stands on the row
    // that followed it, or on the last row. Cheaper than reading every row id
    // again; falls back to that when the row is in fact still there.
    void forgetRow(qint64 rowid);
    qint64 currentRowid() const;
    // Rows written behind the recordset's back (another window changed
    // their values): the values read so far are read again when next asked
    // for. The cursor and the rows stay as they are.
    void forgetValues() { invalidateCache(); }

    // The positions of the rows in the order "ORDER BY field, rowid" gives
    // (both descending for a descending sort); nothing when the field is
    // unknown or the database cannot say.
    std::optional<QVector<int>> sortedPositions(const QString& field, Qt::SortOrder order) const;

    // Read access by position, for grids.
    qint64 rowidAt(int position) const { return m_ids.value(position, -1); }
    // The position of a row; -1 when the recordset does not hold it.
    int positionOf(qint64 rowid) const { return m_ids.indexOf(rowid); }
    QVector<QVariant> rowAt(int position) const;

signals:
    // The cursor moved, or the current row's values changed.
    void repositioned();
    // The record source changed or the rows were read again.
    void reopened();
    // update() wrote the row being added (additions() names it) at this rowid.
    void rowAdded(qint64 rowid);

private:
    void setPosition(int pos);
    DbError open(const QString& table, bool filledAtOnce);
    DbError readRowIds(bool filledAtOnce);
    std::optional<QVector<int>> sortedInMemory(const QString& field, Qt::SortOrder order) const;
    const QVector<QVariant>* cachedRow(int position) const;
    void invalidateCache() const;
    DbError convertPending(QHash<int, QVariant>& out) const;

    Database& m_db;
    QString m_source;
    QString m_table;
    QStringList m_fields;
    RowIdList m_ids;
    int m_pos = -1;
    bool m_deleted = false;
    bool m_adding = false;
    int m_posBeforeAdd = -1;
    QHash<int, QVariant> m_pending;
    qint64 m_lastModified = -1;
    quint64 m_additions = 0;

    static constexpr int BlockSize = 256;
    static constexpr int MaxBlocks = 64;
    mutable QHash<int, QVector<QVector<QVariant>>> m_blocks;
};

} // namespace ravo
