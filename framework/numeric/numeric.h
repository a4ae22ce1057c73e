// Elementary functions that give the same bits on every platform and build.
//
// The single-precision functions (sinf to log10f below) are correctly
// rounded: each returns the float nearest to the exact value of the
// function at its argument (ties to even), subnormal results included.
// Special values follow C's: signed zeros kept where the function is odd,
// atan2f's quadrants and zeros, logf(0) = -inf, logf(1) = +0, overflow to
// infinity. An invalid operation (the log of a negative number, the sine
// of an infinity) gives the NaN that the processor's own 0/0 gives; a NaN
// argument comes back quiet, with its payload. Modules call these instead
// of the C runtime's, which differ between platforms and, on some, are
// plainly wrong (a sine of 1e20 reduced on the x87 unit).
//
// exp and powf below:
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
// for all but about one argument in 500 (powf: one in 4000); it gives the
// same bits as the double-double path wherever it answers.
//
// [any thread] Pure functions: no state, no allocation.
#pragma once

#if defined(__SSE2__) || defined(_M_X64)
#include <xmmintrin.h>
#else
#include <cmath>
#endif

namespace ovra::numeric {

float sinf(float x);
float cosf(float x);
float tanf(float x);
float atanf(float x);
// The angle of (x, y) in radians, in [-pi, pi].
float atan2f(float y, float x);
float tanhf(float x);
float expf(float x);
// 10 to the power y: the correctly rounded powf(10, y).
float exp10f(float y);
float logf(float x);
float log10f(float x);

// The square root is correctly rounded by IEEE itself; this is the
// processor's instruction, without the C runtime's error handling (which
// answers a negative argument with its own NaN on some platforms).
inline float sqrtf(float x) {
#if defined(__SSE2__) || defined(_M_X64)
    return _mm_cvtss_f32(_mm_sqrt_ss(_mm_set_ss(x)));
#else
    return std::sqrt(x);
#endif
}

// e to the power x. Overflow gives +inf, underflow +0, NaN gives NaN.
double exp(double x);

// x to the power y, with the special values of C's powf (powf(x, 0) = 1
// even for a NaN x, powf(1, y) = 1, a negative x only with an integral y,
// ...). Exact results whose value is halfway between two floats are rounded
// to even when y is an integer.
float powf(float x, float y);

// The two ways the functions reach a result, for their tests.
namespace detail {
enum class FloatFunction { kSin, kCos, kTan, kAtan, kTanh, kExp, kExp10, kLog, kLog10 };
// The function without its plain double evaluation: the double-double
// path that decides where the double result is too close to call.
float byDoubleDouble(FloatFunction f, float x);
float atan2fByDoubleDouble(float y, float x);
// The double evaluation alone: false where its error bound leaves the
// rounding undecided (the arguments the double-double path then decides).
bool byDouble(FloatFunction f, float x, float& out);
bool atan2fByDouble(float y, float x, float& out);

// e^x by the shorter evaluation: false unless |x| <= 708 and the error
// bound decides the rounding.
bool expByDouble(double x, double& result);
// exp without the shorter evaluation.
double expByDoubleDouble(double x);
// x^y in plain double arithmetic, for a positive finite x and a finite y:
// false unless the error bound decides the rounding (a result beyond the
// float range by far is decided too: infinity or zero).
bool powfByDouble(float x, float y, float& result);
// powf without the plain double attempt.
float powfByDoubleDouble(float x, float y);
}  // namespace detail

}  // namespace ovra::numeric
