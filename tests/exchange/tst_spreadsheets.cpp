// Reading and writing spreadsheets: the written files read back cell for
// cell, and workbooks made by hand here show the reader each way Excel and
// other programs store cells.
#include "exchange/Spreadsheet.h"
#include "exchange/TableWriter.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>
#include <zip.h>

using namespace ravo::exchange;
using Kind = Cell::Kind;

Q_DECLARE_METATYPE(Cell)
Q_DECLARE_METATYPE(QVector<Cell>)

namespace ravo::exchange {
char* toString(const Cell& cell)
{
    static const char* kinds[] = {"Empty", "Text", "Number", "Boolean", "Date", "DateTime", "Time", "Error"};
    return QTest::toString(QStringLiteral("%1(%2)").arg(QLatin1String(kinds[int(cell.kind)]), cell.toString()));
}
} // namespace ravo::exchange

namespace {

Cell text(const char* utf8)
{
    return Cell::ofText(QString::fromUtf8(utf8));
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

bool writeZip(const QString& path, const QList<QPair<QString, QByteArray>>& parts)
{
    int code = 0;
    zip_t* zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!zip)
        return false;
    for (const auto& [name, bytes] : parts) {
        zip_source_t* source = zip_source_buffer(zip, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        if (!source || zip_file_add(zip, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(source);
            zip_discard(zip);
            return false;
        }
    }
    return zip_close(zip) == 0; // reads the buffers, which `parts` still holds
}

QByteArray zipPart(const QString& path, const QString& part)
{
    int code = 0;
    zip_t* zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!zip)
        return {};
    QByteArray bytes;
    if (zip_file_t* file = zip_fopen(zip, part.toUtf8().constData(), 0)) {
        char buffer[65536];
        zip_int64_t got;
        while ((got = zip_fread(file, buffer, sizeof buffer)) > 0)
            bytes.append(buffer, got);
        zip_fclose(file);
    }
    zip_discard(zip);
    return bytes;
}

// A workbook as Excel stores it, with the parts that matter to the reader:
// shared strings with rich runs and phonetic guides, inline strings, a
// missing row, a gap in a row, cells without references, cell formats whose
// number formats are and are not dates (cellStyleXfs first, which must not
// count), and a second sheet whose part is named by an absolute target.
QList<QPair<QString, QByteArray>> handMadeWorkbook(bool date1904)
{
    const QByteArray ns =
        R"( xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships")";
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    QByteArray workbook = "<workbook" + ns + ">" + (date1904 ? "<workbookPr date1904=\"1\"/>" : "<workbookPr/>")
        + "<sheets><sheet name=\"台账\" sheetId=\"1\" r:id=\"rId7\"/>"
          "<sheet name=\"备注\" sheetId=\"2\" r:id=\"rId2\"/></sheets></workbook>";
    QByteArray styles = "<styleSheet" + ns
        + ">"
          "<numFmts count=\"4\"><numFmt numFmtId=\"164\" formatCode=\"yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;\"/>"
          "<numFmt numFmtId=\"165\" formatCode=\"[Red]0.00\"/><numFmt numFmtId=\"166\" formatCode=\"h:mm\"/>"
          "<numFmt numFmtId=\"167\" formatCode=\"&quot;d=&quot;0\"/></numFmts>"
          "<cellStyleXfs count=\"1\"><xf numFmtId=\"14\"/></cellStyleXfs>"
          "<cellXfs count=\"8\"><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"164\"/><xf numFmtId=\"165\"/>"
          "<xf numFmtId=\"166\"/><xf numFmtId=\"22\"/><xf numFmtId=\"167\"/><xf numFmtId=\"31\"/></cellXfs></styleSheet>";
    QByteArray shared = "<sst" + ns
        + " count=\"3\" uniqueCount=\"3\"><si><t>仪器编号</t></si>"
          "<si><r><rPr><b/></rPr><t>检定</t></r><r><t>日期</t></r><rPh sb=\"0\" eb=\"2\"><t>ジャン</t></rPh></si>"
          "<si><t>000123</t></si></sst>";
    QByteArray sheet1 = "<worksheet" + ns
        + "><sheetData>"
          "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"inlineStr\"><is><t>名称</t></is></c>"
          "<c r=\"D1\" t=\"s\"><v>1</v></c></row>"
          "<row r=\"3\"><c r=\"A3\" t=\"s\"><v>2</v></c>"
          "<c r=\"B3\" t=\"inlineStr\"><is><r><t>游标</t></r><r><t xml:space=\"preserve\"> 卡尺_x000D_</t></r></is></c>"
          "<c r=\"C3\" s=\"1\"/><c r=\"D3\" s=\"2\"><v>36585</v></c></row>"
          "<row r=\"4\"><c t=\"b\"><v>1</v></c><c t=\"e\"><v>#N/A</v></c><c t=\"str\"><f>A1</f><v>公式</v></c>"
          "<c s=\"3\"><v>12.5</v></c></row>"
          "<row r=\"5\"><c r=\"A5\" s=\"4\"><v>0.75</v></c><c r=\"B5\" s=\"5\"><v>36585.5</v></c>"
          "<c r=\"C5\" s=\"6\"><v>7</v></c><c r=\"D5\" s=\"7\"><v>61</v></c><c r=\"E5\" s=\"1\"><v>60</v></c>"
          "<c r=\"F5\" s=\"1\"><v>1.25</v></c><c r=\"G5\" s=\"9\"><v>3</v></c></row>"
          "</sheetData></worksheet>";
    QByteArray sheet2 =
        "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<x:sheetData><x:row r=\"2\"><x:c r=\"B2\" t=\"inlineStr\"><x:is><x:t>第二页</x:t></x:is></x:c></x:row>"
        "</x:sheetData></x:worksheet>";
    return {
        {"[Content_Types].xml", "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"},
        {"_rels/.rels",
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId7\" Type=\""
             + rel
             + "officeDocument\" Target=\"xl/workbook.xml\"/>"
               "</Relationships>"},
        {"xl/workbook.xml", workbook},
        {"xl/_rels/workbook.xml.rels",
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId7\" Type=\""
             + rel
             + "worksheet\" Target=\"worksheets/sheet1.xml\"/>"
               "<Relationship Id=\"rId2\" Type=\""
             + rel
             + "worksheet\" Target=\"/xl/worksheets/sheet2.xml\"/>"
               "<Relationship Id=\"rId3\" Type=\""
             + rel
             + "sharedStrings\" Target=\"sharedStrings.xml\"/>"
               "<Relationship Id=\"rId4\" Type=\""
             + rel + "styles\" Target=\"styles.xml\"/></Relationships>"},
        {"xl/styles.xml", styles},
        {"xl/sharedStrings.xml", shared},
        {"xl/worksheets/sheet1.xml", sheet1},
        {"xl/worksheets/sheet2.xml", sheet2},
    };
}

// An Excel 97-2003 workbook built record by record: a compound file holding
// one "Workbook" stream with two sheets, a shared string table, a custom date
// format and the date system flag. The stream is padded past 4096 bytes so
// that it lives in ordinary sectors, not in the compound file's mini stream.
class BiffWriter {
public:
    void record(quint16 type, const QByteArray& body)
    {
        u16(type);
        u16(quint16(body.size()));
        stream.append(body);
    }
    void u16(quint16 v) { stream.append(char(v & 0xFF)).append(char(v >> 8)); }
    static QByteArray le16(quint16 v) { return QByteArray(1, char(v & 0xFF)) + char(v >> 8); }
    static QByteArray le32(quint32 v) { return le16(quint16(v & 0xFFFF)) + le16(quint16(v >> 16)); }
    static QByteArray utf16(const QString& s)
    {
        QByteArray b;
        for (const QChar c : s)
            b += le16(c.unicode());
        return b;
    }
    static QByteArray cell(quint16 row, quint16 col, quint16 xf) { return le16(row) + le16(col) + le16(xf); }
    QByteArray stream;
};

QByteArray handMadeXls(bool date1904)
{
    const QStringList strings{"仪器编号", "000123", "第二页"};
    auto bof = [](quint16 kind) {
        return BiffWriter::le16(0x0600) + BiffWriter::le16(kind) + BiffWriter::le16(0x0DBB) + BiffWriter::le16(0x07CC)
            + BiffWriter::le32(0) + BiffWriter::le32(6);
    };
    auto dimensions = [](quint32 rows, quint16 cols) {
        return BiffWriter::le32(0) + BiffWriter::le32(rows) + BiffWriter::le16(0) + BiffWriter::le16(cols)
            + BiffWriter::le16(0);
    };
    auto number = [](double v) {
        QByteArray b(8, 0);
        memcpy(b.data(), &v, 8);
        return b;
    };
    auto xf = [](quint16 format) {
        return BiffWriter::le16(0) + BiffWriter::le16(format) + BiffWriter::le16(0x0001) + QByteArray(14, 0);
    };
    // Globals, with the sheets' offsets filled in once known.
    BiffWriter w;
    w.record(0x0809, bof(0x0005));
    w.record(0x0042, BiffWriter::le16(1200)); // code page: UTF-16
    w.record(0x0022, BiffWriter::le16(date1904 ? 1 : 0));
    const QString code = "yyyy\"年\"m\"月\"d\"日\"";
    w.record(0x041E,
             BiffWriter::le16(164) + BiffWriter::le16(quint16(code.size())) + char(1) + BiffWriter::utf16(code));
    for (int i = 0; i < 16; ++i)
        w.record(0x00E0, xf(0));
    w.record(0x00E0, xf(164)); // 16: the custom date
    w.record(0x00E0, xf(22));  // 17: date and time
    qsizetype sheetOffsets[2];
    for (int i = 0; i < 2; ++i) {
        const QString name = i == 0 ? "台账" : "备注";
        sheetOffsets[i] = w.stream.size() + 4;
        w.record(0x0085,
                 BiffWriter::le32(0) + char(0) + char(0) + char(name.size()) + char(1) + BiffWriter::utf16(name));
    }
    QByteArray sst = BiffWriter::le32(quint32(strings.size())) + BiffWriter::le32(quint32(strings.size()));
    for (const QString& s : strings)
        sst += BiffWriter::le16(quint16(s.size())) + char(1) + BiffWriter::utf16(s);
    w.record(0x00FC, sst);
    w.record(0x00E2, QByteArray(4000, 0)); // padding
    w.record(0x000A, {});

    auto sheetAt = [&](int i) {
        const QByteArray pos = BiffWriter::le32(quint32(w.stream.size()));
        w.stream.replace(sheetOffsets[i], 4, pos);
    };
    sheetAt(0);
    w.record(0x0809, bof(0x0010));
    w.record(0x0200, dimensions(3, 4));
    w.record(0x00FD, BiffWriter::cell(0, 0, 15) + BiffWriter::le32(0));
    w.record(0x00FD, BiffWriter::cell(2, 0, 15) + BiffWriter::le32(1));
    w.record(0x0203, BiffWriter::cell(2, 1, 15) + number(12.5));
    w.record(0x0203, BiffWriter::cell(2, 2, 16) + number(36585));
    w.record(0x0203, BiffWriter::cell(2, 3, 17) + number(36585.5));
    w.record(0x000A, {});
    sheetAt(1);
    w.record(0x0809, bof(0x0010));
    w.record(0x0200, dimensions(1, 1));
    w.record(0x00FD, BiffWriter::cell(0, 0, 15) + BiffWriter::le32(2));
    w.record(0x000A, {});

    // The compound file: header, one FAT sector (0), one directory sector
    // (1), then the stream.
    QByteArray stream = w.stream;
    const int streamSectors = int((stream.size() + 511) / 512);
    stream.append(QByteArray(streamSectors * 512 - stream.size(), 0));
    QByteArray header = QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(16, 0) + BiffWriter::le16(0x3E)
        + BiffWriter::le16(3) + BiffWriter::le16(0xFFFE) + BiffWriter::le16(9) + BiffWriter::le16(6) + QByteArray(6, 0)
        + BiffWriter::le32(0) + BiffWriter::le32(1) + BiffWriter::le32(1) + BiffWriter::le32(0) + BiffWriter::le32(4096)
        + BiffWriter::le32(0xFFFFFFFE) + BiffWriter::le32(0) + BiffWriter::le32(0xFFFFFFFE) + BiffWriter::le32(0)
        + BiffWriter::le32(0);
    while (header.size() < 512)
        header += BiffWriter::le32(0xFFFFFFFF);
    QByteArray fat = BiffWriter::le32(0xFFFFFFFD) + BiffWriter::le32(0xFFFFFFFE);
    for (int i = 0; i < streamSectors; ++i)
        fat += BiffWriter::le32(i + 1 < streamSectors ? quint32(3 + i) : 0xFFFFFFFE);
    while (fat.size() < 512)
        fat += BiffWriter::le32(0xFFFFFFFF);
    auto entry = [](const QString& name, char type, quint32 child, quint32 start, quint32 size) {
        QByteArray e = BiffWriter::utf16(name);
        e.append(QByteArray(64 - e.size(), 0));
        e += BiffWriter::le16(quint16(name.isEmpty() ? 0 : (name.size() + 1) * 2)) + type + char(1)
            + BiffWriter::le32(0xFFFFFFFF) + BiffWriter::le32(0xFFFFFFFF) + BiffWriter::le32(child)
            + QByteArray(16 + 4 + 16, 0) + BiffWriter::le32(start) + BiffWriter::le32(size) + BiffWriter::le32(0);
        return e;
    };
    QByteArray directory = entry("Root Entry", 5, 1, 0xFFFFFFFE, 0)
        + entry("Workbook", 2, 0xFFFFFFFF, 2, quint32(w.stream.size())) + entry("", 0, 0xFFFFFFFF, 0xFFFFFFFF, 0)
        + entry("", 0, 0xFFFFFFFF, 0xFFFFFFFF, 0);
    return header + fat + directory + stream;
}

} // namespace

