#include "RecordsetModel.h"

namespace ravo {

RecordsetModel::RecordsetModel(Recordset& rs, QObject* parent) : QAbstractTableModel(parent), m_rs(rs)
{
    connect(&m_rs, &Recordset::reopened, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

int RecordsetModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rs.recordCount();
}

int RecordsetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rs.fields().size());
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rs.recordCount() || index.column() >= columnCount())
        return {};
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole)
        return {};
    const QVariant v = m_rs.rowAt(index.row()).value(index.column());
    if (role == Qt::ToolTipRole) {
        const QString text = v.toString();
        return text.size() > 40 ? QVariant(text) : QVariant();
    }
    return v;
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return m_rs.fields().value(section);
    return section + 1;
}

} // namespace ravo
