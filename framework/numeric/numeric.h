// Elementary functions that give the same bits on every platform and build.
//
// They use IEEE basic operations only (add, subtract, multiply, divide and
// conversions, rounded to nearest): no fused multiply-add, no extended
// precision, no platform maths library. A module whose output must not
// depend on the C runtime it is linked with (the envelope of "QV ADSR4")
// calls these instead of std::exp and std::pow.
//
// Both are computed in double-double arithmetic (about 100 bits) and then
// rounded once, so the result is the correctly rounded one, except possibly
// for an argument whose exact result lies within about 2^-100 (relative) of
// a halfway point between two neighbours; even then it is one of the two
// neighbours (faithful). Every platform returns the same bits either way.
// Each first tries a shorter evaluation (powf in plain double arithmetic,
// exp with a plain double series) whose error bound decides the rounding
// for all but about one argument in 500; it gives the same bits as the
// double-double path wherever it answers.
//
// [any thread] Pure functions: no state, no allocation.
#pragma once

namespace ovra::numeric {

// e to the power x. Overflow gives +inf, underflow +0, NaN gives NaN.
double exp(double x);

// x to the power y, with the special values of C's powf (powf(x, 0) = 1
// even for a NaN x, powf(1, y) = 1, a negative x only with an integral y,
// ...). Exact results whose value is halfway between two floats are rounded
// to even when y is an integer.
float powf(float x, float y);

// The two ways exp and powf reach a result, for their tests.
namespace detail {
// e^x by the shorter evaluation: false unless |x| <= 708 and the error
// bound decides the rounding.
bool expByDouble(double x, double& result);
// exp without the shorter evaluation.
double expByDoubleDouble(double x);
// |x|^y in plain double arithmetic, for a positive finite x and a finite y:
// false unless the result is a normal float whose rounding the error bound
// decides.
bool powfByDouble(float x, float y, float& result);
// powf without the plain double attempt.
float powfByDoubleDouble(float x, float y);
}  // namespace detail

}  // namespace ovra::numeric
