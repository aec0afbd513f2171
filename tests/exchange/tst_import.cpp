// Importing spreadsheets into the ledger: messy files as departments keep
// them (title rows, their own header words, dates written every way, GBK
// text), the rows refused and why, the all-or-nothing write, the report of
// refused rows, a round trip through an exported workbook, and the command
// line.
#include "TestSupport.h"
#include "core/Database.h"
#include "core/InstanceLock.h"
#include "core/Ledger.h"
#include "exchange/Import.h"
#include "exchange/ImportCommand.h"
#include "exchange/TableWriter.h"

#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>
#include <xlsxwriter.h>
#include <zip.h>

using namespace ravo;
using namespace ravo::exchange;

Q_DECLARE_METATYPE(Cell)

namespace {

Cell text(const char* utf8)
{
    return Cell::ofText(QString::fromUtf8(utf8));
}
QString u(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// Writes rows to an .xlsx file; the first row is the writer's header row, so
// a title row can stand there as it does in real ledgers.
bool writeXlsx(const QString& path, const QVector<QVector<Cell>>& rows)
{
    QString error;
    XlsxTableWriter writer(u("台帐"));
    QStringList first;
    int width = 0;
    for (const auto& r : rows)
        width = std::max(width, int(r.size()));
    for (int c = 0; c < width; ++c)
        first << rows.first().value(c).toString();
    if (!writer.begin(path, first, &error))
        return false;
    for (int i = 1; i < rows.size(); ++i)
        if (!writer.addRow(rows.at(i), &error))
            return false;
    return writer.finish(&error);
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Every row of a table, each value as text ("∅" for NULL), in rowid order.
QList<QStringList> tableRows(Database& db, const QString& table, const QStringList& columns = {})
{
    QStringList cols;
    for (const QString& c : columns.isEmpty() ? db.columns(table) : columns)
        cols << quotedIdentifier(c);
    QSqlQuery q(db.connection());
    QList<QStringList> rows;
    if (!q.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(cols.join(','), quotedIdentifier(table))))
        return {{q.lastError().text()}};
    while (q.next()) {
        QStringList r;
        for (int i = 0; i < cols.size(); ++i)
            r << (q.value(i).isNull() ? u("∅") : q.value(i).toString());
        rows << r;
    }
    return rows;
}

struct Loaded {
    std::optional<Sheet> sheet;
    std::optional<ImportPlan> plan;
    QString error;
};

Loaded load(Database& db, const QString& path, const QString& table)
{
    Loaded l;
    l.sheet = readSpreadsheet(path, 0, &l.error);
    if (l.sheet)
        l.plan = planImport(*l.sheet, table, db.columns(table), &l.error);
    return l;
}

const QStringList Checked = {u("计量器具编号"), u("计量器具名称"), u("规格型号"), u("出厂编号"),
                             u("制造厂家"),     u("计量器具类别"), u("检定日期"), u("有效日期"),
                             u("检定周期"),     u("使用部门"),     u("保管员"),   u("准确度")};

// The messy ledger all file forms carry, as a department keeps it.
QVector<QVector<Cell>> messyLedger(bool typedCells)
{
    const auto num = [&](double n, const char* asText) { return typedCells ? Cell::ofNumber(n) : text(asText); };
    const auto date = [&](QDate d, const char* asText) { return typedCells ? Cell::ofDate(d) : text(asText); };
    return {
        {text("某某公司计量器具台帐")},
        {},
        {text("填表日期：2024年1月"), {}, {}, {}, {}, {}, {}, text("单位：计量室")},
        {text("序号"), text("管理编号"), text(" 器具 名称 "), text("型号规格"), text("出厂号"), text("生产厂家"),
         text("类别"), text("上次检定日期"), text("有效期至"), text("检定周期（月）"), text("使用科室"), text("责任人"),
         text("精度")},
        {num(1, "1"), text("JL-001"), text(" 游标卡尺 "), text("0-150mm"), text("A123"), text("哈量"), text("长度"),
         date(QDate(2023, 5, 1), "2023-05-01"), text("2024/4/30"), num(12, "12"), text("计量室"), text("张三"),
         text("0.02mm")},
        {num(2, "2"),
         text("JL-002"),
         text("压力表"),
         text("Y-100"),
         {},
         text("红旗仪表"),
         text("力学F"),
         num(45047, "45047"),
         text("2024年4月30日"),
         num(6, "6"),
         text("一车间"),
         text("李四"),
         text("1.6级")},
        {num(3, "3"),
         text("JL-003"),
         text("温度计"),
         {},
         text("T9"),
         {},
         text("热工"),
         text("20230501"),
         text("2024.4.30"),
         text("12"),
         text("化验室"),
         {},
         {}},
        {},
        {text("制表人：王五"), {}, {}, {}, {}, {}, {}, text("审核：赵六")},
    };
}

const QList<QStringList> MessyStored = {
    {u("JL-001"), u("游标卡尺"), u("0-150mm"), u("A123"), u("哈量"), u("长度L"), u("2023-05-01"), u("2024-04-30"),
     u("12"), u("计量室"), u("张三"), u("0.02mm")},
    {u("JL-002"), u("压力表"), u("Y-100"), u("∅"), u("红旗仪表"), u("力学F"), u("2023-05-01"), u("2024-04-30"), u("6"),
     u("一车间"), u("李四"), u("1.6级")},
    {u("JL-003"), u("温度计"), u("∅"), u("T9"), u("∅"), u("热工T"), u("2023-05-01"), u("2024-04-30"), u("12"),
     u("化验室"), u("∅"), u("∅")},
};

QByteArray csvOf(const QVector<QVector<Cell>>& rows)
{
    QString out;
    for (const auto& r : rows) {
        QStringList fields;
        for (const Cell& c : r)
            fields << c.toString();
        out += fields.join(',') + "\r\n";
    }
    return out.toUtf8();
}

} // namespace

class TestImport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void headerWords_data();
    void headerWords();
    void values_data();
    void values();
    void messyFiles_data();
    void messyFiles();
    void noHeader();
    void refusedRows_data();
    void refusedRows();
    void roundTrip_data();
    void roundTrip();
    void failureLeavesLedger_data();
    void failureLeavesLedger();
    void commandLine_data();
    void commandLine();
    void program();

private:
    std::unique_ptr<test::Sandbox> m_box;
    std::unique_ptr<Database> m_db;
    std::unique_ptr<QTemporaryDir> m_files;
    QHash<QString, QStringList> m_columns; // the columns of each import table
    QString file(const QString& name) const { return m_files->filePath(name); }
};

