#include "SavedQueries.h"

#include "core/SettingsStore.h"

namespace ravo {

namespace {
// The section name the count is written under; the store finds the section
// whatever its spelling, so a store seeded as "QuerySqlSave" keeps that one.
const QString CountSection = QStringLiteral("Querysqlsave");
} // namespace

const SavedQuery* findSavedQuery(const QVector<SavedQuery>& queries, const QString& name)
{
    for (const SavedQuery& q : queries)
        if (q.name == name)
            return &q;
    return nullptr;
}

void appendSavedQuery(SettingsStore& store, QVector<SavedQuery>& queries, const SavedQuery& entry)
{
    queries.append(entry);
    store.saveInt(SettingsStore::MainApp, CountSection, optionkeys::Count, int(queries.size()));
    for (int i = 0; i < queries.size(); ++i) {
        const QString section = QString::number(i + 1);
        store.save(SettingsStore::QueryApp, section, optionkeys::QueryName, queries[i].name);
        store.save(SettingsStore::QueryApp, section, optionkeys::QuerySql, queries[i].sql);
    }
    store.sync();
}

} // namespace ravo
