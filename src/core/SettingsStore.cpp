#include "SettingsStore.h"

#include <QRegularExpression>
#include <QSettings>
#include <QStringList>
#include <QVariant>
#include <cfloat>
#include <cmath>

namespace ravo {

namespace {

// QSettings reads '/' (and '\' in the file) as a group separator. Our names
// are flat, so these characters, and '%' that introduces the escape, are
// escaped before a name reaches QSettings and unescaped when one comes back.
QString encodeName(const QString& name)
{
    QString out;
    out.reserve(name.size());
    for (const QChar c : name) {
        if (c == u'%')
            out += u"%25";
        else if (c == u'/')
            out += u"%2F";
        else if (c == u'\\')
            out += u"%5C";
        else
            out += c;
    }
    return out;
}

QString decodeName(const QString& stored)
{
    if (!stored.contains(u'%'))
        return stored;
    QString out;
    out.reserve(stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const QStringView rest = QStringView(stored).mid(i, 3);
        if (rest.compare(u"%25", Qt::CaseInsensitive) == 0) {
            out += u'%';
            i += 2;
        } else if (rest.compare(u"%2F", Qt::CaseInsensitive) == 0) {
            out += u'/';
            i += 2;
        } else if (rest.compare(u"%5C", Qt::CaseInsensitive) == 0) {
            out += u'\\';
            i += 2;
        } else {
            out += stored.at(i);
        }
    }
    return out;
}

bool sameName(const QString& stored, const QString& wanted)
{
    return decodeName(stored).compare(wanted, Qt::CaseInsensitive) == 0;
}

// Enters a group for the lifetime of the object; the empty group is the top
// level.
class GroupScope {
public:
    GroupScope(QSettings& s, const QString& group) : m_s(s), m_entered(!group.isEmpty())
    {
        if (m_entered)
            m_s.beginGroup(group);
    }
    ~GroupScope()
    {
        if (m_entered)
            m_s.endGroup();
    }
    GroupScope(const GroupScope&) = delete;
    GroupScope& operator=(const GroupScope&) = delete;

private:
    QSettings& m_s;
    bool m_entered;
};

bool isGeneral(const QString& section)
{
    return section.compare(u"General", Qt::CaseInsensitive) == 0;
}

// The stored spelling of a section as a QSettings group. QSettings reads a
// "[General]" section of the file as top-level keys (and writes its own group
// "General" as "[%General]"), so section "General" is found among the
// top-level keys when no group of that name exists; the empty string stands
// for the top level then.
std::optional<QString> findGroup(QSettings& s, const QString& section)
{
    const QStringList groups = s.childGroups();
    for (const QString& g : groups) {
        if (sameName(g, section))
            return g;
    }
    if (isGeneral(section) && !s.childKeys().isEmpty())
        return QString();
    return std::nullopt;
}

std::optional<QString> findKey(QSettings& s, const QString& group, const QString& key)
{
    GroupScope scope(s, group);
    const QStringList keys = s.childKeys();
    for (const QString& k : keys) {
        if (sameName(k, key))
            return k;
    }
    return std::nullopt;
}

QString keyPath(const QString& group, const QString& key)
{
    return group.isEmpty() ? key : group + u'/' + key;
}

// The full QSettings key of a stored value, when there is one.
std::optional<QString> locate(QSettings& s, const QString& section, const QString& key)
{
    if (section.isEmpty() || key.isEmpty())
        return std::nullopt;
    const std::optional<QString> group = findGroup(s, section);
    if (!group)
        return std::nullopt;
    const std::optional<QString> k = findKey(s, *group, key);
    if (!k)
        return std::nullopt;
    return keyPath(*group, *k);
}

// QSettings reads an unquoted value holding commas, as a hand-edited file may
// have it, as a list; the store knows only text.
QString valueText(const QVariant& v)
{
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(u',');
    return v.toString();
}

const QRegularExpression& decimalPattern()
{
    static const QRegularExpression re(QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    return re;
}

std::optional<double> toDecimal(const QString& text)
{
    const QString t = text.trimmed();
    if (!decimalPattern().match(t).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

} // namespace

SettingsStore::SettingsStore() = default;
SettingsStore::~SettingsStore() = default;

QSettings& SettingsStore::settingsFor(const QString& app) const
{
    const QString id = app.toCaseFolded();
    auto it = m_files.find(id);
    if (it == m_files.end()) {
        auto s = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, MainApp, app);
        // Only the application's own file counts; organisation-wide and
        // system-wide files are not part of the store.
        s->setFallbacksEnabled(false);
        it = m_files.emplace(id, std::move(s)).first;
    }
    return *it->second;
}

QString SettingsStore::fileName(const QString& app) const
{
    return settingsFor(app).fileName();
}

QString SettingsStore::read(const QString& app, const QString& section, const QString& key, const QString& def) const
{
    QSettings& s = settingsFor(app);
    const std::optional<QString> path = locate(s, section, key);
    return path ? valueText(s.value(*path)) : def;
}

bool SettingsStore::contains(const QString& app, const QString& section, const QString& key) const
{
    return locate(settingsFor(app), section, key).has_value();
}

void SettingsStore::save(const QString& app, const QString& section, const QString& key, const QString& value)
{
    if (section.isEmpty() || key.isEmpty())
        return;
    QSettings& s = settingsFor(app);
    const QString group = findGroup(s, section).value_or(encodeName(section));
    const QString k = findKey(s, group, key).value_or(encodeName(key));
    s.setValue(keyPath(group, k), value);
}

void SettingsStore::removeKey(const QString& app, const QString& section, const QString& key)
{
    QSettings& s = settingsFor(app);
    while (const std::optional<QString> path = locate(s, section, key))
        s.remove(*path);
}

void SettingsStore::removeSection(const QString& app, const QString& section)
{
    if (section.isEmpty())
        return;
    QSettings& s = settingsFor(app);
    while (const std::optional<QString> group = findGroup(s, section)) {
        if (group->isEmpty()) {
            // A "[General]" section: QSettings holds its keys at the top level.
            const QStringList keys = s.childKeys();
            for (const QString& k : keys)
                s.remove(k);
        } else {
            s.remove(*group);
        }
    }
}

void SettingsStore::sync()
{
    for (auto& [id, s] : m_files)
        s->sync();
}

std::optional<QString> SettingsStore::readText(const QString& app, const QString& section, const QString& key) const
{
    QSettings& s = settingsFor(app);
    const std::optional<QString> path = locate(s, section, key);
    if (!path)
        return std::nullopt;
    return valueText(s.value(*path));
}

std::optional<bool> SettingsStore::readBool(const QString& app, const QString& section, const QString& key) const
{
    return toBool(read(app, section, key));
}

std::optional<qint16> SettingsStore::readInt16(const QString& app, const QString& section, const QString& key) const
{
    return toInt16(read(app, section, key));
}

std::optional<float> SettingsStore::readSingle(const QString& app, const QString& section, const QString& key) const
{
    return toSingle(read(app, section, key));
}

std::optional<QDate> SettingsStore::readDate(const QString& app, const QString& section, const QString& key) const
{
    return toDate(read(app, section, key));
}

void SettingsStore::saveBool(const QString& app, const QString& section, const QString& key, bool value)
{
    save(app, section, key, fromBool(value));
}

void SettingsStore::saveInt(const QString& app, const QString& section, const QString& key, int value)
{
    save(app, section, key, QString::number(value));
}

void SettingsStore::saveSingle(const QString& app, const QString& section, const QString& key, float value)
{
    save(app, section, key, fromSingle(value));
}

void SettingsStore::saveDate(const QString& app, const QString& section, const QString& key, const QDate& value)
{
    save(app, section, key, fromDate(value));
}

std::optional<bool> SettingsStore::toBool(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    if (const std::optional<double> v = toDecimal(t))
        return *v != 0.0;
    return std::nullopt;
}

std::optional<qint16> SettingsStore::toInt16(const QString& text)
{
    static const QRegularExpression wholeNumber(QStringLiteral("^[+-]?[0-9]+$"));
    const QString t = text.trimmed();
    if (!wholeNumber.match(t).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok);
    if (!ok || v < -32768 || v > 32767)
        return std::nullopt;
    return static_cast<qint16>(v);
}

std::optional<float> SettingsStore::toSingle(const QString& text)
{
    const std::optional<double> v = toDecimal(text);
    if (!v || std::fabs(*v) > FLT_MAX)
        return std::nullopt;
    return static_cast<float>(*v);
}

std::optional<QDate> SettingsStore::toDate(const QString& text)
{
    static const QRegularExpression datePattern(QStringLiteral("^([0-9]{4})([-/])([0-9]{1,2})\\2([0-9]{1,2})$"));
    const QRegularExpressionMatch m = datePattern.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    const QDate d(m.captured(1).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
    if (!d.isValid())
        return std::nullopt;
    return d;
}

QString SettingsStore::fromBool(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString SettingsStore::fromSingle(float value)
{
    const double v = value;
    QString text = QString::number(v, 'g', 7);
    if (!text.contains(u'e'))
        return text;
    // Very large or very small: write it out in full, without trailing zeros.
    text = QString::number(v, 'f', 9);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

QString SettingsStore::fromDate(const QDate& value)
{
    return value.isValid() ? value.toString(u"yyyy-MM-dd") : QString();
}

} // namespace ravo