void TestImport::initTestCase()
{
    test::Sandbox box;
    Database db;
    QVERIFY(!db.open(box.databasePath()));
    for (const QString& t : importTables())
        m_columns[t] = db.columns(t);
}

void TestImport::init()
{
    // Header words and values need no ledger.
    if (QByteArray(QTest::currentTestFunction()) == "headerWords"
        || QByteArray(QTest::currentTestFunction()) == "values")
        return;
    m_box = std::make_unique<test::Sandbox>();
    QVERIFY(m_box->isValid());
    m_db = std::make_unique<Database>();
    QVERIFY(!m_db->open(m_box->databasePath()));
    m_files = std::make_unique<QTemporaryDir>();
}

void TestImport::cleanup()
{
    m_db.reset();
    m_box.reset();
    m_files.reset();
}

// ------------------------------------------------------------ header words

void TestImport::headerWords_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("column");
    const QString inUse = tables::InUse;
    QTest::newRow("own name") << inUse << u("计量器具编号") << u("计量器具编号");
    QTest::newRow("blanks inside") << inUse << u("计量 器具\n名称") << u("计量器具名称");
    for (const char* w : {"编号", "管理编号", "器具编号", "统一编号"})
        QTest::newRow(w) << inUse << u(w) << u("计量器具编号");
    for (const char* w : {"型号", "规格", "型号规格", "规格型号"})
        QTest::newRow(w) << inUse << u(w) << u("规格型号");
    for (const char* w : {"有效期", "有效期至", "下次检定日期", "到期日期"})
        QTest::newRow(w) << inUse << u(w) << u("有效日期");
    QTest::newRow("校准日期") << inUse << u("校准日期") << u("检定日期");
    QTest::newRow("full-width unit") << inUse << u("检定周期（月）") << u("检定周期");
    QTest::newRow("half-width unit") << inUse << u("检定周期 (月)") << u("检定周期");
    QTest::newRow("出厂号") << inUse << u("出厂号") << u("出厂编号");
    QTest::newRow("制造商") << inUse << u("制造商") << u("制造厂家");
    QTest::newRow("使用单位") << inUse << u("使用单位") << u("使用部门");
    QTest::newRow("责任人") << inUse << u("责任人") << u("保管员");
    QTest::newRow("精度") << inUse << u("精度") << u("准确度");
    QTest::newRow("required mark") << inUse << u("*名称：") << u("计量器具名称");
    QTest::newRow("序号 left out") << inUse << u("序号") << QString();
    QTest::newRow("stock has no number") << tables::Stock << u("编号") << QString();
    QTest::newRow("stock quantity unit") << tables::Stock << u("数量（台）") << u("库存数量");
    QTest::newRow("environment 温度") << tables::Environment << u("温度") << u("环境温度");
    QTest::newRow("confirmation 温度 own") << tables::Confirmation << u("温度") << u("温度");
    QTest::newRow("certificate number") << tables::Confirmation << u("证书编号") << u("报告编号");
}

