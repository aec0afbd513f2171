#include "History.h"

#include "Ledger.h"
#include "LedgerSchema.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QVariant>

namespace ravo {

const QStringList& historyColumns()
{
    static const QStringList columns = {QStringLiteral("时间"),   QStringLiteral("账户"),         QStringLiteral("数据表"),
                                        NumberColumn,             QStringLiteral("事件"),         QStringLiteral("字段"),
                                        QStringLiteral("原值"),   QStringLiteral("新值")};
    return columns;
}

bool keepsHistory(Database& db)
{
    return db.tableExists(tables::History);
}

} // namespace ravo
