#pragma once
// Dates as users type them and as the ledger stores and shows them.
//
// The ledger keeps dates as ISO text "yyyy-MM-dd" (the program's short date
// format) and times as "HH:mm:ss". Users type dates in whatever way they are
// used to; everything typed goes through parseUserDate()/parseUserTime()
// before it reaches a statement, and a refusal is shown with
// dateErrorMessage().
#include <QDate>
#include <QString>
#include <QTime>
#include <optional>

namespace ravo {

// The program's short date format, used for showing and storing dates.
inline constexpr char ShortDateFormat[] = "yyyy-MM-dd";
// The stored form of a time of day.
inline constexpr char StoredTimeFormat[] = "HH:mm:ss";

// Accepts "2003-3-28", "2003/3/28", "2003.3.28", "20030328", "2003年3月28日"
// and "2003-Mar-28" (English month name or abbreviation, any case), with or
// without leading zeros. Surrounding blanks are ignored and full-width digits
// and punctuation count as their ASCII forms. Anything that is not a real
// calendar date (2003-2-30, 2003-13-1, two-digit years, text) is refused.
std::optional<QDate> parseUserDate(const QString& typed);

// Accepts "H:m", "H:m:s" and "HH:mm:ss" on the 24-hour clock.
std::optional<QTime> parseUserTime(const QString& typed);

// "yyyy-MM-dd"; an invalid date gives an empty text.
QString formatShortDate(const QDate& date);

// "yyyy-MMM-dd" with English month abbreviations whatever the locale
// ("2026-Dec-07"); an invalid date gives an empty text.
QString formatJetMonthDate(const QDate& date);

// The default "valid until" date of a calibration: the day before the same
// date one year later. A calibration on 29 February is valid until
// 28 February of the next year. An invalid date gives an invalid date.
QDate validUntilDefault(const QDate& calibrated);

// The whole months of a calibration period as the ledger's 检定周期 holds
// it ("6", " 24 ", full-width digits too); 12 when the text is blank, not a
// whole number or not between 1 and 600.
int calibrationPeriodMonths(const QString& period);

// The "valid until" date of a calibration with a period of whole months: the
// day before the same date that many months later. When that month has no
// such day (31 August + 6 months, 29 February + 12), the last day of the
// month. Twelve months give validUntilDefault(); an invalid date or a period
// below one month gives an invalid date.
QDate validUntilAfterMonths(const QDate& calibrated, int months);

// The message shown when the text typed into a date field is not a date.
QString dateErrorMessage(const QString& fieldLabel, const QString& typed);

} // namespace ravo
