#pragma once
// How the query wizard writes its statement. The wizard gathers what the
// user chose on its three tabs into a QueryChoice; composeQuery() turns it
// into the statement the main window runs to fill MSys检索临时表:
//
//   select T.f1,T.f2 into MSys检索临时表 from T where <condition> <order>
//
// The order clause is "ORDER BY " followed by the sort keys, each written
// as T.field, a space and the direction ("desc", or nothing for "升序"),
// joined by ","; it ends with ";", and is only ";" without any key. So an
// ascending key that is not the last reads "T.field ," (the engine reads
// the space before the comma as it reads any other).
//
// Values are written by the field's name alone, never by the column's type:
// date fields (and "时间") between "#", "ID" and "库存数量" bare, everything
// else between double quotes with a double quote inside doubled.
#include <QString>
#include <QStringList>
#include <array>

namespace ravo {

enum class FieldClass { Text, Date, Number };
FieldClass fieldClass(const QString& field);

// A value as a literal of its field's class.
QString writtenValue(const QString& field, const QString& value);

// Why the value cannot stand in a condition on the field, as a message for
// the user; empty when it can. Text fields take anything; date fields take
// whatever the statement translator reads between "#" (isoOfDateLiteral():
// a date, a time or both, "2003-1-15" as well as "1/15/2003"); number
// fields take a decimal number.
QString valueProblem(const QString& field, const QString& value);

// The advanced mode's condition text with one more condition appended:
// existing + joiner + field + " " + op + " " + written value, where the
// joiner is " " while existing is empty, else " AND " or " OR ".
QString appendCondition(const QString& existing, bool joinWithAnd, const QString& field, const QString& op,
                        const QString& value);

struct SortKey {
    QString field;     // empty: the key is skipped
    QString direction; // only "升序" sorts ascending
};

struct QueryChoice {
    QString table;
    QStringList fields; // shown fields, in display order
    std::array<SortKey, 4> sortKeys;
    bool advanced = false;
    QString conditionText; // advanced mode: the accumulated conditions
    QString field;         // simple mode: the field compared
    QString value;         // simple mode: the value typed
    bool blur = false;     // simple mode: text fields match by containment
};

QString selectList(const QString& table, const QStringList& fields);
QString orderClause(const QString& table, const std::array<SortKey, 4>& keys);
// The simple mode's condition, e.g. 检定日期 = #2003-1-1#.
QString simpleCondition(const QString& field, const QString& value, bool blur);
QString composeQuery(const QueryChoice& choice);

} // namespace ravo
