#pragma once
// The outcome of a statement run on the ledger database: empty when it went
// well, otherwise an error number, a Chinese description for the user and the
// engine's own text as detail.
#include <QString>

class QSqlError;

namespace ravo {

// Never ignored without saying why: a failure dropped on the floor is a lost
// record the user was told was saved.
struct [[nodiscard]] DbError {
    // The old engine's number for "the table named by select … into already
    // exists"; the due list relies on it.
    static constexpr int TableExists = 3010;
    static constexpr int General = 1;

    // What went wrong, whatever the engine: callers decide by this, never by
    // the wording of a description.
    enum class Kind {
        None,
        DuplicateNumber, // an instrument number the table holds already
        BlankNumber,     // an empty instrument number
        InvalidValue,    // a value that breaks its column's rule or type
        MissingTable,
        MissingColumn,
        Syntax,
        Busy, // another connection holds the ledger
        ReadOnly,
        Damaged,          // a damaged file, or no ledger at all
        DiskFull,         // the disk is full or cannot be written
        TableExistsKind,  // the table to make exists already
        LostConnection,   // the database server cannot be reached, or went away
        PermissionDenied, // the server refuses this account the work (or the sign-in)
        Conflict,         // rows to write were changed or taken away by someone else since they were read
        Other,
    };

    int number = 0;
    Kind kind = Kind::None;
    QString description; // Chinese, for the user
    QString detail;      // the engine's own text
    QString statement;   // the statement that failed, as the program wrote it

    bool isError() const { return number != 0; }
    explicit operator bool() const { return isError(); }

    // Description and, when there is one, the engine's text on a second line.
    QString text() const;

    // An error of the program's own (kind Other, or TableExistsKind for the
    // number TableExists), or of the given kind.
    static DbError make(int number, const QString& description, const QString& detail = {},
                        const QString& statement = {});
    static DbError make(Kind kind, const QString& description, const QString& detail = {},
                        const QString& statement = {});
    // SQLite's failure: its (extended) result code decides the kind, and the
    // kind the Chinese description; the engine's text stays as detail and
    // names the column a constraint failed on, and tells apart the failures
    // SQLite reports with one general code (a missing table or column, a
    // syntax error, a table that exists already).
    static DbError fromSqlite(int resultCode, const QString& engineText, const QString& statement = {});
    // A PostgreSQL server's failure: its SQLSTATE decides the kind, told with
    // the same Chinese descriptions as SQLite's; the server's text names the
    // column or table. Without a code (the connection broke before the
    // server could answer) the text decides.
    static DbError fromPostgres(const QString& sqlState, const QString& engineText, const QString& statement = {});
    // The same, from what the Qt driver reports of a failed query: a
    // five-character code is an SQLSTATE (SQLite's numbers have at most four
    // digits), anything else SQLite's result code.
    static DbError fromSqlError(const QSqlError& error, const QString& statement = {});
    // What a value that breaks the rule of this column is told with (a
    // blank number, a date or time that is none, a number that is no
    // integer); empty column: a rule of the table as a whole.
    static QString ruleMessage(const QString& column);
};

struct [[nodiscard]] DbResult {
    DbError error;
    qint64 rowsAffected = 0;
    bool ok() const { return !error.isError(); }
};

} // namespace ravo
