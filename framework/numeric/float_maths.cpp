// Correctly rounded single-precision functions; see numeric.h for the
// contract.
//
// Each function first evaluates in plain double arithmetic, with an error
// bound written beside it. When every value within that bound of the
// double result rounds to the same float, that float is the correctly
// rounded result (decided()). Otherwise, about one argument in a million,
// a double-double evaluation good to about 2^-95 decides; no float
// argument's exact result lies that close to a halfway point between two
// floats without being one (bench/maths/exhaustive checks every argument
// of the one-argument functions against MPFR, and the hard cases it meets
// are kept in tests/numeric). The bounds below are stated with margin:
// the test only needs them to hold, not to be tight.
#include "numeric/numeric.h"

#include "numeric/float_maths_tables.h"
#include "numeric/kernels.h"

namespace ovra::numeric {
namespace {

using namespace detail;

// The float nearest to y, when every value within 2^-kBoundBits |y| of y rounds
// to it; false when the rounding is left to the slower evaluation.
//
// Where y is a normal float's magnitude, the float grid is y's 24 leading
// bits, and the halfway points are where the 29 bits below them read
// 0x10000000. 2^-kBoundBits |y| is under 2^(53-kBoundBits) units of y's last place,
// so y decides unless those 29 bits lie within that many units of the
// halfway pattern (crossing a float itself changes nothing). Elsewhere
// (subnormal results, infinities, NaN) both ends are rounded and compared.
template <int kBoundBits>  // the bound is 2^-kBoundBits
inline bool decided(double y, float& out) {
    const uint64_t b = bitsOf(y);
    const uint64_t exponent = b & 0x7ff0000000000000ull;
    if (exponent >= (uint64_t{1023 - 126} << 52) && exponent < 0x7ff0000000000000ull) [[likely]] {
        constexpr uint64_t kTolerance = (uint64_t{1} << (53 - kBoundBits)) + 1;
        const uint64_t low = b & 0x1fffffffu;
        const uint64_t fromHalfway = low > 0x10000000u ? low - 0x10000000u : 0x10000000u - low;
        if (fromHalfway <= kTolerance)
            return false;
        out = static_cast<float>(y);
        return true;
    }
    const double e = (y < 0 ? -y : y) * (1.0 / static_cast<double>(uint64_t{1} << kBoundBits));
    const float low = static_cast<float>(y - e);
    const float high = static_cast<float>(y + e);
    if (!(low == high))
        return false;
    out = low;
    return true;
}

inline float magnitude(float x) { return floatFromBits(bitsOf(x) & 0x7fffffffu); }
inline float withSignOf(float v, float x) { return floatFromBits((bitsOf(v) & 0x7fffffffu) | (bitsOf(x) & 0x80000000u)); }
inline double withSignOf(double v, float x) { return bitsOf(x) >> 31 ? -v : v; }

// The processor's own NaN for an invalid operation (0/0, inf - inf), made
// at run time so that it is the same on every build.
inline float invalid(float x) {
    const float z = x - x;  // 0 for a finite x, the invalid NaN for an infinity
    return z / z;
}

constexpr float kInf = __builtin_inff();

// Which evaluations a function may use: both (the functions themselves),
// or one alone for the tests and the exhaustive check. With the double
// evaluation alone, an undecided result is kUndecided, a signalling NaN
// that no arithmetic produces.
enum class Path { kBoth, kDouble, kDoubleDouble };
constexpr float kUndecided = std::bit_cast<float>(0x7f80deadu);

// ---------------------------------------------------------------------------
// sin, cos, tan
//
// x = (i + f) pi/64 with i in 0..127 (x modulo 2 pi) and |f| <= 1/2. Then
//   sin x = sin(i pi/64) cos r + cos(i pi/64) sin r,   r = f pi/64,
// with cos(i pi/64) = sin((i + 32) pi/64). Below 2^-5, x is r itself;
// below 2^15 the reduction is Cody and Waite's; above, x's 24-bit integer
// mantissa times 192 bits of 2/pi (Payne and Hanek): the product's top 128
// bits modulo 2^128 are x 64/pi modulo 128, off by less than 2 units of
// 2^-121.

struct Reduced {
    int index;      // i, modulo 128
    __int128 f;     // f in units of 2^-121, |f| <= 2^120
};

// |x| >= 2^-5, finite.
inline Reduced reduce(float x) {
    const uint32_t b = bitsOf(x) & 0x7fffffffu;
    const uint64_t m = (b & 0x7fffffu) | 0x800000u;
    const int e = static_cast<int>(b >> 23) - 150;  // x = m 2^e
    // Bits e - 1 onwards of 2/pi: the earlier ones add multiples of 128.
    const int q = e - 1 + 63;
    const int w = q >> 6;
    const int s = q & 63;
    const uint64_t* p = kTwoOverPiBits + w;
    auto word = [&](int i) { return s == 0 ? p[i] : (p[i] << s) | (p[i + 1] >> (64 - s)); };
    const uint64_t w0 = word(0), w1 = word(1), w2 = word(2);
    using U128 = unsigned __int128;
    U128 t = (static_cast<U128>(m * w0) << 64) + static_cast<U128>(m) * w1 + ((static_cast<U128>(m) * w2) >> 64);
    t += static_cast<U128>(1) << 120;  // to the nearest index
    Reduced r;
    r.index = static_cast<int>(t >> 121);
    r.f = static_cast<__int128>(t & ((static_cast<U128>(1) << 121) - 1)) - (static_cast<__int128>(1) << 120);
    return r;
}

// r in radians, to 2^-51 (relative): the magnitude's two words converted
// and added (2^-52), the constant and the product (2^-53 each).
inline double angleOf(__int128 f) {
    const bool negative = f < 0;
    const unsigned __int128 a = static_cast<unsigned __int128>(negative ? -f : f);
    const double d = static_cast<double>(static_cast<uint64_t>(a >> 64)) * 0x1p64 + static_cast<double>(static_cast<uint64_t>(a));
    const double r = d * (0x1p-121 * kPiBy64[0]);
    return negative ? -r : r;
}

// r in radians as a double-double, to 2^-100 (relative): f is exact to 2
// units and at least 2^85 (no float lies closer to a multiple of pi/64).
inline Dd angleOfDd(__int128 f) {
    const double hi = static_cast<double>(f);
    const double lo = static_cast<double>(f - static_cast<__int128>(hi));
    const Dd units = fastTwoSum(hi * 0x1p-121, lo * 0x1p-121);
    Dd r = mul(units, Dd{kPiBy64[0], kPiBy64[1]});
    return add(r, units.hi * kPiBy64[2]);
}

// sin(i pi/64 + r) for |r| <= 0.0246: the Taylor series of sin r to r^5
// leaves 2^-44.4 of sin r, that of cos r to r^6 2^-58; the table entries
// are off by 2^-53 each, and the sum loses at most one bit (the two terms
// have opposite signs only when the result is at least half the larger
// one). With r off by 2^-51: 2^-43.3 (relative).
inline double sinIndexed(int i, double r) {
    const double r2 = r * r;
    const double s = r + r * r2 * (-1.0 / 6 + r2 * (1.0 / 120));
    const double c = (1.0 - 0.5 * r2) + (r2 * r2) * (1.0 / 24 + r2 * (-1.0 / 720));
    return kSinKPiBy64[i & 127].hi * c + kSinKPiBy64[(i + 32) & 127].hi * s;
}

// sin r and cos r in double-double for |r| <= 0.0491: Taylor to r^15 and
// r^14 (the next terms are below 2^-113), by Horner in r^2.
inline void sinCosDd(Dd r, Dd& sinR, Dd& cosR) {
    const Dd r2 = mul(r, r);
    Dd s = kInvFactorial[15];
    Dd c = kInvFactorial[14];
    for (int n = 6; n >= 0; --n) {
        s = sub(kInvFactorial[2 * n + 1], mul(s, r2));
        c = sub(kInvFactorial[2 * n], mul(c, r2));
    }
    sinR = mul(s, r);
    cosR = c;
}

inline Dd sinIndexedDd(int i, Dd r) {
    Dd s, c;
    sinCosDd(r, s, c);
    return add(mul(kSinKPiBy64[i & 127], c), mul(kSinKPiBy64[(i + 32) & 127], s));
}

enum class Trig { kSin, kCos, kTan };

// x = (i + f) pi/64 for x >= 2^15, r = f pi/64 in radians.
[[gnu::noinline]] double reduceLarge(float ax, int& i) {
    const Reduced red = reduce(ax);
    i = red.index;
    return angleOf(red.f);
}

// The double-double path, for a finite |x| >= 2^-12 (any x for cos).
template <Trig which>
[[gnu::noinline]] float trigByDoubleDouble(float x) {
    const float ax = magnitude(x);
    int i = 0;
    Dd r{static_cast<double>(ax), 0.0};
    if (ax >= 0x1p-5f) {
        const Reduced red = reduce(ax);
        i = red.index;
        r = angleOfDd(red.f);
    }
    Dd y;
    if constexpr (which == Trig::kTan)
        y = div(sinIndexedDd(i, r), sinIndexedDd(i + 32, r));
    else
        y = sinIndexedDd(which == Trig::kCos ? i + 32 : i, r);
    return toFloat(which != Trig::kCos && (bitsOf(x) >> 31) ? neg(y) : y);
}

template <Trig which, Path path>
inline float trig(float x) {
    const float ax = magnitude(x);
    if (!(ax < kInf)) [[unlikely]]
        return isNaN(x) ? x + x : invalid(x);
    if (which != Trig::kCos && ax < 0x1p-12f)
        return x;  // within half an ulp of x: |x^3/3| < 2^-25 |x|
    if constexpr (path != Path::kDoubleDouble) {
        int i = 0;
        double r = ax;
        if (ax >= 0x1p15f) [[unlikely]] {
            r = reduceLarge(ax, i);
        } else if (ax >= 0x1p-5f) {
            // Cody and Waite: k pi/64 in three parts, k < 2^20. ax - k C1 is
            // exact (both within a factor of two), k C2 is exact, the two
            // subtractions add 2^-53 of r each, k C3 2^-106 absolute; no
            // float below 2^15 comes within 2^-46 of a multiple of pi/64, so
            // r is off by at most 2^-51.
            const double kd = (ax * kSixtyFourByPi + kShifter) - kShifter;
            i = static_cast<int>(kd) & 127;
            r = ((ax - kd * kPiBy64Short[0]) - kd * kPiBy64Short[1]) - kd * kPiBy64Short[2];
        }
        double y;
        float out;
        if constexpr (which == Trig::kTan) {
            // tan = sin / cos: two kernels and a division, 2^-42.3.
            y = withSignOf(sinIndexed(i, r) / sinIndexed(i + 32, r), x);
            if (decided<41>(y, out))
                return out;
        } else if constexpr (which == Trig::kCos) {
            y = sinIndexed(i + 32, r);
            if (decided<42>(y, out))
                return out;
        } else {
            y = withSignOf(sinIndexed(i, r), x);
            if (decided<42>(y, out))
                return out;
        }
        if constexpr (path == Path::kDouble)
            return kUndecided;
    }
    return trigByDoubleDouble<which>(x);
}

// ---------------------------------------------------------------------------
// atan, atan2
//
// For 0 <= q <= 1: atan q = atan c + atan t, c = k/64 the nearest, and
// t = (q - c)/(1 + q c), |t| <= 1/128 (a little more after rounding).

// atan q to 2^-50 (relative) for a double 0 <= q <= 1 off by 2^-53: q - c
// is exact (Sterbenz, or c = 0), 1 + q c and the quotient add 2^-52; the
// series to t^7 leaves 2^-59; the table entry 2^-53; and the sum, whose
// terms are within a factor of 4, loses at most one bit.
inline double atanKernel(double q) {
    const int k = static_cast<int>(q * 64.0 + 0.5);
    const double c = k * (1.0 / 64);
    const double t = (q - c) / (1.0 + q * c);
    const double t2 = t * t;
    const double p = t + (t * t2) * ((-1.0 / 3 + t2 * (1.0 / 5)) + (t2 * t2) * (-1.0 / 7));
    return kAtanKBy64[k].hi + p;
}

// The same in double-double, to about 2^-100: the series to t^15.
inline Dd atanKernelDd(Dd q) {
    const int k = static_cast<int>(q.hi * 64.0 + 0.5);
    const double c = k * (1.0 / 64);
    const Dd t = div(add(q, -c), add(mul(q, c), 1.0));
    const Dd t2 = mul(t, t);
    Dd s = kInvOdd[6];  // 1/15
    for (int j = 5; j >= 0; --j)
        s = add(kInvOdd[j], mul(neg(s), t2));  // 1/(2j+3) - t^2 (...)
    s = add(mul(neg(s), t2), 1.0);
    return add(kAtanKBy64[k], mul(s, t));
}

// The angle of (ax, ay) in [0, pi], both positive and finite, to 2^-49:
// the quotient adds 2^-53, pi/2 - a and pi - a (a result of at least
// pi/4) 2^-52 each.
inline double angle(double ax, double ay, bool xNegative) {
    double a = ay <= ax ? atanKernel(ay / ax) : kPiBy2Dd.hi - atanKernel(ax / ay);
    return xNegative ? kPiDd.hi - a : a;
}

inline Dd angleDd(double ax, double ay, bool xNegative) {
    Dd a = ay <= ax ? atanKernelDd(div(Dd{ay, 0.0}, Dd{ax, 0.0}))
                    : sub(kPiBy2Dd, atanKernelDd(div(Dd{ax, 0.0}, Dd{ay, 0.0})));
    return xNegative ? sub(kPiDd, a) : a;
}

// ---------------------------------------------------------------------------
// exp, 10^y, tanh
//
// e^z = 2^(k/64) e^r with r = z - k ln2/64, |r| <= ln2/128 (a little
// more), from the same table as the double-double exponential.

// 2^(k/64) e^r to 2^-51 (relative) for |r| <= 0.0055 off by 2^-53 |r|:
// the series to r^5 leaves 2^-54.7, the table entry 2^-53, the rest a few
// roundings of 2^-53. k >> 6 stays within the normal doubles.
inline double expReduced(int k, double r) {
    const double r2 = r * r;
    const double p = r + r2 * (0.5 + r * (1.0 / 6)) + (r2 * r2) * (1.0 / 24 + r * (1.0 / 120));
    const double t = kTwoToJBy64[k & 63].hi;
    return (t + t * p) * twoTo(k >> 6);
}

// e^z for a float z, |z| < 104: z - k C0 is exact (k C0 is, and the two
// are within a factor of two), k C1 adds 2^-53 |r|, and k C2 (left out)
// 2^-62 absolute.
inline double expOfFloat(double z) {
    const double kd = (z * kSixtyFourByLn2 + kShifter) - kShifter;
    const double r = (z - kd * kLn2By64[0]) - kd * kLn2By64[1];
    return expReduced(static_cast<int>(kd), r);
}

// tanh a for 2^-12 <= a < 0.125: the odd Taylor series to a^15, whose
// next term is below 2^-58 of a; Horner in double adds 2^-52.
inline double tanhSeries(double a) {
    const double a2 = a * a;
    double p = -0x1.7da36452b75e3p-10;     // -929569/638512875
    p = 0x1.d6d3d0e157de0p-9 + a2 * p;     // 21844/6081075
    p = -0x1.226e355e6c23dp-7 + a2 * p;    // -1382/155925
    p = 0x1.664f4882c10fap-6 + a2 * p;     // 62/2835
    p = -0x1.ba1ba1ba1ba1cp-5 + a2 * p;    // -17/315
    p = 0x1.1111111111111p-3 + a2 * p;     // 2/15
    p = -0x1.5555555555555p-2 + a2 * p;    // -1/3
    return a + a * a2 * p;
}

// ---------------------------------------------------------------------------
// log, log10
//
// x = 2^e m, m in [1, 2); with c near 1/m from the table (20 bits, so that
// m c and r = m c - 1 are exact, |r| < 2^-7):
//   ln x = e ln 2 + (-ln c) + ln(1 + r),
// one more ln 2 moved into the table entry for m >= 1.5, so that x just
// below 1 adds nothing to cancel.

// ln x to 2^-44.5 (relative) for a positive finite float x: the series to
// r^6 leaves 2^-44.8 of ln(1 + r); the table entry 2^-53 of itself, e ln 2
// 2^-53; the terms cancel by at most a factor of 2 (x far from 1) or not
// at all (c = 1 or c = 1/2, where the entry is 0).
inline double logOfPositive(double x) {
    const uint64_t b = bitsOf(x);
    int e = static_cast<int>(b >> 52) - 1023;
    const double m = fromBits((b & 0x000fffffffffffffull) | 0x3ff0000000000000ull);
    const int i = static_cast<int>((b >> 45) & 127);
    e += i >> 6;
    const LogEntry& entry = kLogTable[i];
    const double r = m * entry.c - 1.0;
    const double r2 = r * r;
    const double r4 = r2 * r2;
    // Estrin's scheme: three short chains instead of one long one.
    const double p = r + r2 * (-0.5 + r * (1.0 / 3)) + r4 * ((-0.25 + r * (1.0 / 5)) + r2 * (-1.0 / 6));
    const double ed = static_cast<double>(e);
    return (ed * kLn2[0] + entry.minusLogC.hi) + (ed * kLn2[1] + p);
}

enum class Log { kNatural, kTen };

template <Log base>
[[gnu::noinline]] float logByDoubleDouble(double a) {
    if constexpr (base == Log::kNatural)
        return toFloat(logOfFloat(a));
    else
        return toFloat(mul(logOfFloat(a), kInvLn10Dd));
}

template <Log base, Path path>
inline float logarithm(float x) {
    if (!(x > 0.0f)) [[unlikely]] {
        if (isNaN(x))
            return x + x;
        return x == 0.0f ? -kInf : invalid(x);
    }
    if (!(x < kInf)) [[unlikely]]
        return x;
    const double a = static_cast<double>(x);  // normal, even for a subnormal x
    if constexpr (path != Path::kDoubleDouble) {
        float out;
        const double ln = logOfPositive(a);
        if constexpr (base == Log::kNatural) {
            if (decided<43>(ln, out))
                return out;
        } else {
            if (decided<43>(ln * kInvLn10Dd.hi, out))  // one more rounding and the constant's 2^-53
                return out;
        }
        if constexpr (path == Path::kDouble)
            return kUndecided;
    }
    return logByDoubleDouble<base>(a);
}

// atan and tanh are odd, with slope 1 at 0 and |f(x) - x| < |x^3|/3: a NaN
// passes through, and below 2^-12 x itself is within half an ulp
// (|x^3/3| < 2^-25 |x|). ax is |x|. True when out holds the answer.
inline bool nearZeroOrNaN(float x, float ax, float& out) {
    if (isNaN(x)) [[unlikely]] {
        out = x + x;
        return true;
    }
    if (ax < 0x1p-12f) {
        out = x;
        return true;
    }
    return false;
}

[[gnu::noinline]] float atanByDoubleDouble(float x) {
    const double a = static_cast<double>(magnitude(x));
    const Dd y = a <= 1.0 ? atanKernelDd({a, 0.0}) : sub(kPiBy2Dd, atanKernelDd(div({1.0, 0.0}, {a, 0.0})));
    return toFloat(bitsOf(x) >> 31 ? neg(y) : y);
}

template <Path path>
inline float arcTangent(float x) {
    const float ax = magnitude(x);
    float out;
    if (nearZeroOrNaN(x, ax, out))
        return out;
    if constexpr (path != Path::kDoubleDouble) {
        const double a = static_cast<double>(ax);
        const double y = ax <= 1.0f ? atanKernel(a) : kPiBy2Dd.hi - atanKernel(1.0 / a);
        if (decided<47>(withSignOf(y, x), out))
            return out;
        if constexpr (path == Path::kDouble)
            return kUndecided;
    }
    return atanByDoubleDouble(x);
}

[[gnu::noinline]] float atan2ByDoubleDouble(float y, float x) {
    const double dx = static_cast<double>(magnitude(x));
    const double dy = static_cast<double>(magnitude(y));
    return withSignOf(toFloat(angleDd(dx, dy, (bitsOf(x) >> 31) != 0)), y);
}

// The zero and infinite cases, each the correctly rounded multiple of pi/4
// with the sign of y.
[[gnu::noinline]] float atan2OnAxisOrInfinity(float y, float x) {
    const float ax = magnitude(x);
    const float ay = magnitude(y);
    const bool xNegative = (bitsOf(x) >> 31) != 0;
    Dd a{0.0, 0.0};
    if (ay == kInf)
        a = ax == kInf ? (xNegative ? k3PiBy4Dd : kPiBy4Dd) : kPiBy2Dd;
    else if (ax == 0.0f && ay != 0.0f)
        a = kPiBy2Dd;
    else if (xNegative)
        a = kPiDd;  // y = 0 or x = -inf
    return withSignOf(toFloat(a), y);
}

template <Path path>
inline float arcTangent2(float y, float x) {
    if (isNaN(x) || isNaN(y)) [[unlikely]]
        return y + x;
    const float ax = magnitude(x);
    const float ay = magnitude(y);
    if (ay == 0.0f || ax == 0.0f || ax == kInf || ay == kInf) [[unlikely]]
        return atan2OnAxisOrInfinity(y, x);
    if constexpr (path != Path::kDoubleDouble) {
        float out;
        if (decided<46>(angle(static_cast<double>(ax), static_cast<double>(ay), (bitsOf(x) >> 31) != 0), out))
            return withSignOf(out, y);
        if constexpr (path == Path::kDouble)
            return kUndecided;
    }
    return atan2ByDoubleDouble(y, x);
}

[[gnu::noinline]] float tanhByDoubleDouble(float x) {
    int scale = 0;
    const Dd e = expCore({2.0 * static_cast<double>(magnitude(x)), 0.0}, scale);
    const double s = twoTo(scale);
    const Dd ed = fastTwoSum(e.hi * s, e.lo * s);
    return withSignOf(toFloat(div(add(ed, -1.0), add(ed, 1.0))), x);
}

template <Path path>
inline float hyperbolicTangent(float x) {
    const float ax = magnitude(x);
    float out;
    if (nearZeroOrNaN(x, ax, out))
        return out;
    if (ax >= 10.0f)
        return withSignOf(1.0f, x);  // 1 - tanh 10 < 2^-27: rounds to 1
    if constexpr (path != Path::kDoubleDouble) {
        const double a = static_cast<double>(ax);
        double y;
        if (ax < 0.125f) {
            y = tanhSeries(a);
        } else {
            // (e^2a - 1)/(e^2a + 1) with e^2a >= 1.28 to 2^-51: the
            // subtraction loses under 2 bits, the quotient adds 2^-53.
            const double e = expOfFloat(2.0 * a);
            y = (e - 1.0) / (e + 1.0);
        }
        if (decided<46>(y, out))
            return withSignOf(out, x);
        if constexpr (path == Path::kDouble)
            return kUndecided;
    }
    return tanhByDoubleDouble(x);
}

[[gnu::noinline]] float expByDoubleDouble(Dd z) {
    int scale = 0;
    const Dd e = expCore(z, scale);  // scale in [-151, 129]: both products exact
    const double s = twoTo(scale);
    return toFloat({e.hi * s, e.lo * s});
}

template <Path path>
inline float exponential(float x) {
    if (isNaN(x)) [[unlikely]]
        return x + x;
    if (x > 89.0f)
        return kInf;  // above ln(2^128)
    if (x < -104.0f)
        return 0.0f;  // below ln(2^-150): under half the least subnormal
    if constexpr (path != Path::kDoubleDouble) {
        float out;
        if (decided<48>(expOfFloat(static_cast<double>(x)), out))
            return out;
        if constexpr (path == Path::kDouble)
            return kUndecided;
    }
    return expByDoubleDouble({static_cast<double>(x), 0.0});
}

template <Path path>
inline float tenTo(float y) {
    if (isNaN(y)) [[unlikely]]
        return y + y;
    if (y > 39.0f)
        return kInf;  // 10^39 > 2^128
    if (y < -46.0f)
        return 0.0f;  // 10^-46 < 2^-150
    const double yd = static_cast<double>(y);
    if constexpr (path != Path::kDoubleDouble) {
        // z = y ln 10 - k ln2/64 with y times the 24-bit first part of ln 10
        // exact and the difference exact (within a factor of two, or k = 0);
        // the second parts add 2^-53 |r| and 2^-70 absolute.
        const double kd = (yd * kSixtyFourLog2Of10 + kShifter) - kShifter;
        const double r = (yd * kLn10Short[0] - kd * kLn2By64[0]) + (yd * kLn10Short[1] - kd * kLn2By64[1]);
        float out;
        if (decided<48>(expReduced(static_cast<int>(kd), r), out))
            return out;
        if constexpr (path == Path::kDouble)
            return kUndecided;
    }
    return expByDoubleDouble(mul(kLn10Dd, yd));
}

// a^y = e^z, z = y ln a: ln a to 2^-44.5 (relative), the product adds
// 2^-53, so z is off by 2^-44.4 |z|, at most 2^-37.6 absolute where the
// result is a float (|z| < 104); the exponential adds 2^-51. 2^-37 of the
// result bounds both. One argument in about 4000 is left to the
// double-double path.
inline bool powerInDouble(double a, float y, float& out) {
    const double z = static_cast<double>(y) * logOfPositive(a);
    if (z >= 89.0 || z <= -104.5) {
        out = z > 0 ? kInf : 0.0f;  // beyond e^88.73 and e^-103.98 by far more than z's error
        return true;
    }
    if (!(z > -103.0 && z < 88.5))
        return false;  // near the ends of the float range: the slower path decides
    const double kd = (z * kSixtyFourByLn2 + kShifter) - kShifter;
    const double r = (z - kd * kLn2By64[0]) - kd * kLn2By64[1];  // the first difference is exact
    return decided<37>(expReduced(static_cast<int>(kd), r), out);
}

}  // namespace

bool detail::powerByDouble(double a, float y, float& out) { return powerInDouble(a, y, out); }

namespace {

template <Path path>
float evaluate(FloatFunction f, float x) {
    switch (f) {
    case FloatFunction::kSin: return trig<Trig::kSin, path>(x);
    case FloatFunction::kCos: return trig<Trig::kCos, path>(x);
    case FloatFunction::kTan: return trig<Trig::kTan, path>(x);
    case FloatFunction::kAtan: return arcTangent<path>(x);
    case FloatFunction::kTanh: return hyperbolicTangent<path>(x);
    case FloatFunction::kExp: return exponential<path>(x);
    case FloatFunction::kExp10: return tenTo<path>(x);
    case FloatFunction::kLog: return logarithm<Log::kNatural, path>(x);
    case FloatFunction::kLog10: return logarithm<Log::kTen, path>(x);
    }
    return x;
}

}  // namespace

float sinf(float x) { return trig<Trig::kSin, Path::kBoth>(x); }
float cosf(float x) { return trig<Trig::kCos, Path::kBoth>(x); }
float tanf(float x) { return trig<Trig::kTan, Path::kBoth>(x); }
float atanf(float x) { return arcTangent<Path::kBoth>(x); }
float atan2f(float y, float x) { return arcTangent2<Path::kBoth>(y, x); }
float tanhf(float x) { return hyperbolicTangent<Path::kBoth>(x); }
float expf(float x) { return exponential<Path::kBoth>(x); }
float exp10f(float y) { return tenTo<Path::kBoth>(y); }
float logf(float x) { return logarithm<Log::kNatural, Path::kBoth>(x); }

float powf(float x, float y) {
    // The common case first: a positive finite x that is not a power of
    // two, a finite y that is not 0 (x = 1 and powers of two are exact
    // cases, handled with the special values).
    const double a = static_cast<double>(x);
    const float ay = magnitude(y);
    if (x > 0.0f && x < kInf && ay > 0.0f && ay < kInf && (bitsOf(a) & 0x000fffffffffffffull) != 0) [[likely]] {
        float r;
        if (powerInDouble(a, y, r))
            return r;
        return powerWithSpecialValues(x, y, false);
    }
    return powerWithSpecialValues(x, y, true);
}
float log10f(float x) { return logarithm<Log::kTen, Path::kBoth>(x); }

namespace detail {

float byDoubleDouble(FloatFunction f, float x) { return evaluate<Path::kDoubleDouble>(f, x); }

float atan2fByDoubleDouble(float y, float x) { return arcTangent2<Path::kDoubleDouble>(y, x); }

bool byDouble(FloatFunction f, float x, float& out) {
    out = evaluate<Path::kDouble>(f, x);
    return bitsOf(out) != bitsOf(kUndecided);
}

bool atan2fByDouble(float y, float x, float& out) {
    out = arcTangent2<Path::kDouble>(y, x);
    return bitsOf(out) != bitsOf(kUndecided);
}

}  // namespace detail

}  // namespace ovra::numeric
