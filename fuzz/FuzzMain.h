#pragma once
// The libFuzzer entry of one fuzz target: the check answers with a broken
// promise in words, which ends the run as a crash so that libFuzzer keeps
// the input.
#include "FuzzChecks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace ravo::fuzz {

inline void failOn(const QString& problem)
{
    if (problem.isEmpty())
        return;
    std::fprintf(stderr, "\n*** %s\n", problem.toLocal8Bit().constData());
    std::abort();
}

inline QByteArrayView bytes(const uint8_t* data, size_t size)
{
    return QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size));
}

} // namespace ravo::fuzz

// Qt is built without frame pointers, so the stacks ASan records for each
// allocation come out different every time and its stack store grows
// without end, slowing every run. Errors are still caught and shown where
// they happen; ASAN_OPTIONS=malloc_context_size=30 brings the allocation
// stacks back when replaying one input.
extern "C" const char* __asan_default_options()
{
    return "malloc_context_size=0";
}
