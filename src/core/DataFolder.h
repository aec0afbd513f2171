#pragma once
// Where an installed program keeps its ledger.
//
// The ledger ravo.mdb, its backup ravo.bak, the compaction's ravo.tmp and
// the tip file TIPOFDAY.TXT live in the program's folder as long as the user
// may write there (a copy built or unpacked in the user's own folders). When
// the program was installed into a folder the user cannot write to, they live
// in the user's data folder instead; the first start copies the installed
// empty ledger and the tip file there. A file already in the data folder is
// never replaced.
#include <QString>
#include <functional>

namespace ravo {

struct DataFolder {
    QString folder;  // the application folder to run on
    QString problem; // why the ledger could not be made ready, or empty
};

// True when the program can keep its files in `folder`: the folder can be
// written to and so can a ravo.mdb already in it.
bool isWritableDataFolder(const QString& folder);

// The folder to run on: `installed` when `writable` says so, otherwise
// `userData`, made and given copies of the installed ravo.mdb and
// TIPOFDAY.TXT where it has none yet.
DataFolder chooseDataFolder(const QString& installed, const QString& userData,
                            const std::function<bool(const QString&)>& writable = isWritableDataFolder);

} // namespace ravo