void TestImport::headerWords()
{
    QFETCH(QString, table);
    QFETCH(QString, header);
    QFETCH(QString, column);
    QCOMPARE(targetColumnFor(header, m_columns.value(table)), column);
}

// ------------------------------------------------------------------ values

void TestImport::values_data()
{
    QTest::addColumn<Cell>("cell");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("stored"); // invalid: refused
    const QString d = u("有效日期");
    const QVariant may1(u("2023-05-01"));
    QTest::newRow("iso") << text("2023-05-01") << d << may1;
    QTest::newRow("slashes") << text("2023/5/1") << d << may1;
    QTest::newRow("dots") << text("2023.5.1") << d << may1;
    QTest::newRow("chinese") << text("2023年5月1日") << d << may1;
    QTest::newRow("digits") << text(" 20230501 ") << d << may1;
    QTest::newRow("with time") << text("2023-05-01 00:00:00") << d << may1;
    QTest::newRow("date cell") << Cell::ofDate(QDate(2023, 5, 1)) << d << may1;
    QTest::newRow("date-time cell") << Cell::ofDateTime(QDate(2023, 5, 1), QTime(9, 0)) << d << may1;
    QTest::newRow("serial number") << Cell::ofNumber(45047) << d << may1;
    QTest::newRow("serial as text") << text("45047") << d << may1;
    QTest::newRow("digits as number") << Cell::ofNumber(20230501) << d << may1;
    QTest::newRow("empty") << Cell() << d << QVariant(QMetaType(QMetaType::QString));
    QTest::newRow("no such day") << text("2023-02-30") << d << QVariant();
    QTest::newRow("year only") << text("2023") << d << QVariant();
    QTest::newRow("words") << text("长期") << d << QVariant();
    QTest::newRow("error value") << Cell::ofError(u("#N/A")) << d << QVariant();
    QTest::newRow("text trimmed") << text("  游标卡尺\t") << u("计量器具名称") << QVariant(u("游标卡尺"));
    QTest::newRow("number as text") << Cell::ofNumber(12) << u("检定周期") << QVariant(u("12"));
    QTest::newRow("category letter added") << text("长度") << u("计量器具类别") << QVariant(u("长度L"));
    QTest::newRow("category 时间、频率") << text("时间、频率") << u("计量器具类别") << QVariant(u("时间、频率H"));
    QTest::newRow("category as listed") << text("电磁E") << u("计量器具类别") << QVariant(u("电磁E"));
    QTest::newRow("category unknown kept") << text("其他") << u("计量器具类别") << QVariant(u("其他"));
    QTest::newRow("quantity text") << text(" 12 ") << u("库存数量") << QVariant(qint64(12));
    QTest::newRow("quantity number") << Cell::ofNumber(3) << u("库存数量") << QVariant(qint64(3));
    QTest::newRow("quantity fraction") << text("1.5") << u("库存数量") << QVariant();
    QTest::newRow("quantity words") << text("三台") << u("库存数量") << QVariant();
    QTest::newRow("ID") << text("7") << u("ID") << QVariant(qint64(7));
    QTest::newRow("time") << text("8:30") << u("时间") << QVariant(u("08:30:00"));
    QTest::newRow("time cell") << Cell::ofTime(QTime(14, 5, 9)) << u("时间") << QVariant(u("14:05:09"));
    QTest::newRow("bad time") << text("25:00") << u("时间") << QVariant();
}

