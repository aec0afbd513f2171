#include "exchange/TableWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUuid>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <xlsxwriter.h>

namespace ravo::exchange {

namespace {

void setError(QString* error, const QString& message)
{
    if (error)
        *error = message;
}

QString fileName(const QString& path)
{
    return QFileInfo(path).fileName();
}

QString cannotWriteMessage(const QString& path, const QString& reason)
{
    return QStringLiteral("无法写入文件“%1”：%2").arg(fileName(path), reason);
}

// Excel's limits on a worksheet.
constexpr int MaxRows = 1048576;
constexpr int MaxColumns = 16384;
constexpr int MaxCellText = 32767;

// The reason a CSV file could not be written or put in place.
QString fileErrorText(const QFileDevice& file)
{
    switch (file.error()) {
    case QFileDevice::OpenError:
    case QFileDevice::PermissionsError:
        return QStringLiteral("无法创建文件，请检查是否有写入权限。");
    case QFileDevice::WriteError:
    case QFileDevice::ResourceError:
        return QStringLiteral("写入失败，请检查磁盘空间。");
    case QFileDevice::RenameError:
    case QFileDevice::RemoveError:
    case QFileDevice::CopyError:
        return QStringLiteral("无法替换原文件，文件可能正被其他程序（如 Excel）打开。");
    default:
        return file.errorString();
    }
}

QString tooManyColumnsMessage(int count)
{
    return QStringLiteral("列数太多（%1 列），Excel 工作表最多 %2 列。").arg(count).arg(MaxColumns);
}

QString rowLongerThanHeaderMessage(int rowNumber, int cells, int columns)
{
    return QStringLiteral("第 %1 行有 %2 个值，多于 %3 列标题。").arg(rowNumber).arg(cells).arg(columns);
}

// Why a row cannot be added (the export not begun or already finished, more
// cells than the header has columns), or empty text; both writers ask it.
QString rowProblem(bool begun, const QString& target, int nextRow, qsizetype cells, int columns)
{
    if (!begun)
        return cannotWriteMessage(target, QStringLiteral("导出没有开始或已经结束。"));
    if (cells > columns)
        return cannotWriteMessage(target, rowLongerThanHeaderMessage(nextRow + 1, int(cells), columns));
    return {};
}

} // namespace

std::unique_ptr<TableWriter> createTableWriter(const QString& path, QString* error)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"xlsx")
        return std::make_unique<XlsxTableWriter>();
    if (suffix == u"csv")
        return std::make_unique<CsvTableWriter>();
    setError(error,
             QStringLiteral("不支持的文件类型：%1（只能导出为 .xlsx 和 .csv 文件）")
                 .arg(suffix.isEmpty() ? fileName(path) : u'.' + QFileInfo(path).suffix()));
    return nullptr;
}

// ------------------------------------------------------------------- .xlsx

namespace {

// The width of a text in Excel's column units: characters of the East Asian
// scripts take two, everything else one.
int displayWidth(const QString& text)
{
    int width = 0;
    for (const char32_t c : text.toUcs4()) {
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)
            || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
            || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
        width += wide ? 2 : 1;
    }
    return width;
}

// Excel refuses []:*?/\ in sheet names, a name longer than 31 characters and
// a name starting or ending with an apostrophe.
QString excelSheetName(QString name)
{
    for (const QChar bad : {u'[', u']', u':', u'*', u'?', u'/', u'\\'})
        name.replace(bad, u'_');
    name = name.left(31);
    while (name.startsWith(u'\''))
        name.remove(0, 1);
    while (name.endsWith(u'\''))
        name.chop(1);
    return name.isEmpty() ? QStringLiteral("Sheet1") : name;
}

QString xlsxErrorText(lxw_error code)
{
    switch (code) {
    case LXW_ERROR_CREATING_XLSX_FILE:
        return QStringLiteral("无法创建文件，请检查文件夹是否存在、是否有写入权限。");
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
        return QStringLiteral("无法使用临时文件，请检查磁盘空间。");
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return QStringLiteral("内存不足。");
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
    case LXW_ERROR_ZIP_BAD_ZIP_FILE:
    case LXW_ERROR_ZIP_INTERNAL_ERROR:
    case LXW_ERROR_ZIP_PARAMETER_ERROR:
        return QStringLiteral("写入压缩数据失败，请检查磁盘空间。");
    default:
        return QStringLiteral("写入出错（%1）。").arg(QString::fromUtf8(lxw_strerror(code)));
    }
}

} // namespace

