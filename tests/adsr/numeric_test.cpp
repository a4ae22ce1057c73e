// The framework's exp and powf: against values rounded correctly from an
// exact reference (written here as bits), the special values of C's
// functions, and exact results including ties.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "numeric/numeric.h"

namespace {

using ovra::numeric::exp;
using ovra::numeric::powf;

uint32_t bitsOf(float v) {
    uint32_t b;
    std::memcpy(&b, &v, 4);
    return b;
}
uint64_t bitsOf(double v) {
    uint64_t b;
    std::memcpy(&b, &v, 8);
    return b;
}

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr double kInfD = std::numeric_limits<double>::infinity();

// 10^y rounded to the nearest float, for arguments of the kind the
// envelope produces (its exponents lie in [-43, 5]), subnormal results
// included.
struct PowCase {
    double y;
    uint32_t bits;
};
const PowCase kTenTo[] = {
    {-0x1.ccef0c0000000p+4, 0x0f9da99cu},
    {-0x1.2ba90c0000000p+5, 0x013dda51u},
    {-0x1.8e813e0000000p+3, 0x2ac63da8u},
    {-0x1.4b06860000000p+5, 0x00000babu},
    {-0x1.234b5e0000000p+4, 0x2137b67du},
    {-0x1.ab72e80000000p+4, 0x13188513u},
    {-0x1.50cce80000000p+5, 0x00000237u},
    {-0x1.3a0d2a0000000p+4, 0x1ede5190u},
    {-0x1.5900720000000p+5, 0x00000035u},
    {-0x1.75155e0000000p+4, 0x18ba231cu},
    {-0x1.4c0ece0000000p+5, 0x000008abu},
    {-0x1.43b6fc0000000p+5, 0x00005fb1u},
    {-0x1.7c62780000000p+4, 0x18022db5u},
    {-0x1.d4257a0000000p+1, 0x3966c8c6u},
    {-0x1.367aae0000000p+5, 0x0010de71u},
    {-0x1.0eb4540000000p+5, 0x0740ff03u},
    {-0x1.b41b5a0000000p+3, 0x28d3f564u},
    {0x1.3156540000000p+1, 0x4372e932u},
    {-0x1.0251500000000p+4, 0x24a53016u},
    {-0x1.92a7d60000000p+4, 0x15a8f2c9u},
    {0x1.e8085e0000000p+1, 0x45cb0d16u},
    {-0x1.555dee0000000p+5, 0x00000098u},
    {-0x1.09cd460000000p+1, 0x3c095ac3u},
    {-0x1.e850040000000p+4, 0x0cc4374du},
    {-0x1.0000000000000p+0, 0x3dcccccdu},
    {-0x1.8000000000000p+1, 0x3a83126fu},
    {-0x1.4000000000000p+1, 0x3b4f3e37u},
    {0x1.8000000000000p+0, 0x41fcfb72u},
    {0x1.3fef9e0000000p+2, 0x47c2dd03u},
    {-0x1.3333340000000p-1, 0x3e809bccu},
    {-0x1.0624de0000000p-10, 0x3f7f6945u},
    {0x1.0000000000000p-20, 0x3f800012u},
    {-0x1.0000000000000p-20, 0x3f7fffdbu},
};

TEST(NumericPowf, TenToTheYIsCorrectlyRounded) {
    for (const PowCase& c : kTenTo)
        EXPECT_EQ(bitsOf(powf(10.0f, static_cast<float>(c.y))), c.bits) << c.y;
}

struct ExpCase {
    double x;
    uint64_t bits;
};
const ExpCase kExp[] = {
    {-0x1.c75a7e897d81ap+4, 0x3d5eba639c93ade5ull},
    {-0x1.e939d6e4a7602p+4, 0x3d2d9835bae8d5deull},
    {-0x1.ea495a0cb7b98p+3, 0x3e8dc543106d7fecull},
    {0x1.94a4490d1ed48p+4, 0x42366856a8d44651ull},
    {-0x1.98ab946f82d6ap+4, 0x3da1c37394607308ull},
    {0x1.a1caf76d92200p+2, 0x4085604d4b26f003ull},
    {0x1.639e54bc1e650p+3, 0x40f05e23291b9541ull},
    {-0x1.46a98be0d27ccp+3, 0x3f035430d810ca1cull},
    {0x1.e8e7408f80740p+1, 0x4046cac13a3d11e4ull},
    {-0x1.17d0a782d9bccp+5, 0x3cc73f7383dd3d2bull},
    {-0x1.19daf1be7aaf0p+5, 0x3cc203c3e51968deull},
    {-0x1.785f72f092dcep+4, 0x3dd0b6f8050dc2a6ull},
    {0x1.cdd2ed2a26858p+3, 0x413c43f9a25faeb1ull},
    {-0x1.72ba368e92d68p+2, 0x3f68fc4d3d33b028ull},
    {-0x1.dbc882ab01e54p+3, 0x3e976b946ad034b5ull},
    {0x1.b613a54f00a30p+2, 0x408d5900f1394b84ull},
    {-0x1.88b7c9455d8c8p-14, 0x3fefff3ba675cbddull},
    {-0x1.a3eb4666cffdcp-12, 0x3feffcb8547e79d8ull},
    {0x1.34ade3ee9a360p-11, 0x3ff002698a509000ull},
    {0x1.a15252b7f2998p-12, 0x3ff001a16795db2cull},
    {-0x1.0c5591e0ca85ap-11, 0x3feffbcef0063c46ull},
    {0x1.3827d9b3f1ec0p-13, 0x3ff0009c16e625f6ull},
    {-0x1.7480000000000p+9, 0x0000000000000001ull},
    {-0x1.7240000000000p+9, 0x0000000000000033ull},
    {0x1.62c0000000000p+9, 0x7fe81e9b4b52d0c9ull},
    {0x1.b7cdfd9d7bdbbp-34, 0x3ff000000006df38ull},
    {-0x1.b7cdfd9d7bdbbp-34, 0x3feffffffff24190ull},
    {0x1.4000000000000p+2, 0x40628d389970338full},
    {-0x1.4000000000000p+2, 0x3f7b993fe00d5376ull},
};

TEST(NumericExp, IsCorrectlyRounded) {
    for (const ExpCase& c : kExp)
        EXPECT_EQ(bitsOf(exp(c.x)), c.bits) << c.x;
}

TEST(NumericExp, SpecialValuesAndLimits) {
    EXPECT_EQ(exp(0.0), 1.0);
    EXPECT_EQ(exp(-0.0), 1.0);
    EXPECT_EQ(exp(kInfD), kInfD);
    EXPECT_EQ(bitsOf(exp(-kInfD)), bitsOf(0.0));
    EXPECT_TRUE(exp(std::numeric_limits<double>::quiet_NaN()) != exp(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(exp(709.79), kInfD);                     // just past the largest double
    EXPECT_LT(exp(709.78), kInfD);
    EXPECT_EQ(exp(-745.2), 0.0);                       // below half the smallest subnormal
    EXPECT_EQ(exp(-745.13), 0x1p-1074);                // rounds up to it
    EXPECT_EQ(exp(1e-300), 1.0);
    EXPECT_EQ(exp(-1e-300), 1.0);
}

struct Special {
    const char* name;
    float x, y, expected;
};
void PrintTo(const Special& c, std::ostream* os) { *os << c.name; }

class NumericPowfSpecial : public ::testing::TestWithParam<Special> {};

TEST_P(NumericPowfSpecial, AsCDefinesIt) {
    const Special& c = GetParam();
    const float r = powf(c.x, c.y);
    if (c.expected != c.expected)
        EXPECT_NE(r, r) << r;
    else
        EXPECT_EQ(bitsOf(r), bitsOf(c.expected)) << r;
}

INSTANTIATE_TEST_SUITE_P(
    Values, NumericPowfSpecial,
    ::testing::Values(Special{"ZeroPowerOfNaN", kNaN, 0.0f, 1.0f}, Special{"OneToNaN", 1.0f, kNaN, 1.0f},
                      Special{"NaNBase", kNaN, 2.0f, kNaN}, Special{"NaNExponent", 2.0f, kNaN, kNaN},
                      Special{"TenToMinusInfinity", 10.0f, -kInf, 0.0f}, Special{"TenToInfinity", 10.0f, kInf, kInf},
                      Special{"HalfToMinusInfinity", 0.5f, -kInf, kInf}, Special{"MinusOneToInfinity", -1.0f, kInf, 1.0f},
                      Special{"ZeroToMinusOne", 0.0f, -1.0f, kInf}, Special{"MinusZeroToMinusOne", -0.0f, -1.0f, -kInf},
                      Special{"MinusZeroToMinusTwo", -0.0f, -2.0f, kInf}, Special{"MinusZeroToThree", -0.0f, 3.0f, -0.0f},
                      Special{"MinusZeroToHalf", -0.0f, 0.5f, 0.0f}, Special{"MinusInfinityToThree", -kInf, 3.0f, -kInf},
                      Special{"MinusInfinityToMinusThree", -kInf, -3.0f, -0.0f},
                      Special{"InfinityToMinusHalf", kInf, -0.5f, 0.0f}, Special{"MinusTwoCubed", -2.0f, 3.0f, -8.0f},
                      Special{"MinusTwoSquared", -2.0f, 2.0f, 4.0f}, Special{"NegativeToAFraction", -8.0f, 1.0f / 3.0f, kNaN},
                      Special{"Overflow", 10.0f, 39.0f, kInf}, Special{"Underflow", 10.0f, -46.0f, 0.0f},
                      Special{"SmallestSubnormal", 2.0f, -149.0f, 0x1p-149f},
                      Special{"HalfTheSmallestSubnormalTiesToZero", 2.0f, -150.0f, 0.0f},
                      Special{"TieBetweenFloatsGoesToEven", 4097.0f, 2.0f, 16785408.0f},
                      Special{"SubnormalTieGoesToEven", 0x3p-75f, 2.0f, 0x4p-149f},
                      Special{"SquareRootOfAPerfectSquare", 1048576.0f, 0.5f, 1024.0f}),
    [](const auto& info) { return std::string(info.param.name); });

// Every power of ten that a float holds exactly comes out exactly.
TEST(NumericPowf, ExactPowersOfTen) {
    float expected = 1.0f;
    for (int k = 0; k <= 10; ++k, expected *= 10.0f)
        EXPECT_EQ(powf(10.0f, static_cast<float>(k)), expected) << k;
}

// powf's plain double attempt against its double-double path: wherever
// the attempt answers it gives the same bits, and it answers for nearly
// every argument the envelope passes.
float floatOfBits(uint32_t b) {
    float v;
    std::memcpy(&v, &b, 4);
    return v;
}

struct PowArgs {
    float x;
    float y;
};

// Pairs that reach every part of the evaluation: the envelope's 10^y, any
// positive base with an exponent that keeps the result near the normal
// range and beyond it, bases next to 1 with large exponents, subnormal
// bases, exact powers and ties, and raw bit patterns of either sign.
std::vector<PowArgs> powArguments() {
    std::mt19937 random(19);
    std::vector<PowArgs> args;
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); };
    auto anyBits = [&] { return floatOfBits(static_cast<uint32_t>(random())); };
    for (int i = 0; i < 60000; ++i)
        args.push_back({10.0f, uniform(-46.0f, 5.0f)});
    for (int i = 0; i < 60000; ++i) {
        const float x = floatOfBits(std::uniform_int_distribution<uint32_t>(1, 0x7f7fffffu)(random));
        const double ln = std::log(static_cast<double>(x));
        // z = y ln x spread over [-110, 110]: past both ends of the fast range.
        args.push_back({x, static_cast<float>(uniform(-110.0f, 110.0f) / ln)});
    }
    for (int i = 0; i < 20000; ++i) {
        const uint32_t step = std::uniform_int_distribution<uint32_t>(1, 64)(random);
        const float x = floatOfBits(i % 2 == 0 ? 0x3f800000u + step : 0x3f800000u - step);
        args.push_back({x, uniform(-2e9f, 2e9f)});
    }
    for (int i = 0; i < 20000; ++i)
        args.push_back({anyBits(), anyBits()});
    for (int i = 0; i < 20000; ++i)
        args.push_back({floatOfBits(std::uniform_int_distribution<uint32_t>(1, 0x7fffffu)(random)), uniform(-1.0f, 1.0f)});
    for (float x : {2.0f, 3.0f, 5.0f, 7.0f, 10.0f, 0.5f, 0.1f, 4097.0f, 1.0f + 0x1p-12f, 0x3p-75f, 1e-45f, 3.4e38f})
        for (int k = -160; k <= 160; ++k) {
            args.push_back({x, static_cast<float>(k)});
            args.push_back({x, static_cast<float>(k) * 0.5f});
            args.push_back({x, 1.0f / static_cast<float>(k == 0 ? 1 : k)});
        }
    return args;
}

TEST(NumericPowfByDouble, GivesTheDoubleDoubleResultWhereverItAnswers) {
    int64_t answered = 0;
    for (const PowArgs& a : powArguments()) {
        const uint32_t exact = bitsOf(ovra::numeric::detail::powfByDoubleDouble(a.x, a.y));
        ASSERT_EQ(bitsOf(powf(a.x, a.y)), exact) << a.x << " ^ " << a.y;
        float fast = 0.0f;
        if (ovra::numeric::detail::powfByDouble(a.x, a.y, fast)) {
            ++answered;
            ASSERT_EQ(bitsOf(fast), exact) << a.x << " ^ " << a.y;
        }
    }
    EXPECT_GT(answered, 100000);
}

TEST(NumericPowfByDouble, AnswersForNearlyEveryEnvelopeExponent) {
    // 10^y for the envelope's times: y in [-4, 5], results far from the
    // float range's ends.
    std::mt19937 random(7);
    int answered = 0;
    constexpr int kCount = 20000;
    for (int i = 0; i < kCount; ++i) {
        float r;
        answered += ovra::numeric::detail::powfByDouble(
            10.0f, std::uniform_real_distribution<float>(-4.0f, 5.0f)(random), r);
    }
    EXPECT_GT(answered, kCount * 99 / 100);
}

TEST(NumericPowfByDouble, LeavesTiesAndOverflowToTheExactPath) {
    float r;
    EXPECT_FALSE(ovra::numeric::detail::powfByDouble(4097.0f, 2.0f, r));            // a tie between floats
    EXPECT_FALSE(ovra::numeric::detail::powfByDouble(1.0f + 0x1p-12f, 2.0f, r));    // 1 + 2^-11 + 2^-24
    // A subnormal result may be decided too, and then as the exact path does.
    if (ovra::numeric::detail::powfByDouble(10.0f, -38.5f, r)) {
        EXPECT_EQ(r, ovra::numeric::detail::powfByDoubleDouble(10.0f, -38.5f));
    }
    EXPECT_FALSE(ovra::numeric::detail::powfByDouble(10.0f, 38.5f, r));             // an overflow
    EXPECT_FALSE(ovra::numeric::detail::powfByDouble(-10.0f, 2.0f, r));             // the sign is powf's
    ASSERT_TRUE(ovra::numeric::detail::powfByDouble(10.0f, 2.0f, r));               // exact: far from halfway
    EXPECT_EQ(r, 100.0f);
}

// exp's shorter evaluation against its double-double path, the same way:
// the envelope's per-sample exponents and curvatures, the whole range of
// both signs, arguments next to the ends of the normal results, and a
// dense run around 0.
TEST(NumericExpByDouble, GivesTheDoubleDoubleResultWhereverItAnswers) {
    std::mt19937_64 random(23);
    std::vector<double> args;
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    for (int i = 0; i < 50000; ++i) {
        args.push_back(uniform(-1e-2, 1e-2));
        args.push_back(-uniform(0.0, 60.0));
        args.push_back(uniform(-745.0, 710.0));
        args.push_back(uniform(-1e-300, 1e-300) * std::pow(2.0, uniform(0.0, 990.0)));
    }
    for (double edge : {-708.0, 708.0, -709.0, 709.0, -745.1, 709.78, 0.0, -0.0})
        for (int i = -200; i <= 200; ++i)
            args.push_back(std::nextafter(edge, 0.0) + i * 0x1p-40);
    for (int j = -64; j <= 64; ++j)  // the table's own points, where the series' argument is 0
        args.push_back(j * 0x1.62e42fefa39efp-7);
    int64_t answered = 0;
    for (double x : args) {
        const uint64_t exact = bitsOf(ovra::numeric::detail::expByDoubleDouble(x));
        ASSERT_EQ(bitsOf(exp(x)), exact) << x;
        double fast = 0.0;
        if (ovra::numeric::detail::expByDouble(x, fast)) {
            ++answered;
            ASSERT_EQ(bitsOf(fast), exact) << x;
        }
    }
    EXPECT_GT(answered, static_cast<int64_t>(args.size()) * 9 / 10);
    double r;
    EXPECT_FALSE(ovra::numeric::detail::expByDouble(-709.0, r));  // a subnormal result
    EXPECT_FALSE(ovra::numeric::detail::expByDouble(709.5, r));   // close to overflow
    ASSERT_TRUE(ovra::numeric::detail::expByDouble(0x1p-60, r));  // 1 + 2^-60 rounds to 1
    EXPECT_EQ(r, 1.0);
    ASSERT_TRUE(ovra::numeric::detail::expByDouble(-0x1p-60, r));  // below 1 the grid is finer, still 1
    EXPECT_EQ(r, 1.0);
}

}  // namespace
