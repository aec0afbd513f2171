#include "AuxTexts.h"

// The build passes the project's version in; a build without it still names
// something rather than nothing.
#ifndef RAVO_VERSION
#define RAVO_VERSION "0.0"
#endif

namespace ravo {

QString productVersion()
{
    return QStringLiteral(RAVO_VERSION);
}

} // namespace ravo
