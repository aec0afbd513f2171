#include "Options.h"

#include <algorithm>
#include <optional>
#include <type_traits>

namespace ravo {

namespace k = optionkeys;

QString optionkeys::printClassX(int n)
{
    return QStringLiteral("PrintClass%1X").arg(n);
}

QString optionkeys::printClassY(int n)
{
    return QStringLiteral("PrintClass%1Y").arg(n);
}

namespace {

template <auto Member> auto& member(Options& o)
{
    return o.*Member;
}

template <auto Member, int N> qint16& offset(Options& o)
{
    return (o.*Member)[N];
}

template <auto Member, class T>
OptionKey row(const QString& section, const QString& key, T byDefault, OnReseed onReseed = OnReseed::Default)
{
    return {section, key, OptionField<T>{&member<Member>, std::move(byDefault)}, onReseed};
}

template <auto Member> OptionKey optionalRow(const QString& section, const QString& key, bool byDefault)
{
    return {section, key, OptionField<bool>{&member<Member>, byDefault}, OnReseed::Keep, true};
}

template <auto Member> OptionKey dateRow(const QString& section, const QString& key, int daysAfterToday)
{
    return {section, key, OptionDateField{&member<Member>, daysAfterToday}};
}

template <auto Member, int N> OptionKey offsetRow(const QString& key)
{
    return {k::Print, key, OptionField<qint16>{&offset<Member, N>, 0}};
}

// Sets the option to its default; a date is counted from `today`, and stays
// null when today is.
void setDefault(const OptionKey& option, Options& o, const QDate& today)
{
    std::visit(
        [&](const auto& field) {
            if constexpr (std::is_same_v<std::decay_t<decltype(field)>, OptionDateField>)
                field.of(o) = today.isValid() ? today.addDays(field.daysAfterToday) : QDate();
            else
                field.of(o) = field.byDefault;
        },
        option.field);
}

std::optional<bool> readValue(const SettingsStore& s, const QString& section, const QString& key, bool*)
{
    return s.readBool(SettingsStore::MainApp, section, key);
}
std::optional<qint16> readValue(const SettingsStore& s, const QString& section, const QString& key, qint16*)
{
    return s.readInt16(SettingsStore::MainApp, section, key);
}
std::optional<QDate> readValue(const SettingsStore& s, const QString& section, const QString& key, QDate*)
{
    return s.readDate(SettingsStore::MainApp, section, key);
}
std::optional<QString> readValue(const SettingsStore& s, const QString& section, const QString& key, QString*)
{
    return s.readText(SettingsStore::MainApp, section, key);
}

void saveValue(SettingsStore& s, const QString& section, const QString& key, bool value)
{
    s.saveBool(SettingsStore::MainApp, section, key, value);
}
void saveValue(SettingsStore& s, const QString& section, const QString& key, qint16 value)
{
    s.saveInt(SettingsStore::MainApp, section, key, value);
}
void saveValue(SettingsStore& s, const QString& section, const QString& key, const QDate& value)
{
    s.saveDate(SettingsStore::MainApp, section, key, value);
}
void saveValue(SettingsStore& s, const QString& section, const QString& key, const QString& value)
{
    s.save(SettingsStore::MainApp, section, key, value);
}

// Reads one option into `o`; false, leaving `o` as it was, when the value is
// absent or does not convert.
bool readOption(const SettingsStore& store, const OptionKey& option, Options& o)
{
    return std::visit(
        [&](const auto& field) {
            auto& target = field.of(o);
            const auto value = readValue(store, option.section, option.key, &target);
            if (value)
                target = *value;
            return value.has_value();
        },
        option.field);
}

void saveOption(SettingsStore& store, const OptionKey& option, Options& from)
{
    std::visit([&](const auto& field) { saveValue(store, option.section, option.key, field.of(from)); }, option.field);
}

} // namespace

const std::vector<OptionKey>& optionTable()
{
    static const std::vector<OptionKey> table = {
        row<&Options::Nav>(k::SysOptions, k::Nav, false, OnReseed::Keep),
        row<&Options::ShowTipsAtStartup>(k::TipsSection, k::ShowTipsAtStartup, qint16(1)),
        row<&Options::DBCompact>(k::SysOptions, k::DBCompact, false, OnReseed::Keep),
        row<&Options::DBBackup>(k::SysOptions, k::DBBackup, false, OnReseed::Keep),
        row<&Options::Awoke>(k::SysOptions, k::Awoke, false, OnReseed::Keep),
        row<&Options::Advance>(k::SysOptions, k::Advance, qint16(1)),
        row<&Options::AdvanceDay>(k::SysOptions, k::AdvanceDay, qint16(0), OnReseed::Keep),
        row<&Options::AdvanceWeek>(k::SysOptions, k::AdvanceWeek, qint16(0), OnReseed::Keep),
        row<&Options::ProgramDateClass>(k::PDC, k::ProgramDateClass, qint16(1)),
        dateRow<&Options::ProgramDateStar>(k::PDC, k::ProgramDateStar, 0),
        dateRow<&Options::ProgramDateEnd>(k::PDC, k::ProgramDateEnd, 30),
        row<&Options::RC>(k::PDC, k::RC, DefaultPlanTitle),
        row<&Options::RepCaption>(k::Report, k::RepCaption, DefaultReportTitle),
        row<&Options::GroupName>(k::Print, k::GroupName, QString()),
        offsetRow<&Options::PrintClassX, 0>(k::printClassX(1)),
        offsetRow<&Options::PrintClassY, 0>(k::printClassY(1)),
        offsetRow<&Options::PrintClassX, 1>(k::printClassX(2)),
        offsetRow<&Options::PrintClassY, 1>(k::printClassY(2)),
        offsetRow<&Options::PrintClassX, 2>(k::printClassX(3)),
        offsetRow<&Options::PrintClassY, 2>(k::printClassY(3)),
        offsetRow<&Options::PrintClassX, 3>(k::printClassX(4)),
        offsetRow<&Options::PrintClassY, 3>(k::printClassY(4)),
        offsetRow<&Options::PrintClassX, 4>(k::printClassX(5)),
        offsetRow<&Options::PrintClassY, 4>(k::printClassY(5)),
        optionalRow<&Options::CertificateUpdatesLedger>(k::Certificate, k::UpdateLedger, false),
        optionalRow<&Options::ValidUntilByPeriod>(k::Certificate, k::ValidByPeriod, false),
    };
    return table;
}

Options::Options()
{
    for (const OptionKey& option : optionTable())
        setDefault(option, *this, QDate());
}

Options Options::defaults(const QDate& today)
{
    Options o;
    for (const OptionKey& option : optionTable())
        setDefault(option, o, today);
    return o;
}

void saveOptions(SettingsStore& store, const Options& options, std::initializer_list<QString> sections)
{
    Options from = options;
    for (const OptionKey& option : optionTable()) {
        if (std::find(sections.begin(), sections.end(), option.section) != sections.end())
            saveOption(store, option, from);
    }
}

SavedQuery seededQuery()
{
    return {QStringLiteral("常用查询1"),
            QStringLiteral("select 计量器具编号,计量器具名称,规格型号,法制管理类别,使用部门 into MSys检索临时表 "
                           "from 计量器具在用库 ORDER BY 计量器具编号")};
}

namespace {

const QString& app = SettingsStore::MainApp;

enum class Failure { None, QueryCount, Other };

// One read of every value, in the fixed order. When stopAtFailure is set the
// pass ends at the first value that is absent or does not convert; otherwise
// such a value leaves its target as it was and the pass goes on. Returns what
// failed first.
Failure readAll(const SettingsStore& store, Options& o, QVector<SavedQuery>& queries, bool stopAtFailure)
{
    Failure first = Failure::None;
    // Records a failure; true when the pass has to stop here.
    auto fail = [&](Failure f) {
        if (first == Failure::None)
            first = f;
        return stopAtFailure;
    };
    auto take = [&](const auto& value, auto& target) {
        if (value) {
            target = *value;
            return false;
        }
        return fail(Failure::Other);
    };

    if (const std::optional<qint16> count = store.readInt16(app, k::QuerySqlSave, k::Count)) {
        queries = QVector<SavedQuery>(qMax<qint16>(*count, 0));
        for (int i = 0; i < queries.size(); ++i) {
            const QString section = QString::number(i + 1);
            if (take(store.readText(SettingsStore::QueryApp, section, k::QueryName), queries[i].name))
                return first;
            if (take(store.readText(SettingsStore::QueryApp, section, k::QuerySql), queries[i].sql))
                return first;
        }
    } else if (fail(Failure::QueryCount)) {
        return first;
    }

    for (const OptionKey& option : optionTable()) {
        if (!readOption(store, option, o) && !option.optional && fail(Failure::Other))
            return first;
    }
    return first;
}

// The default set. The options kept on reseeding come first, from `kept`,
// which holds what the failed pass read (or the defaults for what it did not
// reach); then the others with their defaults.
void writeDefaultSet(SettingsStore& store, const Options& kept, const QDate& today)
{
    Options from = kept;
    Options defaults = Options::defaults(today);
    for (const OptionKey& option : optionTable()) {
        if (option.onReseed == OnReseed::Keep && !option.optional)
            saveOption(store, option, from);
    }
    for (const OptionKey& option : optionTable()) {
        if (option.onReseed == OnReseed::Default && !option.optional)
            saveOption(store, option, defaults);
    }
}

void writeSeededQueries(SettingsStore& store)
{
    const SavedQuery q = seededQuery();
    store.saveInt(app, k::QuerySqlSave, k::Count, 1);
    store.save(SettingsStore::QueryApp, QStringLiteral("1"), k::QueryName, q.name);
    store.save(SettingsStore::QueryApp, QStringLiteral("1"), k::QuerySql, q.sql);
}

float placementValue(const SettingsStore& store, const QString& key, float def)
{
    return store.readSingle(app, k::WindowsSettings, key).value_or(def);
}

} // namespace

OptionsPassResult seedOptions(SettingsStore& store, const QDate& today)
{
    OptionsPassResult r;
    const Failure failure = readAll(store, r.options, r.savedQueries, true);
    if (failure == Failure::None)
        return r;

    r.reseeded = true;
    writeDefaultSet(store, r.options, today);
    if (failure == Failure::QueryCount) {
        r.queriesReseeded = true;
        writeSeededQueries(store);
    }
    store.sync();
    readAll(store, r.options, r.savedQueries, false);
    return r;
}

MaintenanceFlags readMaintenanceFlags(const SettingsStore& store)
{
    MaintenanceFlags f;
    f.backup = store.readBool(app, k::SysOptions, k::DBBackup).value_or(false);
    f.compact = store.readBool(app, k::SysOptions, k::DBCompact).value_or(false);
    return f;
}

WindowPlacement readWindowPlacement(const SettingsStore& store)
{
    const WindowPlacement d;
    WindowPlacement p;
    p.left = placementValue(store, k::MainLeft, d.left);
    p.top = placementValue(store, k::MainTop, d.top);
    p.width = placementValue(store, k::MainWidth, d.width);
    p.height = placementValue(store, k::MainHeight, d.height);
    return p;
}

void saveWindowPlacement(SettingsStore& store, const WindowPlacement& placement, int lastUserPosition)
{
    store.saveSingle(app, k::WindowsSettings, k::MainLeft, placement.left);
    store.saveSingle(app, k::WindowsSettings, k::MainTop, placement.top);
    store.saveSingle(app, k::WindowsSettings, k::MainWidth, placement.width);
    store.saveSingle(app, k::WindowsSettings, k::MainHeight, placement.height);
    store.saveInt(app, k::Settings, k::OldUser, lastUserPosition);
    store.sync();
}

} // namespace ravo
