#include "FuzzChecks.h"

#include "core/Dates.h"
#include "core/JetTranslator.h"
#include "core/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSettings>
#include <QStringList>
#include <cmath>
#include <memory>
#include <sqlite3.h>

namespace ravo::fuzz {

namespace {

QString text(QByteArrayView bytes)
{
    return QString::fromUtf8(bytes.data(), bytes.size());
}

QString shown(const QString& s)
{
    QString out;
    for (const QChar c : s) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return QLatin1Char('[') + out + QLatin1Char(']');
}

// ---------------------------------------------------------------- translator

// A few tables under the ledger's names, with the kinds of column
// definitions the translator has to carry over: collations, checks, quoted
// names, a keyword as a name, a table constraint, a generated column.
class FakeCatalogue : public SchemaCatalogue {
public:
    FakeCatalogue()
    {
        const QString inUse =
            QStringLiteral(u"计量器具编号 TEXT COLLATE NOCASE NOT NULL UNIQUE CHECK (trim(计量器具编号) <> ''), "
                           u"计量器具名称 TEXT COLLATE NOCASE, "
                           u"检定日期 TEXT CHECK (检定日期 IS NULL OR date(检定日期, '+0 days') IS 检定日期), "
                           u"有效日期 TEXT, 使用部门 TEXT COLLATE NOCASE, 状态 TEXT");
        const QStringList inUseColumns = {u"计量器具编号"_qs, u"计量器具名称"_qs, u"检定日期"_qs,
                                          u"有效日期"_qs,     u"使用部门"_qs,     u"状态"_qs};
        add(u"计量器具在用库"_qs, inUseColumns, u"CREATE TABLE 计量器具在用库 (\n    "_qs + inUse + u"\n)"_qs);
        add(u"MSys计量器具在用库"_qs, inUseColumns, u"CREATE TABLE MSys计量器具在用库 ("_qs + inUse + u")"_qs);
        add(u"计量器具报废库"_qs, {u"计量器具编号"_qs, u"计量器具名称"_qs, u"报废日期"_qs, u"状态"_qs},
            u"CREATE TABLE 计量器具报废库 (计量器具编号 TEXT, 计量器具名称 TEXT, 报废日期 TEXT, 状态 TEXT)"_qs);
        add(u"计量器具确认记录库"_qs, {u"报告编号"_qs, u"计量器具编号"_qs, u"检定日期"_qs},
            u"CREATE TABLE 计量器具确认记录库 (\n  报告编号 TEXT, -- a comment, with a comma\n"
            u"  计量器具编号 TEXT /* (x) */,\n  检定日期 TEXT DEFAULT 'a,b',\n"
            u"  UNIQUE (报告编号, 计量器具编号)\n)"_qs);
        add(u"Keyed"_qs, {u"order"_qs, u"值"_qs, u"a \"b\""_qs},
            u"CREATE TABLE Keyed (\"order\" TEXT, [值] TEXT, \"a \"\"b\"\"\" TEXT)"_qs);
        add(u"MSysKeyed"_qs, {u"order"_qs, u"值"_qs, u"a \"b\""_qs},
            u"CREATE TABLE MSysKeyed (\"order\" TEXT, [值] TEXT, \"a \"\"b\"\"\" TEXT)"_qs);
        add(u"Shown"_qs, {u"x"_qs, u"y"_qs}, u"CREATE TABLE Shown (x INTEGER, y AS (x + 1))"_qs);
        add(u"MSysShown"_qs, {u"x"_qs, u"y"_qs}, u"CREATE TABLE MSysShown (x INTEGER, y AS (x + 1))"_qs);
    }

