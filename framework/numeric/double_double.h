// Double-double arithmetic and the bit helpers that the elementary
// functions share. Internal to framework/numeric.
//
// Every helper is exact or loses only in lo's last bits, as long as each
// operation is rounded to nearest in double precision and none is
// contracted into a fused multiply-add (the build forbids both).
#pragma once

#include <cstdint>

#include "numeric/bits.h"

#if defined(__FAST_MATH__)
#error "framework/numeric relies on IEEE rounding of every operation; build without -ffast-math"
#endif
#if defined(__FLT_EVAL_METHOD__) && __FLT_EVAL_METHOD__ != 0
#error "framework/numeric needs double operations rounded to double (SSE2), not to extended precision"
#endif

namespace ovra::numeric::detail {

// A value held as the unevaluated sum hi + lo with |lo| at most half an ulp
// of hi. Every helper below is exact or loses only in lo's last bits, as
// long as no operation is contracted into a fused multiply-add.
struct Dd {
    double hi;
    double lo;
};

inline Dd fastTwoSum(double a, double b) {  // |a| >= |b|, or a == 0
    const double s = a + b;
    return {s, b - (s - a)};
}

inline Dd twoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// Veltkamp's split into two halves of 26 bits each.
inline Dd split(double a) {
    const double c = 134217729.0 * a;  // 2^27 + 1
    const double hi = c - (c - a);
    return {hi, a - hi};
}

// Dekker's exact product.
inline Dd twoProd(double a, double b) {
    const double p = a * b;
    const Dd x = split(a);
    const Dd y = split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

inline Dd add(Dd a, Dd b) {
    Dd s = twoSum(a.hi, b.hi);
    const Dd t = twoSum(a.lo, b.lo);
    s.lo += t.hi;
    s = fastTwoSum(s.hi, s.lo);
    s.lo += t.lo;
    return fastTwoSum(s.hi, s.lo);
}

inline Dd add(Dd a, double b) {
    Dd s = twoSum(a.hi, b);
    s.lo += a.lo;
    return fastTwoSum(s.hi, s.lo);
}

inline Dd mul(Dd a, Dd b) {
    Dd p = twoProd(a.hi, b.hi);
    p.lo += a.hi * b.lo + a.lo * b.hi;
    return fastTwoSum(p.hi, p.lo);
}

inline Dd mul(Dd a, double b) {
    Dd p = twoProd(a.hi, b);
    p.lo += a.lo * b;
    return fastTwoSum(p.hi, p.lo);
}

inline Dd neg(Dd a) { return {-a.hi, -a.lo}; }

inline Dd sub(Dd a, Dd b) { return add(a, neg(b)); }

// a / b to about 104 bits: three quotient digits, each taken from the
// remainder left by the ones before.
inline Dd div(Dd a, Dd b) {
    const double q1 = a.hi / b.hi;
    Dd r = sub(a, mul(b, q1));
    const double q2 = r.hi / b.hi;
    r = sub(r, mul(b, q2));
    const double q3 = r.hi / b.hi;
    const Dd q = fastTwoSum(q1, q2);
    return add(q, q3);
}


inline bool isNaN(float x) { return x != x; }
inline bool isInf(float x) { return x - x != x - x && x == x; }

// hi + lo rounded once to float (round to nearest, ties to even),
// subnormal results and overflow included. Rounding to odd at double
// precision first keeps the information that lo carries: with 29 bits to
// spare, the second rounding is then the correct one.
inline float toFloat(Dd v) {
    double h = v.hi;
    if (v.lo != 0.0 && (bitsOf(h) & 1) == 0)
        h = fromBits(bitsOf(h) + ((v.lo > 0) == (h > 0) ? 1 : static_cast<uint64_t>(-1)));
    return static_cast<float>(h);
}

}  // namespace ovra::numeric::detail