void TestImport::values()
{
    QFETCH(Cell, cell);
    QFETCH(QString, column);
    QFETCH(QVariant, stored);
    QString reason;
    const std::optional<QVariant> v = normaliseCell(cell, column, &reason);
    if (!stored.isValid()) {
        QVERIFY(!v);
        QVERIFY2(reason.contains(column), qPrintable(reason));
        return;
    }
    QVERIFY2(v, qPrintable(reason));
    if (stored.isNull()) {
        QVERIFY(v->isNull());
        return;
    }
    QCOMPARE(*v, stored);
}

// ------------------------------------------------------------- messy files

void TestImport::messyFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // empty: an .xlsx with typed cells
    QTest::newRow("xlsx") << u("台帐.xlsx") << QByteArray();
    QTest::newRow("utf-8 csv") << u("台帐.csv") << csvOf(messyLedger(false));
    QStringEncoder gbk("GB18030");
    QTest::newRow("gbk csv") << u("台帐.csv") << QByteArray(gbk(QString::fromUtf8(csvOf(messyLedger(false)))));
    // A quoted line break inside a name; the file's rows are counted as the
    // spreadsheet shows them.
    QByteArray broken = csvOf(messyLedger(false));
    broken.replace(QByteArray(",压力表,"), QByteArray(",\"压力表\n（弹簧管）\","));
    QTest::newRow("quoted line break") << u("换行.csv") << broken;
}

void TestImport::messyFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    const QString path = file(name);
    QVERIFY(bytes.isEmpty() ? writeXlsx(path, messyLedger(true)) : writeBytes(path, bytes));

    const Loaded l = load(*m_db, path, tables::InUse);
    QVERIFY2(l.plan, qPrintable(l.error));
    QCOMPARE(l.plan->headerRow, 3);
    QCOMPARE(l.plan->targets.value(0), QString()); // 序号
    Importer importer(*m_db, *l.sheet, *l.plan);
    const auto preview = importer.preview(2);
    QCOMPARE(preview.size(), 2);
    QCOMPARE(preview.at(1).fileRow, 6);

    const ImportOutcome outcome = importer.run({});
    QVERIFY2(outcome.result == ImportOutcome::Result::Done, qPrintable(outcome.error));
    QCOMPARE(outcome.accepted, 3);
    QVERIFY(outcome.refusals.isEmpty());
    QList<QStringList> expected = MessyStored;
    if (name == u("换行.csv"))
        expected[1][1] = u("压力表\n（弹簧管）");
    QCOMPARE(tableRows(*m_db, tables::InUse, Checked), expected);
}

void TestImport::noHeader()
{
    const QString path = file(u("名单.csv"));
    QVERIFY(writeBytes(path, u("姓名,电话\n张三,123\n").toUtf8()));
    const Loaded l = load(*m_db, path, tables::InUse);
    QVERIFY(!l.plan);
    QVERIFY2(l.error.contains(u("找不到标题行")), qPrintable(l.error));
}

// ----------------------------------------------------------- refused rows

void TestImport::refusedRows_data()
{
    QTest::addColumn<bool>("skipBad");
    QTest::newRow("all or nothing") << false;
    QTest::newRow("skip bad rows") << true;
}

