// Excel 2007 and later workbooks (.xlsx): a zip package of XML parts, read
// with libzip (QuaZip's copy of minizip would clash with the one
// libxlsxwriter links to, in the same program). The
// package's relationships lead to the workbook part, which names the sheets
// and leads to each sheet's part, the shared string table and the styles.
// Elements are matched by local name, so prefixed parts (<x:c>) and the
// strict variant's namespaces read the same.
#include "exchange/Readers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QIODevice>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <cmath>
#include <cstring>
#include <expat.h>
#include <functional>
#include <memory>
#include <type_traits>
#include <zip.h>

namespace ravo::exchange::detail {

namespace {

constexpr int MaxRows = 1048576;
constexpr int MaxColumns = 16384;

// How a number format shows a number.
enum class Shown { Number, Date, DateTime, Time };

// Built-in number formats that show dates and times. 27–36 and 50–58 are the
// East Asian ones (yyyy"年"m"月"d"日", h"时"mm"分" and the like) that workbooks
// saved by Chinese Excel use.
Shown builtinFormat(int id)
{
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || id == 36 || (id >= 50 && id <= 54) || id == 57 || id == 58)
        return Shown::Date;
    if (id == 22)
        return Shown::DateTime;
    if ((id >= 18 && id <= 21) || (id >= 32 && id <= 35) || (id >= 45 && id <= 47) || id == 55 || id == 56)
        return Shown::Time;
    return Shown::Number;
}

// A custom format code shows a date when, outside quoted text, [brackets]
// (colours, locales, elapsed [h]) and escaped characters, it has a year, day
// or month, and a time when it has hours or seconds. "m" is minutes next to
// hours or seconds and a month otherwise. Only the first section counts
// (the one for positive numbers).
Shown customFormat(const QString& code)
{
    bool year = false, month = false, day = false, hour = false, second = false, elapsed = false;
    bool inQuotes = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i].toLower();
        if (inQuotes) {
            if (c == u'"')
                inQuotes = false;
            continue;
        }
        if (c == u'"') {
            inQuotes = true;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i; // the next character is literal (or padding)
        } else if (c == u'[') {
            const qsizetype end = code.indexOf(u']', i);
            if (end < 0)
                break;
            const QString inside = code.mid(i + 1, end - i - 1).toLower();
            if (inside == u"h" || inside == u"hh" || inside == u"m" || inside == u"mm" || inside == u"s"
                || inside == u"ss")
                elapsed = true;
            i = end;
        } else if (c == u';') {
            break;
        } else if (c == u'y' || c == u'e') {
            year = true;
        } else if (c == u'd') {
            day = true;
        } else if (c == u'm') {
            month = true;
        } else if (c == u'h') {
            hour = true;
        } else if (c == u's') {
            second = true;
        }
    }
    if (elapsed)
        return Shown::Time;
    const bool time = hour || second;
    const bool date = year || day || (month && !time);
    if (date && time)
        return Shown::DateTime;
    if (date)
        return Shown::Date;
    if (time)
        return Shown::Time;
    return Shown::Number;
}

// Characters XML cannot carry are written as _xHHHH_.
QString unescapeText(const QString& text)
{
    if (!text.contains(u"_x"))
        return text;
    static const QRegularExpression escape(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
    QString result;
    qsizetype last = 0;
    auto it = escape.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        result += QStringView(text).mid(last, m.capturedStart() - last);
        result += QChar(char16_t(m.captured(1).toUShort(nullptr, 16)));
        last = m.capturedEnd();
    }
    result += QStringView(text).mid(last);
    return result;
}

// "C12" → column 2, row 11 (both from 0). False for anything else.
bool parseCellReference(QStringView ref, int* column, int* row)
{
    qsizetype i = 0;
    qint64 col = 0;
    while (i < ref.size() && ref[i].isLetter() && ref[i].unicode() < 128) {
        col = col * 26 + (ref[i].toUpper().unicode() - 'A' + 1);
        if (col > MaxColumns)
            return false;
        ++i;
    }
    if (i == 0 || i == ref.size())
        return false;
    bool ok = false;
    const int r = ref.mid(i).toInt(&ok);
    if (!ok || r < 1 || r > MaxRows)
        return false;
    *column = int(col - 1);
    *row = r - 1;
    return true;
}

