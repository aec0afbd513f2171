#include "ServerAccounts.h"

#include <QSqlQuery>
#include <QVariant>

namespace ravo {

QString levelRoleName(const QString& database, int level)
{
    return QStringLiteral("ravo_%1_level%2").arg(database).arg(level);
}

std::optional<int> signedInLevel(Database& db)
{
    if (db.engine() != Engine::Postgres || !db.isOpen())
        return std::nullopt;
    const QString database = db.serverAddress().database;
    for (int level = 0; level <= 2; ++level) {
        QSqlQuery q(db.connection());
        q.prepare(QStringLiteral("SELECT pg_has_role(session_user, oid, 'MEMBER') FROM pg_roles WHERE rolname = ?"));
        q.addBindValue(levelRoleName(database, level));
        if (q.exec() && q.next() && q.value(0).toBool())
            return level;
    }
    return std::nullopt;
}

QVector<UserAccount> serverAccounts(Database& db)
{
    QVector<UserAccount> accounts;
    if (db.engine() != Engine::Postgres || !db.isOpen())
        return accounts;
    const QString database = db.serverAddress().database;
    QSqlQuery q(db.connection());
    // A role in several groups counts once, at its highest-privileged level.
    q.prepare(QStringLiteral("SELECT m.rolname, min(CASE g.rolname WHEN ? THEN 0 WHEN ? THEN 1 ELSE 2 END) AS level "
                             "FROM pg_auth_members a JOIN pg_roles g ON g.oid = a.roleid "
                             "JOIN pg_roles m ON m.oid = a.member WHERE g.rolname IN (?, ?, ?) "
                             "GROUP BY m.rolname ORDER BY level, m.rolname COLLATE \"zh-x-icu\""));
    for (const QString& bind : {levelRoleName(database, 0), levelRoleName(database, 1), levelRoleName(database, 0),
                                levelRoleName(database, 1), levelRoleName(database, 2)})
        q.addBindValue(bind);
    if (!q.exec())
        return accounts;
    while (q.next()) {
        UserAccount a;
        a.Name = q.value(0).toString();
        a.Level = static_cast<qint16>(q.value(1).toInt());
        accounts << a;
    }
    return accounts;
}

} // namespace ravo