void TestImport::refusedRows()
{
    QFETCH(bool, skipBad);
    QVERIFY(test::insertRow(*m_db, tables::Sealed, {{NumberColumn, u("F-9")}, {u("计量器具名称"), u("旧表")}}));
    QVERIFY(test::insertRow(*m_db, tables::InUse, {{NumberColumn, u("Z-1")}}));
    const QList<QStringList> before = tableRows(*m_db, tables::InUse);

    const QString path = file(u("有错.xlsx"));
    QVERIFY(writeXlsx(path,
                      {
                          {text("计量器具台帐")},
                          {text("编号"), text("名称"), text("有效期至")},
                          {text("A-1"), text("卡尺"), text("2024-01-31")},                // row 3
                          {text("A-2"), text("千分尺"), text("2024-02-30")},              // row 4: no such day
                          {text("a-1"), text("卡尺"), text("2024-03-01")},                // row 5: A-1 again
                          {text("F-9"), text("压力表"), {}},                              // row 6: sealed
                          {{}, text("无编号"), text("2024-01-01")},                       // row 7: blank number
                          {text("A-3"), text("温度计"), Cell::ofDate(QDate(2024, 6, 1))}, // row 8
                      }));
    const Loaded l = load(*m_db, path, tables::InUse);
    QVERIFY2(l.plan, qPrintable(l.error));
    Importer importer(*m_db, *l.sheet, *l.plan);

    const QVector<std::pair<int, QString>> expected = {
        {4, u("“有效日期”的“2024-02-30”不是有效的日期")},
        {5, u("计量器具编号“a-1”与第 3 行重复")},
        {6, u("计量器具编号“F-9”已在《计量器具封存库》中")},
        {7, u("计量器具编号为空")},
    };
    const auto compareRefusals = [&](const ImportOutcome& o) {
        QCOMPARE(o.refusals.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(o.refusals.at(i).fileRow, expected.at(i).first);
            QCOMPARE(o.refusals.at(i).reason, expected.at(i).second);
        }
    };
    const ImportOutcome checked = importer.check();
    QCOMPARE(checked.result, ImportOutcome::Result::Refused);
    QCOMPARE(checked.accepted, 2);
    compareRefusals(checked);

    const QString report = file(u("拒绝.xlsx"));
    const ImportOutcome outcome = importer.run({skipBad, skipBad ? report : QString(), {}});
    compareRefusals(outcome);
    if (!skipBad) {
        QCOMPARE(outcome.result, ImportOutcome::Result::Refused);
        QCOMPARE(tableRows(*m_db, tables::InUse), before);
        QVERIFY(!QFile::exists(report));
        return;
    }
    QCOMPARE(outcome.result, ImportOutcome::Result::Done);
    QCOMPARE(outcome.accepted, 2);
    QCOMPARE(tableRows(*m_db, tables::InUse, {NumberColumn, u("有效日期")}),
             (QList<QStringList>{{u("Z-1"), u("∅")}, {u("A-1"), u("2024-01-31")}, {u("A-3"), u("2024-06-01")}}));

    QString error;
    const auto sheet = readSpreadsheet(report, 0, &error);
    QVERIFY2(sheet, qPrintable(error));
    QCOMPARE(sheet->rowCount(), 1 + expected.size());
    QCOMPARE(sheet->cell(0, 0).text, u("文件行号"));
    QCOMPARE(sheet->cell(0, 2).text, u("编号"));
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(sheet->cell(i + 1, 0).number, double(expected.at(i).first));
        QCOMPARE(sheet->cell(i + 1, 1).text, expected.at(i).second);
    }
    QCOMPARE(sheet->cell(1, 4).text, u("2024-02-30")); // the value as the file had it
}

// -------------------------------------------------------------- round trip

void TestImport::roundTrip_data()
{
    QTest::addColumn<QString>("table");
    QTest::newRow("in use") << tables::InUse;
    QTest::newRow("stock") << tables::Stock;
    QTest::newRow("environment") << tables::Environment;
    QTest::newRow("scrapped") << tables::Scrapped;
}

