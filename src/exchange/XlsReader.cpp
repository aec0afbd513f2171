// Excel 97-2003 workbooks (.xls) through FreeXL, which turns the workbook's
// code page into UTF-8 and reports cells shown as dates or times as such.
#include "exchange/Readers.h"

#include <QFile>
#include <freexl.h>

namespace ravo::exchange::detail {

namespace {

// Closes the workbook however the reading ends; FreeXL wants its handle
// closed even after a failed open.
class XlsFile {
public:
    ~XlsFile()
    {
        if (handle_)
            freexl_close(handle_);
    }
    const void* handle_ = nullptr;
};

QString freexlReason(int code)
{
    switch (code) {
    case FREEXL_INSUFFICIENT_MEMORY:
        return QStringLiteral("内存不足。");
    case FREEXL_CFBF_READ_ERROR:
    case FREEXL_CFBF_SEEK_ERROR:
        return QStringLiteral("文件读取出错，可能不完整。");
    case FREEXL_INVALID_CHARACTER:
    case FREEXL_UNSUPPORTED_CHARSET:
        return QStringLiteral("文件中的文字编码无法识别。");
    default:
        return QString();
    }
}

bool openXls(const QString& path, XlsFile* file, QString* error)
{
    // FreeXL's own refusal of a file that is no workbook at all reads like
    // an input/output fault; the signature tells the user more.
    QFile raw(path);
    if (!raw.open(QIODevice::ReadOnly)) {
        setError(error, cannotReadMessage(path, raw.errorString()));
        return false;
    }
    const QByteArray head = raw.read(8);
    raw.close();
    if (head.startsWith("PK")) {
        setError(error,
                 notExcelMessage(
                     path, QStringLiteral("它其实是 Excel 2007 或更新版本的工作簿，请把扩展名改为 .xlsx 后再导入。")));
        return false;
    }
    if (head != QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
        setError(error, notExcelMessage(path, QStringLiteral("它不是 Excel 97-2003 工作簿，或者已经损坏。")));
        return false;
    }
    const QByteArray name = QFile::encodeName(path);
    const int opened = freexl_open(name.constData(), &file->handle_);
    if (opened != FREEXL_OK) {
        const QString reason = freexlReason(opened);
        setError(error,
                 reason.isEmpty() ? notExcelMessage(path, QStringLiteral("它不是 Excel 97-2003 工作簿，或者已经损坏。"))
                                  : cannotReadMessage(path, reason));
        return false;
    }
    unsigned int password = 0;
    if (freexl_get_info(file->handle_, FREEXL_BIFF_PASSWORD, &password) == FREEXL_OK
        && password == FREEXL_BIFF_OBFUSCATED) {
        setError(error, cannotReadMessage(path, QStringLiteral("文件设有密码，请在 Excel 中取消密码后再导入。")));
        return false;
    }
    return true;
}

QStringList namesOf(const XlsFile& file, const QString& path, QString* error)
{
    unsigned int count = 0;
    if (freexl_get_info(file.handle_, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK || count == 0) {
        setError(error, notExcelMessage(path, QStringLiteral("工作簿中没有工作表。")));
        return {};
    }
    QStringList names;
    for (unsigned int i = 0; i < count && i <= 0xFFFF; ++i) {
        const char* name = nullptr;
        if (freexl_get_worksheet_name(file.handle_, static_cast<unsigned short>(i), &name) != FREEXL_OK) {
            setError(error, notExcelMessage(path, QStringLiteral("无法读取第 %1 个工作表的名称。").arg(i + 1)));
            return {};
        }
        names << QString::fromUtf8(name ? name : "");
    }
    return names;
}

Cell cellOf(const FreeXL_CellValue& value)
{
    switch (value.type) {
    case FREEXL_CELL_INT:
        return Cell::ofNumber(value.value.int_value);
    case FREEXL_CELL_DOUBLE:
        return Cell::ofNumber(value.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
        return Cell::ofText(QString::fromUtf8(value.value.text_value ? value.value.text_value : ""));
    case FREEXL_CELL_DATE: {
        const QString text = QString::fromLatin1(value.value.text_value ? value.value.text_value : "");
        const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
        return date.isValid() ? Cell::ofDate(date) : Cell::ofText(text);
    }
    case FREEXL_CELL_DATETIME: {
        const QString text = QString::fromLatin1(value.value.text_value ? value.value.text_value : "");
        const QDateTime dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        return dt.isValid() ? Cell::ofDateTime(dt.date(), dt.time()) : Cell::ofText(text);
    }
    case FREEXL_CELL_TIME: {
        const QString text = QString::fromLatin1(value.value.text_value ? value.value.text_value : "");
        const QTime time = QTime::fromString(text, QStringLiteral("HH:mm:ss"));
        return time.isValid() ? Cell::ofTime(time) : Cell::ofText(text);
    }
    default:
        return Cell();
    }
}

} // namespace

QStringList xlsSheetNames(const QString& path, QString* error)
{
    XlsFile file;
    if (!openXls(path, &file, error))
        return {};
    return namesOf(file, path, error);
}

std::optional<Sheet> readXls(const QString& path, int sheetIndex, QString* error)
{
    XlsFile file;
    if (!openXls(path, &file, error))
        return std::nullopt;
    const QStringList names = namesOf(file, path, error);
    if (names.isEmpty())
        return std::nullopt;
    if (sheetIndex < 0 || sheetIndex >= names.size()) {
        setError(error, noSuchSheetMessage(path, sheetIndex));
        return std::nullopt;
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(file.handle_, static_cast<unsigned short>(sheetIndex)) != FREEXL_OK
        || freexl_worksheet_dimensions(file.handle_, &rows, &columns) != FREEXL_OK) {
        setError(error, notExcelMessage(path, QStringLiteral("无法读取工作表“%1”。").arg(names[sheetIndex])));
        return std::nullopt;
    }
    Sheet sheet;
    sheet.name = names[sheetIndex];
    sheet.rows.resize(rows);
    for (unsigned int r = 0; r < rows; ++r) {
        QVector<Cell>& cells = sheet.rows[r];
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue value;
            const int got = freexl_get_cell_value(file.handle_, r, c, &value);
            if (got == FREEXL_ILLEGAL_CELL_ROW_COL)
                break;
            if (got != FREEXL_OK) {
                const QString reason = freexlReason(got);
                setError(error,
                         reason.isEmpty() ? notExcelMessage(
                             path, QStringLiteral("文件已损坏（第 %1 行第 %2 列无法读取）。").arg(r + 1).arg(c + 1))
                                          : cannotReadMessage(path, reason));
                return std::nullopt;
            }
            const Cell cell = cellOf(value);
            if (cell.isEmpty())
                continue;
            if (cells.size() <= c)
                cells.resize(c + 1);
            cells[c] = cell;
        }
    }
    // FreeXL counts formatted blank rows at the end; they are no rows of the table.
    while (!sheet.rows.isEmpty() && sheet.rows.back().isEmpty())
        sheet.rows.removeLast();
    return sheet;
}

} // namespace ravo::exchange::detail
