// What the maths modules must send for given arguments: the oracle's
// correctly rounded values composed with each module's single-precision
// arithmetic, in the module's order of operations. NaN arguments come back
// quiet with their payload; an invalid operation gives the processor's
// default NaN (0xFFC00000).
#pragma once

#include <vector>

#include "guikit/maths_cases.h"
#include "oracle.h"

namespace ovra::test::maths {

struct Tables {
    std::vector<FunctionRow> functions;
    std::vector<PolarRow> polar;
    std::vector<CartesianRow> cartesian;
    std::vector<DecibelRow> decibels;
    std::vector<VoltageRow> voltages;
};

// The arguments: special values, the huge arguments that a C runtime gets
// wrong, ordinary ranges and fixed pseudo-random bit patterns.
Tables arguments();

// Every row's outputs computed from its inputs.
void computeExpected(Tables& t, oracle::Oracle& o);

}  // namespace ovra::test::maths
