#include "exchange/ImportCommand.h"

#include "core/Database.h"
#include "core/InstanceLock.h"
#include "exchange/Import.h"

#include <QFileInfo>
#include <QTextStream>

namespace ravo::exchange {

namespace {

const QString Usage =
    QStringLiteral("用法：ravo [--appdir 台帐文件夹] --import 文件 [--sheet 工作表] --into 表 "
                   "[--skip-bad [--report 报告.xlsx]]\n"
                   "  文件  .xlsx、.xls 或 .csv\n"
                   "  表    %1\n"
                   "  --sheet     要导入的工作表：名称或序号（从 1 起）；默认为第一个含有标题行的工作表\n"
                   "  --skip-bad  只导入正确的行（默认：有一行不符合要求就不导入任何行）\n"
                   "  --report    把拒绝导入的行及原因保存到 .xlsx 文件");

int usage(QTextStream& err, const QString& problem)
{
    err << problem << '\n' << Usage.arg(importTables().join(QStringLiteral("、"))) << Qt::endl;
    return ImportUsage;
}

} // namespace

// The index of the sheet the user named, by its name or its number from 1;
// -1 when the file has none such.
int sheetNamed(const QStringList& sheets, const QString& wanted)
{
    if (const qsizetype i = sheets.indexOf(wanted); i >= 0)
        return int(i);
    bool ok = false;
    const int number = wanted.trimmed().toInt(&ok);
    return ok && number >= 1 && number <= sheets.size() ? number - 1 : -1;
}

int runImportJob(const QString& appDir, const QString& file, const QString& table, bool skipBad,
                 const QString& reportPath, QTextStream& out, QTextStream& err, const QString& sheetName)
{
    const QString target = importTableNamed(table);
    if (target.isEmpty())
        return usage(err, QStringLiteral("不能导入到“%1”。").arg(table));
    if (!QFileInfo(file).isFile())
        return usage(err, QStringLiteral("找不到文件“%1”。").arg(file));
    if (!isReadableSpreadsheet(file))
        return usage(err, QStringLiteral("不能导入“%1”：只能导入 .xlsx、.xls 和 .csv 文件。").arg(file));
    if (!reportPath.isEmpty() && !skipBad)
        return usage(err, QStringLiteral("--report 只能和 --skip-bad 一起使用。"));
    if (!reportPath.isEmpty()
        && QFileInfo(reportPath).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) != 0)
        return usage(err, QStringLiteral("报告文件“%1”必须是 .xlsx 文件。").arg(reportPath));

    InstanceLock lock(appDir);
    if (!lock.isLocked()) {
        err << lock.problem() << Qt::endl;
        return ImportRefused;
    }
    Database db;
    if (const DbError e = db.open(appDir + QStringLiteral("/ravo.mdb"))) {
        err << e.text() << Qt::endl;
        return ImportRefused;
    }

    QString error;
    const QStringList sheets = sheetNames(file, &error);
    if (sheets.isEmpty()) {
        err << error << Qt::endl;
        return ImportRefused;
    }
    int first = 0, last = int(sheets.size()) - 1;
    if (!sheetName.isEmpty()) {
        first = last = sheetNamed(sheets, sheetName);
        if (first < 0)
            return usage(err,
                         QStringLiteral("文件“%1”中没有工作表“%2”；文件中的工作表：%3。")
                             .arg(QFileInfo(file).fileName(), sheetName, sheets.join(QStringLiteral("、"))));
    }
    // The sheet named, or the first that holds a list for the table. Only
    // the top of each sheet is read to find its header row.
    int chosen = -1;
    std::optional<ImportPlan> plan;
    QString firstProblem;
    for (int i = first; i <= last && !plan; ++i) {
        const std::optional<Sheet> head = readSpreadsheetHead(file, i, HeaderSearchRows, &error);
        if (!head) {
            err << error << Qt::endl;
            return ImportRefused;
        }
        plan = planImport(*head, target, db.columns(target), &error);
        chosen = i;
        if (firstProblem.isEmpty())
            firstProblem = error;
    }
    if (!plan) {
        err << firstProblem << Qt::endl;
        return ImportRefused;
    }
    QStringList mapping;
    for (const auto& [source, column] : plan->mappedColumns())
        mapping << (plan->headers.at(source) == column ? column
                                                       : QStringLiteral("%1→%2").arg(plan->headers.at(source), column));
    out << QStringLiteral("工作表“%1”第 %2 行是标题行；导入的列：%3")
               .arg(sheets.at(chosen))
               .arg(plan->headerRow + 1)
               .arg(mapping.join(QStringLiteral("、")))
        << Qt::endl;

    Importer importer(db, file, chosen, *plan);
    const ImportOutcome outcome = importer.run({skipBad, reportPath, {}});
    for (const Refusal& r : outcome.refusals)
        err << QStringLiteral("第 %1 行\t%2\t%3")
                   .arg(r.fileRow)
                   .arg(r.number.isEmpty() ? QStringLiteral("-") : r.number, r.reason)
            << '\n';
    err.flush();
    switch (outcome.result) {
    case ImportOutcome::Result::Done:
        out << QStringLiteral("已向《%1》导入 %2 行").arg(target).arg(outcome.accepted);
        if (!outcome.refusals.isEmpty())
            out << QStringLiteral("，拒绝 %1 行").arg(outcome.refusals.size());
        if (!reportPath.isEmpty())
            out << QStringLiteral("；拒绝的行已保存到“%1”").arg(reportPath);
        out << QStringLiteral("。") << Qt::endl;
        return ImportDone;
    case ImportOutcome::Result::Refused:
        err << QStringLiteral("有 %1 行不符合要求，没有导入任何数据。").arg(outcome.refusals.size()) << Qt::endl;
        return ImportRefused;
    case ImportOutcome::Result::Cancelled:
    case ImportOutcome::Result::Failed:
        err << outcome.error << Qt::endl;
        return ImportRefused;
    }
    return ImportRefused;
}

bool isImportCommand(const QStringList& arguments)
{
    return arguments.contains(QStringLiteral("--import"));
}

int runImportCommand(const QStringList& arguments, const QString& defaultAppDir, QTextStream& out, QTextStream& err)
{
    QString appDir = defaultAppDir, file, table, report, sheet;
    bool skipBad = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        const auto value = [&](QString* into) {
            if (i + 1 >= arguments.size() || arguments.at(i + 1).startsWith(QStringLiteral("--")))
                return false;
            *into = arguments.at(++i);
            return true;
        };
        bool ok = true;
        if (a == QStringLiteral("--appdir"))
            ok = value(&appDir);
        else if (a == QStringLiteral("--import"))
            ok = value(&file);
        else if (a == QStringLiteral("--into"))
            ok = value(&table);
        else if (a == QStringLiteral("--sheet"))
            ok = value(&sheet);
        else if (a == QStringLiteral("--report"))
            ok = value(&report);
        else if (a == QStringLiteral("--skip-bad"))
            skipBad = true;
        else
            return usage(err, QStringLiteral("不认识的参数“%1”。").arg(a));
        if (!ok)
            return usage(err, QStringLiteral("“%1”后面缺少值。").arg(a));
    }
    if (file.isEmpty() || table.isEmpty())
        return usage(err, QStringLiteral("导入需要 --import 文件 和 --into 表。"));
    if (appDir.isEmpty())
        return usage(err, QStringLiteral("请用 --appdir 指定台帐所在的文件夹。"));
    return runImportJob(appDir, file, table, skipBad, report, out, err, sheet);
}

} // namespace ravo::exchange
