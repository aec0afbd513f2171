#pragma once
// The quick navigator's value list: the distinct values of one column of one
// table, the empty value first. A list of ordinary length is read when the
// column is chosen and sorted in pinyin order. A longer one (a column of
// instrument numbers in a very large ledger) is read lazily: only the number
// of values at first, the values in blocks as the list shows them, in the
// engine's order, so that it opens at once.
#include <QAbstractListModel>
#include <QHash>
#include <QStringList>

namespace ravo {

class Database;

class DistinctValuesModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit DistinctValuesModel(Database& db, QObject* parent = nullptr);

    // Lists the distinct values of the column; false when the table or the
    // column cannot be read (the list is then empty).
    bool setSource(const QString& table, const QString& column);
    // Empties the list.
    void clear();

    QString table() const { return m_table; }
    QString column() const { return m_column; }
    // The text of line `row`, as the list shows it ("" for no value).
    QString valueAt(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    const QStringList* block(int blockIndex) const;
    void loadSortedByPinyin();

    Database& m_db;
    QString m_table;
    QString m_column;
    int m_count = 0;

    bool m_allLoaded = false;

public:
    // Lists with more values than this are read lazily.
    static constexpr int EagerLimit = 20000;

private:
    static constexpr int BlockSize = 256;
    static constexpr int MaxBlocks = 64;
    mutable QHash<int, QStringList> m_blocks;
};

} // namespace ravo