struct XlsxTableWriter::State {
    QString sheetName;
    QString target;
    QString temporary;
    lxw_workbook* workbook = nullptr;
    lxw_worksheet* worksheet = nullptr;
    lxw_format* headerFormat = nullptr;
    lxw_format* dateFormat = nullptr;
    lxw_format* dateTimeFormat = nullptr;
    lxw_format* timeFormat = nullptr;
    int columns = 0;
    int nextRow = 0; // the row the next addRow() writes, 0 being the header
    QVector<int> widths;
    bool failed = false;

    // Closes the workbook without keeping it and removes the temporary file.
    void discard()
    {
        if (workbook) {
            // Frees the workbook without assembling the file. Freeing leaves
            // the file of rows written so far open; it is closed here.
            if (worksheet && worksheet->optimize_tmpfile) {
                fclose(worksheet->optimize_tmpfile);
                worksheet->optimize_tmpfile = nullptr;
            }
            lxw_workbook_free(workbook);
            workbook = nullptr;
        }
        if (!temporary.isEmpty())
            QFile::remove(temporary);
        temporary.clear();
        worksheet = nullptr;
    }

    bool fail(QString* error, const QString& message)
    {
        setError(error, message);
        failed = true;
        discard();
        return false;
    }

    bool check(lxw_error code, QString* error)
    {
        if (code == LXW_NO_ERROR)
            return true;
        return fail(error, cannotWriteMessage(target, xlsxErrorText(code)));
    }

    void noteWidth(int column, const QString& text) { widths[column] = std::max(widths[column], displayWidth(text)); }

    bool writeCell(int column, const Cell& cell, QString* error)
    {
        const lxw_row_t row = lxw_row_t(nextRow);
        const lxw_col_t col = lxw_col_t(column);
        auto writeText = [&](const QString& text) {
            if (text.size() > MaxCellText)
                return fail(
                    error,
                    cannotWriteMessage(target,
                                       QStringLiteral("第 %1 行第 %2 列的文字超过 Excel 单元格的上限 %3 个字符。")
                                           .arg(nextRow + 1)
                                           .arg(column + 1)
                                           .arg(MaxCellText)));
            noteWidth(column, text);
            return check(worksheet_write_string(worksheet, row, col, text.toUtf8().constData(), nullptr), error);
        };
        auto writeSerial = [&](const Cell& c, lxw_format* format) {
            const auto serial = c.kind == Cell::Kind::Time
                ? std::optional<double>(double(c.time.msecsSinceStartOfDay()) / 86400000.0)
                : dateTimeToSerial(c.date, c.kind == Cell::Kind::DateTime ? c.time : QTime(0, 0));
            if (!serial)
                return writeText(c.toString()); // before 1900: Excel has no such day
            noteWidth(column, c.toString());
            return check(worksheet_write_number(worksheet, row, col, *serial, format), error);
        };
        switch (cell.kind) {
        case Cell::Kind::Empty:
            return true;
        case Cell::Kind::Text:
        case Cell::Kind::Error:
            return writeText(cell.text);
        case Cell::Kind::Number:
            if (!std::isfinite(cell.number))
                return fail(
                    error,
                    cannotWriteMessage(
                        target, QStringLiteral("第 %1 行第 %2 列不是有效的数值。").arg(nextRow + 1).arg(column + 1)));
            noteWidth(column, cell.toString());
            return check(worksheet_write_number(worksheet, row, col, cell.number, nullptr), error);
        case Cell::Kind::Boolean:
            noteWidth(column, cell.toString());
            return check(worksheet_write_boolean(worksheet, row, col, cell.number != 0, nullptr), error);
        case Cell::Kind::Date:
            return writeSerial(cell, dateFormat);
        case Cell::Kind::DateTime:
            return writeSerial(cell, dateTimeFormat);
        case Cell::Kind::Time:
            return writeSerial(cell, timeFormat);
        }
        return true;
    }
};

XlsxTableWriter::XlsxTableWriter(const QString& sheetName) : d(std::make_unique<State>())
{
    d->sheetName = excelSheetName(sheetName);
}

XlsxTableWriter::~XlsxTableWriter()
{
    cancel();
}

