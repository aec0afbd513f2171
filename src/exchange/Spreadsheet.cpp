#include "exchange/Spreadsheet.h"
#include "exchange/Readers.h"

#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace ravo::exchange {

namespace {

constexpr qint64 MillisecondsPerDay = 24 * 60 * 60 * 1000;

// Day 0 of the 1900 date system as Excel counts from day 61 on; before day 60
// the days are one later because of the phantom 1900-02-29.
const QDate Epoch1900(1899, 12, 30);
const QDate Epoch1904(1904, 1, 1);
const QDate LastExcelDate(9999, 12, 31);

QString timeText(const QTime& time)
{
    return time.toString(time.msec() ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss"));
}

} // namespace

Cell Cell::ofText(const QString& text)
{
    Cell c;
    if (!text.isEmpty()) {
        c.kind = Kind::Text;
        c.text = text;
    }
    return c;
}

Cell Cell::ofNumber(double value)
{
    Cell c;
    c.kind = Kind::Number;
    c.number = value;
    return c;
}

Cell Cell::ofBoolean(bool value)
{
    Cell c;
    c.kind = Kind::Boolean;
    c.number = value ? 1 : 0;
    return c;
}

Cell Cell::ofDate(const QDate& date)
{
    Cell c;
    if (date.isValid()) {
        c.kind = Kind::Date;
        c.date = date;
    }
    return c;
}

Cell Cell::ofDateTime(const QDate& date, const QTime& time)
{
    Cell c;
    if (date.isValid()) {
        c.kind = Kind::DateTime;
        c.date = date;
        c.time = time.isValid() ? time : QTime(0, 0);
    }
    return c;
}

Cell Cell::ofTime(const QTime& time)
{
    Cell c;
    if (time.isValid()) {
        c.kind = Kind::Time;
        c.time = time;
    }
    return c;
}

Cell Cell::ofError(const QString& code)
{
    Cell c;
    c.kind = Kind::Error;
    c.text = code;
    return c;
}

QString Cell::toString() const
{
    switch (kind) {
    case Kind::Empty:
        return QString();
    case Kind::Text:
    case Kind::Error:
        return text;
    case Kind::Number:
        return QString::number(number, 'f', QLocale::FloatingPointShortest);
    case Kind::Boolean:
        return number != 0 ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case Kind::Date:
        return date.toString(QStringLiteral("yyyy-MM-dd"));
    case Kind::DateTime:
        return date.toString(QStringLiteral("yyyy-MM-dd")) + u' ' + timeText(time);
    case Kind::Time:
        return timeText(time);
    }
    return QString();
}

bool Cell::operator==(const Cell& other) const
{
    if (kind != other.kind)
        return false;
    switch (kind) {
    case Kind::Empty:
        return true;
    case Kind::Text:
    case Kind::Error:
        return text == other.text;
    case Kind::Number:
    case Kind::Boolean:
        return number == other.number;
    case Kind::Date:
        return date == other.date;
    case Kind::DateTime:
        return date == other.date && time == other.time;
    case Kind::Time:
        return time == other.time;
    }
    return false;
}

int Sheet::columnCount() const
{
    qsizetype widest = 0;
    for (const auto& row : rows)
        widest = std::max(widest, row.size());
    return int(widest);
}

const Cell& Sheet::cell(int row, int column) const
{
    static const Cell empty;
    if (row < 0 || row >= rows.size() || column < 0 || column >= rows[row].size())
        return empty;
    return rows[row][column];
}

std::optional<ExcelDateTime> serialToDateTime(double serial, bool dateSystem1904)
{
    if (!std::isfinite(serial) || serial < 0 || serial > 3e6)
        return std::nullopt;
    qint64 days = qint64(std::floor(serial));
    qint64 ms = std::llround((serial - double(days)) * double(MillisecondsPerDay));
    if (ms >= MillisecondsPerDay) {
        ++days;
        ms -= MillisecondsPerDay;
    }
    QDate date;
    if (dateSystem1904) {
        date = Epoch1904.addDays(days);
    } else if (days == 60) {
        return std::nullopt;
    } else {
        // Day 0 shows as 1900-01-00 in Excel; it only ever carries a time of
        // day, so it stands for the day before day 1.
        date = days < 60 ? Epoch1900.addDays(days + 1) : Epoch1900.addDays(days);
    }
    if (date > LastExcelDate)
        return std::nullopt;
    return ExcelDateTime{date, QTime(0, 0).addMSecs(int(ms))};
}

std::optional<double> dateTimeToSerial(const QDate& date, const QTime& time)
{
    if (!date.isValid() || date < QDate(1900, 1, 1) || date > LastExcelDate)
        return std::nullopt;
    qint64 days = Epoch1900.daysTo(date);
    if (date < QDate(1900, 3, 1))
        --days;
    double serial = double(days);
    if (time.isValid())
        serial += double(time.msecsSinceStartOfDay()) / double(MillisecondsPerDay);
    return serial;
}

namespace detail {

void setError(QString* error, const QString& message)
{
    if (error)
        *error = message;
}

QString notExcelMessage(const QString& path, const QString& reason)
{
    QString message = QStringLiteral("文件“%1”不是有效的 Excel 文件。").arg(QFileInfo(path).fileName());
    if (!reason.isEmpty())
        message += reason;
    return message;
}

QString cannotReadMessage(const QString& path, const QString& reason)
{
    return QStringLiteral("无法读取文件“%1”：%2").arg(QFileInfo(path).fileName(), reason);
}

QString noSuchSheetMessage(const QString& path, int sheetIndex)
{
    return QStringLiteral("文件“%1”中没有第 %2 个工作表。").arg(QFileInfo(path).fileName()).arg(sheetIndex + 1);
}

} // namespace detail

namespace {

enum class FileType { Xlsx, Xls, Csv, Other };

FileType fileType(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == u"xlsx")
        return FileType::Xlsx;
    if (suffix == u"xls")
        return FileType::Xls;
    if (suffix == u"csv")
        return FileType::Csv;
    return FileType::Other;
}

// Refuses an unknown type or a file that is not there, before any reader
// sees it.
bool checkReadable(const QString& path, QString* error)
{
    if (fileType(path) == FileType::Other) {
        const QString suffix = QFileInfo(path).suffix();
        detail::setError(error,
                         QStringLiteral("不支持的文件类型：%1（只能导入 .xlsx、.xls 和 .csv 文件）")
                             .arg(suffix.isEmpty() ? QFileInfo(path).fileName() : u'.' + suffix));
        return false;
    }
    const QFileInfo info(path);
    if (!info.exists()) {
        detail::setError(error, detail::cannotReadMessage(path, QStringLiteral("文件不存在。")));
        return false;
    }
    if (info.isDir()) {
        detail::setError(error, detail::cannotReadMessage(path, QStringLiteral("这是一个文件夹。")));
        return false;
    }
    if (!info.isReadable()) {
        detail::setError(error, detail::cannotReadMessage(path, QStringLiteral("没有读取权限。")));
        return false;
    }
    return true;
}

} // namespace

