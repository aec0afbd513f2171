#pragma once
// The program writes its statements in the Access/Jet dialect of the old
// ledger and hands every one of them to translateJet() before SQLite runs it.
//
// What changes on the way:
//  - "text" literals become 'text' (a doubled "" inside is one quote, a
//    single quote inside is doubled); 'text' literals stay;
//  - #date# and #time# literals in every form the program writes become ISO
//    text ('2003-03-28', '2003-03-28 10:05:00', '10:05:00');
//  - in the pattern right after LIKE, * and ? become % and _; a % or _ that
//    the user typed stays a plain character (escaped, with an ESCAPE clause);
//  - the bare word now (and now(), date(), time()) becomes the local
//    date-time, date or time as text;
//  - select … into W from S … becomes CREATE TABLE W (definitions cloned
//    from S) plus INSERT INTO W … SELECT …, so a working copy keeps the
//    types, collations and checks of its ledger and its rows keep the order
//    of the ORDER BY in rowid order; a select over anything but plain columns
//    of one known table becomes CREATE TABLE W AS SELECT …;
//  - delete T.* from T … becomes DELETE FROM T …;
//  - insert into T select S.* from S … names the shared columns on both
//    sides, because Jet matches them by name and SQLite by position.
// Everything else passes through with its literals translated.
//
// For a ledger on a PostgreSQL server the same statements are written in the
// server's dialect:
//  - names holding capital letters (MSys…, ID) are written between double
//    quotes, so the server keeps their spelling instead of folding them to
//    lower case; [name] and `name` become "name";
//  - LIKE compares as on SQLite, ASCII letters without regard to case
//    (COLLATE "C" ILIKE), with * and ? as above;
//  - the working tables (MSys…) are temporary tables of the session, so two
//    users never share or drop each other's copies;
//  - every table select … into makes gets the row address rowid (numbered
//    in the order of the select), which the ledger tables themselves lack; a
//    select * over one table names its columns so that a rowid it may carry
//    is not copied. A working copy of a ledger table is made LIKE the table,
//    so it keeps the table's types, collations and rules.
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace ravo {

// The engine a statement is written for.
enum class Engine {
    Sqlite,   // the ledger file
    Postgres, // a ledger on a PostgreSQL server
};

// What the translator needs to know of the database.
class SchemaCatalogue {
public:
    virtual ~SchemaCatalogue() = default;
    virtual Engine engine() const { return Engine::Sqlite; }
    // The table's columns in column order; empty when there is no such table.
    // A server table's row address (rowid) is not one of them.
    virtual QStringList columns(const QString& table) const = 0;
    // The table's CREATE TABLE text as sqlite_master holds it; empty when none.
    virtual QString createSql(const QString& table) const = 0;
};

struct Translation {
    QStringList statements; // statements of the engine to run in order, in one transaction
    QString error;          // why the text could not be translated (Chinese)
    bool ok() const { return error.isEmpty(); }
};

Translation translateJet(const QString& jet, const SchemaCatalogue& catalogue,
                         const QDateTime& now = QDateTime::currentDateTime());

// The column definitions of a CREATE TABLE text, each as written (comments
// removed), keyed by their column name in column order; table constraints
// are left out. Empty when the text cannot be read.
struct ColumnDefinition {
    QString name;
    QString definition;
};
QList<ColumnDefinition> columnDefinitions(const QString& createSql);

// The ISO text of what stands between the two "#" of a date literal: a date,
// a time of day, or a date and a time, in every form the translator reads
// (the typed forms of parseUserDate(), Jet's own "3/28/2003", "10:05",
// "2003-3-28 10:05:00"); nothing when the text is none of these. The query
// wizard asks the same question of a value before writing it between "#".
std::optional<QString> isoOfDateLiteral(const QString& content);

// An SQLite text literal: 'text' with every ' doubled (a text holding a NUL
// character is written as cast(x'<UTF-8 bytes>' as text)).
QString sqliteTextLiteral(const QString& text);

// A name as the engine reads it: bare where it can stand so, otherwise
// between double quotes (a quote inside doubled). On the server a name with
// capital letters is always quoted, to keep its spelling.
QString quotedName(const QString& name, Engine engine = Engine::Sqlite);

} // namespace ravo