class TestSpreadsheets : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString at(const QString& name) const { return dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(writeZip(at("hand1900.xlsx"), handMadeWorkbook(false)));
        QVERIFY(writeZip(at("hand1904.xlsx"), handMadeWorkbook(true)));
        writeFile(at("hand1900.xls"), handMadeXls(false));
        writeFile(at("hand1904.xls"), handMadeXls(true));
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<int>("repeat"); // the rows written this many times over
        QTest::newRow("xlsx") << "台账.xlsx" << 1;
        QTest::newRow("xlsx, upper-case extension") << "LEDGER.XLSX" << 1;
        QTest::newRow("csv") << "台账.csv" << 1;
        // Megabytes of sheet: values cut by the reader's chunks of the
        // inflated part, rows handed over in many batches.
        QTest::newRow("xlsx, 10000 rows") << "大台账.xlsx" << 2000;
    }

    // Every kind of value comes back as it went out: from .xlsx with its
    // kind, from .csv as the text it was written as.
    void roundTrip()
    {
        QFETCH(QString, fileName);
        QFETCH(int, repeat);
        const QString path = at(fileName);
        const QStringList headers{"仪器编号", "名称", "备注", "检定日期", "数量", "其他"};
        const QVector<QVector<Cell>> written{
            {text("000123"), text("游标卡尺"), text("含\"引号\"，逗号, 和\r\n换行"), Cell::ofDate(QDate(2000, 2, 29)),
             Cell::ofNumber(3), Cell::ofDateTime(QDate(2024, 5, 6), QTime(7, 8, 9))},
            {Cell(), text(" 前后空格 "), text("a;b\tc"), Cell::ofDate(QDate(1900, 3, 1)), Cell::ofNumber(0.1),
             Cell::ofBoolean(true)},
            {text("1e5"), text("=SUM(A1)"), Cell(), Cell::ofDate(QDate(1900, 1, 1)), Cell::ofNumber(-1234567.75),
             Cell::ofTime(QTime(13, 30))},
            {text("\"")}, // shorter than the header
            {text("0012"), Cell(), text("一行\n两行"), Cell::ofDate(QDate(1899, 12, 31)), Cell::ofNumber(1e15)},
        };
        QVector<QVector<Cell>> rows;
        for (int i = 0; i < repeat; ++i)
            rows += written;
        {
            QString error;
            auto writer = createTableWriter(path, &error);
            QVERIFY2(writer, qPrintable(error));
            QVERIFY2(writer->begin(path, headers, &error), qPrintable(error));
            for (const auto& row : rows)
                QVERIFY2(writer->addRow(row, &error), qPrintable(error));
            QVERIFY2(writer->finish(&error), qPrintable(error));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).filter(".tmp"), QStringList());

        const bool csv = fileName.endsWith(".csv");
        QString error;
        const auto sheet = readSpreadsheet(path, 0, &error);
        QVERIFY2(sheet, qPrintable(error));
        QCOMPARE(sheet->rowCount(), rows.size() + 1);
        for (int c = 0; c < headers.size(); ++c)
            QCOMPARE(sheet->cell(0, c), Cell::ofText(headers[c]));
        // The top of the sheet alone, as the header search reads it.
        const auto head = readSpreadsheetHead(path, 0, 3, &error);
        QVERIFY2(head, qPrintable(error));
        QCOMPARE(head->rows, sheet->rows.mid(0, 3));
        for (int r = 0; r < rows.size(); ++r) {
            for (int c = 0; c < headers.size(); ++c) {
                Cell expected = rows[r].value(c);
                if (csv)
                    expected = Cell::ofText(expected.toString());
                else if (expected.kind == Kind::Date && expected.date.year() < 1900)
                    expected = Cell::ofText(expected.toString()); // Excel knows no earlier day
                QCOMPARE(sheet->cell(r + 1, c), expected);
            }
        }
        if (csv) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QVERIFY(bytes.startsWith("\xEF\xBB\xBF\xE4\xBB\xAA")); // byte-order mark, then 仪
            QVERIFY(bytes.contains(",\" 前后空格 \",\"a;b\tc\",1900-03-01,0.1,TRUE\r\n"));
            QVERIFY(bytes.contains("\"\"\"\",,,,,\r\n"));
        } else {
            // The header row is bold, frozen and filtered; Chinese columns are
            // wider than their character count.
            const QByteArray sheetXml = zipPart(path, "xl/worksheets/sheet1.xml");
            QVERIFY(sheetXml.contains("state=\"frozen\""));
            QVERIFY(sheetXml.contains(QStringLiteral("<autoFilter ref=\"A1:F%1\"").arg(rows.size() + 1).toUtf8()));
            QVERIFY(sheetXml.contains("<col min=\"2\" max=\"2\" width=\"13."));
            QVERIFY(zipPart(path, "xl/styles.xml").contains("<b/>"));
            QVERIFY(zipPart(path, "xl/styles.xml").contains("formatCode=\"yyyy-mm-dd\""));
        }
    }

    void excelDayNumbers_data()
    {
        QTest::addColumn<double>("serial");
        QTest::addColumn<bool>("date1904");
        QTest::addColumn<QDateTime>("expected"); // invalid: no day
        QTest::newRow("1900: day 1") << 1.0 << false << QDateTime(QDate(1900, 1, 1), QTime(0, 0));
        QTest::newRow("1900: day 59") << 59.0 << false << QDateTime(QDate(1900, 2, 28), QTime(0, 0));
        QTest::newRow("1900: day 60 never was") << 60.0 << false << QDateTime();
        QTest::newRow("1900: day 61") << 61.0 << false << QDateTime(QDate(1900, 3, 1), QTime(0, 0));
        QTest::newRow("1900: leap day 2000") << 36585.0 << false << QDateTime(QDate(2000, 2, 29), QTime(0, 0));
        QTest::newRow("1900: with time") << 45418.2959375 << false << QDateTime(QDate(2024, 5, 6), QTime(7, 6, 9));
        QTest::newRow("1900: last day") << 2958465.0 << false << QDateTime(QDate(9999, 12, 31), QTime(0, 0));
        QTest::newRow("1900: past the last day") << 2958466.0 << false << QDateTime();
        QTest::newRow("negative") << -1.0 << false << QDateTime();
        QTest::newRow("1904: day 0") << 0.0 << true << QDateTime(QDate(1904, 1, 1), QTime(0, 0));
        QTest::newRow("1904: day 60") << 60.0 << true << QDateTime(QDate(1904, 3, 1), QTime(0, 0));
        QTest::newRow("1904: leap day 2000") << 35123.5 << true << QDateTime(QDate(2000, 2, 29), QTime(12, 0));
    }

    void excelDayNumbers()
    {
        QFETCH(double, serial);
        QFETCH(bool, date1904);
        QFETCH(QDateTime, expected);
        const auto got = serialToDateTime(serial, date1904);
        QCOMPARE(got.has_value(), expected.isValid());
        if (!got)
            return;
        QCOMPARE(QDateTime(got->date, got->time), expected);
        if (!date1904) {
            const auto back = dateTimeToSerial(got->date, got->time);
            QVERIFY(back);
            QVERIFY(qAbs(*back - serial) < 1e-9);
        }
    }

    void csvFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QVector<QStringList>>("expected"); // "" for an empty cell
        const QByteArray chinese = "仪器编号,名称\r\n000123,\"游标卡尺,0-150mm\"\r\n";
        const QVector<QStringList> chineseRows{{"仪器编号", "名称"}, {"000123", "游标卡尺,0-150mm"}};
        QStringEncoder gb18030("GB18030");
        QVERIFY(gb18030.isValid());
        QTest::newRow("GB18030 from Excel") << QByteArray(gb18030(QString::fromUtf8(chinese))) << chineseRows;
        QTest::newRow("UTF-8 without mark") << chinese << chineseRows;
        QTest::newRow("UTF-8 with mark") << "\xEF\xBB\xBF" + chinese << chineseRows;
        QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        QTest::newRow("UTF-16 with tabs")
            << QByteArray(utf16(u"编号\t名称\n1\t卡尺\n")) << QVector<QStringList>{{"编号", "名称"}, {"1", "卡尺"}};
        QTest::newRow("semicolons, comma in values")
            << QByteArray("a;b;c\n1,5;\"x;y\";\n") << QVector<QStringList>{{"a", "b", "c"}, {"1,5", "x;y", ""}};
        QTest::newRow("tabs, one comma in the header")
            << QByteArray("a,b\tc\n1\t2\n") << QVector<QStringList>{{"a,b", "c"}, {"1", "2"}};
        QTest::newRow("quoted line break and quotes, LF")
            << QByteArray("x,y\n\"第一行\r\n第二行\",\"说\"\"好\"\"\"\n")
            << QVector<QStringList>{{"x", "y"}, {"第一行\r\n第二行", "说\"好\""}};
        QTest::newRow("blank line inside kept, at the end dropped")
            << QByteArray("a\r\n\r\nb\r\n\r\n\r\n") << QVector<QStringList>{{"a"}, {}, {"b"}};
        QTest::newRow("no line end at the end, empty fields")
            << QByteArray(",\"\", x ") << QVector<QStringList>{{"", "", " x "}};
    }

    void csvFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QVector<QStringList>, expected);
        const QString path = at("input.csv");
        writeFile(path, bytes);
        QString error;
        const auto sheet = readSpreadsheet(path, 0, &error);
        QVERIFY2(sheet, qPrintable(error));
        QCOMPARE(sheet->name, QString("input"));
        QCOMPARE(sheet->rowCount(), expected.size());
        for (int r = 0; r < expected.size(); ++r) {
            QCOMPARE(sheet->rows[r].size(), expected[r].size());
            for (int c = 0; c < expected[r].size(); ++c)
                QCOMPARE(sheet->cell(r, c), Cell::ofText(expected[r][c]));
        }
    }

    void handMadeXlsx_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<Cell>("expected");
        const QString w1900 = "hand1900.xlsx";
        QTest::newRow("shared string") << w1900 << 0 << 0 << text("仪器编号");
        QTest::newRow("inline string") << w1900 << 0 << 1 << text("名称");
        QTest::newRow("gap in a row") << w1900 << 0 << 2 << Cell();
        QTest::newRow("shared rich runs, no phonetic guide") << w1900 << 0 << 3 << text("检定日期");
        QTest::newRow("missing row") << w1900 << 1 << 0 << Cell();
        QTest::newRow("leading zeros") << w1900 << 2 << 0 << text("000123");
        QTest::newRow("inline rich runs, escaped character") << w1900 << 2 << 1 << text("游标 卡尺\r");
        QTest::newRow("formatted blank") << w1900 << 2 << 2 << Cell();
        QTest::newRow("custom Chinese date format") << w1900 << 2 << 3 << Cell::ofDate(QDate(2000, 2, 29));
        QTest::newRow("1904 workbook") << "hand1904.xlsx" << 2 << 3 << Cell::ofDate(QDate(2004, 3, 1));
        QTest::newRow("boolean, no reference") << w1900 << 3 << 0 << Cell::ofBoolean(true);
        QTest::newRow("error value") << w1900 << 3 << 1 << Cell::ofError("#N/A");
        QTest::newRow("formula text result") << w1900 << 3 << 2 << text("公式");
        QTest::newRow("[Red] is no day") << w1900 << 3 << 3 << Cell::ofNumber(12.5);
        QTest::newRow("time format") << w1900 << 4 << 0 << Cell::ofTime(QTime(18, 0));
        QTest::newRow("built-in date and time")
            << w1900 << 4 << 1 << Cell::ofDateTime(QDate(2000, 2, 29), QTime(12, 0));
        QTest::newRow("quoted d is no day") << w1900 << 4 << 2 << Cell::ofNumber(7);
        QTest::newRow("built-in Chinese date") << w1900 << 4 << 3 << Cell::ofDate(QDate(1900, 3, 1));
        QTest::newRow("1900-02-29 kept as text") << w1900 << 4 << 4 << text("1900-02-29");
        QTest::newRow("date format with a time") << w1900 << 4 << 5 << Cell::ofDateTime(QDate(1900, 1, 1), QTime(6, 0));
        QTest::newRow("unknown format index") << w1900 << 4 << 6 << Cell::ofNumber(3);
        QTest::newRow("xls: shared string") << "hand1900.xls" << 0 << 0 << text("仪器编号");
        QTest::newRow("xls: empty row") << "hand1900.xls" << 1 << 0 << Cell();
        QTest::newRow("xls: leading zeros") << "hand1900.xls" << 2 << 0 << text("000123");
        QTest::newRow("xls: number") << "hand1900.xls" << 2 << 1 << Cell::ofNumber(12.5);
        QTest::newRow("xls: custom date") << "hand1900.xls" << 2 << 2 << Cell::ofDate(QDate(2000, 2, 29));
        QTest::newRow("xls: 1904 workbook") << "hand1904.xls" << 2 << 2 << Cell::ofDate(QDate(2004, 3, 1));
        QTest::newRow("xls: date and time")
            << "hand1900.xls" << 2 << 3 << Cell::ofDateTime(QDate(2000, 2, 29), QTime(12, 0));
    }

    void handMadeXlsx()
    {
        QFETCH(QString, file);
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(Cell, expected);
        QString error;
        const auto sheet = readSpreadsheet(at(file), 0, &error);
        QVERIFY2(sheet, qPrintable(error));
        QCOMPARE(sheet->name, QString("台账"));
        QCOMPARE(sheet->cell(row, column), expected);
    }

    void secondSheet_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::newRow("xlsx") << "hand1900.xlsx" << 1 << 1;
        QTest::newRow("xls") << "hand1900.xls" << 0 << 0;
    }

    void secondSheet()
    {
        QFETCH(QString, file);
        QFETCH(int, row);
        QFETCH(int, column);
        QString error;
        QCOMPARE(sheetNames(at(file), &error), QStringList({"台账", "备注"}));
        const auto second = readSpreadsheet(at(file), 1, &error);
        QVERIFY2(second, qPrintable(error));
        QCOMPARE(second->name, QString("备注"));
        QCOMPARE(second->rowCount(), row + 1);
        QCOMPARE(second->cell(row, column), text("第二页"));
        QVERIFY(!readSpreadsheet(at(file), 2, &error));
        QCOMPARE(error, QString("文件“%1”中没有第 3 个工作表。").arg(file));
    }

    void badFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes"); // null: the file is not made
        QTest::addColumn<QString>("error");
        QTest::newRow("xlsx that is no zip")
            << "坏.xlsx" << QByteArray("仪器编号,名称\r\n") << "文件“坏.xlsx”不是有效的 Excel 文件。";
        QTest::newRow("missing csv") << "无.csv" << QByteArray() << "无法读取文件“无.csv”：文件不存在。";
        QTest::newRow("unsupported type")
            << "台账.ods" << QByteArray("x") << "不支持的文件类型：.ods（只能导入 .xlsx、.xls 和 .csv 文件）";
        QTest::newRow("xls that is no workbook")
            << "旧.xls" << QByteArray("not a workbook")
            << "文件“旧.xls”不是有效的 Excel 文件。它不是 Excel 97-2003 工作簿，或者已经损坏。";
        QTest::newRow("xls holding an xlsx")
            << "新.xls" << QByteArray("PK\x03\x04")
            << "文件“新.xls”不是有效的 Excel 文件。它其实是 Excel 2007 或更新版本的工作簿，请把扩展名改为 .xlsx 后再导入。";
        QTest::newRow("xlsx holding an xls")
            << "密.xlsx" << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")
            << "文件“密.xlsx”不是有效的 Excel 文件。它可能设有打开密码，或者是改了扩展名的 .xls 文件。";
        QTest::newRow("unclosed quote") << "引号.csv" << QByteArray("a,b\n1,\"2\n3\n")
                                        << "无法读取文件“引号.csv”：第 2 行开始的引号没有结束。";
        QTest::newRow("neither UTF-8 nor GB18030")
            << "乱.csv" << QByteArray("a,\xFF\xFF\n")
            << "无法读取文件“乱.csv”：无法识别文件的编码（只能读取 UTF-8 和 GB18030/GBK 编码的文件）。";
    }

    void badFiles()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        if (!bytes.isNull())
            writeFile(at(name), bytes);
        QString got;
        QVERIFY(!readSpreadsheet(at(name), 0, &got));
        QCOMPARE(got, error);
    }

    void damagedXlsx_data()
    {
        QTest::addColumn<QString>("part");
        QTest::addColumn<QByteArray>("replacement");
        QTest::addColumn<QString>("error");
        QTest::newRow("shared string out of range")
            << "xl/sharedStrings.xml" << QByteArray("<sst><si><t>x</t></si></sst>")
            << "文件“damaged.xlsx”不是有效的 Excel 文件。文件已损坏（单元格 D1 引用的共享文字不存在）。";
        QTest::newRow("broken XML")
            << "xl/worksheets/sheet1.xml" << QByteArray("<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>1</v>")
            << "文件“damaged.xlsx”不是有效的 Excel 文件。文件已损坏（“xl/worksheets/sheet1.xml”第 1 行的 XML 有错误）。";
        QTest::newRow("bad cell reference")
            << "xl/worksheets/sheet1.xml"
            << QByteArray("<worksheet><sheetData><row><c r=\"1A\"/></row></sheetData></worksheet>")
            << "文件“damaged.xlsx”不是有效的 Excel 文件。文件已损坏（单元格位置“1A”无效）。";
        QTest::newRow("no workbook") << "xl/workbook.xml" << QByteArray()
                                     << "文件“damaged.xlsx”不是有效的 Excel 文件。文件中没有工作簿。";
    }

    // A workbook damaged in one part is refused, never read in part.
    void damagedXlsx()
    {
        QFETCH(QString, part);
        QFETCH(QByteArray, replacement);
        QFETCH(QString, error);
        auto parts = handMadeWorkbook(false);
        for (int i = 0; i < parts.size(); ++i)
            if (parts[i].first == part) {
                if (replacement.isNull())
                    parts.removeAt(i);
                else
                    parts[i].second = replacement;
                break;
            }
        const QString path = at("damaged.xlsx");
        QFile::remove(path);
        QVERIFY(writeZip(path, parts));
        QString got;
        QVERIFY(!readSpreadsheet(path, 0, &got));
        QCOMPARE(got, error);
    }

    // A failed or abandoned export leaves the previous file as it was and no
    // temporary file behind.
    void failedExportKeepsTarget_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("xlsx") << "旧台账.xlsx";
        QTest::newRow("csv") << "旧台账.csv";
    }

    void failedExportKeepsTarget()
    {
        QFETCH(QString, name);
        QTemporaryDir folder;
        const QString path = folder.filePath(name);
        writeFile(path, "previous export");
        QString error;
        {
            auto writer = createTableWriter(path, &error);
            QVERIFY(writer->begin(path, {"编号", "名称"}, &error));
            QVERIFY(writer->addRow({text("1"), text("卡尺")}, &error));
            QVERIFY(!writer->addRow({text("1"), text("卡尺"), text("多余")}, &error));
            QCOMPARE(error, QString("无法写入文件“%1”：第 3 行有 3 个值，多于 2 列标题。").arg(name));
            QVERIFY(!writer->finish(&error));
        }
        {
            auto writer = createTableWriter(path, &error);
            QVERIFY(writer->begin(path, {"编号"}, &error));
            QVERIFY(writer->addRow({text("1")}, &error));
        } // abandoned
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("previous export"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{name});

        const QString nowhere = folder.filePath("没有的文件夹/" + name);
        auto writer = createTableWriter(nowhere, &error);
        QVERIFY(!writer->begin(nowhere, {"编号"}, &error));
        QVERIFY2(error.startsWith(QString("无法写入文件“%1”：文件夹“").arg(name)), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestSpreadsheets)
#include "tst_spreadsheets.moc"
