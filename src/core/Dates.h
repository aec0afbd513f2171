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

// The message shown when the text typed into a date field is not a date.
QString dateErrorMessage(const QString& fieldLabel, const QString& typed);

} // namespace ravo
