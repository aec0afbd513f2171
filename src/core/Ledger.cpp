#include "Ledger.h"

#include "Dates.h"
#include "History.h"
#include "JetTranslator.h"
#include "WorkingCopy.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

namespace ravo {

const QStringList& commonColumns()
{
    static const QStringList cols =
        QStringLiteral("计量器具编号,计量器具类别,计量器具种别,计量器具名称,规格型号,准确度,准确度等级,测量范围,分度值,"
                       "管理类别,法制管理类别,制造厂家,出厂编号,出厂日期,配套设备,状态,启用日期,检定日期,检定周期,"
                       "有效日期,检定单位,使用部门,存放地点,保管员,联系电话,购买日期,采购员,购买价格,备注")
            .split(QLatin1Char(','));
    return cols;
}

QString commonColumnList()
{
    return commonColumns().join(QLatin1Char(','));
}

ColumnKind columnKind(const QString& column)
{
    static const QStringList dates =
        QStringLiteral("出厂日期,启用日期,检定日期,有效日期,购买日期,修理日期,封存日期,报废日期,日期")
            .split(QLatin1Char(','));
    if (dates.contains(column))
        return ColumnKind::Date;
    if (column == QStringLiteral("时间"))
        return ColumnKind::Time;
    if (column == QStringLiteral("ID") || column == QStringLiteral("库存数量"))
        return ColumnKind::Number;
    return ColumnKind::Text;
}

bool isDateColumnForSearch(const QString& column)
{
    const ColumnKind k = columnKind(column);
    return k == ColumnKind::Date || k == ColumnKind::Time;
}

const QVector<InstrumentClass>& instrumentClasses()
{
    auto split = [](const char* kinds) { return QString::fromUtf8(kinds).split(QLatin1Char('|')); };
    static const QVector<InstrumentClass> classes = {
        {QStringLiteral("长度L"), split("线纹仪器S|端度仪器G|角度仪器A|平面度仪器P|光洁度仪器F|齿轮仪器T")},
        {QStringLiteral("热工T"), split("温度仪器T|湿度仪器K|热量仪器Q|热流量仪器F|热辐射仪器R")},
        {QStringLiteral("力学F"),
         split("质量仪器M|重力仪器W|容量仪器C|压力仪器P|转速仪器N|速度仪器S|流量仪器F|"
               "加速度仪器A|密度仪器D|真空仪器T|硬度仪器H|振动仪器O")},
        {QStringLiteral("电磁E"), split("电压仪器V|电流仪器I|电阻仪器R|电容仪器C|电感仪器H|电功率仪器P|磁参数仪器M")},
        {QStringLiteral("光学O"),
         split("光强度测量仪器B|色温仪器T|照度仪器I|光辐射仪器R|感光度仪器S|光通量仪器F|"
               "亮度仪器Q|曝光量仪器E|色度仪器C|功率、能量仪器P")},
        {QStringLiteral("无线电R"),
         split("电压仪器U|功率、能量仪器P|阻抗仪器Z|电容仪器C|电感仪器L|电阻仪器R|"
               "相位（差）仪器Ψ|噪声系数仪器F|调制度仪器M|品质因素仪器Q|增益仪器G|"
               "驻波系数仪器S|占空比系数仪器D|损耗仪器δ|衰减仪器D|失真度仪器r|脉冲仪器I")},
        {QStringLiteral("化学C"), split("成分分析仪器A|酸碱度仪器P|电导仪器C|光谱仪器O|粘度仪器V|标准物质S")},
        {QStringLiteral("声学S"), split("声压仪器P|声功率仪器J|声强度仪器N")},
        {QStringLiteral("电离辐射A"), split("强度仪器I|活变仪器A|通量仪器F|照射量仪器D")},
        {QStringLiteral("时间、频率H"), split("时间仪器T|频率仪器F")},
    };
    return classes;
}

QString quoted(const QString& value)
{
    QString v = value;
    v.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + v + QLatin1Char('"');
}

// A server never lets rows that break the rules into its tables, so there
// is nothing to suspend there.
RulesSuspended::RulesSuspended(Database& db) : m_db(db), m_file(db.engine() == Engine::Sqlite)
{
    // Setting a connection flag cannot fail on an open connection; should
    // it, the copy is made with the rules on and refuses as before.
    if (m_file)
        (void)m_db.executeNative(QStringLiteral("PRAGMA ignore_check_constraints = 1"));
}

RulesSuspended::~RulesSuspended()
{
    if (m_file)
        (void)m_db.executeNative(QStringLiteral("PRAGMA ignore_check_constraints = 0"));
}

DbError createWorkingTable(Database& db, const QString& workingTable, const QString& statement)
{
    RulesSuspended asStored(db);
    if (db.runScratch(statement).ok())
        return {};
    dropWorkingTable(db, workingTable);
    return db.runScratch(statement).error;
}

QString checkExpression(const QString& columnDefinition)
{
    const QString& d = columnDefinition;
    QStringList rules;
    QChar quote;
    for (qsizetype i = 0; i < d.size(); ++i) {
        const QChar c = d.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`')) {
            quote = c;
            continue;
        }
        if (c == QLatin1Char('[')) {
            quote = QLatin1Char(']');
            continue;
        }
        const bool wordStart = i == 0 || !(d.at(i - 1).isLetterOrNumber() || d.at(i - 1) == QLatin1Char('_'));
        if (!wordStart || d.mid(i, 5).compare(QLatin1String("check"), Qt::CaseInsensitive) != 0)
            continue;
        qsizetype open = i + 5;
        while (open < d.size() && d.at(open).isSpace())
            ++open;
        if (open >= d.size() || d.at(open) != QLatin1Char('('))
            continue;
        // The rule runs to the parenthesis that closes this one.
        int depth = 0;
        QChar inner;
        qsizetype k = open;
        for (; k < d.size(); ++k) {
            const QChar ch = d.at(k);
            if (!inner.isNull()) {
                if (ch == inner)
                    inner = QChar();
            } else if (ch == QLatin1Char('\'') || ch == QLatin1Char('"') || ch == QLatin1Char('`')) {
                inner = ch;
            } else if (ch == QLatin1Char('(')) {
                ++depth;
            } else if (ch == QLatin1Char(')') && --depth == 0) {
                break;
            }
        }
        if (k >= d.size())
            break; // unbalanced: not a rule we can read
        rules << d.mid(open, k - open + 1);
        i = k;
    }
    return rules.join(QStringLiteral(" and "));
}

