#include "CommandLine.h"

#include "core/DataFolder.h"
#include "core/Database.h"
#include "core/InstanceLock.h"
#include "core/Ledger.h"
#include "exchange/Export.h"
#include "exchange/ImportCommand.h"
#include "exchange/ServerCopy.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace ravo::cli {

namespace {

struct Option {
    QString name;
    Job job; // the job the option belongs to; Windows for the shared ones
};

// Every option of the command line. All of them take a value.
const QVector<Option>& options()
{
    static const QVector<Option> list = {
        {QStringLiteral("--appdir"), Job::Windows}, {QStringLiteral("--server"), Job::Windows},
        {QStringLiteral("--export"), Job::Export},  {QStringLiteral("--due"), Job::Due},
        {QStringLiteral("--to"), Job::Export}, // the target of --export and of --due
    };
    return list;
}

const Option* findOption(const QString& name)
{
    for (const Option& o : options())
        if (o.name == name)
            return &o;
    return nullptr;
}

void print(FILE* stream, const QString& text)
{
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

int refuse(const QString& why)
{
    print(stderr, why);
    return 1;
}

QStringList argumentList(int argc, char* argv[])
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

// The ledger folder of a job: the one named, or the one the program would
// use.
QString jobFolder(const CommandLine& line, QString* problem)
{
    if (!line.appDir.isEmpty())
        return line.appDir;
    const DataFolder data = chooseDataFolder(QCoreApplication::applicationDirPath(),
                                             QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    *problem = data.problem;
    return data.folder;
}

// The ledger file of a job's folder; empty, with the reason, when the
// folder cannot be used or holds no ledger.
QString jobLedger(const CommandLine& line, QString* appDir, QString* problem)
{
    *appDir = jobFolder(line, problem);
    if (!problem->isEmpty())
        return {};
    const QString ledger = QDir(*appDir).filePath(QStringLiteral("ravo.mdb"));
    if (!QFileInfo(ledger).isFile()) {
        *problem = QStringLiteral("找不到台帐数据库文件：%1").arg(QDir::toNativeSeparators(ledger));
        return {};
    }
    return ledger;
}

int runExport(const CommandLine& line)
{
    if (!exchange::ledgerTables().contains(line.table))
        return refuse(QStringLiteral("没有可以导出的数据表《%1》。可以导出的数据表有：%2")
                          .arg(line.table, exchange::ledgerTables().join(QStringLiteral("、"))));
    QString appDir, problem;
    const QString ledger = jobLedger(line, &appDir, &problem);
    if (ledger.isEmpty())
        return refuse(problem);

    // The same lock as the program: a copy at work in the folder may be
    // rebuilding its working tables.
    InstanceLock lock(appDir);
    if (!lock.isLocked())
        return refuse(lock.problem());
    Database db;
    if (const DbError e = db.open(ledger))
        return refuse(e.text());
    const exchange::ExportResult r = exchange::exportTable(db, line.table, line.target, line.table);
    if (!r.ok())
        return refuse(
            QStringLiteral("导出没有完成，没有写入文件“%1”。\n%2").arg(QDir::toNativeSeparators(line.target), r.error));
    print(stdout, QStringLiteral("已导出 %1 条记录到“%2”。").arg(r.rows).arg(QDir::toNativeSeparators(line.target)));
    return 0;
}

int runDue(const CommandLine& line)
{
    QString appDir, problem;
    const QString ledger = jobLedger(line, &appDir, &problem);
    if (ledger.isEmpty())
        return refuse(problem);
    // No single-copy lock: the list reads only the in-use ledger, in one
    // statement, never a working table.
    Database db;
    if (const DbError e = db.open(ledger))
        return refuse(e.text());
    const QDate today = QDate::currentDate();
    const exchange::ExportResult r = exchange::exportDueList(db, tables::InUse, today.addDays(line.dueDays), today,
                                                             line.target, QStringLiteral("到期设备"));
    if (!r.ok())
        return refuse(QStringLiteral("到期设备清单没有写成，没有写入文件“%1”。\n%2")
                          .arg(QDir::toNativeSeparators(line.target), r.error));
    print(stdout,
          QStringLiteral("已写入 %1 台已经到期或 %2 天内到期的计量器具到“%3”。")
              .arg(r.rows)
              .arg(line.dueDays)
              .arg(QDir::toNativeSeparators(line.target)));
    return 0;
}

// A line typed on the terminal without showing it (a password); nothing
// when there is no terminal to ask on or its input has ended.
std::optional<QString> askOnTerminal(const QString& prompt)
{
    if (!isatty(STDIN_FILENO))
        return std::nullopt;
    const QByteArray shown = prompt.toUtf8();
    std::fwrite(shown.constData(), 1, size_t(shown.size()), stderr);
    std::fflush(stderr);
    termios before{};
    const bool quiet = tcgetattr(STDIN_FILENO, &before) == 0;
    if (quiet) {
        termios hidden = before;
        hidden.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &hidden);
    }
    QByteArray line;
    int c = 0;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n')
        line.append(char(c));
    if (quiet)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
    std::fputc('\n', stderr);
    if (c == EOF && line.isEmpty())
        return std::nullopt;
    return QString::fromUtf8(line);
}

// The folder of a job that reads --appdir itself (the import, the copy to a
// server): the program's own ledger folder when no --appdir is given.
QString folderWithoutAppdir(QString* problem)
{
    return QCoreApplication::arguments().contains(QStringLiteral("--appdir")) ? QString()
                                                                              : jobFolder(CommandLine{}, problem);
}

// --copy-to-server: the ledger file and the settings' accounts moved to an
// empty database on a server.
int runCopyToServer()
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QString problem;
    const QString defaultFolder = folderWithoutAppdir(&problem);
    if (!problem.isEmpty())
        return refuse(problem);
    return exchange::runCopyToServerCommand(QCoreApplication::arguments(), defaultFolder, out, err, askOnTerminal);
}

// --server names the ledger the windows work on; a job without windows
// works on the ledger file of its folder, so the two do not go together.
QString serverOptionProblem(const CommandLine& line)
{
    if (!line.serverGiven || line.job == Job::Windows || line.job == Job::Help)
        return {};
    return QStringLiteral("选项 --server 只用于启动程序（在数据库服务器上的台帐中工作），"
                          "不能和导出、导入或到期设备清单一起用：这些命令只处理台帐文件夹中的台帐文件。");
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    QStringList seen;
    QStringList strays;
    QString jobOption; // --export or --due
    QString dueValue;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (arg == QStringLiteral("--help") || arg == QStringLiteral("-h")) {
            line.job = Job::Help;
            return line;
        }
        const Option* option = findOption(arg);
        if (!option) {
            strays << arg;
            continue;
        }
        // --to names the target of whichever job the line asks for.
        if (arg == QStringLiteral("--to")) {
            if (line.job == Job::Windows)
                line.job = option->job;
        } else if (option->job != Job::Windows) {
            if (!jobOption.isEmpty() && jobOption != arg && line.problem.isEmpty())
                line.problem = QStringLiteral("选项 %1 和 %2 不能同时给。").arg(jobOption, arg);
            jobOption = arg;
            line.job = option->job;
        }
        if (seen.contains(arg) && line.problem.isEmpty())
            line.problem = QStringLiteral("选项 %1 只能给一次。").arg(arg);
        seen << arg;
        // Given without its text, --server still means a server was asked
        // for: the start is refused with the reason, not made on the file.
        if (arg == QStringLiteral("--server"))
            line.serverGiven = true;
        if (i + 1 >= arguments.size() || findOption(arguments.at(i + 1))) {
            if (line.problem.isEmpty())
                line.problem = QStringLiteral("选项 %1 后面缺少它的值。").arg(arg);
            continue;
        }
        const QString value = arguments.at(++i);
        if (arg == QStringLiteral("--appdir"))
            line.appDir = QDir(value).absolutePath();
        else if (arg == QStringLiteral("--export"))
            line.table = value;
        else if (arg == QStringLiteral("--to"))
            line.target = value;
        else if (arg == QStringLiteral("--due"))
            dueValue = value;
        else if (arg == QStringLiteral("--server"))
            line.server = value;
    }
    // Without a job the rest of the line is the program's (and Qt's).
    if (line.job == Job::Windows) {
        line.problem.clear();
        return line;
    }
    if (!line.problem.isEmpty())
        return line;
    if (const QString problem = serverOptionProblem(line); !problem.isEmpty()) {
        line.problem = problem;
        return line;
    }
    if (!strays.isEmpty()) {
        line.problem = QStringLiteral("不认识的参数：%1").arg(strays.join(QLatin1Char(' ')));
        return line;
    }
    const QString suffix = QFileInfo(line.target).suffix().toLower();
    const bool spreadsheet = suffix == QStringLiteral("xlsx") || suffix == QStringLiteral("csv");
    if (line.job == Job::Export) {
        if (!seen.contains(QStringLiteral("--export")))
            line.problem = QStringLiteral("缺少 --export：要导出哪一个数据表？");
        else if (!seen.contains(QStringLiteral("--to")))
            line.problem = QStringLiteral("缺少 --to：要导出到哪一个文件？");
        else if (!spreadsheet)
            line.problem = QStringLiteral("只能导出为 .xlsx 或 .csv 文件：%1").arg(line.target);
    } else if (line.job == Job::Due) {
        bool number = false;
        line.dueDays = dueValue.toInt(&number);
        if (!number || line.dueDays < 0 || line.dueDays > MaxDueDays)
            line.problem =
                QStringLiteral("--due 后面应是 0 到 %1 之间的天数，而不是“%2”。").arg(MaxDueDays).arg(dueValue);
        else if (!seen.contains(QStringLiteral("--to")))
            line.problem = QStringLiteral("缺少 --to：到期设备清单要写到哪一个文件？");
        else if (!spreadsheet)
            line.problem = QStringLiteral("到期设备清单只能写成 .xlsx 或 .csv 文件：%1").arg(line.target);
    }
    return line;
}