bool isReadableSpreadsheet(const QString& path)
{
    return fileType(path) != FileType::Other;
}

QStringList sheetNames(const QString& path, QString* error)
{
    if (!checkReadable(path, error))
        return {};
    switch (fileType(path)) {
    case FileType::Xlsx:
        return detail::xlsxSheetNames(path, error);
    case FileType::Xls:
        return detail::xlsSheetNames(path, error);
    case FileType::Csv:
        return {QFileInfo(path).completeBaseName()};
    case FileType::Other:
        break;
    }
    return {};
}

namespace {

// The rows of a sheet in memory, or of one read whole first (then owned).
class MemoryRows : public SheetRows {
public:
    explicit MemoryRows(const Sheet& sheet) : m_sheet(sheet) { m_expectedRows = sheet.rowCount(); }
    explicit MemoryRows(Sheet&& sheet) : m_owned(std::move(sheet)), m_sheet(*m_owned)
    {
        m_expectedRows = m_sheet.rowCount();
    }

    bool next(SheetRow* row) override
    {
        while (m_next < m_sheet.rowCount()) {
            const int r = m_next++;
            const QVector<Cell>& cells = m_sheet.rows.at(r);
            if (std::all_of(cells.cbegin(), cells.cend(), [](const Cell& c) { return c.isEmpty(); }))
                continue;
            row->index = r;
            row->cells = cells;
            return true;
        }
        return false;
    }

private:
    std::optional<Sheet> m_owned;
    const Sheet& m_sheet;
    int m_next = 0;
};

// The rows of another reader, read ahead on a thread of their own: a large
// workbook is inflated and parsed on one core while the caller checks and
// writes the rows before on another. A few batches of rows wait at most, so
// memory stays small.
class ReadAheadRows : public SheetRows {
public:
    explicit ReadAheadRows(std::unique_ptr<SheetRows> source) : m_source(std::move(source))
    {
        m_expectedRows = m_source->expectedRows();
        m_thread = std::thread([this] { produce(); });
    }
    ~ReadAheadRows() override
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    ReadAheadRows(const ReadAheadRows&) = delete;
    ReadAheadRows& operator=(const ReadAheadRows&) = delete;

