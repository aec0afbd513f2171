#pragma once
// Crash testing: a hook that ends the process abruptly, with no clean-up at
// all, at a chosen point of the database layer, so that a test can prove an
// operation cut off in the middle loses nothing.
//
// The hook exists only in the test build of the core library
// (ravo_core_faults, compiled with RAVO_FAULT_INJECTION). In the program the
// two macros below expand to nothing and this file declares nothing else.
//
// Points where the process may end:
//  - after any statement that Database runs (RAVO_FAULT_STATEMENT), chosen
//    by its number counted from arm(), or by a text it contains;
//  - at the named steps of the file operations (RAVO_FAULT_POINT), such as
//    "backup.copied" between the finished copy and its renaming.
#ifdef RAVO_FAULT_INJECTION

#include <QString>

namespace ravo::faultinjection {

// The exit status of a process that the hook ended.
constexpr int ExitStatus = 86;

struct Plan {
    // End after the n-th statement run since arm() (1-based); 0: not by count.
    int afterStatement = 0;
    // End after the n-th statement (n = occurrence) containing this text.
    QString afterStatementContaining;
    int occurrence = 1;
    // End on reaching the named point.
    QString atPoint;
    // Instead of ending, stop at the chosen statement: say "paused" on
    // standard output and go on when a line arrives on standard input (a test
    // breaks the server connection in between).
    bool pauseInstead = false;
    // Every statement and point passed is appended to this file, one a line,
    // written straight to the file so that it survives the abrupt end.
    QString traceFile;
};

void arm(const Plan& plan);
void disarm();

// Called by the database layer after a statement has run, well or not.
void statementRan(const QString& sql);
// Called at a named point of a file operation.
void reached(const char* point);

// Ends the process at once: no destructors, no buffers flushed, no files
// closed, as when the power goes.
[[noreturn]] void endNow();

} // namespace ravo::faultinjection

#define RAVO_FAULT_STATEMENT(sql) ::ravo::faultinjection::statementRan(sql)
#define RAVO_FAULT_POINT(name) ::ravo::faultinjection::reached(name)

#else

#define RAVO_FAULT_STATEMENT(sql)                                                                                      \
    do {                                                                                                               \
    } while (false)
#define RAVO_FAULT_POINT(name)                                                                                         \
    do {                                                                                                               \
    } while (false)

#endif
