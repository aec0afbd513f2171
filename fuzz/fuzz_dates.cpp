// Typed dates and times for the date module.
#include "FuzzMain.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ravo::fuzz::failOn(ravo::fuzz::checkDates(ravo::fuzz::bytes(data, size)));
    return 0;
}
