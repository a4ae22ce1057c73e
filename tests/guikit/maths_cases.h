// Arguments for the maths modules and the results they must send, as bits:
// the correctly rounded function values (MPFR) composed with each module's
// own single-precision arithmetic. The data in maths_expected.inc is
// written by make_maths_expected (tests/numeric), which also checks it:
//   build/native/tests/numeric/make_maths_expected > tests/guikit/maths_expected.inc
#pragma once

#include <cstdint>

namespace ovra::test::maths {

// "WB-MathSDK3": selector and x in, result out.
struct FunctionRow {
    int32_t selector;
    uint32_t x;
    uint32_t result;
};
// "WB-Cart2PolarSDK3" to polar: mode, x, y in; angle, radius out.
struct PolarRow {
    int32_t mode;
    uint32_t x, y;
    uint32_t angle, radius;
};
// "WB-Cart2PolarSDK3" to Cartesian: radius, angle in; x, y out.
struct CartesianRow {
    uint32_t radius, angle;
    uint32_t x, y;
};
// "WB-Volts2dBSDK3" to decibels: voltage, reference in; level out.
struct DecibelRow {
    uint32_t voltage, reference;
    uint32_t level;
};
// "WB-Volts2dBSDK3" to a voltage: level, reference in; voltage out.
struct VoltageRow {
    uint32_t level, reference;
    uint32_t voltage;
};

#include "maths_expected.inc"

}  // namespace ovra::test::maths
