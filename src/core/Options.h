#pragma once
// The option values kept in the settings store, the saved queries, the window
// placement, and the options pass that the main window runs when it loads:
// it reads every option, and when one of them is absent or unreadable it
// writes the default set of options (and, when their count is unreadable, the
// seeded saved query) and reads everything again.
#include "SettingsStore.h"

#include <QDate>
#include <QString>
#include <QVector>
#include <array>
#include <initializer_list>
#include <variant>
#include <vector>

namespace ravo {

// Section and key names of the options under application "RAVO".
namespace optionkeys {
inline const QString SysOptions = QStringLiteral("SysOptions");
inline const QString Nav = QStringLiteral("Nav");
inline const QString DBCompact = QStringLiteral("DBCompact");
inline const QString DBBackup = QStringLiteral("DBBackup");
inline const QString Awoke = QStringLiteral("Awoke");
inline const QString Advance = QStringLiteral("Advance");
inline const QString AdvanceDay = QStringLiteral("AdvanceDay");
inline const QString AdvanceWeek = QStringLiteral("AdvanceWeek");
inline const QString TipsSection = QStringLiteral("Options");
inline const QString ShowTipsAtStartup = QStringLiteral("在启动时显示提示");
inline const QString PDC = QStringLiteral("PDC");
inline const QString ProgramDateClass = QStringLiteral("ProgramDateClass");
inline const QString ProgramDateStar = QStringLiteral("ProgramDateStar");
inline const QString ProgramDateEnd = QStringLiteral("ProgramDateEnd");
inline const QString RC = QStringLiteral("RC");
inline const QString Report = QStringLiteral("Report");
inline const QString RepCaption = QStringLiteral("RepCaption");
inline const QString Print = QStringLiteral("Print");
inline const QString GroupName = QStringLiteral("GroupName");
// "PrintClass1X" … "PrintClass5Y"; n is 1 … 5.
QString printClassX(int n);
QString printClassY(int n);
// The confirmation records and the in-use ledger.
inline const QString Certificate = QStringLiteral("Certificate");
inline const QString UpdateLedger = QStringLiteral("UpdateLedger");
inline const QString ValidByPeriod = QStringLiteral("ValidByPeriod");
inline const QString QuerySqlSave = QStringLiteral("QuerySqlSave");
inline const QString Count = QStringLiteral("Count");
// Keys of one saved query, section "1" … "N" of application "RAVOsql".
inline const QString QueryName = QStringLiteral("Name");
inline const QString QuerySql = QStringLiteral("SQL");
inline const QString WindowsSettings = QStringLiteral("WindowsSettings");
inline const QString MainLeft = QStringLiteral("MainLeft");
inline const QString MainTop = QStringLiteral("MainTop");
inline const QString MainWidth = QStringLiteral("MainWidth");
inline const QString MainHeight = QStringLiteral("MainHeight");
inline const QString Settings = QStringLiteral("Settings");
inline const QString OldUser = QStringLiteral("OldUser");
} // namespace optionkeys

inline const QString DefaultPlanTitle = QStringLiteral("计划检定设备清单");
inline const QString DefaultReportTitle = QStringLiteral("在用计量器具台帐");

// The lead time of the due list, "SysOptions"/"Advance". The store may hold
// any number: every value other than None and Days counts as Weeks.
enum class LeadMode : qint16 {
    None = 1,  // what is due today or earlier
    Days = 2,  // "AdvanceDay" days ahead
    Weeks = 3, // 7 × "AdvanceWeek" days ahead
};

// The period of the calibration plan, "PDC"/"ProgramDateClass". A stored
// value that is none of these selects no period in the plan setup.
enum class PlanPeriodKind : qint16 {
    Week = 1,        // 7 days from the day of confirmation
    Month = 2,       // 30 days
    Year = 3,        // 365 days
    ChosenRange = 4, // "ProgramDateStar" … "ProgramDateEnd" as chosen
};

// Every option of the store. A default-made Options holds every option at
// its default (optionTable()), the plan dates null: they have no fixed
// default (today and today plus 30 days).
struct Options {
    Options();

