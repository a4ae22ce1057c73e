// The bound of the changing-signal float converter, built as a shared
// library of its own: a converter's call into its host always leaves the
// library it lives in, and on this machine a call that crosses from one
// library to another costs about a nanosecond more than one inside a
// program, so the bound's calls must cross too.
#pragma once

#include <cstdint>

#include "abi/abi.h"

extern "C" {
// One block: reads each sample as volts, compares the reading with *last as
// the converter does (a NaN is no change) and, when it differs, stores it in
// *last and calls publishPinValue(position, 0, 4, last).
void ovraBenchComparePublish(ovra::IMpDspHost* host, const float* samples, int32_t count, float* last);
}
