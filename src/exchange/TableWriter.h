#pragma once
// Writing a table to an .xlsx or a .csv file, one row at a time, for
// exporting the instrument ledger.
//
//   QString error;
//   auto writer = ravo::exchange::createTableWriter(path, &error);
//   if (!writer || !writer->begin(path, {"仪器编号", "名称", "检定日期"}, &error))
//       return fail(error);
//   while (query.next())
//       if (!writer->addRow({Cell::ofText(number), Cell::ofText(name),
//                            Cell::ofDate(date)}, &error))
//           return fail(error);          // the writer discards the file
//   if (!writer->finish(&error))
//       return fail(error);
//
// Memory use does not grow with the number of rows: rows go to a temporary
// file beside the target as they come. The target itself is replaced only by
// a successful finish(); a writer destroyed or cancel()ed before that removes
// its temporary file and leaves an existing target untouched. After any
// failure the writer is finished: further calls fail.
//
// How cell kinds are written:
//   .xlsx  Text as text, whatever it looks like ("000123" keeps its zeros);
//          Number and Boolean as such; Date as a date cell shown yyyy-mm-dd,
//          DateTime as yyyy-mm-dd hh:mm:ss, Time as hh:mm:ss; Error as the
//          text of its code. The header row is bold and frozen and carries an
//          autofilter; column widths fit the longest value (a Chinese
//          character counts as two), up to a limit. Dates before 1900, which
//          Excel cannot hold, are written as text.
//   .csv   UTF-8 with a byte-order mark (so that Excel recognises it), CRLF
//          line ends, comma separated; values as Cell::toString() gives them;
//          a value is quoted when it contains a comma, semicolon, tab, quote,
//          line break, or starts or ends with a blank; quotes are doubled.
//
// A row may be shorter than the header (the rest is empty) but not longer.
#include "exchange/Spreadsheet.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

namespace ravo::exchange {

class TableWriter {
public:
    virtual ~TableWriter() = default;
    // Starts the file: creates the temporary file and writes the header row.
    virtual bool begin(const QString& path, const QStringList& headers, QString* error) = 0;
    virtual bool addRow(const QVector<Cell>& row, QString* error) = 0;
    // Completes the file and puts it in place of the target.
    virtual bool finish(QString* error) = 0;
    // Abandons the file; the target is left as it was.
    virtual void cancel() = 0;
};

// The name of the worksheet an .xlsx export gets.
inline constexpr char DefaultExportSheetName[] = "仪器台账";

// A writer for `path` chosen by its extension (.xlsx or .csv, any case);
// nullptr with *error set for any other extension.
std::unique_ptr<TableWriter> createTableWriter(const QString& path, QString* error);

class XlsxTableWriter : public TableWriter {
public:
    // `sheetName` is cut to Excel's 31 characters and rid of the characters
    // Excel refuses in sheet names.
    explicit XlsxTableWriter(const QString& sheetName = QString::fromUtf8(DefaultExportSheetName));
    ~XlsxTableWriter() override;
    bool begin(const QString& path, const QStringList& headers, QString* error) override;
    bool addRow(const QVector<Cell>& row, QString* error) override;
    bool finish(QString* error) override;
    void cancel() override;

private:
    struct State;
    std::unique_ptr<State> d;
};

class CsvTableWriter : public TableWriter {
public:
    CsvTableWriter();
    ~CsvTableWriter() override;
    bool begin(const QString& path, const QStringList& headers, QString* error) override;
    bool addRow(const QVector<Cell>& row, QString* error) override;
    bool finish(QString* error) override;
    void cancel() override;

private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace ravo::exchange
