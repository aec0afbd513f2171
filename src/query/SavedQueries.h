#pragma once
// The saved queries: (Name, SQL) pairs kept in the settings store. Their
// count is "QuerySqlSave"/"Count" of application "RAVO"; entry i is section
// "i" of application "RAVOsql" with the keys "Name" and "SQL". The main
// window reads them once per run (the options pass); the wizard adds to them.
#include "core/Options.h"

#include <QVector>

namespace ravo {

class SettingsStore;

// The first entry whose name equals the given one exactly, or null.
const SavedQuery* findSavedQuery(const QVector<SavedQuery>& queries, const QString& name);

// Appends an entry to the list in place and writes the whole list to the
// store: the new count first, then every entry 1 … N.
void appendSavedQuery(SettingsStore& store, QVector<SavedQuery>& queries, const SavedQuery& entry);

} // namespace ravo
