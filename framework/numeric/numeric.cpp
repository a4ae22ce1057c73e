// Double-double elementary functions; see numeric.h for the contract.
#include "numeric/numeric.h"

#include "numeric/kernels.h"

namespace ovra::numeric {
namespace detail {

// 1/3!, 1/4!, 1/5! in two parts, and 1/6! to 1/12! as doubles.
constexpr Dd kInvFact3 = {0x1.5555555555555p-3, 0x1.5555555555555p-57};
constexpr Dd kInvFact4 = {0x1.5555555555555p-5, 0x1.5555555555555p-59};
constexpr Dd kInvFact5 = {0x1.1111111111111p-7, 0x1.1111111111111p-63};
constexpr double kInvFactTail[7] = {0x1.6c16c16c16c17p-10, 0x1.a01a01a01a01ap-13, 0x1.a01a01a01a01ap-16,
                                    0x1.71de3a556c734p-19, 0x1.27e4fb7789f5cp-22, 0x1.ae64567f544e4p-26,
                                    0x1.1eed8eff8d898p-29};

Dd expCore(Dd z, int& scale) {
    const double kd = (z.hi * kSixtyFourByLn2 + kShifter) - kShifter;
    const int k = static_cast<int>(kd);
    // r = z - k ln2/64, |r| <= ln2/128 (a little more for rounding). The
    // first difference is exact (the operands are within a factor of two).
    const double t = z.hi - kd * kLn2By64[0];
    Dd r = twoSum(t, -(kd * kLn2By64[1]));
    r.lo += z.lo - kd * kLn2By64[2];
    r = fastTwoSum(r.hi, r.lo);

    // e^r - 1 by its Taylor series: the terms from r^6 on are below 2^-54
    // and need only double precision.
    const double rh = r.hi;
    double tail = kInvFactTail[6];
    for (int i = 5; i >= 0; --i)
        tail = kInvFactTail[i] + rh * tail;
    tail *= rh;  // sum of r^(n-5)/n! for n >= 6
    Dd a = add(kInvFact5, tail);
    a = add(kInvFact4, mul(a, r));
    a = add(kInvFact3, mul(a, r));
    a = add(mul(a, r), 0.5);
    a = add(mul(a, r), 1.0);
    const Dd expm1r = mul(a, r);

    const Dd& tj = kTwoToJBy64[k & 63];
    scale = k >> 6;  // floor(k / 64)
    return add(tj, mul(tj, expm1r));
}

Dd logOfFloat(double x) {
    const uint64_t b = bitsOf(x);
    int e = static_cast<int>((b >> 52) & 0x7ff) - 1023;
    double m = fromBits((b & 0x000fffffffffffffull) | 0x3ff0000000000000ull);  // [1, 2)
    if (m > kSqrt2) {
        m *= 0.5;
        e += 1;
    }
    // ln m = 2 atanh(u), u = (m - 1)/(m + 1), |u| <= 0.1716; both operands
    // are exact (m has 24 bits), the quotient is taken to double-double.
    const double num = m - 1.0;
    const double den = m + 1.0;
    const double q = num / den;
    const Dd qd = twoProd(q, den);
    const double remainder = (num - qd.hi) - qd.lo;
    const Dd u = fastTwoSum(q, remainder / den);
    const Dd v = mul(u, u);  // <= 0.0295

    // 1 + v/3 + v^2/5 + ...: terms from v^11 on are below 2^-55.
    double tail = 1.0 / 41.0;
    for (int k = 19; k >= 11; --k)
        tail = 1.0 / (2 * k + 1) + v.hi * tail;
    Dd s = add(kInvOdd[9], v.hi * tail);
    for (int k = 8; k >= 0; --k)
        s = add(kInvOdd[k], mul(s, v));
    s = add(mul(s, v), 1.0);
    const Dd lnm = mul(mul(s, u), 2.0);

    const double ed = static_cast<double>(e);
    const Dd p = twoProd(ed, kLn2[1]);
    Dd eln2 = fastTwoSum(ed * kLn2[0], p.hi);
    eln2.lo += p.lo + ed * kLn2[2];
    eln2 = fastTwoSum(eln2.hi, eln2.lo);
    return add(eln2, lnm);
}

}  // namespace detail

namespace {

using namespace detail;

// ---------------------------------------------------------------------------
// exp

// y * 2^scale rounded once to double, subnormal results included.
double scaled(Dd y, int scale) {
    if (scale > 1023)
        return y.hi * twoTo(1023) * twoTo(scale - 1023);  // finite or +inf
    if (scale > -1022)
        return y.hi * twoTo(scale);  // exact: the result is normal
    // The result may fall below 2^-1022, where the grid is 2^-1074. Bring
    // it to that grid's units (exactly) and round to an integer once, with
    // both parts.
    const int up = scale + 1074;
    if (up < -2)
        return 0.0;  // below a quarter of the smallest subnormal
    const double w = y.hi * twoTo(up);
    const double wl = y.lo * twoTo(up);
    if (w >= 0x1p52)
        return w * 0x1p-1074;  // normal after all: exact
    double i = (w + 0x1p52) - 0x1p52;
    const double rest = (w - i) + wl;
    if (rest > 0.5)
        i += 1.0;
    else if (rest < -0.5)
        i -= 1.0;
    return i * 0x1p-1074;
}

// e^x for |x| <= 708 (a normal result) with the reduction of expCore kept
// in double-double but the series past its linear term in plain double:
// r is exact to 2^-110, the series' tail r^2/2 + ... (below 2^-16) is off
// by 2^-67.4 at most (truncation 2^-75), using r's high part alone adds
// 2^-68.5, and the products and sums with the table entry 2^-100. Relative
// error bound: 2^-66.
//
// The result is then the correctly rounded double unless its low part lies
// within 2^-10 units of the last place (over 2^-63 of the value) of half a
// unit (a quarter below a power of two), where the exact path decides.
// Where this answers, the exact value lies far
// beyond the 2^-100 within which the exact path could round the other way.
bool expByShortSeries(double x, double& out) {
    const double kd = (x * kSixtyFourByLn2 + kShifter) - kShifter;
    const int k = static_cast<int>(kd);
    const double t = x - kd * kLn2By64[0];  // exact: a multiple of x's last place, below 2^-7
    Dd r = twoSum(t, -(kd * kLn2By64[1]));
    r.lo -= kd * kLn2By64[2];
    r = fastTwoSum(r.hi, r.lo);

    const double rh = r.hi;
    const double tail =
        rh * rh * (0.5 + rh * (1.0 / 6 + rh * (1.0 / 24 + rh * (1.0 / 120 + rh * (1.0 / 720 + rh * (1.0 / 5040))))));
    Dd expm1r = twoSum(rh, tail);
    expm1r.lo += r.lo + r.lo * rh;
    expm1r = fastTwoSum(expm1r.hi, expm1r.lo);

    const Dd& tj = kTwoToJBy64[k & 63];
    Dd p = twoProd(tj.hi, expm1r.hi);
    p.lo += tj.hi * expm1r.lo + tj.lo * expm1r.hi;
    const Dd y = add(tj, fastTwoSum(p.hi, p.lo));  // in [0.99, 2.02)

    // Half a unit of y.hi's last place on either side, a quarter below a
    // power of two, where the grid halves.
    const double ulp = fromBits(bitsOf(y.hi) & 0x7ff0000000000000ull) * 0x1p-52;
    const bool powerOfTwo = (bitsOf(y.hi) & 0x000fffffffffffffull) == 0;
    const double half = powerOfTwo && y.lo < 0 ? 0.25 : 0.5;
    const double low = y.lo < 0 ? -y.lo : y.lo;
    if (!(low < ulp * (half - 0x1p-10)))
        return false;
    out = y.hi * twoTo(k >> 6);  // exact: the result is normal
    return true;
}

// ---------------------------------------------------------------------------
// float helpers

// Whole numbers; every float of magnitude 2^23 or more is one.
inline bool isInteger(float y) {
    const float a = y < 0 ? -y : y;
    if (!(a < 0x1p23f))
        return !isNaN(y) && !isInf(y);
    return static_cast<float>(static_cast<int32_t>(y)) == y;
}

inline bool isOddInteger(float y) {
    const float a = y < 0 ? -y : y;
    return a < 0x1p24f && isInteger(y) && (static_cast<int64_t>(y) & 1) != 0;
}

// The neighbour of a positive finite float f on the side of value.
inline float neighbourTowards(float f, double value) {
    return floatFromBits(bitsOf(f) + (value > static_cast<double>(f) ? 1u : static_cast<uint32_t>(-1)));
}

// a^n exactly in double, when every partial product is exact.
bool exactPower(double a, int n, double& out) {
    double result = 1.0;
    for (int i = 0; i < n; ++i) {
        const Dd p = twoProd(result, a);
        if (p.lo != 0.0)
            return false;
        result = p.hi;
    }
    out = result;
    return true;
}

// hi + lo (|x|^y for a positive x) rounded once to float.
float roundToFloat(double hi, double lo, double x, float y) {
    const float f = static_cast<float>(hi);
    if (static_cast<double>(f) == hi || isInf(f))
        return f;
    // Rounding hi alone is right unless hi is exactly halfway between two
    // floats; then lo (the rest of the value) decides.
    const float g = neighbourTowards(f, hi);
    const double halfway = (static_cast<double>(f) + static_cast<double>(g)) * 0.5;
    if (hi != halfway)
        return f;
    if (isInteger(y) && y > 0.0f && y <= 64.0f) {
        double exact;
        if (exactPower(x, static_cast<int>(y), exact) && exact == halfway)
            return f;  // a true tie: the conversion rounded it to even
    }
    if (lo == 0.0)
        return f;
    const bool up = lo > 0.0;
    const float lower = f < g ? f : g;
    const float upper = f < g ? g : f;
    return up ? upper : lower;
}

// a^y for a positive float a that is not a power of two, through the
// double-double logarithm and exponential, rounded once.
float powerByDoubleDouble(double a, float y) {
    const Dd z = mul(logOfFloat(a), static_cast<double>(y));
    if (z.hi > 89.0)
        return floatFromBits(0x7f800000u);
    if (z.hi < -104.0)
        return 0.0f;
    int scale = 0;
    const Dd e = expCore(z, scale);  // scale in [-151, 129]: both products exact
    const double s = twoTo(scale);
    return roundToFloat(e.hi * s, e.lo * s, a, y);
}

// C's powf, with or without the plain double evaluation first.
float power(float x, float y, bool tryDouble) {
    if (y == 0.0f || x == 1.0f)
        return 1.0f;
    if (isNaN(x) || isNaN(y))
        return x + y;
    const bool yOdd = isOddInteger(y);
    const float inf = floatFromBits(0x7f800000u);
    if (x == 0.0f) {
        if (y < 0.0f)
            return yOdd ? (bitsOf(x) >> 31 ? -inf : inf) : inf;
        return yOdd ? x : 0.0f;
    }
    const float ax = x < 0.0f ? -x : x;
    if (isInf(y)) {
        if (ax == 1.0f)
            return 1.0f;
        return (ax < 1.0f) == (y < 0.0f) ? inf : 0.0f;
    }
    if (isInf(x)) {
        const bool negative = x < 0.0f && yOdd;
        if (y < 0.0f)
            return negative ? -0.0f : 0.0f;
        return negative ? -inf : inf;
    }
    if (x < 0.0f && !isInteger(y))
        return (x - x) / (x - x);  // NaN
    const bool negative = x < 0.0f && yOdd;

    const double a = static_cast<double>(ax);
    if ((bitsOf(a) & 0x000fffffffffffffull) == 0) {
        // x = 2^k: the result is a power of two whenever k y is whole, and
        // 2^-150 is then a true tie (to +0, the even neighbour).
        const double t = static_cast<double>(static_cast<int>((bitsOf(a) >> 52) & 0x7ff) - 1023) * y;
        const bool huge = !(t > -0x1p62 && t < 0x1p62);  // whole, and far outside the float range
        if (huge || t == static_cast<double>(static_cast<int64_t>(t))) {
            float r = t > 127.0 ? inf : t < -149.0 ? 0.0f : static_cast<float>(twoTo(static_cast<int>(t)));
            return negative ? -r : r;
        }
    }
    float r;
    if (!(tryDouble && powerByDouble(a, y, r)))
        r = powerByDoubleDouble(a, y);
    return negative ? -r : r;
}

}  // namespace

double exp(double x) {
    double result;
    if (x >= -708.0 && x <= 708.0 && expByShortSeries(x, result))
        return result;
    return detail::expByDoubleDouble(x);
}

namespace detail {

bool expByDouble(double x, double& result) { return x >= -708.0 && x <= 708.0 && expByShortSeries(x, result); }

double expByDoubleDouble(double x) {
    if (x != x)
        return x + x;
    if (x > 709.79)
        return 0x1p1023 * 2.0;  // +inf
    if (x < -745.2)
        return 0.0;
    int scale = 0;
    const Dd y = expCore({x, 0.0}, scale);
    return scaled(y, scale);
}

}  // namespace detail

float detail::powerWithSpecialValues(float x, float y, bool tryDouble) { return power(x, y, tryDouble); }

namespace detail {

bool powfByDouble(float x, float y, float& result) {
    if (!(x > 0.0f && x < floatFromBits(0x7f800000u)) || isNaN(y) || isInf(y))
        return false;
    return powerByDouble(static_cast<double>(x), y, result);
}

float powfByDoubleDouble(float x, float y) { return power(x, y, false); }

}  // namespace detail

}  // namespace ovra::numeric