QString resolveTarget(const QString& sourceFolder, const QString& target)
{
    if (target.startsWith(u'/'))
        return QDir::cleanPath(target.mid(1));
    return QDir::cleanPath(sourceFolder.isEmpty() ? target : sourceFolder + u'/' + target);
}

QString folderOf(const QString& part)
{
    const qsizetype slash = part.lastIndexOf(u'/');
    return slash < 0 ? QString() : part.left(slash);
}

struct Relationship {
    QString type; // the last segment of the type URI: "worksheet", "sharedStrings", …
    QString part;
};

struct Workbook {
    QStringList names;
    QStringList sheetParts;
    bool date1904 = false;
    QString sharedStringsPart;
    QString stylesPart;
};

// One part of the package as a device, so that a large sheet is parsed as it
// is inflated rather than held whole.
class ZipEntry : public QIODevice {
public:
    ZipEntry(zip_file_t* file, qint64 size) : file_(file), size_(size) { QIODevice::open(QIODevice::ReadOnly); }
    ~ZipEntry() override { zip_fclose(file_); }
    qint64 size() const override { return size_; }
    bool failed() const { return failed_; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const zip_int64_t got = zip_fread(file_, data, zip_uint64_t(maxSize));
        if (got < 0)
            failed_ = true;
        return got;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    zip_file_t* file_;
    qint64 size_;
    bool failed_ = false;
};

class Package {
public:
    explicit Package(const QString& path) : path_(path) { }
    ~Package()
    {
        if (zip_)
            zip_discard(zip_);
    }
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    bool open(QString* error)
    {
        int code = 0;
        zip_ = zip_open(QFile::encodeName(path_).constData(), ZIP_RDONLY, &code);
        if (zip_)
            return true;
        QFile file(path_);
        QByteArray head;
        if (file.open(QIODevice::ReadOnly))
            head = file.read(8);
        if (head.startsWith("\xD0\xCF\x11\xE0"))
            setError(error,
                     notExcelMessage(path_, QStringLiteral("它可能设有打开密码，或者是改了扩展名的 .xls 文件。")));
        else
            setError(error, notExcelMessage(path_));
        return false;
    }

    bool has(const QString& part) { return zip_name_locate(zip_, part.toUtf8().constData(), ZIP_FL_NOCASE) >= 0; }

    // The part as a device to parse; nullptr, with *error set, when it is
    // missing or cannot be inflated.
    std::unique_ptr<ZipEntry> openPart(const QString& part, QString* error)
    {
        const zip_int64_t index = zip_name_locate(zip_, part.toUtf8().constData(), ZIP_FL_NOCASE);
        if (index < 0) {
            setError(error, notExcelMessage(path_, QStringLiteral("文件中缺少“%1”。").arg(part)));
            return nullptr;
        }
        zip_stat_t stat;
        zip_stat_init(&stat);
        zip_file_t* opened = zip_stat_index(zip_, zip_uint64_t(index), 0, &stat) == 0
            ? zip_fopen_index(zip_, zip_uint64_t(index), 0)
            : nullptr;
        if (!opened) {
            setError(error, notExcelMessage(path_, QStringLiteral("无法解压“%1”。").arg(part)));
            return nullptr;
        }
        return std::make_unique<ZipEntry>(opened, (stat.valid & ZIP_STAT_SIZE) ? qint64(stat.size) : 0);
    }

