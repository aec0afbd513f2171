// Typed dates and times, the stored and shown formats, and the default
// "valid until" date of a calibration.
#include "core/Dates.h"

#include <QLocale>
#include <QTest>

using namespace ravo;

class TestDates : public QObject {
    Q_OBJECT

private slots:
    void parsesTypedDates_data();
    void parsesTypedDates();
    void refusesWhatIsNotADate_data();
    void refusesWhatIsNotADate();
    void parsesTypedTimes_data();
    void parsesTypedTimes();
    void formatsDates_data();
    void formatsDates();
    void monthNamesIgnoreTheLocale();
    void validUntil_data();
    void validUntil();
    void errorMessageNamesFieldAndText();
};

void TestDates::parsesTypedDates_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDate>("expected");
    const QDate d(2003, 3, 28);
    QTest::newRow("dashes") << "2003-3-28" << d;
    QTest::newRow("dashes, leading zeros") << "2003-03-28" << d;
    QTest::newRow("slashes") << "2003/3/28" << d;
    QTest::newRow("dots") << "2003.3.28" << d;
    QTest::newRow("compact") << "20030328" << d;
    QTest::newRow("chinese") << u"2003年3月28日"_qs << d;
    QTest::newRow("chinese, zeros, blanks") << u" 2003 年 03 月 28 日 "_qs << d;
    QTest::newRow("chinese without 日") << u"2003年3月28"_qs << d;
    QTest::newRow("month abbreviation") << "2003-Mar-28" << d;
    QTest::newRow("month abbreviation, lower case") << "2003-mar-28" << d;
    QTest::newRow("month abbreviation, upper case") << "2003-MAR-28" << d;
    QTest::newRow("full month name") << "2003-March-28" << d;
    QTest::newRow("surrounding blanks") << "  2003-3-28\t" << d;
    QTest::newRow("ideographic space") << u"\u30002003-3-28\u3000"_qs << d;
    QTest::newRow("leap day") << "2004-2-29" << QDate(2004, 2, 29);
    QTest::newRow("leap day of a century divisible by 400") << "2000-02-29" << QDate(2000, 2, 29);
    QTest::newRow("last day of year") << "2026-Dec-31" << QDate(2026, 12, 31);
    QTest::newRow("first day of year, compact") << "20270101" << QDate(2027, 1, 1);
}

void TestDates::parsesTypedDates()
{
    QFETCH(QString, typed);
    QFETCH(QDate, expected);
    const auto d = parseUserDate(typed);
    QVERIFY2(d.has_value(), qPrintable(typed));
    QCOMPARE(*d, expected);
}

void TestDates::refusesWhatIsNotADate_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("empty") << "";
    QTest::newRow("blanks") << "   ";
    QTest::newRow("30 February") << "2003-2-30";
    QTest::newRow("29 February of a common year") << "2003-2-29";
    QTest::newRow("29 February 1900") << "1900-2-29";
    QTest::newRow("month 13") << "2003-13-1";
    QTest::newRow("month 0") << "2003-0-10";
    QTest::newRow("day 0") << "2003-3-0";
    QTest::newRow("31 April") << "2003/4/31";
    QTest::newRow("text") << u"明天"_qs;
    QTest::newRow("two-digit year") << "03-3-28";
    QTest::newRow("mixed separators") << "2003-3/28";
    QTest::newRow("trailing text") << "2003-3-28x";
    QTest::newRow("with a time") << "2003-3-28 10:00";
    QTest::newRow("compact, seven digits") << "2003328";
    QTest::newRow("compact, bad day") << "20030230";
    QTest::newRow("unknown month name") << "2003-Mrz-28";
    QTest::newRow("chinese, bad day") << u"2003年2月30日"_qs;
    QTest::newRow("three-digit day") << "2003-3-028";
}

void TestDates::refusesWhatIsNotADate()
{
    QFETCH(QString, typed);
    QVERIFY2(!parseUserDate(typed).has_value(), qPrintable(typed));
}

void TestDates::parsesTypedTimes_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QTime>("expected"); // invalid: refused
    QTest::newRow("H:m") << "9:5" << QTime(9, 5);
    QTest::newRow("H:m:s") << "9:5:7" << QTime(9, 5, 7);
    QTest::newRow("HH:mm:ss") << "10:05:00" << QTime(10, 5);
    QTest::newRow("midnight") << "0:00" << QTime(0, 0);
    QTest::newRow("last second") << "23:59:59" << QTime(23, 59, 59);
    QTest::newRow("full-width colon") << u"10：05"_qs << QTime(10, 5);
    QTest::newRow("hour 24") << "24:00" << QTime();
    QTest::newRow("minute 60") << "10:60" << QTime();
    QTest::newRow("second 60") << "10:00:60" << QTime();
    QTest::newRow("hour only") << "10" << QTime();
    QTest::newRow("text") << "noon" << QTime();
    QTest::newRow("empty") << "" << QTime();
}

