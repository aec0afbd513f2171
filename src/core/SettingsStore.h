#pragma once
// The per-user settings store: application → section → key → text value.
//
// Each application is one INI file, opened through
// QSettings(IniFormat, UserScope, "RAVO", application); the program uses the
// applications "RAVO" (options, accounts, window placement) and "RAVOsql"
// (the bodies of the saved queries).
//
// Section and key names are compared without regard to case: before a value
// is read or written the stored spelling of its section and key is looked up,
// so "QuerySqlSave"/"Count" and "Querysqlsave"/"count" address one value, and
// a write keeps the spelling already in the file. A name that is not stored
// yet is written as given. When a hand-edited file holds one name in several
// spellings, the first in the file's sorted order is used.
//
// Every value is text. The typed reads convert the text and return
// std::nullopt when it does not convert (an absent key counts as empty text,
// which converts to nothing); the callers decide what a failure means.
#include <QDate>
#include <QString>
#include <map>
#include <memory>
#include <optional>

class QSettings;

namespace ravo {

class SettingsStore {
public:
    static inline const QString MainApp = QStringLiteral("RAVO");
    static inline const QString QueryApp = QStringLiteral("RAVOsql");

    SettingsStore();
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The stored text, or def when the key is absent.
    QString read(const QString& app, const QString& section, const QString& key, const QString& def = {}) const;
    bool contains(const QString& app, const QString& section, const QString& key) const;
    // Creates or replaces the value. An empty section or key name is ignored.
    void save(const QString& app, const QString& section, const QString& key, const QString& value);
    // Removes one key, in every spelling the section holds.
    void removeKey(const QString& app, const QString& section, const QString& key);
    // Removes the section with all its keys, in every spelling the file holds.
    void removeSection(const QString& app, const QString& section);
    // Writes pending changes to disk (QSettings also does so on destruction).
    void sync();
    // The INI file behind an application.
    QString fileName(const QString& app) const;

    // Typed reads: std::nullopt when the key is absent or its text does not
    // convert.
    std::optional<QString> readText(const QString& app, const QString& section, const QString& key) const;
    std::optional<bool> readBool(const QString& app, const QString& section, const QString& key) const;
    std::optional<qint16> readInt16(const QString& app, const QString& section, const QString& key) const;
    std::optional<float> readSingle(const QString& app, const QString& section, const QString& key) const;
    std::optional<QDate> readDate(const QString& app, const QString& section, const QString& key) const;

    void saveBool(const QString& app, const QString& section, const QString& key, bool value);
    void saveInt(const QString& app, const QString& section, const QString& key, int value);
    void saveSingle(const QString& app, const QString& section, const QString& key, float value);
    void saveDate(const QString& app, const QString& section, const QString& key, const QDate& value);

    // The conversions behind the typed reads and writes.
    //
    // toBool: "True"/"False" in any case; a decimal number is True unless it
    // is zero ("-1" → True, "0" → False). Empty text and anything else fail.
    static std::optional<bool> toBool(const QString& text);
    // toInt16: a whole decimal number with optional sign within −32768…32767.
    static std::optional<qint16> toInt16(const QString& text);
    // toSingle: a finite decimal number within the range of float.
    static std::optional<float> toSingle(const QString& text);
    // toDate: "yyyy-MM-dd" and the short forms "2003-3-28" and "2003/3/28".
    static std::optional<QDate> toDate(const QString& text);
    static QString fromBool(bool value);
    // Decimal text with up to seven significant digits and no exponent for
    // numbers of the size of window coordinates ("6500", "1234.5", "-120").
    static QString fromSingle(float value);
    static QString fromDate(const QDate& value);

private:
    QSettings& settingsFor(const QString& app) const;

    // One QSettings per application, opened on first use and keyed by the
    // case-folded application name.
    mutable std::map<QString, std::unique_ptr<QSettings>> m_files;
};

} // namespace ravo