QVector<RuleBreach> ruleBreaches(Database& db, const QString& table, int limit, const QString& rowCondition)
{
    struct Found {
        RuleBreach breach;
        int columnIndex;
    };
    QVector<Found> found;
    const QList<ColumnDefinition> definitions = columnDefinitions(db.createSql(table));
    const bool numbered = db.columns(table).contains(NumberColumn, Qt::CaseInsensitive);
    const QString numberExpr = numbered ? quotedIdentifier(NumberColumn) : QStringLiteral("NULL");
    for (int c = 0; c < definitions.size(); ++c) {
        const QString rule = checkExpression(definitions[c].definition);
        if (rule.isEmpty())
            continue;
        // A rule that is NULL for a row lets the row pass, as it does for the engine.
        QString sql = QStringLiteral("SELECT rowid, %1, %2 FROM %3 WHERE NOT (%4)%5 ORDER BY rowid")
                          .arg(numberExpr, quotedIdentifier(definitions[c].name), quotedIdentifier(table), rule,
                               rowCondition.isEmpty() ? QString() : QStringLiteral(" AND (%1)").arg(rowCondition));
        if (limit > 0)
            sql += QStringLiteral(" LIMIT %1").arg(limit);
        QSqlQuery q(db.connection());
        q.setForwardOnly(true);
        if (!q.exec(sql))
            continue;
        while (q.next()) {
            found.append(
                {RuleBreach{q.value(0).toLongLong(), q.value(1).toString(), definitions[c].name, q.value(2).toString()},
                 c});
        }
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.breach.rowid != b.breach.rowid ? a.breach.rowid < b.breach.rowid : a.columnIndex < b.columnIndex;
    });
    QVector<RuleBreach> out;
    for (const Found& f : std::as_const(found)) {
        if (limit > 0 && out.size() >= limit)
            break;
        out.append(f.breach);
    }
    return out;
}

void dropWorkingTable(Database& db, const QString& workingTable)
{
    if (hasCopyBooks(db, workingTable))
        dropCopyBooks(db, workingTable);
    if (!db.tableExists(workingTable))
        return;
    // The pages a copy frees need not be wiped as the engine wipes deleted
    // ledger rows: the same rows stand in the ledger. Wiping them writes the
    // whole copy once more (seconds for a million rows); zeroing only what
    // costs no extra writing keeps the drop as cheap as reading the copy.
    QSqlQuery setting(db.connection());
    const QVariant wiping =
        setting.exec(QStringLiteral("PRAGMA secure_delete")) && setting.next() ? setting.value(0) : QVariant();
    setting.finish();
    if (wiping.isValid())
        (void)db.executeNative(QStringLiteral("PRAGMA secure_delete = FAST"));
    // A copy that cannot be dropped now is dropped and made again the
    // next time a window needs it.
    (void)db.execute(QStringLiteral("drop table ") + workingTable + QLatin1Char(';'));
    if (wiping.isValid())
        (void)db.executeNative(QStringLiteral("PRAGMA secure_delete = %1").arg(wiping.toInt()));
}