bool XlsxTableWriter::begin(const QString& path, const QStringList& headers, QString* error)
{
    if (d->workbook || d->failed || !d->target.isEmpty())
        return d->fail(error, cannotWriteMessage(path, QStringLiteral("导出已经开始过。")));
    d->target = path;
    if (headers.size() > MaxColumns)
        return d->fail(error, cannotWriteMessage(path, tooManyColumnsMessage(int(headers.size()))));
    const QFileInfo info(path);
    if (!info.absoluteDir().exists())
        return d->fail(
            error,
            cannotWriteMessage(
                path, QStringLiteral("文件夹“%1”不存在。").arg(QDir::toNativeSeparators(info.absolutePath()))));
    // A hidden name beside the target, so that the final rename stays on the
    // same disk and cannot meet half a file.
    d->temporary = info.absoluteDir().filePath(
        QStringLiteral(".%1.%2.tmp").arg(info.fileName(), QUuid::createUuid().toString(QUuid::Id128).left(8)));

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;
    const QByteArray temporaryName = QFile::encodeName(d->temporary);
    d->workbook = workbook_new_opt(temporaryName.constData(), &options);
    if (!d->workbook)
        return d->fail(error, cannotWriteMessage(path, xlsxErrorText(LXW_ERROR_MEMORY_MALLOC_FAILED)));
    d->worksheet = workbook_add_worksheet(d->workbook, d->sheetName.toUtf8().constData());
    if (!d->worksheet)
        return d->fail(error, cannotWriteMessage(path, QStringLiteral("无法创建工作表“%1”。").arg(d->sheetName)));

    d->headerFormat = workbook_add_format(d->workbook);
    format_set_bold(d->headerFormat);
    d->dateFormat = workbook_add_format(d->workbook);
    format_set_num_format(d->dateFormat, "yyyy-mm-dd");
    d->dateTimeFormat = workbook_add_format(d->workbook);
    format_set_num_format(d->dateTimeFormat, "yyyy-mm-dd hh:mm:ss");
    d->timeFormat = workbook_add_format(d->workbook);
    format_set_num_format(d->timeFormat, "hh:mm:ss");

    d->columns = int(headers.size());
    d->widths = QVector<int>(d->columns, 0);
    for (int c = 0; c < d->columns; ++c) {
        if (headers[c].size() > MaxCellText)
            return d->fail(error, cannotWriteMessage(path, QStringLiteral("第 %1 列的标题太长。").arg(c + 1)));
        d->noteWidth(c, headers[c]);
        if (!d->check(
                worksheet_write_string(d->worksheet, 0, lxw_col_t(c), headers[c].toUtf8().constData(), d->headerFormat),
                error))
            return false;
    }
    worksheet_freeze_panes(d->worksheet, 1, 0);
    d->nextRow = 1;
    return true;
}

bool XlsxTableWriter::addRow(const QVector<Cell>& row, QString* error)
{
    if (const QString problem = rowProblem(d->worksheet != nullptr, d->target, d->nextRow, row.size(), d->columns);
        !problem.isEmpty())
        return d->fail(error, problem);
    if (d->nextRow >= MaxRows)
        return d->fail(
            error, cannotWriteMessage(d->target, QStringLiteral("行数超过 Excel 工作表的上限 %1 行。").arg(MaxRows)));
    for (int c = 0; c < row.size(); ++c)
        if (!d->writeCell(c, row[c], error))
            return false;
    ++d->nextRow;
    return true;
}

bool XlsxTableWriter::finish(QString* error)
{
    if (!d->worksheet)
        return d->fail(error, cannotWriteMessage(d->target, QStringLiteral("导出没有开始或已经结束。")));
    // Room for the autofilter's drop-down button; very long texts do not
    // make the column wider than a screen.
    for (int c = 0; c < d->columns; ++c)
        worksheet_set_column(d->worksheet, lxw_col_t(c), lxw_col_t(c), std::min(d->widths[c] + 3, 80), nullptr);
    if (d->columns > 0)
        worksheet_autofilter(d->worksheet, 0, 0, lxw_row_t(d->nextRow - 1), lxw_col_t(d->columns - 1));

    const lxw_error closed = workbook_close(d->workbook);
    d->workbook = nullptr;
    d->worksheet = nullptr;
    if (closed != LXW_NO_ERROR)
        return d->fail(error, cannotWriteMessage(d->target, xlsxErrorText(closed)));

    std::error_code renameError;
    std::filesystem::rename(std::filesystem::path(d->temporary.toStdU16String()),
                            std::filesystem::path(d->target.toStdU16String()), renameError);
    if (renameError)
        return d->fail(
            error,
            cannotWriteMessage(d->target, QStringLiteral("无法替换原文件，文件可能正被其他程序（如 Excel）打开。")));
    d->temporary.clear();
    d->failed = true; // finished: no further rows
    return true;
}

