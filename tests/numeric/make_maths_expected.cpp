// Writes tests/guikit/maths_expected.inc: the maths modules' arguments and
// the results the oracle gives for them.
//   make_maths_expected > tests/guikit/maths_expected.inc
#include <cstdio>

#include "maths_expectations.h"

using namespace ovra::test::maths;

int main() {
    Tables t = arguments();
    ovra::oracle::Oracle o;
    computeExpected(t, o);
    std::printf("// Written by tests/numeric/make_maths_expected.cpp; do not edit.\n");
    std::printf("inline constexpr FunctionRow kFunctionRows[] = {\n");
    for (const auto& r : t.functions)
        std::printf("    {%d, 0x%08xu, 0x%08xu},\n", r.selector, r.x, r.result);
    std::printf("};\ninline constexpr PolarRow kPolarRows[] = {\n");
    for (const auto& r : t.polar)
        std::printf("    {%d, 0x%08xu, 0x%08xu, 0x%08xu, 0x%08xu},\n", r.mode, r.x, r.y, r.angle, r.radius);
    std::printf("};\ninline constexpr CartesianRow kCartesianRows[] = {\n");
    for (const auto& r : t.cartesian)
        std::printf("    {0x%08xu, 0x%08xu, 0x%08xu, 0x%08xu},\n", r.radius, r.angle, r.x, r.y);
    std::printf("};\ninline constexpr DecibelRow kDecibelRows[] = {\n");
    for (const auto& r : t.decibels)
        std::printf("    {0x%08xu, 0x%08xu, 0x%08xu},\n", r.voltage, r.reference, r.level);
    std::printf("};\ninline constexpr VoltageRow kVoltageRows[] = {\n");
    for (const auto& r : t.voltages)
        std::printf("    {0x%08xu, 0x%08xu, 0x%08xu},\n", r.level, r.reference, r.voltage);
    std::printf("};\n");
    return 0;
}
