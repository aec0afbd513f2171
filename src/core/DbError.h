#pragma once
// The outcome of a statement run on the ledger database: empty when it went
// well, otherwise an error number, a Chinese description for the user and the
// engine's own text as detail.
#include <QString>

namespace ravo {

struct DbError {
    // The old engine's number for "the table named by select … into already
    // exists"; the due list relies on it.
    static constexpr int TableExists = 3010;
    static constexpr int General = 1;

    int number = 0;
    QString description;   // Chinese, for the user
    QString detail;        // the engine's own text
    QString statement;     // the statement that failed, as the program wrote it

    bool isError() const { return number != 0; }
    explicit operator bool() const { return isError(); }

    // Description and, when there is one, the engine's text on a second line.
    QString text() const;

    static DbError make(int number, const QString& description, const QString& detail = {},
                        const QString& statement = {});
    // Turns an SQLite error text into the Chinese description of the common
    // cases (duplicate number, invalid date, missing table or column, syntax
    // error, database busy); the engine's text stays as detail.
    static DbError fromEngine(const QString& engineText, const QString& statement = {});
    // What a value that breaks the rule of this column is told with (a
    // blank number, a date or time that is none, a number that is no
    // integer); empty column: a rule of the table as a whole.
    static QString ruleMessage(const QString& column);
};

struct DbResult {
    DbError error;
    qint64 rowsAffected = 0;
    bool ok() const { return !error.isError(); }
};

} // namespace ravo
