#include "DueListModel.h"

#include "core/DueList.h"

#include <QColor>

namespace ravo {

DueListModel::DueListModel(Recordset& rs, RecordsetModel& source, QObject* parent)
    : QAbstractProxyModel(parent), m_rs(rs)
{
    QAbstractProxyModel::setSourceModel(&source);
    connect(&source, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(&source, &QAbstractItemModel::modelReset, this, [this] {
        reorder();
        endResetModel();
    });
    reorder();
}

QColor DueListModel::overdueTint()
{
    return QColor(0xF8, 0xC8, 0xC8);
}

QColor DueListModel::dueSoonTint()
{
    return QColor(0xFB, 0xE3, 0xA6);
}

void DueListModel::setDueRule(const QDate& today, int leadDays)
{
    m_today = today;
    m_lead = leadDays;
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

int DueListModel::validColumn() const
{
    const int field = m_rs.fieldIndex(duelist::ValidField);
    return field < 0 ? -1 : field + 1;
}

QModelIndex DueListModel::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex DueListModel::parent(const QModelIndex&) const
{
    return {};
}

int DueListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : sourceModel()->rowCount();
}

int DueListModel::columnCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    const int fields = sourceModel()->columnCount();
    return fields == 0 ? 0 : fields + 1;
}

int DueListModel::sourceRow(int row) const
{
    return m_toSource.isEmpty() ? row : m_toSource.value(row, -1);
}

QModelIndex DueListModel::mapToSource(const QModelIndex& proxyIndex) const
{
    if (!proxyIndex.isValid() || proxyIndex.column() == 0)
        return {};
    return sourceModel()->index(sourceRow(proxyIndex.row()), proxyIndex.column() - 1);
}

QModelIndex DueListModel::mapFromSource(const QModelIndex& sourceIndex) const
{
    if (!sourceIndex.isValid())
        return {};
    const int row = m_fromSource.isEmpty() ? sourceIndex.row() : m_fromSource.value(sourceIndex.row(), -1);
    return index(row, sourceIndex.column() + 1);
}

QVariant DueListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const bool mark = index.column() == 0;
    const bool markRole = role == Qt::DisplayRole || role == Qt::ForegroundRole || role == Qt::ToolTipRole;
    if (role != Qt::BackgroundRole && !(mark && markRole))
        return mark ? QVariant() : sourceModel()->data(mapToSource(index), role);

    const int field = m_rs.fieldIndex(duelist::ValidField);
    const int row = sourceRow(index.row());
    if (field < 0 || row < 0)
        return {};
    const QString valid = m_rs.rowAt(row).value(field).toString();
    const std::optional<int> days = duelist::daysLeft(valid, m_today);
    const duelist::DueState state = duelist::dueState(days, m_lead);
    switch (role) {
    case Qt::DisplayRole:
        return duelist::dueMark(state);
    case Qt::ToolTipRole:
        if (!days)
            return {};
        return *days < 0 ? QStringLiteral("有效日期 %1，已过期 %2 天").arg(valid).arg(-*days)
                         : QStringLiteral("有效日期 %1，还有 %2 天到期").arg(valid).arg(*days);
    case Qt::ForegroundRole:
        return state == duelist::DueState::Overdue ? QColor(0x9C, 0x00, 0x06)
            : state == duelist::DueState::DueSoon  ? QColor(0x7A, 0x4A, 0x00)
                                                   : QVariant();
    default:
        break;
    }
    switch (state) {
    case duelist::DueState::Overdue:
        return overdueTint();
    case duelist::DueState::DueSoon:
        return dueSoonTint();
    case duelist::DueState::NotDue:
        break;
    }
    return {};
}

Qt::ItemFlags DueListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // The mark has no cell behind it but reads like the others.
    return index.column() == 0 ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : QAbstractProxyModel::flags(index);
}

QVariant DueListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical)
        return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
    if (section == 0)
        return role == Qt::DisplayRole ? QVariant(duelist::MarkHeading) : QVariant();
    return sourceModel()->headerData(section - 1, orientation, role);
}

void DueListModel::sort(int column, Qt::SortOrder order)
{
    const QModelIndexList before = persistentIndexList();
    QVector<int> sourceRows;
    for (const QModelIndex& i : before)
        sourceRows << sourceRow(i.row());

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    m_sortColumn = column;
    m_order = order;
    reorder();
    QModelIndexList after;
    for (int i = 0; i < before.size(); ++i) {
        const int source = sourceRows[i];
        const int row = m_fromSource.isEmpty() ? source : m_fromSource.value(source, -1);
        after << (row < 0 ? QModelIndex() : index(row, before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

// The rows in the order the database gives for the sort column, ties in the
// table's order; the table's own order when nothing is sorted or the
// database cannot say.
void DueListModel::reorder()
{
    m_toSource.clear();
    m_fromSource.clear();
    const int rows = m_rs.recordCount();
    if (m_sortColumn < 0 || !m_rs.isOpen() || rows == 0)
        return;
    const QString field = m_sortColumn == 0 ? duelist::ValidField : m_rs.fields().value(m_sortColumn - 1);
    if (field.isEmpty() || m_rs.fieldIndex(field) < 0)
        return;
    std::optional<QVector<int>> sorted = m_rs.sortedPositions(field, m_order);
    if (!sorted)
        return;
    QVector<int> order = std::move(*sorted);
    // Rows added or removed since the recordset was read: keep its order.
    if (order.size() != rows)
        return;
    m_fromSource.resize(rows);
    for (int i = 0; i < rows; ++i)
        m_fromSource[order[i]] = i;
    m_toSource = std::move(order);
}

} // namespace ravo