    QStringList columns(const QString& table) const override { return m_columns.value(table.toLower()); }
    QString createSql(const QString& table) const override { return m_sql.value(table.toLower()); }

private:
    void add(const QString& table, const QStringList& columns, const QString& sql)
    {
        m_columns.insert(table.toLower(), columns);
        m_sql.insert(table.toLower(), sql);
    }
    QHash<QString, QStringList> m_columns;
    QHash<QString, QString> m_sql;
};

const FakeCatalogue& catalogue()
{
    static const FakeCatalogue c;
    return c;
}

const QDateTime Now(QDate(2026, 12, 7), QTime(10, 5, 9));

// An in-memory SQLite that runs one-row selects, with the double-quoted
// string fallback off as on the program's own connection.
class Engine {
public:
    Engine()
    {
        sqlite3_open(":memory:", &m_db);
        sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        sqlite3_db_config(m_db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    }
    ~Engine() { sqlite3_close(m_db); }

    // The first column of the only row of `sql`, as text; the error when the
    // statement fails.
    bool value(const QString& sql, QString* out, QString* error)
    {
        const QByteArray utf8 = sql.toUtf8();
        sqlite3_stmt* stmt = nullptr;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, &tail) != SQLITE_OK) {
            *error = QString::fromUtf8(sqlite3_errmsg(m_db));
            return false;
        }
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> guard(stmt, sqlite3_finalize);
        if (tail && QByteArrayView(tail).trimmed().size() > 0) {
            *error = QStringLiteral("more than one statement");
            return false;
        }
        if (sqlite3_step(stmt) != SQLITE_ROW) {
            *error = QString::fromUtf8(sqlite3_errmsg(m_db));
            return false;
        }
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        *out = QString::fromUtf8(bytes, sqlite3_column_bytes(stmt, 0));
        return true;
    }

private:
    sqlite3* m_db = nullptr;
};

Engine& engine()
{
    static Engine e;
    return e;
}

// Translates a one-row select and runs it; the answer, or why there is none.
bool runSelect(const QString& jet, QString* out, QString* problem)
{
    const Translation t = translateJet(jet, catalogue(), Now);
    if (!t.ok()) {
        *problem = QStringLiteral("refused %1: %2").arg(shown(jet), t.error);
        return false;
    }
    if (t.statements.size() != 1) {
        *problem = QStringLiteral("%1 gave %2 statements").arg(shown(jet)).arg(t.statements.size());
        return false;
    }
    QString error;
    if (!engine().value(t.statements.first(), out, &error)) {
        *problem = QStringLiteral("%1 became %2, which SQLite refuses: %3")
                       .arg(shown(jet), shown(t.statements.first()), error);
        return false;
    }
    return true;
}

QString checkStatement(const QString& jet)
{
    const Translation first = translateJet(jet, catalogue(), Now);
    const Translation second = translateJet(jet, catalogue(), Now);
    if (first.statements != second.statements || first.error != second.error)
        return QStringLiteral("two translations of %1 differ").arg(shown(jet));
    if (first.ok() == !first.statements.isEmpty()) {
        // Blank as SQLite sees it: only ASCII blanks separate tokens there.
        static const QRegularExpression blank(QStringLiteral("^[ \\t\\n\\r\\f\\x0b]*$"));
        for (const QString& s : first.statements) {
            if (blank.match(s).hasMatch())
                return QStringLiteral("%1 gave a blank statement").arg(shown(jet));
        }
        return {};
    }
    return QStringLiteral("%1 gave statements %2 and the error %3")
        .arg(shown(jet), shown(first.statements.join(QLatin1Char('|'))), shown(first.error));
}

QString jetLiteral(const QString& content, QChar quote)
{
    QString doubled = content;
    doubled.replace(quote, QString(2, quote));
    return quote + doubled + quote;
}

QString checkTextLiteral(const QString& content)
{
    for (const QChar quote : {QLatin1Char('"'), QLatin1Char('\'')}) {
        QString got;
        QString problem;
        if (!runSelect(QStringLiteral("select ") + jetLiteral(content, quote), &got, &problem))
            return problem;
        if (got != content)
            return QStringLiteral("the literal %1 came back as %2").arg(shown(content), shown(got));
    }
    return {};
}

// The old engine's wildcards as this translator reads them.
struct PatternItem {
    enum { AnyRun, OneChar, Char } kind;
    char32_t c = 0;
};

char32_t foldAscii(char32_t c)
{
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

bool jetLike(const QList<uint>& value, const QString& pattern)
{
    const QList<uint> p = pattern.toUcs4();
    QList<PatternItem> items;
    for (qsizetype i = 0; i < p.size(); ++i) {
        if (p[i] == '*')
            items.append(PatternItem{PatternItem::AnyRun, 0});
        else if (p[i] == '?')
            items.append(PatternItem{PatternItem::OneChar, 0});
        else if (p[i] == '[' && i + 2 < p.size() && p[i + 2] == ']') {
            items.append(PatternItem{PatternItem::Char, p[i + 1]});
            i += 2;
        } else
            items.append(PatternItem{PatternItem::Char, p[i]});
    }
    // Wildcard matching with one back-tracking point: the last *.
    qsizetype v = 0, k = 0, starK = -1, starV = 0;
    while (v < value.size()) {
        if (k < items.size() && items[k].kind == PatternItem::AnyRun) {
            starK = k++;
            starV = v;
        } else if (k < items.size()
                   && (items[k].kind == PatternItem::OneChar || foldAscii(items[k].c) == foldAscii(value[v]))) {
            ++k;
            ++v;
        } else if (starK >= 0) {
            k = starK + 1;
            v = ++starV;
        } else {
            return false;
        }
    }
    while (k < items.size() && items[k].kind == PatternItem::AnyRun)
        ++k;
    return k == items.size();
}

QString checkLike(QByteArrayView rest)
{
    const qsizetype cut = rest.indexOf('\x01');
    if (cut < 0)
        return {};
    const QString value = text(rest.first(cut));
    const QString pattern = text(rest.sliced(cut + 1));
    // SQLite's LIKE reads its operands only up to a NUL character.
    if (value.contains(QChar(0)) || pattern.contains(QChar(0)))
        return {};
    const QString jet = QStringLiteral("select ") + jetLiteral(value, QLatin1Char('"')) + QStringLiteral(" like ")
        + jetLiteral(pattern, QLatin1Char('"'));
    QString got;
    QString problem;
    if (!runSelect(jet, &got, &problem))
        return problem;
    const bool expected = jetLike(value.toUcs4(), pattern);
    if (got != (expected ? QLatin1String("1") : QLatin1String("0")))
        return QStringLiteral("%1 like %2 answered %3, the old engine %4")
            .arg(shown(value), shown(pattern), got, expected ? QStringLiteral("1") : QStringLiteral("0"));
    return {};
}

bool isIsoDateTime(const QString& s)
{
    if (QDate::fromString(s, QLatin1String(ShortDateFormat)).isValid())
        return true;
    if (QTime::fromString(s, QLatin1String(StoredTimeFormat)).isValid())
        return true;
    return QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd HH:mm:ss")).isValid();
}

QString checkDateLiteral(const QString& content)
{
    if (content.contains(QLatin1Char('#')) || content.contains(QChar(0)))
        return {};
    const QString jet = QStringLiteral("select #") + content + QLatin1Char('#');
    const Translation t = translateJet(jet, catalogue(), Now);
    if (!t.ok())
        return {};
    QString got;
    QString problem;
    if (!runSelect(jet, &got, &problem))
        return problem;
    if (!isIsoDateTime(got))
        return QStringLiteral("#%1# became %2, not an ISO date or time").arg(shown(content), shown(got));

    static const QRegularExpression blanks(QStringLiteral(R"(\s+)"));
    const QStringList parts = content.trimmed().split(blanks, Qt::SkipEmptyParts);
    if (parts.size() != 1)
        return {};
    QString expected;
    if (parts[0].contains(QLatin1Char(':'))) {
        if (const auto time = parseUserTime(parts[0]))
            expected = time->toString(QLatin1String(StoredTimeFormat));
    } else if (const auto date = parseUserDate(parts[0])) {
        expected = formatShortDate(*date);
    }
    if (!expected.isEmpty() && got != expected)
        return QStringLiteral("#%1# became %2, the date module reads %3").arg(shown(content), shown(got), expected);
    return {};
}

QString checkColumnDefinitions(const QString& createSql)
{
    for (const ColumnDefinition& d : columnDefinitions(createSql)) {
        if (d.name.isEmpty() || d.definition.trimmed().isEmpty())
            return QStringLiteral("a blank column definition read from %1").arg(shown(createSql));
    }
    return {};
}

// ---------------------------------------------------------------- settings

// Swaps the case of ASCII letters only: other scripts may change length or
// fold differently, and the store promises nothing about them.
QString swapAsciiCase(const QString& s)
{
    QString out = s;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u >= 'a' && u <= 'z')
            c = QChar(u - 32);
        else if (u >= 'A' && u <= 'Z')
            c = QChar(u + 32);
    }
    return out;
}