    // Runs `parse` over the part's XML. A missing part is an error only when
    // `required`.
    bool parse(const QString& part, bool required, QString* error,
               const std::function<bool(QXmlStreamReader&, QString*)>& parse)
    {
        if (!has(part)) {
            if (required)
                setError(error, notExcelMessage(path_, QStringLiteral("文件中缺少“%1”。").arg(part)));
            return !required;
        }
        const std::unique_ptr<ZipEntry> file = openPart(part, error);
        if (!file)
            return false;
        QXmlStreamReader xml(file.get());
        if (!parse(xml, error))
            return false;
        if (file->failed()) {
            setError(error, notExcelMessage(path_, QStringLiteral("文件已损坏（“%1”解压出错）。").arg(part)));
            return false;
        }
        if (xml.hasError()) {
            setError(error,
                     notExcelMessage(
                         path_,
                         QStringLiteral("文件已损坏（“%1”第 %2 行的 XML 有错误）。").arg(part).arg(xml.lineNumber())));
            return false;
        }
        return true;
    }

    QVector<Relationship> relationships(const QString& sourcePart, QString* error, bool* ok)
    {
        const QString folder = folderOf(sourcePart);
        const QString relsPart = (folder.isEmpty() ? QString() : folder + u'/') + QStringLiteral("_rels/")
            + sourcePart.mid(folder.isEmpty() ? 0 : folder.size() + 1) + QStringLiteral(".rels");
        QVector<Relationship> result;
        ids_.clear();
        *ok = parse(relsPart, false, error, [&](QXmlStreamReader& xml, QString*) {
            while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
                if (xml.isStartElement() && xml.name() == u"Relationship") {
                    const auto a = xml.attributes();
                    if (a.value(QLatin1String("TargetMode")) == u"External")
                        continue;
                    const QString type = a.value(QLatin1String("Type")).toString();
                    Relationship rel{type.mid(type.lastIndexOf(u'/') + 1),
                                     resolveTarget(folder, a.value(QLatin1String("Target")).toString())};
                    result << rel;
                    ids_.insert(a.value(QLatin1String("Id")).toString(), rel.part);
                }
            }
            return true;
        });
        return result;
    }

    QString partForId(const QString& id) const { return ids_.value(id); }

    const QString& path() const { return path_; }

private:
    QString path_;
    zip_t* zip_ = nullptr;
    QHash<QString, QString> ids_;
};

std::optional<Workbook> readWorkbook(Package& package, QString* error)
{
    bool ok = true;
    QString workbookPart;
    for (const auto& rel : package.relationships(QString(), error, &ok))
        if (rel.type == u"officeDocument")
            workbookPart = rel.part;
    if (!ok)
        return std::nullopt;
    if (workbookPart.isEmpty())
        workbookPart = QStringLiteral("xl/workbook.xml");
    if (!package.has(workbookPart)) {
        setError(error, notExcelMessage(package.path(), QStringLiteral("文件中没有工作簿。")));
        return std::nullopt;
    }

    Workbook book;
    for (const auto& rel : package.relationships(workbookPart, error, &ok)) {
        if (rel.type == u"sharedStrings")
            book.sharedStringsPart = rel.part;
        else if (rel.type == u"styles")
            book.stylesPart = rel.part;
    }
    if (!ok)
        return std::nullopt;

    QStringList ids;
    ok = package.parse(workbookPart, true, error, [&](QXmlStreamReader& xml, QString*) {
        while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
            if (!xml.isStartElement())
                continue;
            if (xml.name() == u"workbookPr") {
                const auto value = xml.attributes().value(QLatin1String("date1904"));
                book.date1904 = value == u"1" || value == u"true";
            } else if (xml.name() == u"sheet") {
                QString id;
                for (const auto& a : xml.attributes())
                    if (a.name() == u"id" && !a.namespaceUri().isEmpty())
                        id = a.value().toString();
                book.names << xml.attributes().value(QLatin1String("name")).toString();
                ids << id;
            }
        }
        return true;
    });
    if (!ok)
        return std::nullopt;
    if (book.names.isEmpty()) {
        setError(error, notExcelMessage(package.path(), QStringLiteral("工作簿中没有工作表。")));
        return std::nullopt;
    }
    for (const QString& id : ids)
        book.sheetParts << package.partForId(id);
    if (book.sharedStringsPart.isEmpty() && package.has(QStringLiteral("xl/sharedStrings.xml")))
        book.sharedStringsPart = QStringLiteral("xl/sharedStrings.xml");
    if (book.stylesPart.isEmpty() && package.has(QStringLiteral("xl/styles.xml")))
        book.stylesPart = QStringLiteral("xl/styles.xml");
    return book;
}