QString deleteAllStatement(const QString& table)
{
    return QStringLiteral("delete %1.* from %1;").arg(table);
}

QString insertAllStatement(const QString& table, const QString& workingTable)
{
    return QStringLiteral("insert into %1 select %2.* from %2;").arg(table, workingTable);
}

DbError commitWorkingTable(Database& db, const QString& deleteStatement, const QString& insertStatement,
                           bool insertDirect)
{
    Transaction tx(db);
    if (tx.error())
        return tx.error();
    if (DbResult r = db.runScratch(deleteStatement); !r.ok())
        return r.error;
    const DbResult r = insertDirect ? db.execute(insertStatement) : db.runScratch(insertStatement);
    if (!r.ok())
        return r.error; // the delete is rolled back with it
    return tx.commit();
}

MoveSpec moveSpec(Move move)
{
    switch (move) {
    case Move::InUseToScrapped:
        return {tables::InUse, tables::Scrapped, true, QStringLiteral("报废日期"), QStringLiteral("报废")};
    case Move::InUseToSealed:
        return {tables::InUse, tables::Sealed, true, QStringLiteral("封存日期"), QStringLiteral("封存")};
    case Move::SealedToInUse:
        return {tables::Sealed, tables::InUse, false, {}, QStringLiteral("准用")};
    case Move::SealedToScrapped:
        return {tables::Sealed, tables::Scrapped, false, QStringLiteral("报废日期"), QStringLiteral("报废")};
    case Move::ScrappedToInUse:
        return {tables::Scrapped, tables::InUse, false, {}, QStringLiteral("准用")};
    }
    return {};
}

bool isMoveSource(const QString& table)
{
    for (Move m : {Move::InUseToScrapped, Move::InUseToSealed, Move::SealedToInUse, Move::SealedToScrapped,
                   Move::ScrappedToInUse}) {
        if (moveSpec(m).source == table)
            return true;
    }
    return false;
}

QStringList moveStatements(Move move, const QString& number, const QDate& today, const LedgerRow& ledgerRow)
{
    const MoveSpec m = moveSpec(move);
    const QString n = quoted(number.trimmed());
    const QString work = tables::working(m.source);
    const QString where = QStringLiteral(" where 计量器具编号= ") + n;
    QStringList out;
    if (m.allColumns)
        out << QStringLiteral("insert into %1 select %2.* from %2").arg(m.target, work) + where;
    else
        out << QStringLiteral("insert into %1 (%2) select %2 from %3").arg(m.target, commonColumnList(), work) + where;
    if (!m.dateColumn.isEmpty())
        out << QStringLiteral("update %1 set %2=").arg(m.target, m.dateColumn) + quoted(formatShortDate(today)) + where;
    out << QStringLiteral("update %1 set 状态=").arg(m.target) + quoted(m.status) + where;
    if (!ledgerRow.number)
        out << QStringLiteral("delete %1.* from %1").arg(m.source) + where;
    else if (!ledgerRow.number->isEmpty())
        out << QStringLiteral("delete %1.* from %1 where 计量器具编号= ").arg(m.source) + quoted(*ledgerRow.number);
    return out;
}

