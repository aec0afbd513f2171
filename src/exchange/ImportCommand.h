#pragma once
// Importing a spreadsheet from the command line, without a window and
// without signing in:
//
//   ravo [--appdir DIR] --import FILE [--sheet NAME|N] --into TABLE [--skip-bad [--report REPORT.xlsx]]
//
// TABLE is one of the import tables, by its full or short name ("在用库").
// The sheet named by --sheet (its name, or its number from 1) is imported;
// without it, the first sheet of the file with a header row for the table.
// The file is read row by row, so that its length does not matter.
// Exit codes: 0 imported; 1 refused or failed, nothing written (refused rows
// on the error stream, one line each: file row, number, reason); 2 the
// command line is wrong.
#include <QString>
#include <QStringList>

class QTextStream;

namespace ravo::exchange {

enum ImportExit { ImportDone = 0, ImportRefused = 1, ImportUsage = 2 };

// Imports `file` (its sheet `sheet`, by name or number from 1, when given)
// into `table` of the ledger in `appDir`, holding the program's single-copy
// lock on the folder meanwhile. Progress and the outcome go to `out`,
// refusals and errors to `err`, in Chinese.
int runImportJob(const QString& appDir, const QString& file, const QString& table, bool skipBad,
                 const QString& reportPath, QTextStream& out, QTextStream& err, const QString& sheet = {});

// True when the arguments ask for an import (--import is among them).
bool isImportCommand(const QStringList& arguments);

// Reads the import options from the program's arguments (arguments[0] is the
// program) and runs the job; `defaultAppDir` is used without --appdir.
int runImportCommand(const QStringList& arguments, const QString& defaultAppDir, QTextStream& out, QTextStream& err);

} // namespace ravo::exchange
