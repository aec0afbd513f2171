#pragma once
// The grid of the due list and the plan: the working table's columns behind
// a leading column "到期情况" that marks each instrument "已过期" (validity
// date passed) or "即将到期" (due within the lead time), the same rows tinted
// red and amber, so that the state reads without the colour too. A click on
// a column's header sorts by it, a second click the other way; the order
// comes from that one column (Recordset::sortedPositions), so a long list
// sorts without its rows being read. The mark
// column sorts as 有效日期 does. The working table itself keeps its order
// (by number), which the printout "打印|预览(&P)" and the export follow.
#include "core/Recordset.h"
#include "core/RecordsetModel.h"

#include <QAbstractProxyModel>
#include <QDate>
#include <QVector>

namespace ravo {

class DueListModel : public QAbstractProxyModel {
    Q_OBJECT
public:
    // source shows rs.
    DueListModel(Recordset& rs, RecordsetModel& source, QObject* parent = nullptr);

    // The day the days left count from, and the lead time in days.
    void setDueRule(const QDate& today, int leadDays);

    // The column of 有效日期 in this model; -1 while the table has none.
    int validColumn() const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // The tints of the marked rows.
    static QColor overdueTint();
    static QColor dueSoonTint();

private:
    void reorder();
    int sourceRow(int row) const;

    Recordset& m_rs;
    QDate m_today;
    int m_lead = 0;
    int m_sortColumn = -1;
    Qt::SortOrder m_order = Qt::AscendingOrder;
    QVector<int> m_toSource; // empty: the table's own order
    QVector<int> m_fromSource;
};

} // namespace ravo