QString usageText()
{
    return QStringLiteral(
               "用法：\n"
               "  ravo [--appdir 台帐文件夹]\n"
               "      启动程序。\n"
               "  ravo [--appdir 台帐文件夹] --server \"host=服务器 port=端口 dbname=数据库 user=用户名\"\n"
               "      启动程序，这一次在 PostgreSQL 数据库服务器上的台帐中工作（密码在登录时输入）；\n"
               "      不改变“系统 → 数据库连接”中保存的选择。\n"
               "  ravo [--appdir 台帐文件夹] --export 数据表 --to 文件.xlsx|文件.csv\n"
               "      不开窗口、不登录，把数据表的全部记录导出到文件。数据表是以下之一：\n"
               "      %1\n"
               "  ravo [--appdir 台帐文件夹] --import 文件 [--sheet 工作表] --into 数据表\n"
               "       [--skip-bad [--report 报告.xlsx]]\n"
               "      不开窗口、不登录，把 .xlsx、.xls 或 .csv 文件导入数据表。--sheet 指定工作表\n"
               "      （名称或从 1 起的序号），默认为第一个含有标题行的工作表。\n"
               "  ravo [--appdir 台帐文件夹] --due 天数 --to 文件.xlsx|文件.csv\n"
               "      不开窗口、不登录，把在用库中有效日期在今天加上天数之内（含已经过期）的计量器具\n"
               "      按使用部门和有效日期写到文件，供每周提醒之用。天数为 0 到 %2。\n"
               "  ravo [--appdir 台帐文件夹] --copy-to-server \"host=主机 port=端口 dbname=数据库 user=用户\"\n"
               "      把台帐文件的全部数据表和本机的用户复制到数据库服务器上一个空的数据库中并逐表核对。\n"
               "      服务器密码取自环境变量 PGPASSWORD，没有时在终端上询问。\n"
               "  ravo --help\n"
               "      显示本说明。\n"
               "退出状态：0 完成；1 被拒绝（原因见上）；2 命令行有误。")
        .arg(exchange::ledgerTables().join(QStringLiteral("、")))
        .arg(MaxDueDays);
}

