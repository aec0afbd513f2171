// Settings files, names and values for the settings store.
#include "FuzzMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

namespace {

QTemporaryDir* folder = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    // Every input is written and rewritten as a file: in memory where the
    // system offers a folder there, as syncing to a disk is slow.
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    static QTemporaryDir dir(base + QStringLiteral("/ravo-fuzz-XXXXXX"));
    folder = &dir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ravo::fuzz::failOn(ravo::fuzz::checkSettings(ravo::fuzz::bytes(data, size), folder->path()));
    return 0;
}
