#pragma once
// Spreadsheets read into a plain table, for importing an instrument ledger
// kept in Excel or in a CSV file.
//
//   QString error;
//   const QStringList names = ravo::exchange::sheetNames(path, &error);
//   if (names.isEmpty()) { show(error); return; }
//   const auto sheet = ravo::exchange::readSpreadsheet(path, chosenIndex, &error);
//   if (!sheet) { show(error); return; }
//   for (int r = 0; r < sheet->rowCount(); ++r)
//       const Cell& number = sheet->cell(r, 0);   // Empty past a row's end
//
// The table keeps what the file says about each cell: a real Excel date cell
// arrives as Kind::Date, the text "2003-03-28" as Kind::Text, and "000123"
// typed as text stays Kind::Text with its zeros. Deciding what a column means
// and whether a value is acceptable is left to the caller.
//
// A large sheet can also be read a row at a time, so that only the row at
// hand is held:
//
//   auto rows = ravo::exchange::openSheetRows(path, chosenIndex, &error);
//   if (!rows) { show(error); return; }
//   SheetRow row;
//   while (rows->next(&row))
//       use(row.index, row.cells);
//   if (!rows->error().isEmpty()) show(rows->error());   // damaged further on
//
// Readers:
//   .xlsx  every sheet; shared and inline strings (rich text joined),
//          numbers, booleans, formula results, error values; numbers shown
//          with a date or time format become Date / DateTime / Time, in the
//          1900 and the 1904 date system.
//   .xls   Excel 97-2003 workbooks (BIFF8 and older), every sheet.
//   .csv   one sheet named after the file; UTF-8 with or without a
//          byte-order mark, UTF-16 with a byte-order mark, otherwise GB18030
//          (which covers GBK and GB2312); comma, semicolon or tab as
//          separator, found from the first lines. Every non-empty field is
//          Kind::Text: a CSV file carries no types.
//
// Rows are in file order and start with the first row of the sheet (row 1 in
// Excel is rows[0]); missing rows are empty rows, missing cells inside a row
// are empty cells, and rows are not padded to a common length. Nothing is
// trimmed. All error texts are Chinese and name the file, ready to be shown
// to the user as they are.
#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>
#include <QVector>
#include <memory>
#include <optional>

namespace ravo::exchange {

struct Cell {
    enum class Kind {
        Empty,
        Text,     // text: the text
        Number,   // number
        Boolean,  // number: 1 or 0
        Date,     // date
        DateTime, // date and time
        Time,     // time: a time of day without a date
        Error,    // text: Excel's error value, e.g. "#N/A", "#DIV/0!"
    };
    Kind kind = Kind::Empty;
    QString text;
    double number = 0;
    QDate date;
    QTime time;

    static Cell ofText(const QString& text); // an empty text is an Empty cell
    static Cell ofNumber(double value);
    static Cell ofBoolean(bool value);
    static Cell ofDate(const QDate& date); // an invalid date is an Empty cell
    static Cell ofDateTime(const QDate& date, const QTime& time);
    static Cell ofTime(const QTime& time);
    static Cell ofError(const QString& code);

    bool isEmpty() const { return kind == Kind::Empty; }
    // The value as the user would read it: the text; a number in its
    // shortest exact decimal form without exponent ("1000000", "0.1");
    // "TRUE"/"FALSE"; "yyyy-MM-dd", "yyyy-MM-dd HH:mm:ss", "HH:mm:ss"
    // (with ".zzz" when the time has milliseconds); the error code; "" for
    // an empty cell.
    QString toString() const;

    bool operator==(const Cell& other) const;
};

struct Sheet {
    QString name;
    QVector<QVector<Cell>> rows;

    int rowCount() const { return int(rows.size()); }
    // The widest row's length.
    int columnCount() const;
    // The cell at (row, column), both from 0; an Empty cell outside the rows.
    const Cell& cell(int row, int column) const;
};

// One row of a sheet read row by row.
struct SheetRow {
    int index = -1;      // from 0, as Sheet::rows
    QVector<Cell> cells; // not padded; never all empty
};

// A sheet read one row at a time, in file order. Rows without a filled cell
// are passed over. An .xlsx sheet is parsed as it is inflated, keeping only
// the row at hand; .xls and .csv files, small by nature, are read whole
// first.
class SheetRows {
public:
    virtual ~SheetRows() = default;
    // The next row; false at the end, or when the rest of the file turns
    // out damaged (error() then says why, in Chinese).
    virtual bool next(SheetRow* row) = 0;
    const QString& error() const { return m_error; }
    // The rows the sheet declares (the last row number, from 1), for
    // progress; 0 when the file does not say.
    int expectedRows() const { return m_expectedRows; }

protected:
    QString m_error;
    int m_expectedRows = 0;
};

// The file types that can be read, by extension: .xlsx, .xls or .csv, in any
// case. Other files are refused with a message listing these.
bool isReadableSpreadsheet(const QString& path);

// The names of the sheets, in workbook order (hidden sheets included); for a
// CSV file the file's base name. Empty, with *error set, when the file cannot
// be read.
QStringList sheetNames(const QString& path, QString* error);

// Reads the sheet at `sheetIndex` (from 0, as in sheetNames()). nullopt, with
// *error set, when the file cannot be read, the index is out of range or the
// file is damaged; a sheet is never returned half read.
std::optional<Sheet> readSpreadsheet(const QString& path, int sheetIndex, QString* error);

// The sheet at `sheetIndex` read row by row; nullptr, with *error set, when
// the file cannot be opened or has no such sheet.
std::unique_ptr<SheetRows> openSheetRows(const QString& path, int sheetIndex, QString* error);
// The rows of a sheet already in memory; `sheet` must outlive the reader.
std::unique_ptr<SheetRows> rowsOf(const Sheet& sheet);
// The first `rowCount` rows of a sheet (the header search needs no more),
// read without going through the rest of the file.
std::optional<Sheet> readSpreadsheetHead(const QString& path, int sheetIndex, int rowCount, QString* error);

// Excel's day numbers. In the 1900 date system day 1 is 1900-01-01 and day 60
// is 1900-02-29, a day that does not exist (Excel counts 1900 as a leap
// year); in the 1904 date system day 0 is 1904-01-01. The fraction is the
// time of day. serialToDateTime() gives nullopt for day 60 of the 1900 system
// and for numbers outside Excel's range (negative, beyond 9999-12-31).
struct ExcelDateTime {
    QDate date;
    QTime time; // 00:00:00 when the number is whole
};
std::optional<ExcelDateTime> serialToDateTime(double serial, bool dateSystem1904);
// The day number of `date` in the 1900 date system, with `time` as the
// fraction; nullopt before 1900-01-01 or after 9999-12-31.
std::optional<double> dateTimeToSerial(const QDate& date, const QTime& time = QTime(0, 0));

} // namespace ravo::exchange
