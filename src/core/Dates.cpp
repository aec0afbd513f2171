#include "core/Dates.h"

#include <QRegularExpression>

namespace ravo {

namespace {

const char* const MonthAbbreviations[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const MonthNames[12] = {"january", "february", "march",     "april",   "may",      "june",
                                    "july",    "august",   "september", "october", "november", "december"};

// Full-width digits, letters and punctuation (as a Chinese input method
// produces them) become ASCII; the ideographic space becomes a space.
QString normalisedInput(const QString& typed)
{
    return typed.normalized(QString::NormalizationForm_KC).trimmed();
}

// 1 … 12 for an English month name or its three-letter abbreviation, else 0.
int monthFromName(const QString& name)
{
    const QString lower = name.toLower();
    for (int i = 0; i < 12; ++i) {
        const QLatin1String full(MonthNames[i]);
        if (lower == full || (lower.size() == 3 && full.startsWith(lower)))
            return i + 1;
    }
    return 0;
}

std::optional<QDate> makeDate(int year, int month, int day)
{
    const QDate d(year, month, day);
    if (!d.isValid())
        return std::nullopt;
    return d;
}

} // namespace

std::optional<QDate> parseUserDate(const QString& typed)
{
    const QString text = normalisedInput(typed);

    // 2003-3-28, 2003/3/28, 2003.3.28: one separator used twice.
    static const QRegularExpression separated(QStringLiteral(R"(^([0-9]{4})([-/.])([0-9]{1,2})\2([0-9]{1,2})$)"));
    if (const auto m = separated.match(text); m.hasMatch())
        return makeDate(m.captured(1).toInt(), m.captured(3).toInt(), m.captured(4).toInt());

    static const QRegularExpression compact(QStringLiteral(R"(^([0-9]{4})([0-9]{2})([0-9]{2})$)"));
    if (const auto m = compact.match(text); m.hasMatch())
        return makeDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());

    static const QRegularExpression chinese(
        QStringLiteral(u"^([0-9]{4})\\s*年\\s*([0-9]{1,2})\\s*月\\s*([0-9]{1,2})\\s*日?$"));
    if (const auto m = chinese.match(text); m.hasMatch())
        return makeDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());

    // 2003-Mar-28, 2003/mar/28, 2003 March 28
    static const QRegularExpression named(QStringLiteral(R"(^([0-9]{4})([-/ ])([A-Za-z]+)\2([0-9]{1,2})$)"));
    if (const auto m = named.match(text); m.hasMatch()) {
        const int month = monthFromName(m.captured(3));
        if (month == 0)
            return std::nullopt;
        return makeDate(m.captured(1).toInt(), month, m.captured(4).toInt());
    }
    return std::nullopt;
}

std::optional<QTime> parseUserTime(const QString& typed)
{
    const QString text = normalisedInput(typed);
    static const QRegularExpression re(QStringLiteral(R"(^([0-9]{1,2}):([0-9]{1,2})(?::([0-9]{1,2}))?$)"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QTime t(m.captured(1).toInt(), m.captured(2).toInt(), m.capturedLength(3) > 0 ? m.captured(3).toInt() : 0);
    if (!t.isValid())
        return std::nullopt;
    return t;
}

QString formatShortDate(const QDate& date)
{
    if (!date.isValid())
        return {};
    return date.toString(QLatin1String(ShortDateFormat));
}

QString formatJetMonthDate(const QDate& date)
{
    if (!date.isValid())
        return {};
    // QDate::toString("MMM") would follow the system locale ("12月"); the
    // old reports always used the English abbreviations.
    return QStringLiteral("%1-%2-%3")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(QLatin1String(MonthAbbreviations[date.month() - 1]))
        .arg(date.day(), 2, 10, QLatin1Char('0'));
}

QDate validUntilDefault(const QDate& calibrated)
{
    if (!calibrated.isValid())
        return {};
    // Counting the days from the first of the month carries 29 February over
    // to 1 March of a common year, so the day before is 28 February.
    return QDate(calibrated.year() + 1, calibrated.month(), 1).addDays(calibrated.day() - 1).addDays(-1);
}

int calibrationPeriodMonths(const QString& period)
{
    constexpr int Default = 12;
    bool ok = false;
    const int months = period.normalized(QString::NormalizationForm_KC).trimmed().toInt(&ok);
    return ok && months >= 1 && months <= 600 ? months : Default;
}

QDate validUntilAfterMonths(const QDate& calibrated, int months)
{
    if (!calibrated.isValid() || months < 1)
        return {};
    const QDate month = QDate(calibrated.year(), calibrated.month(), 1).addMonths(months);
    if (calibrated.day() > month.daysInMonth())
        return QDate(month.year(), month.month(), month.daysInMonth());
    return QDate(month.year(), month.month(), calibrated.day()).addDays(-1);
}

QString dateErrorMessage(const QString& fieldLabel, const QString& typed)
{
    return QStringLiteral(u"“%1”不是有效的日期：“%2”。请按 2003-3-28 的格式输入。").arg(fieldLabel, typed);
}

} // namespace ravo