QString checkTypedReads(const QString& value)
{
    const auto i = SettingsStore::toInt16(value);
    const auto f = SettingsStore::toSingle(value);
    const auto b = SettingsStore::toBool(value);
    if (i && (!f || *f != float(*i) || !b || *b != (*i != 0)))
        return QStringLiteral("%1 reads as the whole number %2 but not alike as a number or a truth value")
            .arg(shown(value))
            .arg(*i);
    if (f && !b)
        return QStringLiteral("%1 reads as a number but not as a truth value").arg(shown(value));
    if (f) {
        const auto back = SettingsStore::toSingle(SettingsStore::fromSingle(*f));
        const float tolerance = std::max(std::fabs(*f) * 1e-6f, 1e-9f);
        if (!back || std::fabs(*back - *f) > tolerance)
            return QStringLiteral("%1 written as %2 reads back otherwise")
                .arg(shown(value), shown(SettingsStore::fromSingle(*f)));
    }
    if (const auto d = SettingsStore::toDate(value)) {
        if (parseUserDate(value) != d)
            return QStringLiteral("%1 is a settings date but the date module reads otherwise").arg(shown(value));
        if (SettingsStore::toDate(SettingsStore::fromDate(*d)) != d)
            return QStringLiteral("the date %1 does not read back").arg(shown(value));
    }
    return {};
}