namespace {

// On a server ledger colleagues move and change instruments at the same
// time: the move first locks the instrument's row in the source ledger, so
// that a second move of it waits for this one and then finds it gone. A row
// that another user changed since the editor read it is not moved either:
// the move would carry the editor's older values over the colleague's.
DbError lockServerRow(Database& db, const QString& source, const QString& number)
{
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT rowid, ravo_version, ravo_changed_by, ravo_changed_at FROM %1 "
                             "WHERE %2 = ? FOR UPDATE")
                  .arg(quotedIdentifier(source), quotedIdentifier(NumberColumn)));
    q.addBindValue(number);
    if (!q.exec())
        return DbError::fromSqlError(q.lastError(), q.lastQuery());
    if (!q.next())
        return DbError::make(
            DbError::Kind::Conflict,
            QStringLiteral("编号为“%1”的计量器具已被其他用户移走或删除，不在“%2”中，没有移动任何记录。")
                .arg(number, source));
    const qint64 row = q.value(0).toLongLong();
    const qint64 version = q.value(1).toLongLong();
    const QString by = q.value(2).toString();
    const QDateTime at = q.value(3).toDateTime();
    q.finish();
    const QString working = tables::working(source);
    if (!hasCopyBooks(db, working))
        return {};
    const qint64 read = versionRead(db, working, row);
    if (read > 0 && read != version)
        return DbError::make(DbError::Kind::Conflict,
                             QStringLiteral("编号为“%1”的计量器具在您打开窗口之后已被 %2 于 %3 修改，没有移动任何记录。"
                                            "请取消后重新打开窗口，看过对方的修改再移动。")
                                 .arg(number, by, at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    return {};
}

// The history of a move: the edits the window made to the row, which the
// move carries into the target, and the move itself.
DbError recordMove(Database& db, const MoveSpec& m, Move move, const QString& number, const QString& ledgerNumber)
{
    if (!keepsHistory(db))
        return {};
    const QString working = tables::working(m.source);
    const QStringList columns = db.columns(working);
    // The number is a literal: the statement is read as it stands.
    auto literal = [](QString s) {
        return QLatin1Char('\'') + s.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
    };
    const QString edits =
        QStringLiteral("FROM %2 AS w LEFT JOIN %3 AS l ON l.%1 = %4 WHERE w.%1 = %5")
            .arg(quotedIdentifier(NumberColumn), quotedIdentifier(working), quotedIdentifier(m.source),
                 ledgerNumber.isNull() ? QStringLiteral("NULL") : literal(ledgerNumber), literal(number));
    if (!columns.isEmpty())
        if (const DbError e = recordCopyChanges(db, m.source, columns, edits, {}))
            return e;
    QString event;
    switch (move) {
    case Move::InUseToScrapped:
    case Move::SealedToScrapped:
        event = historyevent::Scrapped;
        break;
    case Move::InUseToSealed:
        event = historyevent::Sealed;
        break;
    case Move::SealedToInUse:
        event = historyevent::Unsealed;
        break;
    case Move::ScrappedToInUse:
        event = historyevent::Reinstated;
        break;
    }
    return recordHistoryEvent(db, m.target, number, event, {}, m.source, m.target);
}

} // namespace

DbError moveInstrument(Database& db, Move move, const QString& number, const QDate& today, const LedgerRow& ledgerRow)
{
    const MoveSpec m = moveSpec(move);
    const QString n = number.trimmed();
    if (n.isEmpty())
        return DbError::make(DbError::General, QStringLiteral("计量器具编号不能为空！"));
    const QStringList statements = moveStatements(move, n, today, ledgerRow);
    const bool fromLedger = !ledgerRow.number || !ledgerRow.number->isEmpty();

    Transaction tx(db);
    if (tx.error())
        return tx.error();
    if (db.engine() == Engine::Postgres && fromLedger)
        if (const DbError e = lockServerRow(db, m.source, ledgerRow.number.value_or(n)))
            return e;
    if (const DbError e = recordMove(db, m, move, n, fromLedger ? ledgerRow.number.value_or(n) : QString()))
        return e;
    const DbResult copied = db.execute(statements.first());
    if (!copied.ok()) {
        if (copied.error.kind == DbError::Kind::DuplicateNumber)
            return DbError::make(DbError::General,
                                 QStringLiteral("“%1”中已经有编号为“%2”的计量器具，不能移入！该计量器具仍留在“%3”中。")
                                     .arg(m.target, n, m.source),
                                 copied.error.detail, copied.error.statement);
        return copied.error;
    }
    if (copied.rowsAffected < 1)
        return DbError::make(DbError::General, QStringLiteral("找不到编号为“%1”的计量器具，没有移动任何记录。").arg(n));
    for (int i = 1; i < statements.size(); ++i) {
        const DbResult r = db.execute(statements.at(i));
        if (!r.ok())
            return r.error;
        // The last statement takes the row out of the source ledger: it must
        // find it there, or the instrument would end up in both ledgers.
        if (fromLedger && i == statements.size() - 1 && r.rowsAffected != 1)
            return DbError::make(DbError::General,
                                 QStringLiteral("“%1”中找不到编号为“%2”的计量器具，没有移动任何记录。")
                                     .arg(m.source, ledgerRow.number.value_or(n)));
    }
    // The row leaves the editor's working copy as well as the source ledger.
    const DbResult fromCopy = db.execute(
        QStringLiteral("delete %1.* from %1 where 计量器具编号= ").arg(tables::working(m.source)) + quoted(n));
    if (!fromCopy.ok())
        return fromCopy.error;
    return tx.commit();
}

} // namespace ravo
