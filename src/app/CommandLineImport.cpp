#include "CommandLineImport.h"

#include "auxiliary/DataFolder.h"
#include "exchange/ImportCommand.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QTextStream>
#include <cstdio>

int runCommandLineImport(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!ravo::exchange::isImportCommand(arguments))
        return -1;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("RAVO"));
    // Without --appdir the ledger is the one the program itself would open.
    QString appDir;
    if (!arguments.contains(QStringLiteral("--appdir")))
        appDir = ravo::chooseDataFolder(QCoreApplication::applicationDirPath(),
                                        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
                     .folder;
    QTextStream out(stdout);
    QTextStream err(stderr);
    return ravo::exchange::runImportCommand(QCoreApplication::arguments(), appDir, out, err);
}
