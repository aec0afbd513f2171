#pragma once
// The checks behind the fuzz targets, shared by the libFuzzer programs and by
// the regression test that replays the inputs the fuzzers once tripped over.
//
// Each check feeds one input to the program's own functions and answers with
// the first broken promise it finds, in words, or an empty text when all is
// well. A crash, a hang or undefined behaviour shows as such; the sanitizers
// of the fuzz build report them.
#include <QByteArrayView>
#include <QString>

namespace ravo::fuzz {

// The dialect translator against a fixed made-up catalogue. The first byte
// picks what the rest of the input is:
//   0  a whole statement: translated twice alike, a translation is either
//      statements (none blank) or an error;
//   1  the content of a "…" text literal: SQLite must give back exactly
//      the text (and the same for a '…' literal);
//   2  value, byte 0x01, pattern: `"value" like "pattern"` must answer as
//      the old engine's wildcards say (* any run, ? one character, [c] the
//      character c, everything else itself, ASCII letters in any case);
//   3  the content of a #…# literal: a date or time the date module reads
//      must come out as its ISO text;
//   4  a CREATE TABLE text for the column-definition reader.
QString checkTranslator(QByteArrayView input);

// The date module: parseUserDate and parseUserTime on the input, and what a
// date or time they accept must satisfy (it is real, it reads back from its
// own written forms, the settings store's date reader agrees with it, the
// default "valid until" lies within the following year).
QString checkDates(QByteArrayView input);

// The settings store over an INI file written from the input.
//   section NUL key NUL value NUL file-content
// (without three NULs the whole input is the file). The names found in the
// file must read alike in any spelling of ASCII letter case, the typed reads
// must agree with one another, a value saved under the given section and key
// must read back the same, also after the file is written and opened again,
// and removing it must remove it. `folder` is where the INI files go.
QString checkSettings(QByteArrayView input, const QString& folder);

} // namespace ravo::fuzz
