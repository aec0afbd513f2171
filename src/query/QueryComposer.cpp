#include "QueryComposer.h"

#include "QueryTexts.h"
#include "core/Dates.h"
#include "core/JetTranslator.h"
#include "core/Ledger.h"

#include <QLocale>

namespace ravo {

namespace {

const QString Into = QStringLiteral(" into ") + tables::SearchResult + QStringLiteral(" from ");

} // namespace

FieldClass fieldClass(const QString& field)
{
    if (isDateColumnForSearch(field))
        return FieldClass::Date;
    if (columnKind(field) == ColumnKind::Number)
        return FieldClass::Number;
    return FieldClass::Text;
}

QString writtenValue(const QString& field, const QString& value)
{
    switch (fieldClass(field)) {
    case FieldClass::Date:
        return QLatin1Char('#') + value + QLatin1Char('#');
    case FieldClass::Number:
        return value;
    case FieldClass::Text:
        break;
    }
    return quoted(value);
}

QString valueProblem(const QString& field, const QString& value)
{
    switch (fieldClass(field)) {
    case FieldClass::Date:
        if (isoOfDateLiteral(value))
            return {};
        return columnKind(field) == ColumnKind::Time ? querytexts::NotATime.arg(field, value)
                                                     : dateErrorMessage(field, value);
    case FieldClass::Number: {
        bool ok = false;
        QLocale::c().toDouble(value.trimmed(), &ok);
        return ok ? QString() : querytexts::NotANumber.arg(field, value);
    }
    case FieldClass::Text:
        break;
    }
    return {};
}

QString appendCondition(const QString& existing, bool joinWithAnd, const QString& field, const QString& op,
                        const QString& value)
{
    const QString joiner = existing.isEmpty() ? QStringLiteral(" ")
        : joinWithAnd                         ? QStringLiteral(" AND ")
                                              : QStringLiteral(" OR ");
    return existing + joiner + field + QLatin1Char(' ') + op + QLatin1Char(' ') + writtenValue(field, value);
}

QString selectList(const QString& table, const QStringList& fields)
{
    QStringList qualified;
    qualified.reserve(fields.size());
    for (const QString& f : fields)
        qualified << table + QLatin1Char('.') + f;
    return qualified.join(QLatin1Char(','));
}

QString orderClause(const QString& table, const std::array<SortKey, 4>& keys)
{
    QString keysText;
    for (const SortKey& k : keys) {
        if (k.field.isEmpty())
            continue;
        const QString direction = k.direction == querytexts::Ascending ? QString() : QStringLiteral("desc");
        keysText += table + QLatin1Char('.') + k.field + QLatin1Char(' ') + direction + QLatin1Char(',');
    }
    if (keysText.isEmpty())
        return QStringLiteral(";");
    keysText.chop(1);
    return (QStringLiteral("ORDER BY ") + keysText).trimmed() + QLatin1Char(';');
}

QString simpleCondition(const QString& field, const QString& value, bool blur)
{
    switch (fieldClass(field)) {
    case FieldClass::Date:
        return field + QStringLiteral(" = #") + value + QLatin1Char('#');
    case FieldClass::Number:
        return field + QStringLiteral(" = ") + value;
    case FieldClass::Text:
        break;
    }
    if (blur)
        return field + QStringLiteral(" like ") + quoted(QLatin1Char('*') + value + QLatin1Char('*'));
    return field + QStringLiteral(" = ") + quoted(value);
}

QString composeQuery(const QueryChoice& c)
{
    const QString head =
        QStringLiteral("select ") + selectList(c.table, c.fields) + Into + c.table + QStringLiteral(" where ");
    const QString condition = c.advanced ? c.conditionText : simpleCondition(c.field, c.value, c.blur);
    return head + condition + QLatin1Char(' ') + orderClause(c.table, c.sortKeys);
}

} // namespace ravo
