// Maths modules: results compared bit for bit with the same single-precision
// operations in the same order. Several inputs are picked so that another
// order of operations (or double precision) gives different bits. Where a
// maths function enters, the expected value is the correctly rounded one,
// written here as MPFR gives it (maths_same_bits_test.cpp covers the
// functions over thousands of arguments).
#include <cmath>
#include <limits>

#include "module_fixture.h"

using namespace ovra;
using test::GuikitModule;
using test::sent;
using test::Sent;
using Sends = std::vector<Sent>;

namespace {

const float kPi = 3.14159265358979323846f;

// --- function module ----------------------------------------------------

enum MathPin { kSelector = 0, kFunctionList = 1, kArgument = 2, kResult = 3 };

TEST(Math, Log10OfHundredIsTwoAndUnknownSelectorsKeepTheResult) {
    GuikitModule m(u"WB-MathSDK3");
    m.deliver(kArgument, 100.0f);
    m.set(kSelector, 7);
    EXPECT_EQ(m.sends(), Sends{sent(kResult, 2.0f)});
    m.clear();
    for (int32_t selector : {8, -1, std::numeric_limits<int32_t>::min()}) {
        m.set(kSelector, selector);
        m.set(kArgument, 5.0f);
    }
    EXPECT_TRUE(m.sends().empty());
}

TEST(Math, LogarithmsOfZeroAndNegativesPassTheIeeeResult) {
    GuikitModule m(u"WB-MathSDK3");
    m.deliver(kSelector, 6);
    m.set(kArgument, 0.0f);
    m.set(kArgument, -1.0f);
    const auto s = m.sends();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(host::floatOf(s[0].second), -std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(host::floatOf(s[1].second)));
}

TEST(Math, InitialiseWritesTheListOnly) {
    GuikitModule m(u"WB-MathSDK3");
    m.deliver(kArgument, 1.0f);
    m.deliver(kSelector, 5);
    EXPECT_EQ(m.initialise(), RC_OK);
    EXPECT_EQ(m.sends(), Sends{sent(kFunctionList, u"Sin, Cos, aTan, Tan, Tanh, Exp, Log, Log10")});
}

// --- rescaler -------------------------------------------------------------

enum RescalePin { kX = 0, kInLow, kInHigh, kOutLow, kOutHigh, kScaled, kScaledCopy };

struct RescaleCase {
    const char* name;
    float x, inLow, inHigh, outLow, outHigh;
    float expected;
};

float mapped(float x, float inLow, float inHigh, float outLow, float outHigh) {
    return (outHigh - outLow) * x / (inHigh - inLow) + outLow;
}

const RescaleCase kRescaleCases[] = {
    {"UnitToTen", 0.5f, 0, 1, 0, 10, 5.0f},
    // x is not taken relative to the input low.
    {"XEntersUnchanged", 1.5f, 1, 2, 0, 10, 15.0f},
    {"OutputLowIsAdded", 0.5f, 0, 1, -3, 7, 2.0f},
    // Another order of operations rounds differently here.
    {"ScaleBeforeDividing", 3.5f, 0, 3, 0, 10, mapped(3.5f, 0, 3, 0, 10)},
    {"ZeroInputSpanGivesInfinity", 1.0f, 2, 2, 0, 10, std::numeric_limits<float>::infinity()},
};

class Rescale : public ::testing::TestWithParam<RescaleCase> {};

TEST_P(Rescale, SendsTheMappingOnBothResultPins) {
    const auto& c = GetParam();
    GuikitModule m(u"WB-RescaleSDK3");
    m.deliver(kX, c.x);
    m.deliver(kInLow, c.inLow);
    m.deliver(kInHigh, c.inHigh);
    m.deliver(kOutLow, c.outLow);
    m.deliver(kOutHigh, c.outHigh);
    m.signal(kOutHigh);
    EXPECT_EQ(m.sends(), (Sends{sent(kScaled, c.expected), sent(kScaledCopy, c.expected)}));
}

INSTANTIATE_TEST_SUITE_P(Cases, Rescale, ::testing::ValuesIn(kRescaleCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RescaleEdge, BothSpansZeroGiveZero) {
    GuikitModule m(u"WB-RescaleSDK3");
    m.deliver(kX, 0.5f);
    m.deliver(kInHigh, 1.0f);
    m.set(kOutHigh, 10.0f);
    m.clear();
    for (int pin : {kInLow, kInHigh, kOutLow, kOutHigh})
        m.deliver(pin, 3.0f);
    m.signal(kX);
    EXPECT_EQ(m.sends(), (Sends{sent(kScaled, 0.0f), sent(kScaledCopy, 0.0f)}));
}

TEST(RescaleEdge, InitialiseSendsTheResultAndLeavesXAlone) {
    GuikitModule m(u"WB-RescaleSDK3");
    m.deliver(kX, 0.5f);
    m.deliver(kInHigh, 1.0f);
    m.deliver(kOutHigh, 10.0f);
    EXPECT_EQ(m.initialise(), RC_OK);
    EXPECT_EQ(m.sends(), (Sends{sent(kScaled, 5.0f), sent(kScaledCopy, 5.0f)}));

    // Initialising again changes nothing: x has not become the result.
    m.clear();
    m.initialise();
    m.signal(kX);
    EXPECT_TRUE(m.sends().empty());
}

TEST(RescaleEdge, AResultSetByTheHostBecomesXWithoutScaling) {
    for (int from : {kScaled, kScaledCopy}) {
        GuikitModule m(u"WB-RescaleSDK3");
        m.deliver(kInHigh, 1.0f);
        m.deliver(kOutHigh, 10.0f);
        m.set(from, 7.0f);
        const int other = from == kScaled ? kScaledCopy : kScaled;
        EXPECT_EQ(m.sends(), (Sends{sent(kX, 7.0f), sent(other, 7.0f)})) << "from pin " << from;
    }
}

// --- Cartesian and polar --------------------------------------------------

enum PolarPin { kMode = 0, kModeList, kCartX, kCartY, kRadius, kAngle };

struct PolarCase {
    int32_t mode;
    float x, y;
    float angle;
};

const PolarCase kPolarCases[] = {
    {0, 0.0f, -1.0f, -90.0f},
    {1, 0.0f, -1.0f, 270.0f},
    {7, 0.0f, -1.0f, 270.0f},  // above 1 counts as 1
    {-3, 0.0f, -1.0f, -90.0f},  // below 0 counts as 0
    {1, 1.0f, 1.0f, 45.0f},     // positive angles stay in mode 1
    {0, -1.0f, 0.0f, 180.0f},
    {1, 0.1f, 1.5f, 0x1.58be6p+6f},          // atan2(1.5, 0.1) * 180 / pi
    {1, 3.0f, -4.0f, 0x1.32deb2p+8f},         // atan2(-4, 3) * 180 / pi + 360
};

class ToPolar : public ::testing::TestWithParam<PolarCase> {};

TEST_P(ToPolar, SendsAngleThenRadius) {
    const auto& c = GetParam();
    GuikitModule m(u"WB-Cart2PolarSDK3");
    m.deliver(kMode, c.mode);
    m.deliver(kCartX, c.x);
    m.deliver(kCartY, c.y);
    m.signal(kCartY);
    const float radius = sqrtf(c.y * c.y + c.x * c.x);
    EXPECT_EQ(m.sends(), (Sends{sent(kAngle, c.angle), sent(kRadius, radius)}));
}

INSTANTIATE_TEST_SUITE_P(Cases, ToPolar, ::testing::ValuesIn(kPolarCases));

TEST(Cart2Polar, RightAngleGivesTheSinglePrecisionCosine) {
    GuikitModule m(u"WB-Cart2PolarSDK3");
    m.deliver(kRadius, 2.0f);
    m.set(kAngle, 90.0f);
    const float x = -0x1.777a5cp-24f;  // cos(float(pi/2)) * 2: not zero
    EXPECT_EQ(m.sends(), (Sends{sent(kCartX, x), sent(kCartY, 2.0f)}));
}

TEST(Cart2Polar, ToCartesianScalesTheAngleBeforeDividing) {
    GuikitModule m(u"WB-Cart2PolarSDK3");
    m.deliver(kMode, 1);
    m.deliver(kRadius, 3.0f);
    m.set(kAngle, 47.0f);
    // cos t * 3 and sin t * 3 with t = pi * 47 / 180 in floats.
    EXPECT_EQ(m.sends(), (Sends{sent(kCartX, 0x1.05e32ap+1f), sent(kCartY, 0x1.18d7p+1f)}));
}

TEST(Cart2Polar, InitialiseWritesTheModeList) {
    GuikitModule m(u"WB-Cart2PolarSDK3");
    EXPECT_EQ(m.initialise(), RC_OK);
    EXPECT_EQ(m.sends(), Sends{sent(kModeList, u"180,360")});
}

// --- distance -----------------------------------------------------------

struct DistanceCase {
    float x, y, z;
};

class Distance3D : public ::testing::TestWithParam<DistanceCase> {};

TEST_P(Distance3D, TakesThePlaneRootFirst) {
    const auto& c = GetParam();
    GuikitModule m(u"WB-3DdistanceSDK3");
    m.deliver(0, c.x);
    m.deliver(1, c.y);
    m.set(2, c.z);
    const float d = sqrtf(c.x * c.x + c.y * c.y);
    EXPECT_EQ(m.sends(), Sends{sent(3, sqrtf(d * d + c.z * c.z))});
}

// 0.1, 0.4, 0.3: one root of the three squares rounds differently.
INSTANTIATE_TEST_SUITE_P(Cases, Distance3D,
                         ::testing::Values(DistanceCase{0.1f, 0.4f, 0.3f},
                                           DistanceCase{-1.1f, 2.3f, -3.7f}));

TEST(Distance3DEdge, ThreeFourTwelveIsThirteen) {
    GuikitModule m(u"WB-3DdistanceSDK3");
    m.deliver(0, 3.0f);
    m.deliver(1, 4.0f);
    m.set(2, 12.0f);
    EXPECT_EQ(m.sends(), Sends{sent(3, 13.0f)});
}

// --- decibels -----------------------------------------------------------

enum DbPin { kVoltage = 0, kReference = 1, kLevel = 2 };

struct DecibelCase {
    const char* name;
    float voltage, reference;
    float level;  // 20 log10 of the ratio after the floors
};

const DecibelCase kDecibelCases[] = {
    {"ZeroVoltageIsFloored", 0.0f, 1.0f, -120.0f},
    {"NegativeVoltageIsFloored", -3.0f, 1.0f, -120.0f},
    {"ZeroReferenceIsFloored", 1.0f, 0.0f, 120.0f},
    {"TinyReferenceIsFloored", 1.0f, 1e-9f, 120.0f},
    // Dividing first rounds differently from subtracting two logarithms.
    {"RatioBeforeLogarithm", 0.052f, 0.7f, -0x1.694f7p+4f},
};

class Volts2dB : public ::testing::TestWithParam<DecibelCase> {};

TEST_P(Volts2dB, SendsTheLevel) {
    const auto& c = GetParam();
    GuikitModule m(u"WB-Volts2dBSDK3");
    m.deliver(kVoltage, c.voltage);
    m.set(kReference, c.reference);
    EXPECT_EQ(m.sends(), Sends{sent(kLevel, c.level)});
}

INSTANTIATE_TEST_SUITE_P(Cases, Volts2dB, ::testing::ValuesIn(kDecibelCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Volts2dBEdge, ZeroOverOneIsMinus120) {
    GuikitModule m(u"WB-Volts2dBSDK3");
    m.deliver(kReference, 1.0f);
    m.set(kVoltage, 0.0f);
    EXPECT_EQ(m.sends(), Sends{sent(kLevel, -120.0f)});
}

TEST(Volts2dBEdge, NanVoltageGivesNanLevel) {
    GuikitModule m(u"WB-Volts2dBSDK3");
    m.deliver(kReference, 1.0f);
    m.set(kVoltage, std::numeric_limits<float>::quiet_NaN());
    const auto s = m.sends();
    ASSERT_EQ(s.size(), 1u);
    EXPECT_TRUE(std::isnan(host::floatOf(s[0].second)));
}

TEST(Volts2dBEdge, LevelZeroLandsAStepAboveTheReference) {
    GuikitModule m(u"WB-Volts2dBSDK3");
    m.deliver(kReference, 1.0f);
    m.set(kLevel, 0.0f);
    const float v = 0x1.000002p+0f;  // 10^(1e-6 / 20): one step above 1
    EXPECT_EQ(m.sends(), Sends{sent(kVoltage, v)});

    m.clear();
    m.set(kLevel, -0.0f);  // either sign of zero
    EXPECT_TRUE(m.sends().empty());
}

TEST(Volts2dBEdge, LevelToVoltageUsesTheReferenceUnfloored) {
    GuikitModule m(u"WB-Volts2dBSDK3");
    m.deliver(kReference, 0.7f);
    m.set(kLevel, -9.99f);
    EXPECT_EQ(m.sends(), Sends{sent(kVoltage, 0x1.c5ddccp-3f)});  // 10^(-9.99 / 20) * 0.7
    // Here the power taken in double precision rounds differently.
    m.deliver(kReference, 1.0f);
    m.set(kLevel, -99.61f);
    EXPECT_EQ(m.sends().back(), sent(kVoltage, 0x1.5ef41ep-17f));

    // A zero reference is not floored on the way back: the voltage is 0.
    m.deliver(kReference, 0.0f);
    m.set(kLevel, 6.0f);
    EXPECT_EQ(m.sends().back(), sent(kVoltage, 0.0f));
}

}  // namespace