// How each cell format (the s attribute of a cell, an index into cellXfs)
// shows numbers.
bool readStyles(Package& package, const Workbook& book, QVector<Shown>* formats, QString* error)
{
    if (book.stylesPart.isEmpty())
        return true;
    QHash<int, QString> custom;
    QVector<int> xfFormats;
    const bool ok = package.parse(book.stylesPart, false, error, [&](QXmlStreamReader& xml, QString*) {
        bool inCellXfs = false;
        while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
            if (xml.isStartElement()) {
                if (xml.name() == u"numFmt")
                    custom.insert(xml.attributes().value(QLatin1String("numFmtId")).toInt(),
                                  xml.attributes().value(QLatin1String("formatCode")).toString());
                else if (xml.name() == u"cellXfs")
                    inCellXfs = true;
                else if (inCellXfs && xml.name() == u"xf")
                    xfFormats << xml.attributes().value(QLatin1String("numFmtId")).toInt();
            } else if (xml.isEndElement() && xml.name() == u"cellXfs") {
                inCellXfs = false;
            }
        }
        return true;
    });
    for (const int id : xfFormats)
        *formats << (custom.contains(id) ? customFormat(custom.value(id)) : builtinFormat(id));
    return ok;
}

Cell numberCell(double value, Shown shown, bool date1904)
{
    if (shown == Shown::Number)
        return Cell::ofNumber(value);
    if (!date1904 && std::floor(value) == 60 && shown != Shown::Time)
        return Cell::ofText(QStringLiteral("1900-02-29")); // Excel's day that never was
    const auto dt = serialToDateTime(value, date1904);
    if (!dt)
        return Cell::ofNumber(value);
    switch (shown) {
    case Shown::Date:
        return dt->time == QTime(0, 0) ? Cell::ofDate(dt->date) : Cell::ofDateTime(dt->date, dt->time);
    case Shown::DateTime:
        return Cell::ofDateTime(dt->date, dt->time);
    case Shown::Time:
        // A time of day; more than a day is an elapsed time ([h]:mm), a number.
        return value < 1 ? Cell::ofTime(dt->time) : Cell::ofNumber(value);
    case Shown::Number:
        break;
    }
    return Cell::ofNumber(value);
}

// The attribute `name` of an element as expat hands them over (name, value,
// name, value, …, null); null when absent.
const char* attribute(const char** attributes, const char* name)
{
    for (int i = 0; attributes[i]; i += 2) {
        const char* local = std::strrchr(attributes[i], ':');
        if (std::strcmp(local ? local + 1 : attributes[i], name) == 0)
            return attributes[i + 1];
    }
    return nullptr;
}

