#include "LedgerChoice.h"

namespace ravo {

namespace {

const QString Section = QStringLiteral("Database");
const QString EngineKey = QStringLiteral("Engine");
const QString ServerKey = QStringLiteral("Server");

} // namespace

LedgerChoice readLedgerChoice(const SettingsStore& store)
{
    LedgerChoice c;
    // Anything but "Server" (missing, mistyped) is the file: the ledger that
    // needs nothing set up.
    c.server = store.read(SettingsStore::MainApp, Section, EngineKey)
                   .trimmed()
                   .compare(QLatin1String("Server"), Qt::CaseInsensitive)
        == 0;
    c.serverText = store.read(SettingsStore::MainApp, Section, ServerKey).trimmed();
    return c;
}

void saveLedgerChoice(SettingsStore& store, const LedgerChoice& choice)
{
    store.save(SettingsStore::MainApp, Section, EngineKey,
               choice.server ? QStringLiteral("Server") : QStringLiteral("File"));
    store.save(SettingsStore::MainApp, Section, ServerKey, choice.serverText.trimmed());
}

std::optional<ServerAddress> startupServer(const SettingsStore& store, const QString& commandLineServer,
                                           bool commandLineGiven, QString* problem)
{
    QString why;
    if (commandLineGiven) {
        std::optional<ServerAddress> a = ServerAddress::parse(commandLineServer, &why);
        if (!a && problem)
            *problem = QStringLiteral("命令行 --server 的连接参数有误：%1").arg(why);
        return a;
    }
    const LedgerChoice choice = readLedgerChoice(store);
    if (!choice.server)
        return std::nullopt;
    std::optional<ServerAddress> a = ServerAddress::parse(choice.serverText, &why);
    if (!a && problem)
        *problem = QStringLiteral("设置中保存的数据库服务器连接参数有误：%1").arg(why);
    return a;
}

} // namespace ravo
