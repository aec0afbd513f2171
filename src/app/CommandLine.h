#pragma once
// Jobs run from the command line, without a window and without signing in:
//
//   ravo --appdir DIR --export TABLE --to FILE.xlsx|FILE.csv
//   ravo --appdir DIR --import FILE [--sheet NAME|N] --into TABLE [--skip-bad [--report R.xlsx]]
//   ravo --appdir DIR --due DAYS --to FILE.xlsx|FILE.csv
//   ravo --appdir DIR --copy-to-server "host=H port=P dbname=D user=U"
//   ravo --help
//
// --copy-to-server moves the ledger file and the accounts of the settings
// file to an empty database on a server (exchange/ServerCopy.h); its
// passwords come from PGPASSWORD or are asked on the terminal.
//
// The program itself takes --appdir DIR (the ledger folder) and
// --server "host=H port=P dbname=D user=U": work on that ledger on a
// PostgreSQL server for this run only, whatever the settings choose (the
// remembered choice is made in 系统 → 数据库连接, and a one-off start, a
// script's or a colleague's trial, does not change it).
//
// --export writes one of the seven ledger tables of the ledger in DIR
// (without --appdir: the folder the program itself would use) to a file. The
// job takes the same single-copy lock as the program and is refused while
// another copy holds the ledger folder.
//
// --due writes the reminder list: the in-use instruments whose validity date
// is today + DAYS or earlier (overdue ones included), by department and date,
// with the days left. It only reads the in-use ledger, in one statement, so
// it runs also while a copy of the program has the folder open: a weekly
// reminder does not fail because someone left the program running.
//
// Exit status: 0 done; 1 refused (unknown table, ledger missing or damaged,
// the folder held by another copy, the file cannot be written), with the
// reason in Chinese on standard error; 2 for a usage error, with the usage.
//
// Every option is parsed here, in parseCommandLine(); a new job adds its
// options to the table there, a value to Job and its run function beside
// runExport().
#include <QString>
#include <QStringList>

namespace ravo::cli {

enum class Job {
    Windows, // no job asked for: the program starts as usual
    Export,  // --export TABLE --to FILE
    Due,     // --due DAYS --to FILE
    Help,    // --help: the usage on standard output
};

// The longest lead --due accepts, in days (ten years).
inline constexpr int MaxDueDays = 3650;

struct CommandLine {
    Job job = Job::Windows;
    QString appDir;  // --appdir, absolute; empty when not given
    QString table;   // --export
    QString target;  // --to
    int dueDays = 0; // --due
    QString server;  // --server: the connection text, unread
    bool serverGiven = false;
    QString problem; // a usage error, in Chinese; empty when the line is fine
};

// Reads the arguments (the program's name first, as main() gets them).
// Arguments that name no job are left to the program: Qt's own options and
// --appdir alone give Job::Windows.
CommandLine parseCommandLine(const QStringList& arguments);

// How to call the jobs, in Chinese.
QString usageText();

// True when the arguments ask for a job rather than the program's windows.
bool asksForJob(int argc, char* argv[]);
// Runs the job the arguments ask for and gives the exit status. Creates its
// own (window-less) application object.
int runJob(int argc, char* argv[]);

} // namespace ravo::cli
