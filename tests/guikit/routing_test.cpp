// Redirects and switches: values pass unchanged, and only when they differ.
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

// Two different values of the module's value type, the first not its zero
// value.
struct RoutingCase {
    const char16_t* id;
    Bytes first, second;
    bool writesBack = true;
};

const Bytes kBlob{1, 2, 3, 0, 5};
const Bytes kOtherBlob{9};

class Redirects : public ::testing::TestWithParam<RoutingCase> {};

TEST_P(Redirects, EachPinCopiesToItsPartnerOnly) {
    const auto& c = GetParam();
    GuikitModule m(c.id);
    ASSERT_TRUE(m.ready());
    const struct {
        int32_t pin;
        const Bytes& value;
        Sends expected;
    } steps[] = {
        {1, c.first, {sent(0, c.first)}},
        {1, c.first, {}},  // the same value again sends nothing
        {0, c.second, {sent(1, c.second)}},
        {3, c.first, {sent(2, c.first)}},
        {2, c.second, {sent(3, c.second)}},
    };
    for (const auto& step : steps) {
        m.clear();
        EXPECT_EQ(m.set(step.pin, step.value), RC_OK);
        EXPECT_EQ(m.sends(), step.expected) << "pin " << step.pin;
    }
}

INSTANTIATE_TEST_SUITE_P(Types, Redirects,
                         ::testing::Values(RoutingCase{u"WB-Blob-RedirSDK3", kBlob, kOtherBlob},
                                           RoutingCase{u"WB-Bool-RedirSDK3", bytesOf(true), bytesOf(false)},
                                           RoutingCase{u"WB-Float-RedirSDK3", bytesOf(1.5f), bytesOf(-2.0f)},
                                           RoutingCase{u"WB-Int-RedirSDK3", bytesOf(int32_t{7}), bytesOf(int32_t{-7})},
                                           RoutingCase{u"WB-Text-RedirSDK3", bytesOf(u"ab"), bytesOf(u"xyz")}));

class Switches : public ::testing::TestWithParam<RoutingCase> {};

TEST_P(Switches, SelectorChoosesTheSourceAndOutputWritesBackToA) {
    const auto& c = GetParam();
    GuikitModule m(c.id);
    ASSERT_TRUE(m.ready());
    m.deliver(0, c.first);
    EXPECT_TRUE(m.sends().empty());  // nothing before an announcement
    const std::pair<int32_t, Bytes> steps[] = {
        {0, c.first}, {1, c.second}, {2, bytesOf(true)},
        // The host writes the output: A follows (not the selected B), and
        // the output keeps the host's value.
        {3, c.second},
        {2, bytesOf(false)},
    };
    const Sends expected[] = {
        {sent(3, c.first)}, {}, {sent(3, c.second)},
        c.writesBack ? Sends{sent(0, c.second)} : Sends{},
        c.writesBack ? Sends{} : Sends{sent(3, c.first)},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        m.clear();
        EXPECT_EQ(m.set(steps[i].first, steps[i].second), RC_OK);
        EXPECT_EQ(m.sends(), expected[i]) << "step " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Types, Switches,
    ::testing::Values(RoutingCase{u"WB-Blob-SwitchSDK3", kBlob, kOtherBlob},
                      RoutingCase{u"WB-Bool-SwitchSDK3", bytesOf(true), bytesOf(false)},
                      RoutingCase{u"WB-Float-SwitchSDK3", bytesOf(1.5f), bytesOf(-2.0f)},
                      RoutingCase{u"WB-Int-SwitchSDK3", bytesOf(int32_t{7}), bytesOf(int32_t{-7})},
                      RoutingCase{u"WB-Text-SwitchSDK3", bytesOf(u"ab"), bytesOf(u"xyz"), false}));

TEST(FloatRedirect, NanIsSentAgainOnEveryAnnouncement) {
    GuikitModule m(u"WB-Float-RedirSDK3");
    ASSERT_TRUE(m.ready());
    const float nan = std::numeric_limits<float>::quiet_NaN();
    m.set(0, nan);
    m.set(0, nan);
    ASSERT_EQ(m.sends().size(), 2u);
    EXPECT_TRUE(std::isnan(host::floatOf(m.lastOn(1))));
}

// A bool keeps the byte the host delivered, through every copy, and is
// compared by that byte.
TEST(BoolRedirect, PassesTheDeliveredByteOn) {
    GuikitModule m(u"WB-Bool-RedirSDK3");
    ASSERT_TRUE(m.ready());
    m.set(0, Bytes{5, 0});
    EXPECT_EQ(m.sends(), (Sends{sent(1, Bytes{5})}));
    m.clear();
    m.set(0, Bytes{3});
    EXPECT_EQ(m.sends(), (Sends{sent(1, Bytes{3})}));
    m.clear();
    m.set(0, Bytes{3});
    EXPECT_EQ(m.sends(), Sends{});
    m.set(3, Bytes{0xFF});
    EXPECT_EQ(m.sends(), (Sends{sent(2, Bytes{0xFF})}));
}

// A value shorter than 4 bytes replaces the low bytes of the one held.
TEST(IntRedirect, ShortValueReplacesTheLowBytesOnly) {
    GuikitModule m(u"WB-Int-RedirSDK3");
    ASSERT_TRUE(m.ready());
    m.set(0, int32_t{0x12345678});
    m.clear();
    m.set(0, Bytes{0xAA, 0xBB});
    EXPECT_EQ(m.sends(), (Sends{sent(1, int32_t{0x1234BBAA})}));
    m.clear();
    m.set(0, Bytes{});
    EXPECT_EQ(m.sends(), Sends{});
}

TEST(BlobRedirect, CopiesAnySizeWhole) {
    GuikitModule m(u"WB-Blob-RedirSDK3");
    ASSERT_TRUE(m.ready());
    Bytes big(100000);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i * 7);
    for (const Bytes& value : {big, Bytes{}, kBlob, big}) {
        m.clear();
        m.set(2, value);
        EXPECT_EQ(m.sends(), Sends{sent(3, value)}) << value.size();
    }
}

// The float switch carries the value's bytes, so it tells -0.0 from 0.0 and
// counts an identical NaN as no change.
TEST(FloatSwitch, PassesFloatsBitForBit) {
    GuikitModule m(u"WB-Float-SwitchSDK3");
    ASSERT_TRUE(m.ready());
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::pair<float, size_t> steps[] = {{0.0f, 1}, {-0.0f, 1}, {nan, 1}, {nan, 0}};
    for (const auto& [value, count] : steps) {
        m.clear();
        m.set(0, value);
        ASSERT_EQ(m.sends().size(), count) << value;
        if (count == 1) {
            EXPECT_EQ(m.sends()[0], sent(3, value));
        }
    }
    m.clear();
    m.set(3, -0.0f);
    EXPECT_EQ(m.sends(), Sends{sent(0, -0.0f)});
}

}  // namespace