// The QSettings names of a file as the store sees them (without its escapes).
bool plainName(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('%'));
}

QString checkStoredNames(const QString& app)
{
    SettingsStore store;
    QSettings raw(QSettings::IniFormat, QSettings::UserScope, SettingsStore::MainApp, app);
    raw.setFallbacksEnabled(false);

    QStringList groups = raw.childGroups();
    // A key written "/name" shows as a group without a name as well as a
    // top-level key; the top level is looked at on its own below.
    groups.removeAll(QString());
    bool generalGroup = false;
    for (const QString& g : groups)
        generalGroup = generalGroup || g.compare(u"General", Qt::CaseInsensitive) == 0;
    if (!generalGroup)
        groups.prepend(QString()); // top-level keys: section "General"

    // A name held in several spellings is read from its first spelling
    // only, as the old profile functions did; those are left out here.
    const auto spellings = [](const QStringList& names, const QString& name) {
        qsizetype n = 0;
        for (const QString& other : names)
            n += other.compare(name, Qt::CaseInsensitive) == 0 ? 1 : 0;
        return n;
    };
    int checked = 0;
    for (const QString& g : std::as_const(groups)) {
        if (!g.isEmpty() && (!plainName(g) || spellings(groups, g) > 1))
            continue;
        const QString section = g.isEmpty() ? QStringLiteral("General") : g;
        if (!g.isEmpty())
            raw.beginGroup(g);
        const QStringList keys = raw.childKeys();
        QHash<QString, QVariant> values;
        for (const QString& k : keys)
            values.insert(k, raw.value(k));
        if (!g.isEmpty())
            raw.endGroup();
        for (const QString& k : keys) {
            if (!plainName(k) || spellings(keys, k) > 1 || ++checked > 64)
                continue;
            for (const QString& spelling : {section, swapAsciiCase(section)}) {
                for (const QString& keySpelling : {k, swapAsciiCase(k)}) {
                    if (!store.contains(app, spelling, keySpelling))
                        return QStringLiteral("the store does not find %1/%2 in the file")
                            .arg(shown(spelling), shown(keySpelling));
                }
            }
            const QString v = store.read(app, section, k);
            if (store.read(app, swapAsciiCase(section), swapAsciiCase(k)) != v)
                return QStringLiteral("%1/%2 reads otherwise in another letter case").arg(shown(section), shown(k));
            if (const QString problem = checkTypedReads(v); !problem.isEmpty())
                return problem;
        }
    }
    return {};
}

QString checkRoundTrip(const QString& app, const QString& section, const QString& key, const QString& value)
{
    {
        SettingsStore store;
        store.save(app, section, key, value);
        const QString got = store.read(app, swapAsciiCase(section), swapAsciiCase(key), QStringLiteral("<absent>"));
        if (got != value)
            return QStringLiteral("saved %1 under %2/%3, read %4")
                .arg(shown(value), shown(section), shown(key), shown(got));
        store.sync();
    }
    {
        SettingsStore store;
        const QString got = store.read(app, section, key, QStringLiteral("<absent>"));
        if (got != value)
            return QStringLiteral("saved %1 under %2/%3, read %4 from the file")
                .arg(shown(value), shown(section), shown(key), shown(got));
        store.removeKey(app, swapAsciiCase(section), swapAsciiCase(key));
        if (store.contains(app, section, key))
            return QStringLiteral("%1/%2 is still there after its removal").arg(shown(section), shown(key));
        store.sync();
    }
    {
        SettingsStore store;
        if (store.contains(app, section, key))
            return QStringLiteral("%1/%2 is back in the file after its removal").arg(shown(section), shown(key));
        store.save(app, section, key, value);
        store.removeSection(app, swapAsciiCase(section));
        if (store.contains(app, section, key))
            return QStringLiteral("%1/%2 is still there after removing its section").arg(shown(section), shown(key));
    }
    return {};
}

} // namespace

