// Double-double elementary functions; see numeric.h for the contract.
#include "numeric/numeric.h"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__FAST_MATH__)
#error "numeric.cpp relies on IEEE rounding of every operation; build without -ffast-math"
#endif
#if defined(__FLT_EVAL_METHOD__) && __FLT_EVAL_METHOD__ != 0
#error "numeric.cpp needs double operations rounded to double (SSE2), not to extended precision"
#endif

namespace ovra::numeric {
namespace {

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

inline uint64_t bitsOf(double x) { return std::bit_cast<uint64_t>(x); }
inline double fromBits(uint64_t b) { return std::bit_cast<double>(b); }

// 2^e for a normal exponent, -1022 <= e <= 1023.
inline double twoTo(int e) { return fromBits(static_cast<uint64_t>(e + 1023) << 52); }

// ---------------------------------------------------------------------------
// exp

// 2^(j/64) for j = 0..63.
constexpr Dd kTwoToJBy64[64] = {
    {0x1.0000000000000p+0, 0x0.0p+0},
    {0x1.02c9a3e778061p+0, -0x1.19083535b085dp-56},
    {0x1.059b0d3158574p+0, 0x1.d73e2a475b465p-55},
    {0x1.0874518759bc8p+0, 0x1.186be4bb284ffp-57},
    {0x1.0b5586cf9890fp+0, 0x1.8a62e4adc610bp-54},
    {0x1.0e3ec32d3d1a2p+0, 0x1.03a1727c57b53p-59},
    {0x1.11301d0125b51p+0, -0x1.6c51039449b3ap-54},
    {0x1.1429aaea92de0p+0, -0x1.32fbf9af1369ep-54},
    {0x1.172b83c7d517bp+0, -0x1.19041b9d78a76p-55},
    {0x1.1a35beb6fcb75p+0, 0x1.e5b4c7b4968e4p-55},
    {0x1.1d4873168b9aap+0, 0x1.e016e00a2643cp-54},
    {0x1.2063b88628cd6p+0, 0x1.dc775814a8495p-55},
    {0x1.2387a6e756238p+0, 0x1.9b07eb6c70573p-54},
    {0x1.26b4565e27cddp+0, 0x1.2bd339940e9d9p-55},
    {0x1.29e9df51fdee1p+0, 0x1.612e8afad1255p-55},
    {0x1.2d285a6e4030bp+0, 0x1.0024754db41d5p-54},
    {0x1.306fe0a31b715p+0, 0x1.6f46ad23182e4p-55},
    {0x1.33c08b26416ffp+0, 0x1.32721843659a6p-54},
    {0x1.371a7373aa9cbp+0, -0x1.63aeabf42eae2p-54},
    {0x1.3a7db34e59ff7p+0, -0x1.5e436d661f5e3p-56},
    {0x1.3dea64c123422p+0, 0x1.ada0911f09ebcp-55},
    {0x1.4160a21f72e2ap+0, -0x1.ef3691c309278p-58},
    {0x1.44e086061892dp+0, 0x1.89b7a04ef80d0p-59},
    {0x1.486a2b5c13cd0p+0, 0x1.3c1a3b69062f0p-56},
    {0x1.4bfdad5362a27p+0, 0x1.d4397afec42e2p-56},
    {0x1.4f9b2769d2ca7p+0, -0x1.4b309d25957e3p-54},
    {0x1.5342b569d4f82p+0, -0x1.07abe1db13cadp-55},
    {0x1.56f4736b527dap+0, 0x1.9bb2c011d93adp-54},
    {0x1.5ab07dd485429p+0, 0x1.6324c054647adp-54},
    {0x1.5e76f15ad2148p+0, 0x1.ba6f93080e65ep-54},
    {0x1.6247eb03a5585p+0, -0x1.383c17e40b497p-54},
    {0x1.6623882552225p+0, -0x1.bb60987591c34p-54},
    {0x1.6a09e667f3bcdp+0, -0x1.bdd3413b26456p-54},
    {0x1.6dfb23c651a2fp+0, -0x1.bbe3a683c88abp-57},
    {0x1.71f75e8ec5f74p+0, -0x1.16e4786887a99p-55},
    {0x1.75feb564267c9p+0, -0x1.0245957316dd3p-54},
    {0x1.7a11473eb0187p+0, -0x1.41577ee04992fp-55},
    {0x1.7e2f336cf4e62p+0, 0x1.05d02ba15797ep-56},
    {0x1.82589994cce13p+0, -0x1.d4c1dd41532d8p-54},
    {0x1.868d99b4492edp+0, -0x1.fc6f89bd4f6bap-54},
    {0x1.8ace5422aa0dbp+0, 0x1.6e9f156864b27p-54},
    {0x1.8f1ae99157736p+0, 0x1.5cc13a2e3976cp-55},
    {0x1.93737b0cdc5e5p+0, -0x1.75fc781b57ebcp-57},
    {0x1.97d829fde4e50p+0, -0x1.d185b7c1b85d1p-54},
    {0x1.9c49182a3f090p+0, 0x1.c7c46b071f2bep-56},
    {0x1.a0c667b5de565p+0, -0x1.359495d1cd533p-54},
    {0x1.a5503b23e255dp+0, -0x1.d2f6edb8d41e1p-54},
    {0x1.a9e6b5579fdbfp+0, 0x1.0fac90ef7fd31p-54},
    {0x1.ae89f995ad3adp+0, 0x1.7a1cd345dcc81p-54},
    {0x1.b33a2b84f15fbp+0, -0x1.2805e3084d708p-57},
    {0x1.b7f76f2fb5e47p+0, -0x1.5584f7e54ac3bp-56},
    {0x1.bcc1e904bc1d2p+0, 0x1.23dd07a2d9e84p-55},
    {0x1.c199bdd85529cp+0, 0x1.11065895048ddp-55},
    {0x1.c67f12e57d14bp+0, 0x1.2884dff483cadp-54},
    {0x1.cb720dcef9069p+0, 0x1.503cbd1e949dbp-56},
    {0x1.d072d4a07897cp+0, -0x1.cbc3743797a9cp-54},
    {0x1.d5818dcfba487p+0, 0x1.2ed02d75b3707p-55},
    {0x1.da9e603db3285p+0, 0x1.c2300696db532p-54},
    {0x1.dfc97337b9b5fp+0, -0x1.1a5cd4f184b5cp-54},
    {0x1.e502ee78b3ff6p+0, 0x1.39e8980a9cc8fp-55},
    {0x1.ea4afa2a490dap+0, -0x1.e9c23179c2893p-54},
    {0x1.efa1bee615a27p+0, 0x1.dc7f486a4b6b0p-54},
    {0x1.f50765b6e4540p+0, 0x1.9d3e12dd8a18bp-54},
    {0x1.fa7c1819e90d8p+0, 0x1.74853f3a5931ep-55},
};

constexpr double kSixtyFourByLn2 = 0x1.71547652b82fep+6;
// ln 2 / 64 in three parts; the first two are short enough that their
// products with any reduction multiple (|k| < 2^17) are exact.
constexpr double kLn2By64[3] = {0x1.62e42ff000000p-7, -0x1.718432a200000p-41, 0x1.3c7673007e5edp-75};
constexpr double kShifter = 0x1.8p52;  // adding and subtracting it rounds to an integer

// 1/3!, 1/4!, 1/5! in two parts, and 1/6! to 1/12! as doubles.
constexpr Dd kInvFact3 = {0x1.5555555555555p-3, 0x1.5555555555555p-57};
constexpr Dd kInvFact4 = {0x1.5555555555555p-5, 0x1.5555555555555p-59};
constexpr Dd kInvFact5 = {0x1.1111111111111p-7, 0x1.1111111111111p-63};
constexpr double kInvFactTail[7] = {0x1.6c16c16c16c17p-10, 0x1.a01a01a01a01ap-13, 0x1.a01a01a01a01ap-16,
                                    0x1.71de3a556c734p-19, 0x1.27e4fb7789f5cp-22, 0x1.ae64567f544e4p-26,
                                    0x1.1eed8eff8d898p-29};

// exp(z) = y * 2^scale with y in [0.99, 2.02), for |z.hi| <= 746.
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
// log, for powf

constexpr double kSqrt2 = 0x1.6a09e667f3bcdp+0;
// ln 2 in three parts; exponent * first part is exact for |exponent| < 2^12.
constexpr double kLn2[3] = {0x1.62e42fefa4000p-1, -0x1.8432a1b0e2634p-43, 0x1.f97b57a079a19p-103};
// 1/(2k+1) for k = 1..10 in two parts, and for k = 11..20 as doubles.
constexpr Dd kInvOdd[10] = {
    {0x1.5555555555555p-2, 0x1.5555555555555p-56}, {0x1.999999999999ap-3, -0x1.999999999999ap-57},
    {0x1.2492492492492p-3, 0x1.2492492492492p-57}, {0x1.c71c71c71c71cp-4, 0x1.c71c71c71c71cp-58},
    {0x1.745d1745d1746p-4, -0x1.745d1745d1746p-59}, {0x1.3b13b13b13b14p-4, -0x1.3b13b13b13b14p-58},
    {0x1.1111111111111p-4, 0x1.1111111111111p-60}, {0x1.e1e1e1e1e1e1ep-5, 0x1.e1e1e1e1e1e1ep-61},
    {0x1.af286bca1af28p-5, 0x1.af286bca1af28p-59}, {0x1.8618618618618p-5, 0x1.8618618618618p-59},
};

// ln x for a positive, finite, normal double x with at most 24 significant
// bits (a float).
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

// ---------------------------------------------------------------------------
// float helpers

inline uint32_t bitsOf(float x) {
    uint32_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

inline float fromBits(uint32_t b) {
    float x;
    std::memcpy(&x, &b, sizeof x);
    return x;
}

inline bool isNaN(float x) { return x != x; }
inline bool isInf(float x) { return x - x != x - x && x == x; }

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
    return fromBits(bitsOf(f) + (value > static_cast<double>(f) ? 1u : static_cast<uint32_t>(-1)));
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

// a^y (a a positive float, as a double) in plain double arithmetic, when
// the result is a normal float: ln a = e ln 2 + 2 atanh(u) as in logOfFloat,
// exp by the same reduction as expCore, each with a few roundings of
// 2^-53. Relative error bound: ln a to 2^-48 (|ln a| >= 0.346 when e != 0;
// for e = 0 it is 2 u P(v) alone, to 2^-51), y ln a to 2^-47.9, so with
// |y ln a| <= 88 the product is off by at most 2^-41.4 absolute; exp adds
// 2^-51.9 (table entry, the two last roundings) and 2^-59 (reduction and
// series). The total stays below 2^-41 of the result.
//
// The float nearest to the double is then the correctly rounded result
// whenever the double lies more than 2^-34 (relative) from the halfway
// point between two floats: the exact value lies on the same side, far
// beyond the 2^-100 within which the double-double path could round the
// other way, so both give the same float. Closer than that, or outside
// the normal range, the answer is left to the double-double path.
bool powerByDouble(double a, float y, float& out) {
    const uint64_t b = bitsOf(a);
    int e = static_cast<int>((b >> 52) & 0x7ff) - 1023;
    double m = fromBits(static_cast<uint64_t>((b & 0x000fffffffffffffull) | 0x3ff0000000000000ull));
    if (m > kSqrt2) {
        m *= 0.5;
        e += 1;
    }
    const double u = (m - 1.0) / (m + 1.0);  // both operands exact
    const double v = u * u;
    double series = kInvOdd[9].hi;  // 1 + v/3 + ... + v^10/21; the rest is below 2^-60
    for (int k = 8; k >= 0; --k)
        series = kInvOdd[k].hi + v * series;
    series = 1.0 + v * series;
    const double lnm = (2.0 * u) * series;
    const double ed = static_cast<double>(e);
    const double ln = ed * kLn2[0] + (ed * kLn2[1] + lnm);  // the first product is exact
    const double z = static_cast<double>(y) * ln;
    if (!(z >= -87.0 && z <= 88.0))
        return false;  // beyond the normal floats (or a NaN product)

    const double kd = (z * kSixtyFourByLn2 + kShifter) - kShifter;
    const int k = static_cast<int>(kd);
    const double r = (z - kd * kLn2By64[0]) - kd * kLn2By64[1];  // |r| <= ln2/128
    const double expm1r =
        r * (1.0 + r * (0.5 + r * (1.0 / 6 + r * (1.0 / 24 + r * (1.0 / 120 + r * (1.0 / 720))))));
    const double tj = kTwoToJBy64[k & 63].hi;
    const double p = (tj + tj * expm1r) * twoTo(k >> 6);  // exact scaling: p is a normal double

    // p's 29 bits beyond a float's 24: 2^28 is the halfway point, and 2^19
    // units of p's last place are at least 2^-34 of p.
    const int64_t fromHalfway = static_cast<int64_t>(bitsOf(p) & 0x1fffffffu) - 0x10000000;
    if (fromHalfway > -0x80000 && fromHalfway < 0x80000)
        return false;
    out = static_cast<float>(p);
    return true;
}

// a^y for a positive float a that is not a power of two, through the
// double-double logarithm and exponential, rounded once.
float powerByDoubleDouble(double a, float y) {
    const Dd z = mul(logOfFloat(a), static_cast<double>(y));
    if (z.hi > 89.0)
        return fromBits(0x7f800000u);
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
    const float inf = fromBits(0x7f800000u);
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

float powf(float x, float y) { return power(x, y, true); }

namespace detail {

bool powfByDouble(float x, float y, float& result) {
    if (!(x > 0.0f && x < fromBits(0x7f800000u)) || isNaN(y) || isInf(y))
        return false;
    return powerByDouble(static_cast<double>(x), y, result);
}

float powfByDoubleDouble(float x, float y) { return power(x, y, false); }

}  // namespace detail

}  // namespace ovra::numeric