    bool Nav;
    bool DBCompact;
    bool DBBackup;
    bool Awoke;
    qint16 Advance; // LeadMode: 1 no lead time, 2 days, otherwise weeks
    qint16 AdvanceDay;
    qint16 AdvanceWeek;
    qint16 ShowTipsAtStartup; // "Options"/"在启动时显示提示", 0 or 1
    qint16 ProgramDateClass;  // PlanPeriodKind: 1 week, 2 month, 3 year, 4 chosen range
    QDate ProgramDateStar;
    QDate ProgramDateEnd;
    QString RC;
    QString RepCaption;
    QString GroupName;
    // PrintClassX[0] is "PrintClass1X", … PrintClassY[4] is "PrintClass5Y".
    std::array<qint16, 5> PrintClassX;
    std::array<qint16, 5> PrintClassY;
    // "Certificate"/"UpdateLedger": the OK of the confirmation editor carries
    // new and changed records of a passed calibration into the in-use ledger.
    bool CertificateUpdatesLedger;
    // "Certificate"/"ValidByPeriod": Add counts 有效日期 by the instrument's
    // 检定周期 instead of one year.
    bool ValidUntilByPeriod;

    // The default set, with the plan period starting today.
    static Options defaults(const QDate& today);

    // The stored codes as their kinds; an unknown code is kept as it is.
    LeadMode leadMode() const { return LeadMode(Advance); }
    void setLeadMode(LeadMode mode) { Advance = qint16(mode); }
    PlanPeriodKind planPeriodKind() const { return PlanPeriodKind(ProgramDateClass); }
    void setPlanPeriodKind(PlanPeriodKind kind) { ProgramDateClass = qint16(kind); }
};

// The member of Options that holds one option, with the option's default.
// The member's type says how the stored text converts: a boolean
// ("True"/"False"), a 16-bit whole number, a date or plain text.
template <class T> struct OptionField {
    T& (*of)(Options&);
    T byDefault;
};
// A date's default is counted from the day the default set is made.
struct OptionDateField {
    QDate& (*of)(Options&);
    int daysAfterToday;
};

// What the options pass does with an option when it writes the default set.
enum class OnReseed {
    Default, // the option is written with its default
    Keep,    // the option keeps what was read before the failed read
};

// One option of application "RAVO": section, key, member and default, type.
struct OptionKey {
    QString section;
    QString key;
    std::variant<OptionField<bool>, OptionField<qint16>, OptionDateField, OptionField<QString>> field;
    OnReseed onReseed = OnReseed::Default;
    // An option that stores written before it existed do not hold: absent
    // or unreadable it takes its default without the default set being
    // written, and the default set leaves it as it is.
    bool optional = false;
};

// Every option, in the order the options pass reads them.
const std::vector<OptionKey>& optionTable();

// Writes the options of the given sections from `options`, in the order of
// optionTable(). The caller syncs the store.
void saveOptions(SettingsStore& store, const Options& options, std::initializer_list<QString> sections);

struct SavedQuery {
    QString name;
    QString sql;
};

// The query the store is seeded with: "常用查询1".
SavedQuery seededQuery();

struct OptionsPassResult {
    Options options;
    // Saved query i is savedQueries[i - 1], section "i" of "RAVOsql". An
    // entry whose Name or SQL is absent holds empty text there.
    QVector<SavedQuery> savedQueries;
    // The default set of options was written.
    bool reseeded = false;
    // The saved queries were reset to the seeded one (their count was absent
    // or not a number).
    bool queriesReseeded = false;
};

// Reads every option and the saved queries. On the first value that is
// absent or does not convert, writes the default set of options: "Nav",
// "DBCompact", "DBBackup", "Awoke", "AdvanceDay" and "AdvanceWeek" keep what
// was read before the failure (False/0 for those not reached), the others
// take their defaults, the plan period runs from today to today plus 30 days.
// When the saved queries' count was the failure, the saved queries are reset
// to the seeded one; otherwise they are left as they are. Then everything is
// read again, passing over any failure.
OptionsPassResult seedOptions(SettingsStore& store, const QDate& today);

// "SysOptions"/"DBBackup" and "DBCompact" for start-up; false when absent or
// not a boolean.
struct MaintenanceFlags {
    bool backup = false;
    bool compact = false;
};
MaintenanceFlags readMaintenanceFlags(const SettingsStore& store);

// Main window placement in twips.
struct WindowPlacement {
    float left = 1000;
    float top = 1000;
    float width = 6500;
    float height = 6500;
};

// Reads "WindowsSettings"/"MainLeft", "MainTop", "MainWidth" and
// "MainHeight"; a value that is absent or not a number gives its default
// (1000, 1000, 6500, 6500).
WindowPlacement readWindowPlacement(const SettingsStore& store);

// Writes the placement, in the order "MainLeft", "MainTop", "MainWidth",
// "MainHeight", then the list position of the signed-in account (its index
// in the account list minus one) to "Settings"/"OldUser".
void saveWindowPlacement(SettingsStore& store, const WindowPlacement& placement, int lastUserPosition);

} // namespace ravo
