// Runs one operation of the program on a ledger folder, as the program would
// run it, built on the core library with the fault-injection hook so that
// the crash tests can end it abruptly in the middle:
//
//   ravo_operation_runner APPDIR OPERATION [options]
//
// Operations:
//   commit:TABLE   replaces TABLE by its working copy MSysTABLE (the OK of
//                  an editor)
//   ok:TABLE       the OK of an editor that writes only what changed: makes
//                  the working copy of TABLE with its books, changes its
//                  first row, deletes its second and adds one (before the
//                  hook is armed), then commits
//   confirmations  replaces the confirmation records by their working copy
//                  and carries the new records of a passed calibration into
//                  the in-use ledger (the confirmation editor's OK with the
//                  ledger update on)
//   edit:TABLE     the OK of an editor that adds one to the 联系电话
//                  counter of the instrument --number
//   move:N         the move numbered N (0 in use → scrapped, 1 in use →
//                  sealed, 2 sealed → in use, 3 sealed → scrapped,
//                  4 scrapped → in use) of --number, dated --date
//   import:TABLE   imports the first sheet of --file into TABLE, all rows
//                  or none (the import window's default)
//   backup         the start-up backup
//   compact        the start-up compaction
//   hold           takes the single-copy lock, says "held" and keeps it
//                  until its input ends
//   churn          (server) --count times, at random by --seed: the OK of an
//                  editor that adds one to the 联系电话 counter of one
//                  instrument of the in-use, sealed or scrapped ledger, or a
//                  move of one instrument that adds one to its 存放地点
//                  counter on the way; says "oks=… moves=… conflicts=…
//                  failures=…" at the end
// Options:
//   --after K                 end after the K-th statement
//   --after-text TEXT         end after the first statement containing TEXT
//   --occurrence N            … after the N-th such statement
//   --at POINT                end at a named point of the file operations
//   --end-on-progress K       end in the K-th progress report of a backup,
//                             compaction or import
//   --trace FILE              append every statement and point to FILE
//   --pause                   stop at the chosen statement instead of ending
//                             (says "paused", goes on at a line of input)
//   --server CONNECTION       work on a server ledger (APPDIR is not used;
//                             the password, if any, in RAVO_PASSWORD); says
//                             "backend PID" first
//   --seed S, --count N       for churn
//   --wait                    with ok: or edit: or move:, say "ready" once
//                             the edits are in the working copy and go on
//                             at a line of input (colleagues side by side)
//
// On a server a refused OK or move (a colleague was first) ends with
// status 5.
//
// Exit status: 0 done, 1 the operation failed (reason on stderr), 2 wrong
// use, 3 another copy holds the ledger, 86 ended by the hook.
#include "core/Calibration.h"
#include "core/Database.h"
#include "core/FaultInjection.h"
#include "core/History.h"
#include "core/InstanceLock.h"
#include "core/Ledger.h"
#include "core/Maintenance.h"
#include "core/WorkingCopy.h"
#include "exchange/Import.h"

#include <QCoreApplication>
#include <QDate>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QThread>
#include <cstdio>
#include <cstdlib>

using namespace ravo;

