// Statements, literals and patterns for the dialect translator.
#include "FuzzMain.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ravo::fuzz::failOn(ravo::fuzz::checkTranslator(ravo::fuzz::bytes(data, size)));
    return 0;
}