    bool next(SheetRow* row) override
    {
        if (m_next >= m_batch.size()) {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] { return !m_batches.empty() || m_finished; });
            if (m_batches.empty()) {
                m_error = m_source->error();
                return false;
            }
            m_batch = std::move(m_batches.front());
            m_batches.pop_front();
            m_next = 0;
            m_expectedRows = m_sourceExpected;
            lock.unlock();
            m_changed.notify_all();
        }
        std::swap(*row, m_batch[m_next++]);
        return true;
    }

private:
    static constexpr int BatchRows = 256;
    static constexpr size_t WaitingBatches = 8;

    void produce()
    {
        QVector<SheetRow> batch;
        batch.reserve(BatchRows);
        SheetRow row;
        bool more = true;
        while (more) {
            more = m_source->next(&row);
            if (more)
                batch.append(std::move(row));
            if (batch.size() < BatchRows && more)
                continue;
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] { return m_batches.size() < WaitingBatches || m_stop; });
            if (m_stop)
                return;
            if (!batch.isEmpty())
                m_batches.push_back(std::move(batch));
            m_sourceExpected = m_source->expectedRows(); // known once the sheet's head is read
            batch = QVector<SheetRow>();
            batch.reserve(BatchRows);
            m_finished = !more;
            lock.unlock();
            m_changed.notify_all();
        }
    }

    std::unique_ptr<SheetRows> m_source;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<QVector<SheetRow>> m_batches; // read, waiting for the caller
    bool m_finished = false;                 // the source has no more rows
    bool m_stop = false;                     // the caller reads no more
    int m_sourceExpected = 0;                // the source's expectedRows(), passed on
    QVector<SheetRow> m_batch;               // the caller's batch
    int m_next = 0;
};

// Reads at most `limit` rows (all when negative) into a sheet.
std::optional<Sheet> collect(const QString& path, int sheetIndex, int limit, QString* error)
{
    const std::unique_ptr<SheetRows> rows = openSheetRows(path, sheetIndex, error);
    if (!rows)
        return std::nullopt;
    Sheet sheet;
    sheet.name = sheetNames(path, error).value(sheetIndex);
    SheetRow row;
    while (rows->next(&row)) {
        if (limit >= 0 && row.index >= limit)
            return sheet;
        if (sheet.rows.size() <= row.index)
            sheet.rows.resize(row.index + 1);
        QVector<Cell>& cells = sheet.rows[row.index];
        if (cells.isEmpty()) {
            cells = std::move(row.cells);
            continue;
        }
        // The same row once more further on: its cells are added.
        if (cells.size() < row.cells.size())
            cells.resize(row.cells.size());
        for (int c = 0; c < row.cells.size(); ++c)
            if (!row.cells.at(c).isEmpty())
                cells[c] = row.cells.at(c);
    }
    if (!rows->error().isEmpty()) {
        detail::setError(error, rows->error());
        return std::nullopt;
    }
    return sheet;
}

} // namespace

std::unique_ptr<SheetRows> openSheetRows(const QString& path, int sheetIndex, QString* error)
{
    if (!checkReadable(path, error))
        return nullptr;
    std::optional<Sheet> whole;
    switch (fileType(path)) {
    case FileType::Xlsx:
        if (auto rows = detail::openXlsxRows(path, sheetIndex, error))
            return std::make_unique<ReadAheadRows>(std::move(rows));
        return nullptr;
    case FileType::Xls:
        whole = detail::readXls(path, sheetIndex, error);
        break;
    case FileType::Csv:
        if (sheetIndex != 0) {
            detail::setError(error, detail::noSuchSheetMessage(path, sheetIndex));
            return nullptr;
        }
        whole = detail::readCsv(path, error);
        break;
    case FileType::Other:
        break;
    }
    if (!whole)
        return nullptr;
    return std::make_unique<MemoryRows>(std::move(*whole));
}

std::unique_ptr<SheetRows> rowsOf(const Sheet& sheet)
{
    return std::make_unique<MemoryRows>(sheet);
}

std::optional<Sheet> readSpreadsheet(const QString& path, int sheetIndex, QString* error)
{
    if (!checkReadable(path, error))
        return std::nullopt;
    switch (fileType(path)) {
    case FileType::Xlsx:
        return collect(path, sheetIndex, -1, error);
    case FileType::Xls:
        return detail::readXls(path, sheetIndex, error);
    case FileType::Csv:
        if (sheetIndex != 0) {
            detail::setError(error, detail::noSuchSheetMessage(path, sheetIndex));
            return std::nullopt;
        }
        return detail::readCsv(path, error);
    case FileType::Other:
        break;
    }
    return std::nullopt;
}

std::optional<Sheet> readSpreadsheetHead(const QString& path, int sheetIndex, int rowCount, QString* error)
{
    return collect(path, sheetIndex, rowCount, error);
}

} // namespace ravo::exchange