void TestImport::roundTrip()
{
    QFETCH(QString, table);
    const QStringList columns = m_db->columns(table);
    // Rows using every column, with gaps, leading zeros and blanks inside.
    Transaction filling(*m_db);
    for (int r = 0; r < 40; ++r) {
        QVariantHash row;
        for (int c = 0; c < columns.size(); ++c) {
            const QString& col = columns.at(c);
            if ((r + c) % 7 == 3 && col != NumberColumn)
                continue;
            switch (columnKind(col)) {
            case ColumnKind::Date:
                row[col] = QDate(2000, 1, 1).addDays(r * 37 + c).toString(Qt::ISODate);
                break;
            case ColumnKind::Time:
                row[col] = QTime(0, 0).addSecs(r * 611 + c).toString(u("HH:mm:ss"));
                break;
            case ColumnKind::Number:
                row[col] = qint64(r * 10 + c);
                break;
            case ColumnKind::Text:
                row[col] =
                    col == NumberColumn ? u("%1").arg(r, 6, 10, QLatin1Char('0')) : u("%1 值 %2").arg(col).arg(r);
                break;
            }
        }
        QVERIFY(test::insertRow(*m_db, table, row));
    }
    QVERIFY(!filling.commit());
    const QList<QStringList> written = tableRows(*m_db, table);

    // Exported as the export writes it: dates as date cells, numbers as numbers.
    const QString path = file(u("导出.xlsx"));
    {
        QString error;
        XlsxTableWriter writer;
        QVERIFY2(writer.begin(path, columns, &error), qPrintable(error));
        QSqlQuery q(m_db->connection());
        QVERIFY(q.exec(u("SELECT * FROM %1 ORDER BY rowid").arg(quotedIdentifier(table))));
        while (q.next()) {
            QVector<Cell> cells;
            for (int c = 0; c < columns.size(); ++c) {
                const QVariant v = q.value(c);
                if (v.isNull())
                    cells << Cell();
                else if (columnKind(columns.at(c)) == ColumnKind::Date)
                    cells << Cell::ofDate(QDate::fromString(v.toString(), Qt::ISODate));
                else if (columnKind(columns.at(c)) == ColumnKind::Time)
                    cells << Cell::ofTime(QTime::fromString(v.toString(), u("HH:mm:ss")));
                else if (columnKind(columns.at(c)) == ColumnKind::Number)
                    cells << Cell::ofNumber(v.toDouble());
                else
                    cells << Cell::ofText(v.toString());
            }
            QVERIFY2(writer.addRow(cells, &error), qPrintable(error));
        }
        QVERIFY2(writer.finish(&error), qPrintable(error));
    }

    test::Sandbox empty;
    Database other;
    QVERIFY(!other.open(empty.databasePath()));
    const Loaded l = load(other, path, table);
    QVERIFY2(l.plan, qPrintable(l.error));
    QCOMPARE(l.plan->targets, columns);
    Importer importer(other, *l.sheet, *l.plan);
    const ImportOutcome outcome = importer.run({});
    QVERIFY2(outcome.result == ImportOutcome::Result::Done, qPrintable(outcome.error));
    QCOMPARE(outcome.accepted, 40);
    QCOMPARE(tableRows(other, table), written);
}

// ------------------------------------------------ failure in the middle

void TestImport::failureLeavesLedger_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("the ledger refuses row 500") << u("refused");
    QTest::newRow("cancelled halfway") << u("cancel");
    // Read from the file row by row, the damage shows only after 700 rows
    // were written.
    QTest::newRow("file damaged further on") << u("damaged");
}

void TestImport::failureLeavesLedger()
{
    QFETCH(QString, how);
    const bool cancel = how == u("cancel");
    QVERIFY(test::insertRow(*m_db, tables::InUse, {{NumberColumn, u("OLD-1")}, {u("备注"), u("原有")}}));
    const QList<QStringList> before = tableRows(*m_db, tables::InUse);
    if (how == u("refused"))
        QVERIFY(m_db->executeNative(u("CREATE TRIGGER 第五百行 BEFORE INSERT ON 计量器具在用库 "
                                      "WHEN NEW.计量器具编号 = 'N-0500' BEGIN SELECT RAISE(ABORT, '第五百行'); END"))
                    .ok());

    QVector<QVector<Cell>> rows = {{text("计量器具编号"), text("计量器具名称"), text("检定日期")}};
    for (int i = 1; i <= 1000; ++i)
        rows.append({Cell::ofText(u("N-%1").arg(i, 4, 10, QLatin1Char('0'))), text("卡尺"),
                     Cell::ofDate(QDate(2023, 1, 1).addDays(i))});
    const QString path = file(u("千行.xlsx"));
    QVERIFY(writeXlsx(path, rows));
    const Loaded l = load(*m_db, path, tables::InUse);
    QVERIFY2(l.plan, qPrintable(l.error));
    if (how == u("damaged")) {
        // The sheet's XML cut off after row 700.
        zip_t* zip = zip_open(QFile::encodeName(path).constData(), 0, nullptr);
        QVERIFY(zip);
        const zip_int64_t index = zip_name_locate(zip, "xl/worksheets/sheet1.xml", 0);
        QVERIFY(index >= 0);
        QByteArray xml;
        zip_file_t* part = zip_fopen_index(zip, zip_uint64_t(index), 0);
        QVERIFY(part);
        char buffer[65536];
        for (zip_int64_t got; (got = zip_fread(part, buffer, sizeof buffer)) > 0;)
            xml.append(buffer, qsizetype(got));
        zip_fclose(part);
        xml.truncate(xml.indexOf("<row r=\"702\"") + 20);
        zip_source_t* source = zip_source_buffer(zip, xml.constData(), zip_uint64_t(xml.size()), 0);
        QVERIFY(zip_file_replace(zip, zip_uint64_t(index), source, 0) == 0);
        QCOMPARE(zip_close(zip), 0);
    }

    Importer importer(*m_db, path, 0, *l.plan);
    ImportOptions options;
    options.skipBad = true;
    options.reportPath = file(u("报告.xlsx"));
    int calls = 0, total = 0;
    if (cancel)
        options.progress = [&](int done, int all) {
            ++calls;
            total = all;
            return done < 256;
        };
    const ImportOutcome outcome = importer.run(options);
    if (cancel) {
        QCOMPARE(outcome.result, ImportOutcome::Result::Cancelled);
        QCOMPARE(calls, 2);
        QCOMPARE(total, 1000); // as the sheet declares, although it is read a row at a time
    } else {
        QCOMPARE(outcome.result, ImportOutcome::Result::Failed);
        const QString expected = how == u("damaged") ? u("XML 有错误）。没有导入任何数据。") : u("第 501 行");
        QVERIFY2(outcome.error.contains(expected), qPrintable(outcome.error));
    }
    QCOMPARE(outcome.accepted, 0);
    QCOMPARE(tableRows(*m_db, tables::InUse), before);
    QVERIFY(!QFile::exists(options.reportPath));
    // The ledger takes writes again afterwards.
    QVERIFY(test::insertRow(*m_db, tables::InUse, {{NumberColumn, u("NEW-1")}}));
}