// An element's name without its prefix ("x:c" → "c").
const char* localName(const char* name)
{
    const char* colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

// Digits of an attribute as a number, from 0; -1 for anything else.
int digitsValue(const char* text)
{
    if (!text || !*text)
        return -1;
    int n = 0;
    for (int i = 0; text[i]; ++i) {
        if (text[i] < '0' || text[i] > '9' || i >= 9)
            return -1;
        n = n * 10 + (text[i] - '0');
    }
    return n;
}

QByteArray trimmedBytes(const QByteArray& bytes)
{
    return bytes.trimmed();
}

// "C12" → column 2, row 11 (both from 0), as parseCellReference() does for
// the reference as the sheet's XML has it.
bool parseCellReference(const QByteArray& ref, int* column, int* row)
{
    qsizetype i = 0;
    qint64 col = 0;
    for (; i < ref.size(); ++i) {
        const char c = ref[i];
        if (c >= 'A' && c <= 'Z')
            col = col * 26 + (c - 'A' + 1);
        else if (c >= 'a' && c <= 'z')
            col = col * 26 + (c - 'a' + 1);
        else
            break;
        if (col > MaxColumns)
            return false;
    }
    if (i == 0 || i == ref.size() || ref.size() - i > 7)
        return false;
    qint64 r = 0;
    for (; i < ref.size(); ++i) {
        if (ref[i] < '0' || ref[i] > '9')
            return false;
        r = r * 10 + (ref[i] - '0');
    }
    if (r < 1 || r > MaxRows)
        return false;
    *column = int(col - 1);
    *row = int(r - 1);
    return true;
}

// The shared string table: the text of each <si>, its <t> or the <t> of its
// rich-text runs <r>, without the phonetic guides <rPh>. A workbook of a
// large ledger holds hundreds of thousands of them, so expat reads them too.
class SharedStrings {
public:
    explicit SharedStrings(QStringList* strings) : m_strings(strings) { }

    bool read(Package& package, const QString& part, QString* error)
    {
        const std::unique_ptr<ZipEntry> file = package.openPart(part, error);
        if (!file)
            return false;
        const std::unique_ptr<std::remove_pointer_t<XML_Parser>, void (*)(XML_Parser)> parser(XML_ParserCreate("UTF-8"),
                                                                                              XML_ParserFree);
        if (!parser) {
            setError(error, cannotReadMessage(package.path(), QStringLiteral("内存不足。")));
            return false;
        }
        XML_SetUserData(parser.get(), this);
        XML_SetElementHandler(parser.get(), &SharedStrings::started, &SharedStrings::ended);
        XML_SetCharacterDataHandler(parser.get(), &SharedStrings::characters);
        constexpr int ChunkBytes = 256 * 1024;
        while (true) {
            void* buffer = XML_GetBuffer(parser.get(), ChunkBytes);
            const qint64 got = buffer ? file->read(static_cast<char*>(buffer), ChunkBytes) : -1;
            if (got < 0 || file->failed()) {
                setError(error,
                         notExcelMessage(package.path(), QStringLiteral("文件已损坏（“%1”解压出错）。").arg(part)));
                return false;
            }
            if (XML_ParseBuffer(parser.get(), int(got), got == 0) != XML_STATUS_OK) {
                setError(error,
                         notExcelMessage(package.path(),
                                         QStringLiteral("文件已损坏（“%1”第 %2 行的 XML 有错误）。")
                                             .arg(part)
                                             .arg(XML_GetCurrentLineNumber(parser.get()))));
                return false;
            }
            if (got == 0)
                return true;
        }
    }

private:
    static void XMLCALL started(void* data, const char* name, const char**)
    {
        auto* self = static_cast<SharedStrings*>(data);
        name = localName(name);
        if (std::strcmp(name, "si") == 0) {
            self->m_inItem = true;
            self->m_text.resize(0);
        } else if (std::strcmp(name, "rPh") == 0) {
            ++self->m_phonetic;
        } else if (std::strcmp(name, "t") == 0) {
            self->m_inText = self->m_inItem && self->m_phonetic == 0;
        }
    }
    static void XMLCALL ended(void* data, const char* name)
    {
        auto* self = static_cast<SharedStrings*>(data);
        name = localName(name);
        if (std::strcmp(name, "si") == 0) {
            self->m_strings->append(unescapeText(QString::fromUtf8(self->m_text)));
            self->m_inItem = false;
        } else if (std::strcmp(name, "rPh") == 0) {
            --self->m_phonetic;
        } else if (std::strcmp(name, "t") == 0) {
            self->m_inText = false;
        }
    }
    static void XMLCALL characters(void* data, const char* text, int length)
    {
        auto* self = static_cast<SharedStrings*>(data);
        if (self->m_inText)
            self->m_text.append(text, length);
    }

    QStringList* m_strings;
    QByteArray m_text;
    bool m_inItem = false, m_inText = false;
    int m_phonetic = 0;
};

bool readSharedStrings(Package& package, const Workbook& book, QStringList* strings, QString* error)
{
    if (book.sharedStringsPart.isEmpty() || !package.has(book.sharedStringsPart))
        return true;
    return SharedStrings(strings).read(package, book.sharedStringsPart, error);
}

// A worksheet part parsed as it is inflated: the sheet of a large ledger
// holds millions of cells, so its XML goes through expat, several times
// faster than QXmlStreamReader here; the small parts (workbook, styles,
// shared strings) are read with the latter. Each call of next() parses on
// until a row is whole and hands over its cells. Only the rows of one chunk
// of the file, the shared strings and the formats are held.
class XlsxRows : public SheetRows {
public:
    XlsxRows(const QString& path, Workbook book) : m_package(path), m_book(std::move(book)) { }
    ~XlsxRows() override
    {
        if (m_parser)
            XML_ParserFree(m_parser);
    }
    XlsxRows(const XlsxRows&) = delete;
    XlsxRows& operator=(const XlsxRows&) = delete;

    bool open(int sheetIndex, QString* error)
    {
        if (!m_package.open(error))
            return false;
        const QString part = m_book.sheetParts[sheetIndex];
        if (part.isEmpty() || !m_package.has(part)) {
            setError(error,
                     notExcelMessage(m_package.path(),
                                     QStringLiteral("找不到工作表“%1”的内容。").arg(m_book.names[sheetIndex])));
            return false;
        }
        if (!readSharedStrings(m_package, m_book, &m_strings, error)
            || !readStyles(m_package, m_book, &m_formats, error))
            return false;
        m_part = part;
        m_file = m_package.openPart(part, error);
        if (!m_file)
            return false;
        m_parser = XML_ParserCreate("UTF-8");
        if (!m_parser) {
            setError(error, cannotReadMessage(path(), QStringLiteral("内存不足。")));
            return false;
        }
        XML_SetUserData(m_parser, this);
        XML_SetElementHandler(m_parser, &XlsxRows::started, &XlsxRows::ended);
        XML_SetCharacterDataHandler(m_parser, &XlsxRows::characters);
        return true;
    }

    bool next(SheetRow* out) override
    {
        while (m_nextReady >= m_ready.size()) {
            if (m_done)
                return false;
            m_ready.clear();
            m_nextReady = 0;
            parseChunk();
        }
        std::swap(*out, m_ready[m_nextReady++]);
        return true;
    }

private:
    static constexpr int ChunkBytes = 256 * 1024;

    const QString& path() const { return m_package.path(); }

    // Inflates and parses the next piece of the part; at its end, or when
    // it turns out damaged, the reading is done.
    void parseChunk()
    {
        void* buffer = XML_GetBuffer(m_parser, ChunkBytes);
        if (!buffer) {
            m_error = cannotReadMessage(path(), QStringLiteral("内存不足。"));
            m_done = true;
            return;
        }
        const qint64 got = m_file->read(static_cast<char*>(buffer), ChunkBytes);
        if (got < 0 || m_file->failed()) {
            m_error = notExcelMessage(path(), QStringLiteral("文件已损坏（“%1”解压出错）。").arg(m_part));
            m_done = true;
            return;
        }
        const bool last = got == 0;
        if (XML_ParseBuffer(m_parser, int(got), last) != XML_STATUS_OK) {
            if (m_error.isEmpty()) // not a damaged cell, which says so itself
                m_error = notExcelMessage(path(),
                                          QStringLiteral("文件已损坏（“%1”第 %2 行的 XML 有错误）。")
                                              .arg(m_part)
                                              .arg(XML_GetCurrentLineNumber(m_parser)));
            m_done = true;
            m_ready.clear();
            return;
        }
        if (last) {
            completeRow();
            m_done = true;
        }
    }

    static void XMLCALL started(void* data, const char* name, const char** attributes)
    {
        static_cast<XlsxRows*>(data)->start(localName(name), attributes);
    }
    static void XMLCALL ended(void* data, const char* name) { static_cast<XlsxRows*>(data)->end(localName(name)); }
    static void XMLCALL characters(void* data, const char* text, int length)
    {
        auto* self = static_cast<XlsxRows*>(data);
        if (self->m_inValue || (self->m_inText && self->m_phonetic == 0))
            self->m_value.append(text, length);
    }

    void start(const char* name, const char** attributes)
    {
        if (m_inCell) {
            if (std::strcmp(name, "v") == 0) {
                m_inValue = true;
                m_hasValue = true;
            } else if (std::strcmp(name, "is") == 0) {
                m_inInline = true;
            } else if (m_inInline && std::strcmp(name, "t") == 0) {
                m_inText = true;
            } else if (std::strcmp(name, "rPh") == 0) {
                ++m_phonetic;
            }
            return;
        }
        if (std::strcmp(name, "c") == 0) {
            m_inCell = true;
            m_hasValue = false;
            m_value.resize(0);
            const char* ref = attribute(attributes, "r");
            // Kept in place: a sheet has millions of cells.
            m_ref.resize(0);
            if (ref)
                m_ref.append(ref);
            const char* type = attribute(attributes, "t");
            m_type.resize(0);
            if (type)
                m_type.append(type);
            m_style = digitsValue(attribute(attributes, "s"));
        } else if (std::strcmp(name, "row") == 0) {
            completeRow(); // a row left open ends here
            const char* r = attribute(attributes, "r");
            const int number = r ? digitsValue(r) : m_rowIndex + 2;
            if (number < 1 || number > MaxRows) {
                damaged(QStringLiteral("行号“%1”无效").arg(QString::fromUtf8(r)));
                return;
            }
            m_rowIndex = number - 1;
            m_nextColumn = 0;
        } else if (std::strcmp(name, "dimension") == 0) {
            // "A1:AD1001": the last row the sheet uses.
            const QString ref = QString::fromUtf8(attribute(attributes, "ref"));
            int column = 0, row = 0;
            if (parseCellReference(QStringView(ref).mid(ref.indexOf(u':') + 1), &column, &row))
                m_expectedRows = row + 1;
        }
    }

    void end(const char* name)
    {
        if (!m_inCell) {
            if (std::strcmp(name, "row") == 0)
                completeRow();
            return;
        }
        if (std::strcmp(name, "c") == 0) {
            m_inCell = m_inValue = m_inInline = m_inText = false;
            m_phonetic = 0;
            finishCell();
        } else if (std::strcmp(name, "v") == 0) {
            m_inValue = false;
        } else if (std::strcmp(name, "t") == 0) {
            m_inText = false;
        } else if (std::strcmp(name, "is") == 0) {
            m_inInline = false;
        } else if (std::strcmp(name, "rPh") == 0) {
            --m_phonetic;
        }
    }

    void damaged(const QString& what)
    {
        if (m_error.isEmpty())
            m_error = notExcelMessage(path(), QStringLiteral("文件已损坏（%1）。").arg(what));
        XML_StopParser(m_parser, XML_FALSE);
    }

    QString where(int row, int column) const
    {
        return m_ref.isEmpty() ? QStringLiteral("第 %1 行第 %2 列").arg(row + 1).arg(column + 1)
                               : QStringLiteral("单元格 %1").arg(QString::fromUtf8(m_ref));
    }

    // The cell just read, into the row at hand.
    void finishCell()
    {
        int column = m_nextColumn;
        int row = std::max(m_rowIndex, 0);
        if (!m_ref.isEmpty() && !parseCellReference(m_ref, &column, &row))
            return damaged(QStringLiteral("单元格位置“%1”无效").arg(QString::fromUtf8(m_ref)));
        if (column >= MaxColumns)
            return damaged(QStringLiteral("第 %1 行的单元格太多").arg(row + 1));

        Cell cell;
        if (m_type == "inlineStr") {
            cell = Cell::ofText(unescapeText(QString::fromUtf8(m_value)));
        } else if (!m_hasValue) {
            // A formatted blank cell.
        } else if (m_type == "s") {
            const int index = digitsValue(trimmedBytes(m_value).constData());
            if (index < 0 || index >= m_strings.size())
                return damaged(QStringLiteral("%1 引用的共享文字不存在").arg(where(row, column)));
            cell = Cell::ofText(m_strings.at(index));
        } else if (m_type == "str") {
            cell = Cell::ofText(unescapeText(QString::fromUtf8(m_value)));
        } else if (m_type == "b") {
            const QByteArray v = trimmedBytes(m_value);
            cell = Cell::ofBoolean(v == "1" || v == "true");
        } else if (m_type == "e") {
            cell = Cell::ofError(QString::fromUtf8(m_value));
        } else if (m_type == "d") {
            const QString value = QString::fromUtf8(m_value);
            const QDateTime dt = QDateTime::fromString(value, Qt::ISODateWithMs);
            if (dt.isValid())
                cell = dt.time() == QTime(0, 0) ? Cell::ofDate(dt.date()) : Cell::ofDateTime(dt.date(), dt.time());
            else if (const QDate d = QDate::fromString(value, Qt::ISODate); d.isValid())
                cell = Cell::ofDate(d);
            else
                return damaged(QStringLiteral("%1 的日期“%2”无效").arg(where(row, column), value));
        } else if (m_type.isEmpty() || m_type == "n") {
            bool ok = false;
            const double number = m_value.trimmed().toDouble(&ok);
            if (!ok)
                return damaged(QStringLiteral("%1 的数值“%2”无效").arg(where(row, column), QString::fromUtf8(m_value)));
            const Shown shown = m_style >= 0 && m_style < m_formats.size() ? m_formats.at(m_style) : Shown::Number;
            cell = numberCell(number, shown, m_book.date1904);
        } else {
            return damaged(QStringLiteral("%1 的类型“%2”未知").arg(where(row, column), QString::fromUtf8(m_type)));
        }

        m_nextColumn = column + 1;
        m_rowIndex = row;
        if (row != m_pending.index) {
            // A cell of another row than the one at hand (a row without its
            // <row> element, or a misplaced cell): the row at hand is done.
            completeRow();
            m_pending.index = row;
        }
        if (cell.isEmpty())
            return;
        if (m_pending.cells.size() <= column)
            m_pending.cells.resize(column + 1);
        m_pending.cells[column] = std::move(cell);
    }

    // The row at hand is whole: it waits to be handed over.
    void completeRow()
    {
        if (m_pending.cells.isEmpty())
            return;
        m_width = std::max(m_width, int(m_pending.cells.size()));
        m_ready.append(std::move(m_pending));
        m_pending.cells = QVector<Cell>();
        m_pending.cells.reserve(m_width); // rows of a list are as wide as the one before
    }

    Package m_package;
    Workbook m_book;
    QString m_part;
    QStringList m_strings;
    QVector<Shown> m_formats;
    std::unique_ptr<ZipEntry> m_file;
    XML_Parser m_parser = nullptr;

    // The cell being read.
    bool m_inCell = false, m_inValue = false, m_inInline = false, m_inText = false, m_hasValue = false;
    int m_phonetic = 0;
    QByteArray m_ref, m_type, m_value;
    int m_style = -1;

    SheetRow m_pending;        // the row being read
    QVector<SheetRow> m_ready; // whole rows, not yet handed over
    int m_nextReady = 0;
    int m_width = 0; // the widest row so far
    int m_rowIndex = -1;
    int m_nextColumn = 0;
    bool m_done = false;
};

} // namespace

QStringList xlsxSheetNames(const QString& path, QString* error)
{
    Package package(path);
    if (!package.open(error))
        return {};
    const auto book = readWorkbook(package, error);
    return book ? book->names : QStringList();
}

std::unique_ptr<SheetRows> openXlsxRows(const QString& path, int sheetIndex, QString* error)
{
    std::optional<Workbook> book;
    {
        Package package(path);
        if (!package.open(error))
            return nullptr;
        book = readWorkbook(package, error);
        if (!book)
            return nullptr;
    }
    if (sheetIndex < 0 || sheetIndex >= book->names.size()) {
        setError(error, noSuchSheetMessage(path, sheetIndex));
        return nullptr;
    }
    auto rows = std::make_unique<XlsxRows>(path, std::move(*book));
    if (!rows->open(sheetIndex, error))
        return nullptr;
    return rows;
}

} // namespace ravo::exchange::detail
