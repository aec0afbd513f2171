#include "DistinctValuesModel.h"

#include "core/Database.h"

#include <QCollator>
#include <QLocale>
#include <QSqlQuery>
#include <algorithm>

namespace ravo {

DistinctValuesModel::DistinctValuesModel(Database& db, QObject* parent) : QAbstractListModel(parent), m_db(db)
{
}

bool DistinctValuesModel::setSource(const QString& table, const QString& column)
{
    beginResetModel();
    m_table = table;
    m_column = column;
    m_count = 0;
    m_blocks.clear();
    m_allLoaded = false;
    bool ok = false;
    if (m_db.isOpen() && m_db.columns(table).contains(column)) {
        QSqlQuery q(m_db.connection());
        q.setForwardOnly(true);
        ok = q.exec(QStringLiteral("SELECT count(*) FROM (SELECT DISTINCT %1 FROM %2)")
                        .arg(quotedIdentifier(column), quotedIdentifier(table)))
            && q.next();
        if (ok)
            m_count = q.value(0).toInt();
    }
    if (!ok) {
        m_table.clear();
        m_column.clear();
    } else if (m_count <= EagerLimit) {
        loadSortedByPinyin();
    }
    endResetModel();
    return ok;
}

void DistinctValuesModel::clear()
{
    beginResetModel();
    m_table.clear();
    m_column.clear();
    m_count = 0;
    m_blocks.clear();
    m_allLoaded = false;
    endResetModel();
}

// A list of ordinary length is read at once and put in the order a Chinese
// reader expects (pinyin, as the table list), the empty value first.
void DistinctValuesModel::loadSortedByPinyin()
{
    QStringList values;
    values.reserve(m_count);
    QSqlQuery q(m_db.connection());
    q.setForwardOnly(true);
    if (q.exec(QStringLiteral("SELECT DISTINCT %1 FROM %2").arg(quotedIdentifier(m_column), quotedIdentifier(m_table))))
        while (q.next())
            values << q.value(0).toString();
    q.finish();
    QCollator pinyin(QLocale(QLocale::Chinese, QLocale::China));
    pinyin.setNumericMode(true);
    std::stable_sort(values.begin(), values.end(), [&](const QString& a, const QString& b) {
        if (a.isEmpty() || b.isEmpty())
            return a.isEmpty() && !b.isEmpty();
        return pinyin.compare(a, b) < 0;
    });
    m_count = int(values.size());
    for (qsizetype from = 0; from < values.size(); from += BlockSize)
        m_blocks.insert(int(from / BlockSize), values.mid(from, BlockSize));
    m_allLoaded = true;
}

const QStringList* DistinctValuesModel::block(int blockIndex) const
{
    if (const auto it = m_blocks.constFind(blockIndex); it != m_blocks.cend())
        return &it.value();
    if (m_allLoaded) {
        static const QStringList none;
        return &none;
    }
    if (m_blocks.size() >= MaxBlocks)
        m_blocks.clear();
    QStringList values;
    QSqlQuery q(m_db.connection());
    q.setForwardOnly(true);
    // NULL sorts first, so the empty line heads the list.
    if (q.exec(QStringLiteral("SELECT DISTINCT %1 FROM %2 ORDER BY 1 LIMIT %3 OFFSET %4")
                   .arg(quotedIdentifier(m_column), quotedIdentifier(m_table))
                   .arg(BlockSize)
                   .arg(qint64(blockIndex) * BlockSize))) {
        while (q.next())
            values << q.value(0).toString();
    }
    q.finish();
    return &m_blocks.insert(blockIndex, values).value();
}

QString DistinctValuesModel::valueAt(int row) const
{
    if (row < 0 || row >= m_count)
        return {};
    return block(row / BlockSize)->value(row % BlockSize);
}

int DistinctValuesModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_count;
}

QVariant DistinctValuesModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_count || index.column() != 0)
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole || role == Qt::ToolTipRole)
        return valueAt(index.row());
    return {};
}

} // namespace ravo
