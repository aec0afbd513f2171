#include "PasswordHash.h"

#include <QByteArray>
#include <atomic>
#include <sodium.h>

namespace ravo {

namespace {

std::atomic<PasswordHashCost> g_cost{PasswordHashCost::Interactive};

// sodium_init() may be called more than once; it returns 1 when the library
// was already started. The function-local static makes the first call the
// only one that does the work.
bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

} // namespace

void setPasswordHashCost(PasswordHashCost cost)
{
    g_cost = cost;
}

bool isPasswordHash(const QString& stored)
{
    return stored.startsWith(QLatin1String("$argon2"));
}

bool isClearTextPassword(const QString& stored)
{
    return !stored.isEmpty() && !isPasswordHash(stored);
}

std::optional<QString> hashPassword(const QString& typed)
{
    if (typed.isEmpty())
        return QString();
    if (!sodiumReady())
        return std::nullopt;

    const bool minimum = g_cost == PasswordHashCost::Minimum;
    const unsigned long long opsLimit = minimum ? crypto_pwhash_OPSLIMIT_MIN : crypto_pwhash_OPSLIMIT_INTERACTIVE;
    const size_t memLimit = minimum ? crypto_pwhash_MEMLIMIT_MIN : crypto_pwhash_MEMLIMIT_INTERACTIVE;

    const QByteArray bytes = typed.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, bytes.constData(), static_cast<unsigned long long>(bytes.size()), opsLimit, memLimit)
        != 0)
        return std::nullopt;
    return QString::fromLatin1(out);
}

bool passwordMatches(const QString& stored, const QString& typed)
{
    if (!isPasswordHash(stored))
        return stored == typed; // empty, or clear text from an older version
    if (!sodiumReady())
        return false;
    const QByteArray hash = stored.toLatin1();
    const QByteArray bytes = typed.toUtf8();
    return crypto_pwhash_str_verify(hash.constData(), bytes.constData(), static_cast<unsigned long long>(bytes.size()))
        == 0;
}

} // namespace ravo
