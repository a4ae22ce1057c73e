// The framework's single-precision functions against MPFR: random
// arguments over every range, the special values of C, the hard cases
// that the exhaustive run met, the tables the functions are built from,
// and the maths modules' committed expectations.
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "maths_expectations.h"
#include "numeric/float_maths_tables.h"
#include "numeric/numeric.h"
#include "oracle.h"

namespace {

using ovra::oracle::Function;
using ovra::oracle::Oracle;
using ovra::numeric::detail::FloatFunction;

uint32_t bitsOf(float v) {
    uint32_t b;
    std::memcpy(&b, &v, 4);
    return b;
}
float floatOf(uint32_t b) {
    float v;
    std::memcpy(&v, &b, 4);
    return v;
}

struct Implementation {
    Function function;
    float (*call)(float);
    FloatFunction path;
    float low, high;  // the ordinary range of the function's arguments
};

const Implementation kImplementations[] = {
    {Function::kSin, ovra::numeric::sinf, FloatFunction::kSin, -100.0f, 100.0f},
    {Function::kCos, ovra::numeric::cosf, FloatFunction::kCos, -100.0f, 100.0f},
    {Function::kTan, ovra::numeric::tanf, FloatFunction::kTan, -100.0f, 100.0f},
    {Function::kAtan, ovra::numeric::atanf, FloatFunction::kAtan, -20.0f, 20.0f},
    {Function::kTanh, ovra::numeric::tanhf, FloatFunction::kTanh, -12.0f, 12.0f},
    {Function::kExp, ovra::numeric::expf, FloatFunction::kExp, -110.0f, 95.0f},
    {Function::kExp10, ovra::numeric::exp10f, FloatFunction::kExp10, -48.0f, 40.0f},
    {Function::kLog, ovra::numeric::logf, FloatFunction::kLog, 0.0f, 4.0f},
    {Function::kLog10, ovra::numeric::log10f, FloatFunction::kLog10, 0.0f, 1000.0f},
};

std::string label(const char* name, float x) {
    char text[96];
    std::snprintf(text, sizeof text, "%s(%a) [0x%08x]", name, x, bitsOf(x));
    return text;
}

class EveryFunction : public ::testing::TestWithParam<Implementation> {};

// 2^20 arguments: half any bit pattern, half spread over the ordinary range.
TEST_P(EveryFunction, IsCorrectlyRoundedOnRandomArguments) {
    const auto& f = GetParam();
    Oracle oracle;
    std::mt19937 random(static_cast<uint32_t>(f.function) + 1);
    std::uniform_real_distribution<float> ordinary(f.low, f.high);
    int wrong = 0;
    for (int i = 0; i < (1 << 20) && wrong < 10; ++i) {
        const float x = i % 2 ? ordinary(random) : floatOf(random());
        if (std::isnan(x))
            continue;
        const float want = oracle(f.function, x);
        const float got = f.call(x);
        if (!ovra::oracle::sameResult(got, want)) {
            ++wrong;
            ADD_FAILURE() << label(nameOf(f.function), x) << " = " << got << ", the oracle gives " << want;
        }
    }
}

// The slower path decides wherever the double evaluation cannot; it must
// be right everywhere, not only where the hard cases send it.
TEST_P(EveryFunction, DoubleDoublePathIsCorrectlyRounded) {
    const auto& f = GetParam();
    Oracle oracle;
    std::mt19937 random(static_cast<uint32_t>(f.function) + 100);
    std::uniform_real_distribution<float> ordinary(f.low, f.high);
    for (int i = 0; i < (1 << 16); ++i) {
        const float x = i % 2 ? ordinary(random) : floatOf(random());
        if (std::isnan(x))
            continue;
        const float got = ovra::numeric::detail::byDoubleDouble(f.path, x);
        ASSERT_TRUE(ovra::oracle::sameResult(got, oracle(f.function, x))) << label(nameOf(f.function), x);
    }
}

// Every argument that the exhaustive run sent to the slower path (its
// double result within the error bound of a halfway point), or that lies
// on an edge of a function's reduction.
TEST_P(EveryFunction, IsCorrectlyRoundedOnHardCases) {
    const auto& f = GetParam();
    Oracle oracle;
    const uint32_t kEdges[] = {0x3d000000u, 0x3cffffffu, 0x39800000u, 0x397fffffu, 0x3e000000u, 0x3dffffffu,
                               0x41200000u, 0x411fffffu, 0x3f800000u, 0x3f7fffffu, 0x3f800001u, 0x3fc00000u,
                               0x3fbfffffu, 0x42b17218u, 0x42b17217u, 0xc2cff1b5u, 0xc2cff1b4u, 0x421a209bu,
                               0x421a209au, 0xc2349e35u, 0xc2349e36u, 0x5f800000u, 0x7f7fffffu, 0x00000001u};
    for (uint32_t b : kEdges)
        for (float x : {floatOf(b), -floatOf(b)})
            EXPECT_TRUE(ovra::oracle::sameResult(f.call(x), oracle(f.function, x))) << label(nameOf(f.function), x);
}

// The arguments that the exhaustive run (bench/maths/exhaustive.cpp) saw
// the double evaluation leave to the double-double path, one file per
// function: the double-double path decides each of them correctly.
TEST_P(EveryFunction, DecidesEveryHardCaseOfTheExhaustiveRun) {
    const auto& f = GetParam();
    std::ifstream in(std::string(OVRA_HARD_CASES_DIR) + "/" + nameOf(f.function) + ".txt");
    ASSERT_TRUE(in) << "no hard cases for " << nameOf(f.function);
    Oracle oracle;
    int count = 0;
    for (std::string line; std::getline(in, line);) {
        const float x = floatOf(static_cast<uint32_t>(std::stoul(line, nullptr, 16)));
        const float want = oracle(f.function, x);
        EXPECT_TRUE(ovra::oracle::sameResult(f.call(x), want)) << label(nameOf(f.function), x);
        float fast;
        EXPECT_FALSE(ovra::numeric::detail::byDouble(f.path, x, fast)) << label(nameOf(f.function), x);
        ++count;
    }
    EXPECT_GT(count, 0);
}

INSTANTIATE_TEST_SUITE_P(Maths, EveryFunction, ::testing::ValuesIn(kImplementations),
                         [](const auto& info) { return std::string(nameOf(info.param.function)); });

TEST(Atan2, IsCorrectlyRoundedOnRandomPairs) {
    Oracle oracle;
    std::mt19937 random(7);
    std::uniform_real_distribution<float> ordinary(-10.0f, 10.0f);
    int wrong = 0;
    for (int i = 0; i < (1 << 20) && wrong < 10; ++i) {
        float y, x;
        if (i % 2) {
            y = ordinary(random);
            x = ordinary(random);
        } else {
            y = floatOf(random());
            x = floatOf(random());
        }
        if (std::isnan(x) || std::isnan(y))
            continue;
        const float got = ovra::numeric::atan2f(y, x);
        const float want = oracle.atan2(y, x);
        if (!ovra::oracle::sameResult(got, want)) {
            ++wrong;
            ADD_FAILURE() << "atan2f(" << label("", y) << ", " << label("", x) << ") = " << got << ", the oracle gives "
                          << want;
        }
        if (i % 16 == 0) {
            ASSERT_TRUE(ovra::oracle::sameResult(ovra::numeric::detail::atan2fByDoubleDouble(y, x), want))
                << "double-double path, y = " << y << ", x = " << x;
        }
    }
}

// C's special cases: each the correctly rounded multiple of pi/4 with the
// sign of y, zeros keeping their signs.
// The pairs that the exhaustive run's 10^9 random pairs sent to the
// double-double path.
TEST(Atan2, DecidesEveryHardPairOfTheExhaustiveRun) {
    std::ifstream in(std::string(OVRA_HARD_CASES_DIR) + "/atan2f.txt");
    ASSERT_TRUE(in);
    Oracle oracle;
    int count = 0;
    for (std::string ys, xs; in >> ys >> xs; ++count) {
        const float y = floatOf(static_cast<uint32_t>(std::stoul(ys, nullptr, 16)));
        const float x = floatOf(static_cast<uint32_t>(std::stoul(xs, nullptr, 16)));
        EXPECT_TRUE(ovra::oracle::sameResult(ovra::numeric::atan2f(y, x), oracle.atan2(y, x))) << "y " << ys << ", x " << xs;
    }
    EXPECT_GT(count, 0);
}

TEST(Atan2, ZeroAndInfiniteCasesFollowC) {
    Oracle oracle;
    const float inf = std::numeric_limits<float>::infinity();
    const float values[] = {0.0f, -0.0f, 1.0f, -1.0f, 0x1p-149f, -3e38f, inf, -inf};
    for (float y : values)
        for (float x : values)
            EXPECT_EQ(bitsOf(ovra::numeric::atan2f(y, x)), bitsOf(oracle.atan2(y, x))) << "y = " << y << ", x = " << x;
    EXPECT_EQ(bitsOf(ovra::numeric::atan2f(-0.0f, -0.0f)), 0xc0490fdbu);  // -pi
    EXPECT_EQ(bitsOf(ovra::numeric::atan2f(inf, -inf)), 0x4016cbe4u);     // 3 pi/4
}

struct SpecialCase {
    const char* name;
    float (*call)(float);
    uint32_t x;
    uint32_t result;
};

// Bits as C99's annex F gives them; invalid operations give x86-64's
// default NaN, NaN arguments come back quiet with their payload.
const SpecialCase kSpecialCases[] = {
    {"sin(-0)", ovra::numeric::sinf, 0x80000000u, 0x80000000u},
    {"sin(inf)", ovra::numeric::sinf, 0x7f800000u, 0xffc00000u},
    {"cos(-inf)", ovra::numeric::cosf, 0xff800000u, 0xffc00000u},
    {"cos(-0)", ovra::numeric::cosf, 0x80000000u, 0x3f800000u},
    {"tan(-0)", ovra::numeric::tanf, 0x80000000u, 0x80000000u},
    {"tan(inf)", ovra::numeric::tanf, 0x7f800000u, 0xffc00000u},
    {"atan(-inf)", ovra::numeric::atanf, 0xff800000u, 0xbfc90fdbu},
    {"atan(-0)", ovra::numeric::atanf, 0x80000000u, 0x80000000u},
    {"tanh(-inf)", ovra::numeric::tanhf, 0xff800000u, 0xbf800000u},
    {"tanh(-0)", ovra::numeric::tanhf, 0x80000000u, 0x80000000u},
    {"exp(-inf)", ovra::numeric::expf, 0xff800000u, 0x00000000u},
    {"exp(inf)", ovra::numeric::expf, 0x7f800000u, 0x7f800000u},
    {"exp(-0)", ovra::numeric::expf, 0x80000000u, 0x3f800000u},
    {"exp(89)", ovra::numeric::expf, 0x42b20000u, 0x7f800000u},
    {"exp10(-inf)", ovra::numeric::exp10f, 0xff800000u, 0x00000000u},
    {"exp10(39)", ovra::numeric::exp10f, 0x421c0000u, 0x7f800000u},
    {"exp10(10)", ovra::numeric::exp10f, 0x41200000u, 0x501502f9u},
    {"log(1)", ovra::numeric::logf, 0x3f800000u, 0x00000000u},
    {"log(+0)", ovra::numeric::logf, 0x00000000u, 0xff800000u},
    {"log(-0)", ovra::numeric::logf, 0x80000000u, 0xff800000u},
    {"log(-1)", ovra::numeric::logf, 0xbf800000u, 0xffc00000u},
    {"log(-inf)", ovra::numeric::logf, 0xff800000u, 0xffc00000u},
    {"log(inf)", ovra::numeric::logf, 0x7f800000u, 0x7f800000u},
    {"log10(1000)", ovra::numeric::log10f, 0x447a0000u, 0x40400000u},
    {"log10(-2)", ovra::numeric::log10f, 0xc0000000u, 0xffc00000u},
    {"log10(least subnormal)", ovra::numeric::log10f, 0x00000001u, 0xc23369f4u},
    {"sin(quiet NaN with payload)", ovra::numeric::sinf, 0x7fc12345u, 0x7fc12345u},
    {"log(signalling NaN)", ovra::numeric::logf, 0x7f800001u, 0x7fc00001u},
    {"exp(negative NaN)", ovra::numeric::expf, 0xffc00000u, 0xffc00000u},
};

TEST(SpecialValues, FollowCAndTheProcessorsNaN) {
    for (const auto& c : kSpecialCases)
        EXPECT_EQ(bitsOf(c.call(floatOf(c.x))), c.result) << c.name;
    EXPECT_EQ(bitsOf(ovra::numeric::atan2f(floatOf(0x7fc12345u), 1.0f)), 0x7fc12345u);
    EXPECT_EQ(bitsOf(ovra::numeric::atan2f(1.0f, floatOf(0xffc00000u))), 0xffc00000u);
}

// The tables are rounded from the same constants as the functions' own
// derivation; checked here against MPFR at 400 bits, apart from the
// program that wrote them.
class TableCheck : public ::testing::Test {
protected:
    TableCheck() { mpfr_inits2(400, pi, v, static_cast<mpfr_ptr>(nullptr)); mpfr_const_pi(pi, MPFR_RNDN); }
    ~TableCheck() override { mpfr_clears(pi, v, static_cast<mpfr_ptr>(nullptr)); }
    // hi is the nearest double and hi + lo within 2^-104 of v.
    void expectDd(ovra::numeric::detail::Dd d, const char* what, int i) {
        EXPECT_EQ(d.hi, mpfr_get_d(v, MPFR_RNDN)) << what << " " << i;
        mpfr_sub_d(v, v, d.hi, MPFR_RNDN);
        mpfr_sub_d(v, v, d.lo, MPFR_RNDN);
        EXPECT_TRUE(mpfr_zero_p(v) || mpfr_get_exp(v) < -104 + (d.hi == 0 ? 0 : std::ilogb(d.hi) + 1)) << what << " " << i;
    }
    mpfr_t pi, v;
};

TEST_F(TableCheck, TwoOverPiSinesArctangentsAndLogarithms) {
    using namespace ovra::numeric::detail;
    mpfr_ui_div(v, 2, pi, MPFR_RNDN);
    mpfr_mul_2ui(v, v, 64 * 5, MPFR_RNDN);
    mpfr_floor(v, v);
    for (int w = 5; w >= 1; --w) {  // the words from the last
        mpfr_t word;
        mpfr_init2(word, 400);
        mpfr_div_2ui(word, v, 64, MPFR_RNDN);
        mpfr_floor(word, word);
        mpfr_mul_2ui(word, word, 64, MPFR_RNDN);
        mpfr_sub(word, v, word, MPFR_RNDN);  // v mod 2^64
        EXPECT_EQ(mpfr_get_d(word, MPFR_RNDN), static_cast<double>(kTwoOverPiBits[w])) << "word " << w;
        mpfr_div_2ui(v, v, 64, MPFR_RNDN);
        mpfr_floor(v, v);
        mpfr_clear(word);
    }
    EXPECT_EQ(kTwoOverPiBits[0], 0u);
    for (int k = 0; k < 128; ++k) {
        mpfr_mul_si(v, pi, k, MPFR_RNDN);
        mpfr_div_ui(v, v, 64, MPFR_RNDN);
        mpfr_sin(v, v, MPFR_RNDN);
        if (k % 64 == 0)
            mpfr_set_zero(v, 1);  // exactly, where pi's rounding leaves a trace
        expectDd(kSinKPiBy64[k], "sin(k pi/64)", k);
    }
    for (int k = 0; k <= 64; ++k) {
        mpfr_set_ui(v, k, MPFR_RNDN);
        mpfr_div_ui(v, v, 64, MPFR_RNDN);
        mpfr_atan(v, v, MPFR_RNDN);
        expectDd(kAtanKBy64[k], "atan(k/64)", k);
    }
    for (int i = 0; i < 128; ++i) {
        const double c = kLogTable[i].c;
        const double m = 1.0 + i / 128.0;
        // m c - 1 stays small over the entry's interval and c has 20 bits.
        EXPECT_LE(std::fabs(m * c - 1.0), 0x1p-7) << i;
        EXPECT_LE(std::fabs((m + 1.0 / 128) * c - 1.0), 0x1p-7) << i;
        EXPECT_EQ(std::ldexp(c, 20), std::floor(std::ldexp(c, 20))) << i;
        mpfr_set_d(v, i >= 64 ? 2 * c : c, MPFR_RNDN);
        mpfr_log(v, v, MPFR_RNDN);
        mpfr_neg(v, v, MPFR_RNDN);
        expectDd(kLogTable[i].minusLogC, "-ln c", i);
    }
}

// The data the ABI test compares the modules with (on Linux and under
// Wine) is what the oracle gives today.
TEST(ModuleExpectations, CommittedDataMatchesTheOracle) {
    namespace m = ovra::test::maths;
    m::Tables t;
    t.functions.assign(std::begin(m::kFunctionRows), std::end(m::kFunctionRows));
    t.polar.assign(std::begin(m::kPolarRows), std::end(m::kPolarRows));
    t.cartesian.assign(std::begin(m::kCartesianRows), std::end(m::kCartesianRows));
    t.decibels.assign(std::begin(m::kDecibelRows), std::end(m::kDecibelRows));
    t.voltages.assign(std::begin(m::kVoltageRows), std::end(m::kVoltageRows));
    m::Tables recomputed = t;
    Oracle oracle;
    m::computeExpected(recomputed, oracle);
    ASSERT_GT(t.functions.size(), 1000u);
    for (size_t i = 0; i < t.functions.size(); ++i)
        EXPECT_EQ(t.functions[i].result, recomputed.functions[i].result) << "function row " << i;
    for (size_t i = 0; i < t.polar.size(); ++i) {
        EXPECT_EQ(t.polar[i].angle, recomputed.polar[i].angle) << "polar row " << i;
        EXPECT_EQ(t.polar[i].radius, recomputed.polar[i].radius) << "polar row " << i;
    }
    for (size_t i = 0; i < t.cartesian.size(); ++i) {
        EXPECT_EQ(t.cartesian[i].x, recomputed.cartesian[i].x) << "Cartesian row " << i;
        EXPECT_EQ(t.cartesian[i].y, recomputed.cartesian[i].y) << "Cartesian row " << i;
    }
    for (size_t i = 0; i < t.decibels.size(); ++i)
        EXPECT_EQ(t.decibels[i].level, recomputed.decibels[i].level) << "decibel row " << i;
    for (size_t i = 0; i < t.voltages.size(); ++i)
        EXPECT_EQ(t.voltages[i].voltage, recomputed.voltages[i].voltage) << "voltage row " << i;
}

}  // namespace
