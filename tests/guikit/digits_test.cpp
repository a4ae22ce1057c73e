// Digit splitter and seven-segment decoder.
#include <array>
#include <limits>
#include <string>

#include "module_fixture.h"

using namespace ovra;
using test::GuikitModule;
using test::sent;
using test::Sent;
using Sends = std::vector<Sent>;

namespace {

// What a pin holds as far as the host knows: the last value sent, or the
// start value 0 when nothing was sent on it.
int32_t intHeld(const GuikitModule& m, int32_t pin) {
    const auto b = m.lastOn(pin);
    return b.empty() ? 0 : host::intOf(b);
}
float floatHeld(const GuikitModule& m, int32_t pin) {
    const auto b = m.lastOn(pin);
    return b.empty() ? 0.0f : host::floatOf(b);
}

// --- splitter -------------------------------------------------------------

using Digits = std::array<int32_t, 7>;  // pins 1 to 7, millions first

struct SplitCase {
    int32_t value;
    Digits digits;
};

const SplitCase kSplitCases[] = {
    {0, {0, 0, 0, 0, 0, 0, 0}},
    {7, {0, 0, 0, 0, 0, 0, 7}},
    {70, {0, 0, 0, 0, 0, 7, 0}},
    {1234567, {1, 2, 3, 4, 5, 6, 7}},
    {12345678, {2, 3, 4, 5, 6, 7, 8}},  // digits above a million are dropped
    {10000000, {0, 0, 0, 0, 0, 0, 0}},
    {-5, {0, 0, 0, 0, 0, 0, -5}},
    {-123, {0, 0, 0, 0, -1, -2, -3}},
    {std::numeric_limits<int32_t>::max(), {7, 4, 8, 3, 6, 4, 7}},
    {std::numeric_limits<int32_t>::min(), {-7, -4, -8, -3, -6, -4, -8}},
};

class Splitter : public ::testing::TestWithParam<SplitCase> {};

TEST_P(Splitter, SendsTheChangedDigitsInPinOrder) {
    const auto& c = GetParam();
    GuikitModule m(u"WB-Int2DigitsSDK3");
    m.set(0, c.value);
    Sends expected;
    for (int32_t pin = 1; pin <= 7; ++pin)
        if (c.digits[pin - 1] != 0)
            expected.push_back(sent(pin, c.digits[pin - 1]));
    EXPECT_EQ(m.sends(), expected);
}

INSTANTIATE_TEST_SUITE_P(Values, Splitter, ::testing::ValuesIn(kSplitCases), [](const auto& info) {
    const int32_t v = info.param.value;
    return (v < 0 ? "Minus" : "") + std::to_string(v < 0 ? -static_cast<int64_t>(v) : v);
});

TEST(SplitterSequence, OnlyChangedDigitsAreSent) {
    GuikitModule m(u"WB-Int2DigitsSDK3");
    m.set(0, 0);
    EXPECT_TRUE(m.sends().empty());
    m.set(0, 7);
    EXPECT_EQ(m.sends(), Sends{sent(7, 7)});
    m.clear();
    m.set(0, 70);
    EXPECT_EQ(m.sends(), (Sends{sent(6, 7), sent(7, 0)}));
    m.clear();
    m.set(0, std::numeric_limits<int32_t>::min());
    m.set(0, 12345678);
    m.set(0, -5);
    Digits held;
    for (int32_t pin = 1; pin <= 7; ++pin)
        held[pin - 1] = intHeld(m, pin);
    EXPECT_EQ(held, (Digits{0, 0, 0, 0, 0, 0, -5}));
}

// --- decoder --------------------------------------------------------------

// Segments a to g (pins 1 to 7) lit for each digit.
const char* const kLitSegments[10] = {
    "1111110", "0110000", "1101101", "1111001", "0110011",
    "1011011", "1011111", "1110010", "1111111", "1111011",
};

class Decoder : public ::testing::TestWithParam<int32_t> {};

TEST_P(Decoder, LightsTheDigitsSegments) {
    const int32_t d = GetParam();
    GuikitModule m(u"WB-7SegmentSDK3");
    m.set(0, 8);  // every segment lit, so each dark one must be sent
    m.set(0, d);
    std::string lit;
    for (int32_t pin = 1; pin <= 7; ++pin) {
        const float level = floatHeld(m, pin);
        EXPECT_TRUE(level == 0.0f || level == 1.0f) << level;
        lit += level == 1.0f ? '1' : '0';
    }
    EXPECT_EQ(lit, kLitSegments[d]);
}

INSTANTIATE_TEST_SUITE_P(Digits, Decoder, ::testing::Range(0, 10));

TEST(DecoderSequence, SendsOnlyTheSegmentsThatChange) {
    GuikitModule m(u"WB-7SegmentSDK3");
    m.set(0, 1);
    EXPECT_EQ(m.sends(), (Sends{sent(2, 1.0f), sent(3, 1.0f)}));
    m.set(0, 0);
    m.clear();
    m.set(0, 8);
    EXPECT_EQ(m.sends(), Sends{sent(7, 1.0f)});
}

TEST(DecoderSequence, DigitsOutsideZeroToNineChangeNothing) {
    GuikitModule m(u"WB-7SegmentSDK3");
    m.set(0, 7);
    m.clear();
    for (int32_t d : {10, -1, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()})
        m.set(0, d);
    EXPECT_TRUE(m.sends().empty());
    // The segments still show the 7: going to 1 darkens a and f only.
    m.set(0, 1);
    EXPECT_EQ(m.sends(), (Sends{sent(1, 0.0f), sent(6, 0.0f)}));
}

TEST(DecoderSequence, NegativeDigitFromTheSplitterLeavesTheSegments) {
    GuikitModule splitter(u"WB-Int2DigitsSDK3");
    GuikitModule units(u"WB-7SegmentSDK3");
    splitter.host.wire(7, units.ui(), 0);
    splitter.set(0, 3);
    const Sends showingThree = units.sends();
    EXPECT_EQ(showingThree.size(), 5u);  // a, b, c, d, g
    splitter.set(0, -3);
    EXPECT_EQ(units.sends(), showingThree);
}

}  // namespace
