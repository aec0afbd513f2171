#include "Accounts.h"

#include <QRegularExpression>
#include <optional>

namespace ravo {

namespace {

const QString& app = SettingsStore::MainApp;
const QString kRegister = QStringLiteral("register");
const QString kOk = QStringLiteral("ok");
const QString kUser = QStringLiteral("User");
const QString kCount = QStringLiteral("Count");
const QString kName = QStringLiteral("Name");
const QString kPassword = QStringLiteral("Password");
const QString kLevel = QStringLiteral("Level");
const QString kHistory = QStringLiteral("History");
const QString kSettings = QStringLiteral("Settings");
const QString kOldUser = QStringLiteral("OldUser");

QString sectionOf(int index1Based)
{
    return QString::number(index1Based);
}

QString readPassword(const SettingsStore& store, int index1Based)
{
    return store.read(app, sectionOf(index1Based), kPassword);
}

void writePassword(SettingsStore& store, int index1Based, const QString& password)
{
    store.save(app, sectionOf(index1Based), kPassword, password);
}

void writeAccount(SettingsStore& store, int index1Based, const UserAccount& a)
{
    const QString section = sectionOf(index1Based);
    store.save(app, section, kName, a.Name);
    writePassword(store, index1Based, a.Password);
    store.saveInt(app, section, kLevel, a.Level);
    store.saveInt(app, section, kHistory, a.History);
}

// One reading of the list; std::nullopt when the store has to be reseeded.
std::optional<QVector<UserAccount>> tryLoad(const SettingsStore& store)
{
    const std::optional<bool> registered = store.readBool(app, kRegister, kOk);
    if (!registered)
        return std::nullopt;
    const std::optional<qint16> count = store.readInt16(app, kUser, kCount);
    if (!count || *count < 1)
        return std::nullopt;
    if (!*registered)
        return std::nullopt;

    QVector<UserAccount> list;
    list.reserve(*count);
    for (int i = 1; i <= *count; ++i) {
        const QString section = sectionOf(i);
        UserAccount a;
        a.Name = store.read(app, section, kName);
        a.Password = readPassword(store, i);
        const std::optional<qint16> level = store.readInt16(app, section, kLevel);
        const std::optional<qint16> history = store.readInt16(app, section, kHistory);
        if (!level || !history)
            return std::nullopt;
        a.Level = *level;
        a.History = *history;
        list.append(a);
    }
    return list;
}

} // namespace

UserAccount seededAdministrator()
{
    UserAccount a;
    a.Name = AdministratorName;
    return a;
}

AccountLoad loadAccountList(SettingsStore& store)
{
    AccountLoad r;
    if (std::optional<QVector<UserAccount>> list = tryLoad(store)) {
        r.accounts = std::move(*list);
        return r;
    }

    r.seeded = true;
    store.saveBool(app, kRegister, kOk, true);
    store.saveInt(app, kUser, kCount, 1);
    writeAccount(store, 1, seededAdministrator());
    store.sync();
    // Read back what was written; should the store refuse the writes, the
    // list still holds the seeded account.
    r.accounts = tryLoad(store).value_or(QVector<UserAccount>{seededAdministrator()});
    return r;
}

int preselectIndex(const SettingsStore& store, int entryCount)
{
    static const QRegularExpression wholeNumber(QStringLiteral("^[+-]?[0-9]+$"));
    const QString text = store.read(app, kSettings, kOldUser, QStringLiteral("NO")).trimmed();
    if (!wholeNumber.match(text).hasMatch())
        return 0;
    bool ok = false;
    const qlonglong position = text.toLongLong(&ok);
    if (!ok || position < 0 || position >= entryCount)
        return 0;
    return static_cast<int>(position);
}

void saveAccountList(SettingsStore& store, const QVector<UserAccount>& accounts)
{
    store.saveInt(app, kUser, kCount, int(accounts.size()));
    for (int i = 0; i < accounts.size(); ++i)
        writeAccount(store, i + 1, accounts.at(i));
    store.sync();
}

void savePassword(SettingsStore& store, int index1Based, const QString& password)
{
    writePassword(store, index1Based, password);
    store.sync();
}

} // namespace ravo