// ------------------------------------------------------------ command line

void TestImport::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments"); // %APP, %GOOD, %BAD, %REPORT, %SHEETS replaced
    QTest::addColumn<bool>("holdFolder");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("rowsAfter");
    QTest::addColumn<QString>("errorText");
    const QStringList base = {u("ravo"), u("--appdir"), u("%APP")};
    QTest::newRow("imported") << base + QStringList{u("--import"), u("%GOOD"), u("--into"), u("在用库")} << false << 0
                              << 2 << QString();
    QTest::newRow("refused") << base + QStringList{u("--import"), u("%BAD"), u("--into"), tables::InUse} << false << 1
                             << 0 << u("第 3 行\tB-1\t计量器具编号“B-1”与第 2 行重复");
    QTest::newRow("skip bad with report")
        << base + QStringList{u("--import"),   u("%BAD"),     u("--into"), tables::InUse,
                              u("--skip-bad"), u("--report"), u("%REPORT")}
        << false << 0 << 2 << u("第 4 行\t-\t计量器具编号为空");
    QTest::newRow("no table") << base + QStringList{u("--import"), u("%GOOD")} << false << 2 << 0 << u("用法");
    QTest::newRow("unknown table") << base + QStringList{u("--import"), u("%GOOD"), u("--into"), u("仓库")} << false
                                   << 2 << 0 << u("不能导入到“仓库”");
    QTest::newRow("unknown option") << base
            + QStringList{u("--import"), u("%GOOD"), u("--into"), u("在用库"), u("--fast")}
                                    << false << 2 << 0 << u("--fast");
    QTest::newRow("report without skip-bad")
        << base + QStringList{u("--import"), u("%GOOD"), u("--into"), u("在用库"), u("--report"), u("%REPORT")} << false
        << 2 << 0 << u("--skip-bad");
    QTest::newRow("folder held") << base + QStringList{u("--import"), u("%GOOD"), u("--into"), u("在用库")} << true << 1
                                 << 0 << InstanceLock::busyMessage();
    // %SHEETS: 说明 (no list), 在用 (two instruments), 封存 (one).
    const QStringList sheets = base + QStringList{u("--import"), u("%SHEETS"), u("--into"), u("在用库")};
    QTest::newRow("first sheet with a list") << sheets << false << 0 << 2 << QString();
    QTest::newRow("sheet by name") << sheets + QStringList{u("--sheet"), u("封存")} << false << 0 << 1 << QString();
    QTest::newRow("sheet by number") << sheets + QStringList{u("--sheet"), u("3")} << false << 0 << 1 << QString();
    QTest::newRow("sheet without a list") << sheets + QStringList{u("--sheet"), u("说明")} << false << 1 << 0
                                          << u("在工作表“说明”的前 50 行中找不到标题行");
    QTest::newRow("no such sheet") << sheets + QStringList{u("--sheet"), u("4")} << false << 2 << 0
                                   << u("文件“多表.xlsx”中没有工作表“4”；文件中的工作表：说明、在用、封存。");
    QTest::newRow("sheet without a name")
        << sheets + QStringList{u("--sheet")} << false << 2 << 0 << u("“--sheet”后面缺少值");
}

