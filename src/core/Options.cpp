#include "Options.h"

#include <optional>

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

Options Options::defaults(const QDate& today)
{
    Options o;
    o.ProgramDateStar = today;
    o.ProgramDateEnd = today.addDays(30);
    return o;
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

    if (take(store.readBool(app, k::SysOptions, k::Nav), o.Nav)
        || take(store.readInt16(app, k::TipsSection, k::ShowTipsAtStartup), o.ShowTipsAtStartup)
        || take(store.readBool(app, k::SysOptions, k::DBCompact), o.DBCompact)
        || take(store.readBool(app, k::SysOptions, k::DBBackup), o.DBBackup)
        || take(store.readBool(app, k::SysOptions, k::Awoke), o.Awoke)
        || take(store.readInt16(app, k::SysOptions, k::Advance), o.Advance)
        || take(store.readInt16(app, k::SysOptions, k::AdvanceDay), o.AdvanceDay)
        || take(store.readInt16(app, k::SysOptions, k::AdvanceWeek), o.AdvanceWeek)
        || take(store.readInt16(app, k::PDC, k::ProgramDateClass), o.ProgramDateClass)
        || take(store.readDate(app, k::PDC, k::ProgramDateStar), o.ProgramDateStar)
        || take(store.readDate(app, k::PDC, k::ProgramDateEnd), o.ProgramDateEnd)
        || take(store.readText(app, k::PDC, k::RC), o.RC)
        || take(store.readText(app, k::Report, k::RepCaption), o.RepCaption)
        || take(store.readText(app, k::Print, k::GroupName), o.GroupName))
        return first;
    for (int n = 1; n <= 5; ++n) {
        if (take(store.readInt16(app, k::Print, k::printClassX(n)), o.PrintClassX[n - 1])
            || take(store.readInt16(app, k::Print, k::printClassY(n)), o.PrintClassY[n - 1]))
            return first;
    }
    return first;
}

// The default set. The six values that survive a reseeding come from `kept`,
// which holds what the failed pass read (or the defaults for what it did not
// reach).
void writeDefaultSet(SettingsStore& store, const Options& kept, const QDate& today)
{
    store.saveBool(app, k::SysOptions, k::Nav, kept.Nav);
    store.saveBool(app, k::SysOptions, k::DBCompact, kept.DBCompact);
    store.saveBool(app, k::SysOptions, k::DBBackup, kept.DBBackup);
    store.saveBool(app, k::SysOptions, k::Awoke, kept.Awoke);
    store.saveInt(app, k::SysOptions, k::AdvanceDay, kept.AdvanceDay);
    store.saveInt(app, k::SysOptions, k::AdvanceWeek, kept.AdvanceWeek);

    const Options d = Options::defaults(today);
    store.saveInt(app, k::TipsSection, k::ShowTipsAtStartup, d.ShowTipsAtStartup);
    store.saveInt(app, k::SysOptions, k::Advance, d.Advance);
    store.saveInt(app, k::PDC, k::ProgramDateClass, d.ProgramDateClass);
    store.saveDate(app, k::PDC, k::ProgramDateStar, d.ProgramDateStar);
    store.saveDate(app, k::PDC, k::ProgramDateEnd, d.ProgramDateEnd);
    store.save(app, k::PDC, k::RC, d.RC);
    store.save(app, k::Report, k::RepCaption, d.RepCaption);
    store.save(app, k::Print, k::GroupName, d.GroupName);
    for (int n = 1; n <= 5; ++n) {
        store.saveInt(app, k::Print, k::printClassX(n), d.PrintClassX[n - 1]);
        store.saveInt(app, k::Print, k::printClassY(n), d.PrintClassY[n - 1]);
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