void XlsxTableWriter::cancel()
{
    d->discard();
}

// -------------------------------------------------------------------- .csv

namespace {

// A field is quoted when a reader could otherwise take it apart or lose its
// blanks. The semicolon and the tab are quoted too, so that a reader
// guessing the separator from the header cannot mistake them for it.
QString csvField(const QString& value)
{
    bool quote = false;
    for (const QChar c : value) {
        if (c == u',' || c == u'"' || c == u'\r' || c == u'\n' || c == u';' || c == u'\t') {
            quote = true;
            break;
        }
    }
    if (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()))
        quote = true;
    if (!quote)
        return value;
    QString quoted = value;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

struct CsvTableWriter::State {
    QString target;
    std::unique_ptr<QSaveFile> file;
    int columns = 0;
    int nextRow = 0;
    bool failed = false;

    bool fail(QString* error, const QString& message)
    {
        setError(error, message);
        failed = true;
        if (file)
            file->cancelWriting();
        file.reset();
        return false;
    }

    bool writeLine(const QStringList& fields, QString* error)
    {
        QStringList line;
        line.reserve(fields.size());
        for (const QString& f : fields)
            line << csvField(f);
        const QByteArray bytes = (line.join(u',') + QStringLiteral("\r\n")).toUtf8();
        if (file->write(bytes) != bytes.size())
            return fail(error, cannotWriteMessage(target, fileErrorText(*file)));
        return true;
    }
};

CsvTableWriter::CsvTableWriter() : d(std::make_unique<State>())
{
}

CsvTableWriter::~CsvTableWriter()
{
    cancel();
}

bool CsvTableWriter::begin(const QString& path, const QStringList& headers, QString* error)
{
    if (d->file || d->failed || !d->target.isEmpty())
        return d->fail(error, cannotWriteMessage(path, QStringLiteral("导出已经开始过。")));
    d->target = path;
    const QFileInfo info(path);
    if (!info.absoluteDir().exists())
        return d->fail(
            error,
            cannotWriteMessage(
                path, QStringLiteral("文件夹“%1”不存在。").arg(QDir::toNativeSeparators(info.absolutePath()))));
    d->file = std::make_unique<QSaveFile>(path);
    if (!d->file->open(QIODevice::WriteOnly))
        return d->fail(error, cannotWriteMessage(path, fileErrorText(*d->file)));
    if (d->file->write("\xEF\xBB\xBF", 3) != 3)
        return d->fail(error, cannotWriteMessage(path, fileErrorText(*d->file)));
    d->columns = int(headers.size());
    if (!d->writeLine(headers, error))
        return false;
    d->nextRow = 1;
    return true;
}

bool CsvTableWriter::addRow(const QVector<Cell>& row, QString* error)
{
    if (const QString problem = rowProblem(d->file != nullptr, d->target, d->nextRow, row.size(), d->columns);
        !problem.isEmpty())
        return d->fail(error, problem);
    QStringList fields;
    fields.reserve(d->columns);
    for (const Cell& cell : row) {
        if (cell.kind == Cell::Kind::Number && !std::isfinite(cell.number))
            return d->fail(
                error,
                cannotWriteMessage(
                    d->target,
                    QStringLiteral("第 %1 行第 %2 列不是有效的数值。").arg(d->nextRow + 1).arg(fields.size() + 1)));
        fields << cell.toString();
    }
    while (fields.size() < d->columns)
        fields << QString();
    if (!d->writeLine(fields, error))
        return false;
    ++d->nextRow;
    return true;
}

bool CsvTableWriter::finish(QString* error)
{
    if (!d->file)
        return d->fail(error, cannotWriteMessage(d->target, QStringLiteral("导出没有开始或已经结束。")));
    if (!d->file->commit()) {
        const QString reason = fileErrorText(*d->file);
        d->file.reset();
        return d->fail(error, cannotWriteMessage(d->target, reason));
    }
    d->file.reset();
    d->failed = true; // finished: no further rows
    return true;
}

void CsvTableWriter::cancel()
{
    if (d->file)
        d->file->cancelWriting();
    d->file.reset();
}

} // namespace ravo::exchange