void TestImport::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, holdFolder);
    QFETCH(int, exitCode);
    QFETCH(int, rowsAfter);
    QFETCH(QString, errorText);
    const QString good = file(u("好.csv"));
    const QString bad = file(u("坏.csv"));
    QVERIFY(writeBytes(good, u("编号,名称\nG-1,卡尺\nG-2,千分尺\n").toUtf8()));
    QVERIFY(writeBytes(bad, u("编号,名称\nB-1,卡尺\nB-1,千分尺\n,无编号\nB-2,表\n").toUtf8()));
    const QString sheets = file(u("多表.xlsx"));
    {
        lxw_workbook* book = workbook_new(QFile::encodeName(sheets).constData());
        QVERIFY(book);
        const QList<QPair<const char*, QList<QStringList>>> content = {
            {"说明", {{u("本文件有两个台帐。")}}},
            {"在用", {{u("编号"), u("名称")}, {u("S-1"), u("卡尺")}, {u("S-2"), u("千分尺")}}},
            {"封存", {{u("编号"), u("名称")}, {u("T-1"), u("压力表")}}},
        };
        for (const auto& [name, rows] : content) {
            lxw_worksheet* sheet = workbook_add_worksheet(book, name);
            for (int r = 0; r < rows.size(); ++r)
                for (int c = 0; c < rows.at(r).size(); ++c)
                    worksheet_write_string(sheet, lxw_row_t(r), lxw_col_t(c), rows.at(r).at(c).toUtf8().constData(),
                                           nullptr);
        }
        QCOMPARE(workbook_close(book), LXW_NO_ERROR);
    }
    for (QString& a : arguments)
        a.replace(u("%APP"), m_box->appDir())
            .replace(u("%GOOD"), good)
            .replace(u("%BAD"), bad)
            .replace(u("%SHEETS"), sheets)
            .replace(u("%REPORT"), file(u("报告.xlsx")));

    std::optional<InstanceLock> other;
    if (holdFolder)
        other.emplace(m_box->appDir());
    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    const int code = runImportCommand(arguments, QString(), out, err);
    QVERIFY2(code == exitCode, qPrintable(errText));
    QVERIFY2(errText.contains(errorText), qPrintable(errText));
    QCOMPARE(tableRows(*m_db, tables::InUse).size(), rowsAfter);
    if (arguments.contains(u("--skip-bad")))
        QVERIFY(QFile::exists(file(u("报告.xlsx"))));
}

// The program itself takes the import from its command line, with no
// display to open a window on.
void TestImport::program()
{
    const QString path = file(u("好.csv"));
    QVERIFY(writeBytes(path, u("管理编号,器具名称,有效期至\nP-1,卡尺,2024年1月31日\n").toUtf8()));
    QProcess ravo;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(u("DISPLAY"));
    env.remove(u("WAYLAND_DISPLAY"));
    env.remove(u("QT_QPA_PLATFORM"));
    ravo.setProcessEnvironment(env);
    ravo.start(QStringLiteral(RAVO_PROGRAM),
               {u("--appdir"), m_box->appDir(), u("--import"), path, u("--into"), u("在用库")});
    QVERIFY(ravo.waitForFinished(30000));
    QVERIFY2(ravo.exitCode() == 0, ravo.readAllStandardError().constData());
    QCOMPARE(tableRows(*m_db, tables::InUse, {NumberColumn, u("有效日期")}),
             (QList<QStringList>{{u("P-1"), u("2024-01-31")}}));

    ravo.start(QStringLiteral(RAVO_PROGRAM), {u("--appdir"), m_box->appDir(), u("--import"), path});
    QVERIFY(ravo.waitForFinished(30000));
    QCOMPARE(ravo.exitCode(), 2);
}

QTEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"
