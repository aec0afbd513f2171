#pragma once
// The stored form of an account password.
//
// A password is kept in the settings store as a salted Argon2id hash
// (libsodium's crypto_pwhash_str), never as the text the user typed. No
// password at all is kept as empty text. A stored value that does not begin
// with "$argon2" was written by an older version of the program in clear
// text; it still matches the identical typed text, and the sign-in replaces it
// by its hash.
//
// Matching stays exact: the typed text is hashed as it is, character by
// character, without trimming or case folding.
#include <QString>
#include <optional>

namespace ravo {

// The stored form of a typed password: empty text for an empty password,
// otherwise a fresh hash. std::nullopt when the hash could not be made (the
// crypto library failed to start or ran out of memory); the caller must then
// keep the old value rather than store anything else.
std::optional<QString> hashPassword(const QString& typed);

// True when the typed text is the password the stored value stands for.
bool passwordMatches(const QString& stored, const QString& typed);

// True for a hash made by hashPassword (or any Argon2 hash string).
bool isPasswordHash(const QString& stored);

// True for a clear-text password left by an older version: not empty and not
// a hash.
bool isClearTextPassword(const QString& stored);

// How much work and memory a new hash costs. The program always uses
// Interactive; tests lower it to Minimum so that they stay fast. Hashes of
// either cost verify alike, since each hash string names its own cost.
enum class PasswordHashCost { Interactive, Minimum };
void setPasswordHashCost(PasswordHashCost cost);

} // namespace ravo
