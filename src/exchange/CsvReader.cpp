// CSV files as Excel, WPS and other programs save them: Excel in China saves
// "CSV (逗号分隔)" in the ANSI code page, GBK, and "CSV UTF-8" with a
// byte-order mark; European settings use the semicolon; "Unicode text" is
// UTF-16 with tabs.
#include "exchange/Readers.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <array>

namespace ravo::exchange::detail {

namespace {

// CSV files of a ledger are small; one larger than this is not one.
constexpr qint64 MaxCsvBytes = 512LL * 1024 * 1024;

std::optional<QString> decode(const QByteArray& bytes, QString* reason)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8(bytes.mid(3));
        if (utf8.hasError()) {
            *reason = QStringLiteral("文件标明是 UTF-8 编码，但其中有无效的字节。");
            return std::nullopt;
        }
        return text;
    }
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        const QString text = utf16(bytes.mid(2));
        if (utf16.hasError()) {
            *reason = QStringLiteral("文件标明是 UTF-16 编码，但其中有无效的字节。");
            return std::nullopt;
        }
        return text;
    }
    {
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8(bytes);
        if (!utf8.hasError())
            return text;
    }
    QStringDecoder gb18030("GB18030");
    if (!gb18030.isValid()) {
        *reason = QStringLiteral(
            "文件不是 UTF-8 编码，而本程序无法识别 GB18030（GBK）编码。请在 Excel 中另存为“CSV UTF-8”后再导入。");
        return std::nullopt;
    }
    const QString text = gb18030(bytes);
    if (gb18030.hasError()) {
        *reason = QStringLiteral("无法识别文件的编码（只能读取 UTF-8 和 GB18030/GBK 编码的文件）。");
        return std::nullopt;
    }
    return text;
}

// The separator is the one of comma, semicolon and tab that occurs outside
// quotes in the first line, the same number of times in the following lines
// where possible, and most often; comma when none occurs.
QChar detectSeparator(const QString& text)
{
    const QChar candidates[] = {u',', u';', u'\t'};
    QVector<std::array<int, 3>> lines;
    std::array<int, 3> counts{0, 0, 0};
    bool quoted = false;
    bool lineHasContent = false;
    for (qsizetype i = 0; i < text.size() && lines.size() < 10; ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            quoted = !quoted;
            lineHasContent = true;
        } else if (!quoted && (c == u'\n' || c == u'\r')) {
            if (lineHasContent)
                lines << counts;
            counts = {0, 0, 0};
            lineHasContent = false;
        } else {
            lineHasContent = true;
            if (!quoted)
                for (int k = 0; k < 3; ++k)
                    if (c == candidates[k])
                        ++counts[k];
        }
    }
    if (lineHasContent && lines.size() < 10)
        lines << counts;
    if (lines.isEmpty())
        return u',';
    int best = -1;
    bool bestConsistent = false;
    for (int k = 0; k < 3; ++k) {
        const int first = lines[0][k];
        if (first == 0)
            continue;
        bool consistent = true;
        for (const auto& line : lines)
            consistent = consistent && line[k] == first;
        if (best < 0 || (consistent && !bestConsistent) || (consistent == bestConsistent && first > lines[0][best])) {
            best = k;
            bestConsistent = consistent;
        }
    }
    return best < 0 ? u',' : candidates[best];
}

} // namespace

std::optional<Sheet> readCsv(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, cannotReadMessage(path, file.errorString()));
        return std::nullopt;
    }
    if (file.size() > MaxCsvBytes) {
        setError(error, cannotReadMessage(path, QStringLiteral("文件太大（超过 512 MB）。")));
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        setError(error, cannotReadMessage(path, file.errorString()));
        return std::nullopt;
    }
    QString reason;
    const auto decoded = decode(bytes, &reason);
    if (!decoded) {
        setError(error, cannotReadMessage(path, reason));
        return std::nullopt;
    }
    const QString& text = *decoded;
    const QChar separator = detectSeparator(text);

    Sheet sheet;
    sheet.name = QFileInfo(path).completeBaseName();
    QVector<Cell> row;
    QString field;
    bool fieldStarted = false; // something (perhaps an empty quoted field) was read since the last separator
    int line = 1;              // for messages: the line the current field starts on
    auto endField = [&] {
        row << Cell::ofText(field);
        field.clear();
        fieldStarted = false;
    };
    auto endRow = [&] {
        if (fieldStarted || !row.isEmpty())
            endField();
        sheet.rows << row;
        row.clear();
    };

    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (c == u'"' && field.isEmpty() && !fieldStarted) {
            // A quoted field: up to the quote not followed by another one.
            const int startLine = line;
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar q = text[i];
                if (q == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                if (q == u'\n')
                    ++line;
                field += q;
                ++i;
            }
            if (!closed) {
                setError(error, cannotReadMessage(path, QStringLiteral("第 %1 行开始的引号没有结束。").arg(startLine)));
                return std::nullopt;
            }
            fieldStarted = true;
            continue;
        }
        if (c == separator) {
            endField();
            ++i;
            continue;
        }
        if (c == u'\r' || c == u'\n') {
            endRow();
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            ++i;
            ++line;
            continue;
        }
        // Text after a closing quote ("abc"def) is kept as it stands.
        field += c;
        fieldStarted = true;
        ++i;
    }
    if (fieldStarted || !row.isEmpty())
        endRow();
    // Blank lines at the end are no rows of the table.
    while (!sheet.rows.isEmpty() && sheet.rows.back().isEmpty())
        sheet.rows.removeLast();
    return sheet;
}

} // namespace ravo::exchange::detail