namespace {

int fail(const QString& why, int status = 1)
{
    std::fprintf(stderr, "%s\n", qPrintable(why));
    return status;
}

// The numbers of a ledger table.
QStringList numbersOf(Database& db, const QString& table)
{
    QStringList out;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (q.exec(QStringLiteral("SELECT %1 FROM %2").arg(quotedIdentifier(NumberColumn), quotedIdentifier(table))))
        while (q.next())
            out << q.value(0).toString();
    return out;
}

// Adds one to a counter column of the working row with this number.
DbError countUp(Database& db, const QString& working, const QString& column, const QString& number)
{
    return db
        .executeNative(QStringLiteral("UPDATE %1 SET %2 = (coalesce(nullif(%2, ''), '0')::integer + 1)::text "
                                      "WHERE %3 = ?")
                           .arg(quotedIdentifier(working), quotedIdentifier(column), quotedIdentifier(NumberColumn)),
                       {number})
        .error;
}

// Colleagues at work on one server ledger: OKs of one changed instrument and
// moves, chosen at random. A refused OK or move (someone else was first) is
// counted as a conflict; anything else that fails as a failure.
int churn(Database& db, quint32 seed, int count)
{
    QRandomGenerator random(seed);
    const QList<Move> moves = {Move::InUseToScrapped, Move::InUseToSealed, Move::SealedToInUse, Move::SealedToScrapped,
                               Move::ScrappedToInUse};
    const QStringList ledgers = {tables::InUse, tables::Sealed, tables::Scrapped};
    int oks = 0, moved = 0, conflicts = 0, failures = 0;
    for (int i = 0; i < count; ++i) {
        const bool isMove = random.bounded(10) < 4;
        const quint32 pick = random.generate();
        // A ledger chosen at random; an empty one passes to the next.
        const int first = int(random.bounded(ledgers.size()));
        QString table, working;
        QStringList numbers;
        DbError e;
        for (int k = 0; k < ledgers.size() && numbers.isEmpty(); ++k) {
            table = ledgers.at((first + k) % ledgers.size());
            working = tables::working(table);
            e = createTrackedWorkingTable(db, table, working, NumberColumn,
                                          QStringLiteral("select * into %1 from %2;").arg(working, table));
            if (e)
                break;
            numbers = numbersOf(db, working);
            if (numbers.isEmpty())
                dropWorkingTable(db, working);
        }
        if (numbers.isEmpty()) {
            ++failures;
            std::fprintf(stderr, "%s\n", qPrintable(e ? e.text() : QStringLiteral("every ledger empty")));
            dropWorkingTable(db, working);
            continue;
        }
        QList<Move> from;
        for (const Move m : moves)
            if (moveSpec(m).source == table)
                from << m;
        const Move move = from.at(int(pick / 7 % quint32(from.size())));
        const QString number = numbers.at(int(pick % quint32(numbers.size())));
        // The window is open a moment, as a user's would be.
        QThread::usleep(500 + random.bounded(1500));
        if (isMove) {
            e = countUp(db, working, QStringLiteral("存放地点"), number);
            if (!e)
                e = moveInstrument(db, move, number, QDate(2026, 12, 8));
        } else {
            e = countUp(db, working, QStringLiteral("联系电话"), number);
            if (!e)
                e = commitTrackedWorkingTable(db, table, working);
        }
        if (!e)
            ++(isMove ? moved : oks);
        else if (e.kind == DbError::Kind::Conflict)
            ++conflicts;
        else {
            ++failures;
            std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        }
        dropWorkingTable(db, working);
    }
    std::printf("oks=%d moves=%d conflicts=%d failures=%d\n", oks, moved, conflicts, failures);
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return fail(QStringLiteral("usage: ravo_operation_runner APPDIR OPERATION [options]"), 2);
    const QString appDir = args.at(1);
    const QString operation = args.at(2);

    faultinjection::Plan plan;
    QString number, file, server;
    quint32 seed = 1;
    bool waitForGo = false;
    auto ready = [&waitForGo] {
        if (!waitForGo)
            return;
        std::printf("ready\n");
        std::fflush(stdout);
        char line[64];
        if (!std::fgets(line, sizeof line, stdin))
            std::exit(2);
    };
    int count = 0;
    QDate today = QDate::currentDate();
    int endOnProgress = 0;
    for (int i = 3; i < args.size(); i += 2) {
        const QString& option = args.at(i);
        if (option == QLatin1String("--pause") || option == QLatin1String("--wait")) {
            (option == QLatin1String("--pause") ? plan.pauseInstead : waitForGo) = true;
            --i;
            continue;
        }
        if (i + 1 >= args.size())
            return fail(QStringLiteral("option without value: ") + option, 2);
        const QString& value = args.at(i + 1);
        if (option == QLatin1String("--after"))
            plan.afterStatement = value.toInt();
        else if (option == QLatin1String("--after-text"))
            plan.afterStatementContaining = value;
        else if (option == QLatin1String("--occurrence"))
            plan.occurrence = value.toInt();
        else if (option == QLatin1String("--at"))
            plan.atPoint = value;
        else if (option == QLatin1String("--end-on-progress"))
            endOnProgress = value.toInt();
        else if (option == QLatin1String("--server"))
            server = value;
        else if (option == QLatin1String("--seed"))
            seed = value.toUInt();
        else if (option == QLatin1String("--count"))
            count = value.toInt();
        else if (option == QLatin1String("--trace"))
            plan.traceFile = value;
        else if (option == QLatin1String("--file"))
            file = value;
        else if (option == QLatin1String("--number"))
            number = value;
        else if (option == QLatin1String("--date"))
            today = QDate::fromString(value, Qt::ISODate);
        else
            return fail(QStringLiteral("unknown option ") + option, 2);
    }

    Database db;
    if (!server.isEmpty()) {
        QString why;
        const std::optional<ServerAddress> address = ServerAddress::parse(server, &why);
        if (!address)
            return fail(why, 2);
        if (const DbError e = db.openServer(*address, qEnvironmentVariable("RAVO_PASSWORD")))
            return fail(e.text());
        QSqlQuery pid(db.connection());
        if (!pid.exec(QStringLiteral("SELECT pg_backend_pid()")) || !pid.next())
            return fail(QStringLiteral("no backend"));
        std::printf("backend %lld\n", pid.value(0).toLongLong());
        std::fflush(stdout);
    }
    if (operation == QLatin1String("churn"))
        return server.isEmpty() ? fail(QStringLiteral("churn needs --server"), 2) : churn(db, seed, count);

    InstanceLock lock(appDir);
    if (server.isEmpty() && !lock.isLocked())
        return fail(lock.problem(), 3);
    if (operation == QLatin1String("hold")) {
        std::printf("held\n");
        std::fflush(stdout);
        while (std::getchar() != EOF) {
        }
        return 0;
    }

    const LedgerFiles files(appDir);
    int progressCalls = 0;
    const MaintenanceProgress progress = [&](const QString&, int) {
        if (endOnProgress > 0 && ++progressCalls == endOnProgress)
            faultinjection::endNow();
    };
    if (operation == QLatin1String("backup")) {
        faultinjection::arm(plan);
        return backupDatabase(files, progress) ? 0 : fail(QStringLiteral("backup failed"));
    }
    if (operation == QLatin1String("compact")) {
        faultinjection::arm(plan);
        return compactDatabase(files, progress) ? 0 : fail(QStringLiteral("compaction failed"));
    }

    if (server.isEmpty())
        if (const DbError e = db.open(files.database))
            return fail(e.text());
    DbError e;
    if (operation.startsWith(QLatin1String("commit:"))) {
        const QString table = operation.mid(7);
        faultinjection::arm(plan);
        e = commitReplacedRows(db, table, tables::working(table), std::nullopt, deleteAllStatement(table),
                               insertAllStatement(table, tables::working(table)));
    } else if (operation.startsWith(QLatin1String("ok:"))) {
        const QString table = operation.mid(3);
        const QString working = tables::working(table);
        const bool stock = table == tables::Stock;
        const QString order = stock ? QStringLiteral("购买日期,计量器具名称") : NumberColumn;
        e = createTrackedWorkingTable(
            db, table, working, order,
            QStringLiteral("select * into %1 from %2 order by %3;").arg(working, table, order));
        const QStringList edits = {
            QStringLiteral("UPDATE %1 SET 计量器具名称 = '改过的' WHERE rowid = 1").arg(quotedIdentifier(working)),
            QStringLiteral("DELETE FROM %1 WHERE rowid = 2").arg(quotedIdentifier(working)),
            stock ? QStringLiteral("INSERT INTO %1 (计量器具名称, 库存数量) VALUES ('新的', 1)")
                        .arg(quotedIdentifier(working))
                  : QStringLiteral("INSERT INTO %1 (计量器具编号, 计量器具名称) VALUES ('NEW-1', '新的')")
                        .arg(quotedIdentifier(working)),
        };
        for (const QString& sql : edits)
            if (!e)
                e = db.executeNative(sql).error;
        if (e)
            return fail(e.text());
        ready();
        faultinjection::arm(plan);
        e = commitTrackedWorkingTable(db, table, working, insertAllStatement(table, working));
    } else if (operation.startsWith(QLatin1String("edit:"))) {
        const QString table = operation.mid(5);
        const QString working = tables::working(table);
        e = createTrackedWorkingTable(db, table, working, NumberColumn,
                                      QStringLiteral("select * into %1 from %2;").arg(working, table));
        if (!e)
            e = countUp(db, working, QStringLiteral("联系电话"), number);
        if (e)
            return fail(e.text());
        ready();
        faultinjection::arm(plan);
        e = commitTrackedWorkingTable(db, table, working);
    } else if (operation == QLatin1String("confirmations")) {
        faultinjection::arm(plan);
        e = commitConfirmationRecords(db, deleteAllStatement(tables::Confirmation),
                                      insertAllStatement(tables::Confirmation, tables::working(tables::Confirmation)),
                                      true, true);
    } else if (operation.startsWith(QLatin1String("move:"))) {
        const int which = operation.mid(5).toInt();
        if (which < 0 || which > 4)
            return fail(QStringLiteral("no such move"), 2);
        if (!server.isEmpty()) { // the editor's copy is the session's own
            const QString source = moveSpec(Move(which)).source;
            e = createTrackedWorkingTable(
                db, source, tables::working(source), NumberColumn,
                QStringLiteral("select * into %1 from %2;").arg(tables::working(source), source));
            if (e)
                return fail(e.text());
        }
        ready();
        faultinjection::arm(plan);
        e = moveInstrument(db, Move(which), number, today);
    } else if (operation.startsWith(QLatin1String("import:"))) {
        const QString table = operation.mid(7);
        QString error;
        const auto head = exchange::readSpreadsheetHead(file, 0, exchange::HeaderSearchRows, &error);
        const auto importPlan = head ? exchange::planImport(*head, table, db.columns(table), &error) : std::nullopt;
        if (!importPlan)
            return fail(error);
        exchange::ImportOptions options;
        options.progress = [&](int, int) {
            if (endOnProgress > 0 && ++progressCalls == endOnProgress)
                faultinjection::endNow();
            return true;
        };
        exchange::Importer importer(db, file, 0, *importPlan);
        faultinjection::arm(plan);
        const exchange::ImportOutcome outcome = importer.run(options);
        faultinjection::disarm();
        if (outcome.result != exchange::ImportOutcome::Result::Done)
            return fail(
                QStringLiteral("import not done: %1 (%2 refused)").arg(outcome.error).arg(outcome.refusals.size()));
        return 0;
    } else {
        return fail(QStringLiteral("unknown operation ") + operation, 2);
    }
    faultinjection::disarm();
    return e ? fail(e.text(), e.kind == DbError::Kind::Conflict ? 5 : 1) : 0;
}