bool asksForJob(int argc, char* argv[])
{
    const QStringList arguments = argumentList(argc, argv);
    return exchange::isImportCommand(arguments) || exchange::isCopyToServerCommand(arguments)
        || parseCommandLine(arguments).job != Job::Windows;
}

int runJob(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("RAVO"));
    // The import reads its own options (--import, --sheet, --into,
    // --skip-bad, --report) beside --appdir.
    if (exchange::isImportCommand(QCoreApplication::arguments())) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        QString problem;
        const QString defaultFolder = folderWithoutAppdir(&problem);
        if (!problem.isEmpty())
            return refuse(problem);
        return exchange::runImportCommand(QCoreApplication::arguments(), defaultFolder, out, err);
    }
    if (exchange::isCopyToServerCommand(QCoreApplication::arguments()))
        return runCopyToServer();
    const CommandLine line = parseCommandLine(QCoreApplication::arguments());
    if (!line.problem.isEmpty()) {
        print(stderr, line.problem + QLatin1Char('\n') + usageText());
        return 2;
    }
    switch (line.job) {
    case Job::Help:
        print(stdout, usageText());
        return 0;
    case Job::Export:
        return runExport(line);
    case Job::Due:
        return runDue(line);
    case Job::Windows:
        break;
    }
    return 2;
}

} // namespace ravo::cli
