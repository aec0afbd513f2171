#pragma once
// The readers of each file type behind readSpreadsheet() and sheetNames(),
// and the messages they share. Each takes a path that exists.
#include "exchange/Spreadsheet.h"

namespace ravo::exchange::detail {

QStringList xlsxSheetNames(const QString& path, QString* error);
std::unique_ptr<SheetRows> openXlsxRows(const QString& path, int sheetIndex, QString* error);

QStringList xlsSheetNames(const QString& path, QString* error);
std::optional<Sheet> readXls(const QString& path, int sheetIndex, QString* error);

std::optional<Sheet> readCsv(const QString& path, QString* error);

// "文件“name”不是有效的 Excel 文件。" with the reason appended when known.
QString notExcelMessage(const QString& path, const QString& reason = QString());
// "无法读取文件“name”：reason"
QString cannotReadMessage(const QString& path, const QString& reason);
// "文件“name”中没有第 n 个工作表。"
QString noSuchSheetMessage(const QString& path, int sheetIndex);

void setError(QString* error, const QString& message);

} // namespace ravo::exchange::detail
