// Fixed values and limiters.
#include <cmath>
#include <limits>

#include "module_fixture.h"

using namespace ovra;
using host::Bytes;
using host::bytesOf;
using test::GuikitModule;
using test::sent;
using Sends = std::vector<test::Sent>;

namespace {

struct FixedCase {
    const char16_t* id;
    Bytes value;
};

class FixedValues : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FixedValues, ValueIsSentOnceAndTheOutputDrivesNothing) {
    GuikitModule m(GetParam().id);
    ASSERT_TRUE(m.ready());
    m.set(0, GetParam().value);
    m.set(0, GetParam().value);
    EXPECT_EQ(m.sends(), Sends{sent(1, GetParam().value)});
    m.clear();
    EXPECT_EQ(m.set(1, Bytes(GetParam().value.size(), 0)), RC_OK);
    EXPECT_TRUE(m.sends().empty());
}

INSTANTIATE_TEST_SUITE_P(Types, FixedValues,
                         ::testing::Values(FixedCase{u"WB-Fixed-Bool-SDK3", bytesOf(true)},
                                           FixedCase{u"WB-Fixed-Float-SDK3", bytesOf(0.25f)},
                                           FixedCase{u"WB-Fixed-Int-SDK3", bytesOf(int32_t{42})}));

const float kNan = std::numeric_limits<float>::quiet_NaN();

struct LimitCase {
    const char* name;
    float lower, upper;
    int32_t pin;  // 0 or 3
    float value;
    Sends expected;
};

class FloatLimiter : public ::testing::TestWithParam<LimitCase> {};

TEST_P(FloatLimiter, CorrectsTheAnnouncedPinThenCopiesIt) {
    const auto& c = GetParam();
    GuikitModule m(u"WB-Float-LimitSDK3");
    ASSERT_TRUE(m.ready());
    m.set(1, c.upper);
    m.set(2, c.lower);
    ASSERT_TRUE(m.sends().empty());  // limits alone re-check nothing
    m.set(c.pin, c.value);
    EXPECT_EQ(m.sends(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FloatLimiter,
    ::testing::Values(LimitCase{"AboveUpper", 0, 10, 0, 15, {sent(0, 10.0f), sent(3, 10.0f)}},
                      LimitCase{"BelowLower", 1, 10, 0, -2, {sent(0, 1.0f), sent(3, 1.0f)}},
                      LimitCase{"OnUpperIsKept", 0, 10, 0, 10, {sent(3, 10.0f)}},
                      LimitCase{"OnLowerIsKept", -1, 10, 0, -1, {sent(3, -1.0f)}},
                      LimitCase{"SecondSide", 0, 10, 3, 15, {sent(3, 10.0f), sent(0, 10.0f)}},
                      LimitCase{"InvertedUpperFirst", 10, 0, 0, 5, {sent(0, 0.0f), sent(0, 10.0f), sent(3, 10.0f)}},
                      LimitCase{"InvertedBelowBoth", 10, 0, 3, -5, {sent(3, 10.0f), sent(0, 10.0f)}},
                      LimitCase{"NanValuePassesOn", 0, 10, 0, kNan, {sent(3, kNan)}},
                      LimitCase{"NanUpperClampsNothingAbove", 0, kNan, 0, 15, {sent(3, 15.0f)}},
                      LimitCase{"NanLowerClampsNothingBelow", kNan, 10, 3, -7, {sent(0, -7.0f)}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FloatLimiter, NewLimitAppliesOnlyAtTheNextAnnouncement) {
    GuikitModule m(u"WB-Float-LimitSDK3");
    ASSERT_TRUE(m.ready());
    m.set(1, 10.0f);
    m.set(0, 8.0f);
    m.clear();
    m.set(1, 5.0f);
    EXPECT_TRUE(m.sends().empty());
    m.signal(0);
    EXPECT_EQ(m.sends(), (Sends{sent(0, 5.0f), sent(3, 5.0f)}));
}

TEST(IntLimiter, ComparesSigned) {
    GuikitModule m(u"WB-Int-LimitSDK3");
    ASSERT_TRUE(m.ready());
    m.set(1, int32_t{5});
    m.set(2, int32_t{-5});
    m.set(0, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(m.sends(), (Sends{sent(0, int32_t{-5}), sent(3, int32_t{-5})}));
    m.clear();
    m.set(3, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(m.sends(), (Sends{sent(3, int32_t{5}), sent(0, int32_t{5})}));
}

}  // namespace