QString checkTranslator(QByteArrayView input)
{
    if (input.isEmpty())
        return {};
    const QByteArrayView rest = input.sliced(1);
    switch (static_cast<unsigned char>(input[0]) % 5) {
    case 0:
        return checkStatement(text(rest));
    case 1:
        return checkTextLiteral(text(rest));
    case 2:
        return checkLike(rest);
    case 3:
        return checkDateLiteral(text(rest));
    default:
        return checkColumnDefinitions(text(rest));
    }
}

QString checkDates(QByteArrayView input)
{
    const QString typed = text(input);
    if (!dateErrorMessage(QStringLiteral("检定日期"), typed).contains(typed))
        return QStringLiteral("the refusal does not show what was typed: %1").arg(shown(typed));

    if (const auto d = parseUserDate(typed)) {
        if (!d->isValid() || d->year() < 1 || d->year() > 9999)
            return QStringLiteral("%1 read as an impossible date").arg(shown(typed));
        if (parseUserDate(formatShortDate(*d)) != d)
            return QStringLiteral("%1 does not read back from %2").arg(shown(typed), formatShortDate(*d));
        if (parseUserDate(formatJetMonthDate(*d)) != d)
            return QStringLiteral("%1 does not read back from %2").arg(shown(typed), formatJetMonthDate(*d));
        if (SettingsStore::toDate(formatShortDate(*d)) != d)
            return QStringLiteral("the settings store reads %1 otherwise").arg(formatShortDate(*d));
        const QDate until = validUntilDefault(*d);
        if (!until.isValid() || until < d->addDays(364) || until > d->addDays(365))
            return QStringLiteral("a calibration on %1 is valid until %2")
                .arg(formatShortDate(*d), formatShortDate(until));
    }
    if (const auto s = SettingsStore::toDate(typed); s && parseUserDate(typed) != s)
        return QStringLiteral("%1 is a settings date but the date module reads otherwise").arg(shown(typed));

    if (const auto t = parseUserTime(typed)) {
        if (!t->isValid())
            return QStringLiteral("%1 read as an impossible time").arg(shown(typed));
        const QString stored = t->toString(QLatin1String(StoredTimeFormat));
        if (parseUserTime(stored) != t)
            return QStringLiteral("%1 does not read back from %2").arg(shown(typed), stored);
    }
    return {};
}

QString checkSettings(QByteArrayView input, const QString& folder)
{
    QString section = QStringLiteral("Settings");
    QString key = QStringLiteral("OldUser");
    QString value = QStringLiteral("3");
    QByteArrayView content = input;
    const qsizetype a = input.indexOf('\0');
    const qsizetype b = a < 0 ? -1 : input.sliced(a + 1).indexOf('\0');
    const qsizetype c = b < 0 ? -1 : input.sliced(a + 1 + b + 1).indexOf('\0');
    if (c >= 0) {
        section = text(input.first(a));
        key = text(input.sliced(a + 1, b));
        value = text(input.sliced(a + 1 + b + 1, c));
        content = input.sliced(a + 1 + b + 1 + c + 1);
    }

    // QSettings keeps the files it has read in a cache and reads one again
    // only when its size or time stamp changed: each input's file gets a
    // time stamp of its own, long past, that no write of QSettings can have.
    static qint64 serial = 0;
    const QString app = QStringLiteral("Fuzz");
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
    const QString dir = folder + QStringLiteral("/RAVO");
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + app + QStringLiteral(".ini");
    struct Remove {
        QString path;
        ~Remove() { QFile::remove(path); }
    } cleanup{path};
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QStringLiteral("cannot write %1").arg(path);
        f.write(content.data(), content.size());
        f.setFileTime(QDateTime::fromSecsSinceEpoch(1000000000 + ++serial), QFileDevice::FileModificationTime);
    }

    if (const QString problem = checkStoredNames(app); !problem.isEmpty())
        return problem;
    if (const QString problem = checkTypedReads(value); !problem.isEmpty())
        return problem;
    if (section.isEmpty() || key.isEmpty())
        return {};
    return checkRoundTrip(app, section, key, value);
}

} // namespace ravo::fuzz
