#pragma once
// A read-only table model over a recordset, for the grids: the true row
// count at once, row values read only when a row is shown.
#include "Recordset.h"

#include <QAbstractTableModel>

namespace ravo {

class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordsetModel(Recordset& rs, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    Recordset& m_rs;
};

} // namespace ravo