void TestDates::parsesTypedTimes()
{
    QFETCH(QString, typed);
    QFETCH(QTime, expected);
    const auto t = parseUserTime(typed);
    QCOMPARE(t.has_value(), expected.isValid());
    if (t)
        QCOMPARE(*t, expected);
}

void TestDates::formatsDates_data()
{
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("shortDate");
    QTest::addColumn<QString>("jetMonthDate");
    QTest::newRow("padded") << QDate(2003, 3, 8) << "2003-03-08"
                            << "2003-Mar-08";
    QTest::newRow("december") << QDate(2026, 12, 7) << "2026-12-07"
                              << "2026-Dec-07";
    QTest::newRow("january") << QDate(2027, 1, 31) << "2027-01-31"
                             << "2027-Jan-31";
    QTest::newRow("leap day") << QDate(2024, 2, 29) << "2024-02-29"
                              << "2024-Feb-29";
    QTest::newRow("invalid") << QDate() << ""
                             << "";
}

void TestDates::formatsDates()
{
    QFETCH(QDate, date);
    QFETCH(QString, shortDate);
    QFETCH(QString, jetMonthDate);
    QCOMPARE(formatShortDate(date), shortDate);
    QCOMPARE(formatJetMonthDate(date), jetMonthDate);
    if (date.isValid()) {
        // What is shown can be typed back.
        QCOMPARE(parseUserDate(shortDate), std::optional<QDate>(date));
        QCOMPARE(parseUserDate(jetMonthDate), std::optional<QDate>(date));
    }
}

void TestDates::monthNamesIgnoreTheLocale()
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    const QString text = formatJetMonthDate(QDate(2026, 5, 1));
    QLocale::setDefault(saved);
    QCOMPARE(text, QStringLiteral("2026-May-01"));
}

void TestDates::validUntil_data()
{
    QTest::addColumn<QDate>("calibrated");
    QTest::addColumn<QString>("period"); // 检定周期 as the ledger holds it
    QTest::addColumn<QDate>("expected");
    QTest::newRow("ordinary") << QDate(2003, 3, 28) << "12" << QDate(2004, 3, 27);
    QTest::newRow("first of month") << QDate(2003, 3, 1) << "12" << QDate(2004, 2, 29);
    QTest::newRow("first of year") << QDate(2026, 1, 1) << "12" << QDate(2026, 12, 31);
    QTest::newRow("last of year") << QDate(2026, 12, 31) << "12" << QDate(2027, 12, 30);
    QTest::newRow("leap day") << QDate(2024, 2, 29) << "12" << QDate(2025, 2, 28);
    QTest::newRow("day after leap day") << QDate(2024, 3, 1) << "12" << QDate(2025, 2, 28);
    QTest::newRow("1 March before a leap year") << QDate(2023, 3, 1) << "12" << QDate(2024, 2, 29);
    QTest::newRow("28 February into a leap year") << QDate(2023, 2, 28) << "12" << QDate(2024, 2, 27);
    QTest::newRow("invalid") << QDate() << "12" << QDate();
    QTest::newRow("6 months") << QDate(2026, 3, 15) << "6" << QDate(2026, 9, 14);
    QTest::newRow("6 months from 31 August") << QDate(2025, 8, 31) << "6" << QDate(2026, 2, 28);
    QTest::newRow("24 months from a leap day") << QDate(2024, 2, 29) << " 24 " << QDate(2026, 2, 28);
    QTest::newRow("full-width digits") << QDate(2026, 3, 15) << "３６" << QDate(2029, 3, 14);
    QTest::newRow("blank: a year") << QDate(2024, 2, 29) << "" << QDate(2025, 2, 28);
    QTest::newRow("not a number: a year") << QDate(2026, 3, 15) << "半年" << QDate(2027, 3, 14);
    QTest::newRow("months with a unit: a year") << QDate(2026, 3, 15) << "6个月" << QDate(2027, 3, 14);
}

void TestDates::validUntil()
{
    QFETCH(QDate, calibrated);
    QFETCH(QString, period);
    QFETCH(QDate, expected);
    QCOMPARE(validUntilAfterMonths(calibrated, calibrationPeriodMonths(period)), expected);
    // Twelve months are the one-year default.
    if (calibrationPeriodMonths(period) == 12)
        QCOMPARE(validUntilDefault(calibrated), expected);
}

void TestDates::errorMessageNamesFieldAndText()
{
    QCOMPARE(dateErrorMessage(u"检定日期"_qs, "2003-2-30"),
             u"“检定日期”不是有效的日期：“2003-2-30”。请按 2003-3-28 的格式输入。"_qs);
    // A label or text that looks like a placeholder is shown as it is.
    QCOMPARE(dateErrorMessage("%2", "%1"), u"“%2”不是有效的日期：“%1”。请按 2003-3-28 的格式输入。"_qs);
}

QTEST_GUILESS_MAIN(TestDates)
#include "tst_dates.moc"
