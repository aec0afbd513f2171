#include "Recordset.h"

#include "Dates.h"
#include "Ledger.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cstring>
#include <sqlite3.h>
#include <vector>

namespace ravo {

void RowIdList::clear()
{
    setRun(1, 0);
}

void RowIdList::setRun(qint64 first, int count)
{
    m_run = true;
    m_first = first;
    m_count = count;
    m_ids = {};
}

void RowIdList::setList(QVector<qint64> ids)
{
    m_run = false;
    m_count = 0;
    m_ids = std::move(ids);
}

int RowIdList::lowerBound(qint64 rowid) const
{
    if (m_run)
        return int(std::clamp<qint64>(rowid - m_first, 0, m_count));
    return int(std::lower_bound(m_ids.cbegin(), m_ids.cend(), rowid) - m_ids.cbegin());
}

int RowIdList::indexOf(qint64 rowid) const
{
    const int pos = lowerBound(rowid);
    return pos < size() && at(pos) == rowid ? pos : -1;
}

void RowIdList::toList()
{
    if (!m_run)
        return;
    QVector<qint64> ids(m_count);
    for (int i = 0; i < m_count; ++i)
        ids[i] = m_first + i;
    setList(std::move(ids));
}

void RowIdList::removeAt(int position)
{
    if (m_run && (position == 0 || position == m_count - 1)) {
        // The run stays a run when it loses an end.
        if (position == 0)
            ++m_first;
        --m_count;
        return;
    }
    toList();
    m_ids.removeAt(position);
}

int RowIdList::insert(qint64 rowid)
{
    if (m_run && (m_count == 0 || rowid == m_first + m_count)) {
        // Appended right after the run (or starting one).
        if (m_count == 0)
            m_first = rowid;
        return m_count++;
    }
    toList();
    const int pos = lowerBound(rowid);
    m_ids.insert(pos, rowid);
    return pos;
}

Recordset::Recordset(Database& db, QObject* parent) : QObject(parent), m_db(db)
{
}

DbError Recordset::setRecordSource(const QString& statement)
{
    if (statement.trimmed().isEmpty()) {
        close();
        m_source.clear();
        return {};
    }
    static const QRegularExpression re(QStringLiteral(R"(^\s*select\s+\*\s+from\s+([^\s;]+)\s*;?\s*$)"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(statement);
    if (!m.hasMatch())
        return DbError::make(DbError::General, QStringLiteral("不支持的记录源：%1").arg(statement));
    DbError e = openTable(m.captured(1));
    m_source = statement;
    return e;
}

DbError Recordset::openTable(const QString& table)
{
    return open(table, false);
}

DbError Recordset::openFilledTable(const QString& table)
{
    return open(table, true);
}

DbError Recordset::open(const QString& table, bool filledAtOnce)
{
    close();
    if (!m_db.tableExists(table))
        return DbError::make(DbError::General, QStringLiteral("找不到数据表“%1”。").arg(table));
    m_table = table;
    m_source = QStringLiteral("select * from ") + table + QLatin1Char(';');
    m_fields = m_db.columns(table);
    DbError e = readRowIds(filledAtOnce);
    if (e)
        m_ids.clear();
    m_pos = m_ids.isEmpty() ? -1 : 0;
    emit reopened();
    emit repositioned();
    return e;
}

void Recordset::close()
{
    const bool wasOpen = isOpen();
    m_table.clear();
    m_fields.clear();
    m_ids.clear();
    m_pos = -1;
    m_deleted = m_adding = false;
    m_pending.clear();
    m_lastModified = -1;
    invalidateCache();
    if (wasOpen) {
        emit reopened();
        emit repositioned();
    }
}

DbError Recordset::refresh()
{
    if (!isOpen())
        return {};
    const qint64 current = currentRowid();
    invalidateCache();
    if (DbError e = readRowIds(false))
        return e;
    m_deleted = false;
    m_adding = false;
    m_pending.clear();
    const int at = current >= 0 ? m_ids.indexOf(current) : -1;
    if (at >= 0)
        m_pos = at;
    else
        m_pos = std::clamp(m_pos, m_ids.isEmpty() ? -1 : 0, int(m_ids.size()) - 1);
    emit reopened();
    emit repositioned();
    return {};
}

// The count comes from the table's smallest index when it has one, and the
// lowest and highest ids from the ends of its tree, so a table whose ids run
// without gaps is known without reading its rows; only a table with gaps has
// its ids read one by one.
DbError Recordset::readRowIds(bool filledAtOnce)
{
    const QString table = quotedIdentifier(m_table);
    QSqlQuery q(m_db.connection());
    q.setForwardOnly(true);
    const auto scalar = [&](const QString& sql, qint64* out) {
        if (!q.exec(sql))
            return false;
        *out = q.next() ? q.value(0).toLongLong() : 0;
        q.finish();
        return true;
    };
    qint64 count = 0, first = 0, last = 0;
    if (filledAtOnce) {
        if (!scalar(QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid DESC LIMIT 1").arg(table), &last))
            return DbError::fromSqlError(q.lastError());
        m_ids.setRun(1, int(last));
        return {};
    }
    if (!scalar(QStringLiteral("SELECT count(*) FROM %1").arg(table), &count)
        || !scalar(QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid LIMIT 1").arg(table), &first)
        || !scalar(QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid DESC LIMIT 1").arg(table), &last))
        return DbError::fromSqlError(q.lastError());
    if (count == 0 || last - first + 1 == count) {
        m_ids.setRun(count == 0 ? 1 : first, int(count));
        return {};
    }
    QVector<qint64> ids;
    ids.reserve(count);
    if (!q.exec(QStringLiteral("SELECT rowid FROM %1 ORDER BY rowid").arg(table)))
        return DbError::fromSqlError(q.lastError());
    while (q.next())
        ids.append(q.value(0).toLongLong());
    m_ids.setList(std::move(ids));
    return {};
}

int Recordset::fieldIndex(const QString& name) const
{
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int Recordset::absolutePosition() const
{
    if (m_adding || m_deleted || m_pos < 0 || m_pos >= recordCount())
        return -1;
    return m_pos;
}

void Recordset::setPosition(int pos)
{
    if (m_adding) {
        m_adding = false;
        m_pos = m_posBeforeAdd;
    }
    m_pending.clear();
    m_deleted = false;
    m_pos = std::clamp(pos, -1, recordCount());
    emit repositioned();
}

void Recordset::setAbsolutePosition(int position)
{
    if (position >= 0 && position < recordCount())
        setPosition(position);
}

void Recordset::moveFirst()
{
    setPosition(m_ids.isEmpty() ? -1 : 0);
}
void Recordset::moveLast()
{
    setPosition(m_ids.isEmpty() ? -1 : recordCount() - 1);
}

void Recordset::moveNext()
{
    if (m_adding) {
        setPosition(m_posBeforeAdd + 1);
        return;
    }
    // After a delete the next row already stands at the deleted row's place.
    setPosition(m_deleted ? m_pos : m_pos + 1);
}

void Recordset::movePrevious()
{
    if (m_adding) {
        setPosition(m_posBeforeAdd - 1);
        return;
    }
    setPosition(m_pos - 1);
}

qint64 Recordset::currentRowid() const
{
    if (m_adding || m_deleted)
        return -1;
    return m_ids.value(m_pos, -1);
}

bool Recordset::moveToRowid(qint64 rowid)
{
    const int pos = m_ids.indexOf(rowid);
    if (pos < 0)
        return false;
    setPosition(pos);
    return true;
}

void Recordset::forgetRow(qint64 rowid)
{
    QSqlQuery q(m_db.connection());
    q.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE rowid = ?").arg(quotedIdentifier(m_table)));
    q.addBindValue(rowid);
    const int pos = m_ids.indexOf(rowid);
    if (!q.exec() || q.next() || pos < 0) {
        // A failed reread keeps the rows known so far; the next move reads again.
        (void)refresh();
        return;
    }
    q.finish();
    m_ids.removeAt(pos);
    m_adding = m_deleted = false;
    m_pending.clear();
    invalidateCache();
    m_pos = m_ids.isEmpty() ? -1 : std::min(pos, int(m_ids.size()) - 1);
    emit reopened();
    emit repositioned();
}

void Recordset::invalidateCache() const
{
    m_blocks.clear();
}

const QVector<QVariant>* Recordset::cachedRow(int position) const
{
    if (position < 0 || position >= recordCount())
        return nullptr;
    const int block = position / BlockSize;
    auto it = m_blocks.find(block);
    if (it == m_blocks.end()) {
        if (m_blocks.size() >= MaxBlocks)
            m_blocks.clear();
        const int first = block * BlockSize;
        const int last = std::min(recordCount(), first + BlockSize) - 1;
        QVector<QVector<QVariant>> rows;
        rows.reserve(last - first + 1);
        QSqlQuery q(m_db.connection());
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT rowid, * FROM %1 WHERE rowid BETWEEN ? AND ? ORDER BY rowid")
                      .arg(quotedIdentifier(m_table)));
        q.addBindValue(m_ids.at(first));
        q.addBindValue(m_ids.at(last));
        if (q.exec()) {
            int pos = first;
            while (q.next() && pos <= last) {
                // Rows written behind the recordset's back are skipped; rows
                // deleted behind its back read as blank.
                const qint64 id = q.value(0).toLongLong();
                while (pos <= last && m_ids.at(pos) < id) {
                    rows.append(QVector<QVariant>(m_fields.size()));
                    ++pos;
                }
                if (pos <= last && m_ids.at(pos) == id) {
                    QVector<QVariant> row(m_fields.size());
                    for (int c = 0; c < m_fields.size(); ++c)
                        row[c] = q.value(c + 1);
                    rows.append(std::move(row));
                    ++pos;
                }
            }
        }
        while (rows.size() < last - first + 1)
            rows.append(QVector<QVariant>(m_fields.size()));
        it = m_blocks.insert(block, std::move(rows));
    }
    return &it.value().at(position - block * BlockSize);
}

QVector<QVariant> Recordset::rowAt(int position) const
{
    const QVector<QVariant>* row = cachedRow(position);
    return row ? *row : QVector<QVariant>();
}

QVariant Recordset::value(int field) const
{
    if (field < 0 || field >= m_fields.size())
        return {};
    if (auto it = m_pending.constFind(field); it != m_pending.cend())
        return it.value();
    if (m_adding || m_deleted)
        return {};
    const QVector<QVariant>* row = cachedRow(m_pos);
    return row ? row->value(field) : QVariant();
}

void Recordset::setValue(int field, const QVariant& value)
{
    if (field < 0 || field >= m_fields.size() || !hasCurrent())
        return;
    m_pending.insert(field, value);
}

void Recordset::addNew()
{
    if (!isOpen())
        return;
    if (!m_adding)
        m_posBeforeAdd = m_deleted ? std::min(m_pos, recordCount() - 1) : m_pos;
    m_pending.clear();
    m_deleted = false;
    m_adding = true;
    ++m_additions;
    emit repositioned();
}

void Recordset::cancelUpdate()
{
    if (m_adding) {
        m_adding = false;
        m_pos = m_posBeforeAdd;
    }
    m_pending.clear();
    emit repositioned();
}

DbError Recordset::convertPending(QHash<int, QVariant>& out) const
{
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        const QString name = m_fields.at(it.key());
        const QVariant v = it.value();
        if (v.isNull() || (v.typeId() == QMetaType::QString && v.toString().trimmed().isEmpty())) {
            out.insert(it.key(), QVariant());
            continue;
        }
        const QString text = v.toString().trimmed();
        switch (columnKind(name)) {
        case ColumnKind::Date: {
            const auto d = parseUserDate(text);
            if (!d)
                return DbError::make(DbError::General, dateErrorMessage(name, text));
            out.insert(it.key(), formatShortDate(*d));
            break;
        }
        case ColumnKind::Time: {
            const auto t = parseUserTime(text);
            if (!t)
                return DbError::make(
                    DbError::General,
                    QStringLiteral("“%1”不是有效的时间：“%2”。请按 08:30:00 的格式输入。").arg(name, text));
            out.insert(it.key(), t->toString(QStringLiteral("HH:mm:ss")));
            break;
        }
        case ColumnKind::Number: {
            bool ok = false;
            const qlonglong n = text.toLongLong(&ok);
            if (!ok)
                return DbError::make(DbError::General, QStringLiteral("“%1”必须是整数：“%2”。").arg(name, text));
            out.insert(it.key(), n);
            break;
        }
        case ColumnKind::Text:
            out.insert(it.key(), v.toString());
            break;
        }
    }
    return {};
}

DbError Recordset::update()
{
    if (!isOpen() || !isDirty())
        return {};
    QHash<int, QVariant> values;
    if (DbError e = convertPending(values))
        return e;
    QList<int> keys = values.keys();
    std::sort(keys.begin(), keys.end());
    QVariantList binds;
    for (int k : keys)
        binds << values.value(k);

    if (m_adding) {
        QString sql;
        if (keys.isEmpty()) {
            sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quotedIdentifier(m_table));
        } else {
            QStringList cols, marks;
            for (int k : keys) {
                cols << quotedIdentifier(m_fields.at(k));
                marks << QStringLiteral("?");
            }
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(quotedIdentifier(m_table), cols.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        }
        // The server names the address it gave the new row when asked; the
        // file's engine keeps it as the last inserted row id.
        const bool server = m_db.engine() == Engine::Postgres;
        if (server)
            sql += QStringLiteral(" RETURNING rowid");
        QSqlQuery q(m_db.connection());
        q.prepare(sql);
        for (const QVariant& b : binds)
            q.addBindValue(b);
        if (!q.exec())
            return DbError::fromSqlError(q.lastError(), sql);
        const qint64 id = server ? (q.next() ? q.value(0).toLongLong() : -1) : q.lastInsertId().toLongLong();
        const int pos = m_ids.insert(id);
        m_adding = false;
        m_pending.clear();
        m_pos = pos;
        m_lastModified = id;
        invalidateCache();
        emit rowAdded(id);
        emit repositioned();
        return {};
    }

    const qint64 id = currentRowid();
    if (id < 0)
        return DbError::make(DbError::General, QStringLiteral("没有当前记录。"));
    QStringList sets;
    for (int k : keys)
        sets << quotedIdentifier(m_fields.at(k)) + QStringLiteral(" = ?");
    const QString sql =
        QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?").arg(quotedIdentifier(m_table), sets.join(QLatin1Char(',')));
    QSqlQuery q(m_db.connection());
    q.prepare(sql);
    for (const QVariant& b : binds)
        q.addBindValue(b);
    q.addBindValue(id);
    if (!q.exec())
        return DbError::fromSqlError(q.lastError(), sql);
    m_pending.clear();
    m_lastModified = id;
    invalidateCache();
    emit repositioned();
    return {};
}

DbError Recordset::deleteCurrent()
{
    if (m_adding) {
        cancelUpdate();
        return {};
    }
    const qint64 id = currentRowid();
    if (id < 0)
        return DbError::make(DbError::General, QStringLiteral("没有当前记录，不能删除。"));
    const QString sql = QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quotedIdentifier(m_table));
    if (DbResult r = m_db.executeNative(sql, {id}); !r.ok())
        return r.error;
    m_ids.removeAt(m_pos);
    m_pending.clear();
    m_deleted = true;
    invalidateCache();
    emit repositioned();
    return {};
}

std::optional<QVector<int>> Recordset::sortedPositions(const QString& field, Qt::SortOrder order) const
{
    const int f = fieldIndex(field);
    if (f < 0 || !isOpen())
        return std::nullopt;
    if (std::optional<QVector<int>> sorted = sortedInMemory(m_fields.at(f), order))
        return sorted;
    const QString direction = order == Qt::AscendingOrder ? QStringLiteral("ASC") : QStringLiteral("DESC");
    QSqlQuery q(m_db.connection());
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT rowid FROM %1 ORDER BY %2 %3, rowid %3")
                    .arg(quotedIdentifier(m_table), quotedIdentifier(m_fields.at(f)), direction)))
        return std::nullopt;
    QVector<int> positions;
    positions.reserve(recordCount());
    while (q.next()) {
        const int position = m_ids.indexOf(q.value(0).toLongLong());
        if (position >= 0)
            positions << position;
    }
    return positions;
}

// The same order as the statement above, worked out here: on a long list
// (the plan of a year holds most of the ledger) reading the column once and
// sorting it in memory is several times quicker than SQLite's sorter, which
// spills to temporary files. Only columns whose values compare plainly are
// sorted here (no value, whole numbers and text under the binary or the
// case-insensitive collation); any other leaves the order to the database.
std::optional<QVector<int>> Recordset::sortedInMemory(const QString& field, Qt::SortOrder order) const
{
    sqlite3* db = m_db.handle();
    if (!db)
        return std::nullopt;
    const QByteArray table = m_table.toUtf8();
    const QByteArray column = field.toUtf8();
    const char* collation = nullptr;
    if (sqlite3_table_column_metadata(db, nullptr, table.constData(), column.constData(), nullptr, &collation, nullptr,
                                      nullptr, nullptr)
        != SQLITE_OK)
        return std::nullopt;
    const bool noCase = collation && sqlite3_stricmp(collation, "NOCASE") == 0;
    if (!noCase && collation && sqlite3_stricmp(collation, "BINARY") != 0)
        return std::nullopt;

    // One entry of 16 bytes per row: its position, and in length -2 for no
    // value, -1 for a whole number (then in value) or the length of its
    // text (folded for NOCASE), which lies in one buffer from value on.
    struct Key {
        qint64 value;
        qint32 position;
        qint32 length;
    };
    std::vector<Key> keys;
    keys.reserve(size_t(recordCount()));
    QByteArray texts;
    sqlite3_stmt* st = nullptr;
    const QByteArray sql =
        QStringLiteral("SELECT rowid, %1 FROM %2").arg(quotedIdentifier(field), quotedIdentifier(m_table)).toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK)
        return std::nullopt;
    bool plain = true;
    int step;
    while (plain && (step = sqlite3_step(st)) == SQLITE_ROW) {
        // Rows that came behind the recordset's back leave the order to the
        // database.
        Key k{0, m_ids.indexOf(sqlite3_column_int64(st, 0)), -2};
        plain = k.position >= 0;
        switch (sqlite3_column_type(st, 1)) {
        case SQLITE_NULL:
            break;
        case SQLITE_INTEGER:
            k.length = -1;
            k.value = sqlite3_column_int64(st, 1);
            break;
        case SQLITE_TEXT: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
            const int length = sqlite3_column_bytes(st, 1);
            k.value = texts.size();
            k.length = length;
            texts.append(text, length);
            if (noCase)
                for (qsizetype i = k.value; i < texts.size(); ++i)
                    if (texts[i] >= 'A' && texts[i] <= 'Z')
                        texts[i] = char(texts[i] + ('a' - 'A'));
            break;
        }
        default: // real numbers and blobs: the database's own comparison
            plain = false;
        }
        keys.push_back(k);
    }
    sqlite3_finalize(st);
    if (!plain || step != SQLITE_DONE || int(keys.size()) != recordCount())
        return std::nullopt;

    // Positions follow the row ids, so ties fall in rowid order.
    const char* base = texts.constData();
    const auto less = [base](const Key& a, const Key& b) {
        const int kindA = std::min(a.length, 0), kindB = std::min(b.length, 0);
        if (kindA != kindB)
            return kindA < kindB;
        if (a.length == -1 && a.value != b.value)
            return a.value < b.value;
        if (kindA == 0) {
            const int c =
                std::memcmp(base + a.value, base + b.value, size_t(std::max(0, std::min(a.length, b.length))));
            if (c != 0)
                return c < 0;
            if (a.length != b.length)
                return a.length < b.length;
        }
        return a.position < b.position;
    };
    std::sort(keys.begin(), keys.end(), less);
    if (order == Qt::DescendingOrder)
        std::reverse(keys.begin(), keys.end());
    QVector<int> positions;
    positions.reserve(recordCount());
    for (const Key& k : keys)
        positions << k.position;
    return positions;
}

bool Recordset::findFirst(const QString& field, const QString& text)
{
    const int f = fieldIndex(field);
    if (f < 0 || m_ids.isEmpty())
        return false;
    QSqlQuery q(m_db.connection());
    q.prepare(QStringLiteral("SELECT rowid FROM %1 WHERE %2 = ? ORDER BY rowid LIMIT 1")
                  .arg(quotedIdentifier(m_table), quotedIdentifier(m_fields.at(f))));
    q.addBindValue(text);
    if (!q.exec() || !q.next())
        return false;
    return moveToRowid(q.value(0).toLongLong());
}

} // namespace ravo
