// uplink: control values and voltages to the GUI side.
#include <cmath>
#include <limits>

#include "converter_fixture.h"

using namespace ovra;
using host::Bytes;
using host::bytesOf;
using host::EventList;
using test::Update;

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const int32_t kLowestInt = std::numeric_limits<int32_t>::min();

class Uplink : public test::LibraryTest {
protected:
    Uplink() : LibraryTest("uplink") {}
};

// ---------------------------------------------------------------------------
// Control values: DSP pin 1 in, DSP pin 0 out.

TEST_F(Uplink, FloatNaNAndMinusZeroAreNotPassedOn) {
    test::DspHalf dsp(*lib, u"ZVR_Float2GUIFloat");
    dsp.module->process(8, EventList().value(0, 1, kNaN));
    dsp.module->process(8, EventList().value(3, 1, -0.0f));  // the output holds 0.0
    dsp.module->process(8, EventList().value(5, 1, 2.0f));
    dsp.module->process(8, EventList().value(0, 1, kNaN));  // keeps 2.0
    dsp.module->process(8, EventList().value(1, 1, 2.0f));
    EXPECT_EQ(dsp.published(0), (std::vector<Update>{{5, bytesOf(2.0f)}}));
}

struct Initial {
    const char16_t* id;
    Bytes initial;  // what the output holds after creation, as sent
};

class InitialValue : public Uplink, public ::testing::WithParamInterface<Initial> {};

TEST_P(InitialValue, IsSentOnlyByTheGraphStart) {
    test::DspHalf dsp(*lib, GetParam().id);
    dsp.module->process(8, EventList().value(2, 1, GetParam().initial));
    EXPECT_TRUE(dsp.published(0).empty());
    dsp.module->process(8, EventList().start(0));
    EXPECT_EQ(dsp.published(0), (std::vector<Update>{{0, GetParam().initial}}));
}

INSTANTIATE_TEST_SUITE_P(Converters, InitialValue,
                         ::testing::Values(Initial{u"ZVR_Float2GUIFloat", bytesOf(0.0f)},
                                           Initial{u"ZVR_Int2GUIInt", bytesOf(0)},
                                           Initial{u"ZVR_Bool2GUIBool", Bytes{0}},
                                           Initial{u"ZVR_Text2GUIText", Bytes{}}));

TEST_F(Uplink, SimultaneousEventsGiveOneComparisonWithTheLastValue) {
    test::DspHalf dsp(*lib, u"ZVR_Int2GUIInt");
    dsp.module->process(8, EventList().value(4, 1, 1).value(4, 1, 2).value(4, 1, 3));
    dsp.module->process(8, EventList().value(2, 1, 9).value(2, 1, 3));  // 3 is already out
    EXPECT_EQ(dsp.published(0), (std::vector<Update>{{4, bytesOf(3)}}));
}

TEST_F(Uplink, TextComparesLengthAndCodeUnits) {
    test::DspHalf dsp(*lib, u"ZVR_Text2GUIText");
    for (const char16_t* text : {u"", u"ab", u"ac", u"ac", u"abc"})
        dsp.module->process(4, EventList().value(0, 1, wstring(text)));
    EXPECT_EQ(dsp.published(0),
              (std::vector<Update>{{0, bytesOf(u"ab")}, {0, bytesOf(u"ac")}, {0, bytesOf(u"abc")}}));
}

TEST_F(Uplink, BoolTakesFourBytesAsAnIntegerAndSendsOneByte) {
    test::DspHalf dsp(*lib, u"ZVR_Bool2GUIBool");
    dsp.module->process(4, EventList().value(1, 1, bytesOf(2)));
    dsp.module->process(4, EventList().value(1, 1, Bytes{1}));
    dsp.module->process(4, EventList().value(2, 1, Bytes{0}));
    EXPECT_EQ(dsp.published(0), (std::vector<Update>{{1, Bytes{1}}, {2, Bytes{0}}}));
}

// ---------------------------------------------------------------------------
// Voltages: the audio input is DSP pin 1.

struct VoltCase {
    const char* name;
    const char16_t* id;
    std::vector<float> samples;
    std::vector<Update> updates;
    int blocks = 1;  // the same samples again in each further block
};

class VoltageIn : public Uplink, public ::testing::WithParamInterface<VoltCase> {};

TEST_P(VoltageIn, SendsWhereTheConvertedValueChanges) {
    const VoltCase& c = GetParam();
    test::DspHalf dsp(*lib, c.id);
    const int32_t n = static_cast<int32_t>(c.samples.size());
    auto& buffer = dsp.module->buffer(1, c.samples.size());
    std::copy(c.samples.begin(), c.samples.end(), buffer.begin());
    dsp.module->process(n, EventList().start(0).streamOn(0, 1));
    for (int b = 1; b < c.blocks; ++b)
        dsp.module->process(n);
    EXPECT_EQ(dsp.published(0), c.updates);
}

const float kSmallest = std::numeric_limits<float>::denorm_min();

const VoltCase kVoltCases[] = {
    {"IntTruncatesTowardZero",
     u"ZVR_Volt2GUIInt",
     {0.55f, 0.56f, 0.6f, 0.0999f, -0.55f, -0.0f},
     {{0, bytesOf(0)}, {0, bytesOf(5)}, {2, bytesOf(6)}, {3, bytesOf(0)}, {4, bytesOf(-5)}, {5, bytesOf(0)}}},
    {"IntNaNAndOutOfRangeGiveTheLowestInt",
     u"ZVR_Volt2GUIInt",
     {kNaN, 1.0f, 214748352.0f, 214748368.0f, 1.0f, -3e9f, std::numeric_limits<float>::infinity()},
     {{0, bytesOf(0)},
      {0, bytesOf(kLowestInt)},
      {1, bytesOf(10)},
      {2, bytesOf(2147483520)},
      {3, bytesOf(kLowestInt)},
      {4, bytesOf(10)},
      {5, bytesOf(kLowestInt)}}},
    {"BoolIsTrueAboveZeroAndForNaN",
     u"ZVR_Volt2GUIBool",
     {0.0f, kSmallest, -1.0f, kNaN, kNaN, 0.0f},
     {{0, Bytes{0}}, {1, Bytes{1}}, {2, Bytes{0}}, {3, Bytes{1}}, {5, Bytes{0}}}},
    {"FloatConstantGivesOneUpdate", u"ZVR_Volt2GUIFloat", {0.5f, 0.5f, 0.5f, 0.5f}, {{0, bytesOf(0.0f)}, {0, bytesOf(5.0f)}}, 3},
    {"FloatChangingEverySampleUpdatesEverySample",
     u"ZVR_Volt2GUIFloat",
     {0.25f, 0.5f, 0.75f, 0.5f},
     {{0, bytesOf(0.0f)}, {0, bytesOf(2.5f)}, {1, bytesOf(5.0f)}, {2, bytesOf(7.5f)}, {3, bytesOf(5.0f)}}},
    {"FloatNaNAndMinusZeroAreNotSent",
     u"ZVR_Volt2GUIFloat",
     {kNaN, -0.0f, 0.1f, kNaN, 0.1f},
     {{0, bytesOf(0.0f)}, {2, bytesOf(1.0f)}}},
    {"ZeroFromTheStartIsNotSent", u"ZVR_Volt2GUIFloat", {0.0f, 0.0f}, {{0, bytesOf(0.0f)}}},
};

INSTANTIATE_TEST_SUITE_P(Converters, VoltageIn, ::testing::ValuesIn(kVoltCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Uplink, TheConverterRunsFromTheFirstEventOnAtItsSample) {
    test::DspHalf dsp(*lib, u"ZVR_Volt2GUIFloat");
    auto& buffer = dsp.module->buffer(1, 8);
    std::fill(buffer.begin(), buffer.end(), 0.5f);
    dsp.module->process(8);  // nothing streams yet: the module sleeps
    EXPECT_TRUE(dsp.published(0).empty());
    EXPECT_EQ(dsp.host.count(host::DspCall::OfferSleep), 1u);
    buffer[6] = 0.25f;
    dsp.module->process(8, EventList().streamOn(4, 1));
    EXPECT_EQ(dsp.published(0), (std::vector<Update>{{4, bytesOf(5.0f)}, {6, bytesOf(2.5f)}, {7, bytesOf(5.0f)}}));
}

// ---------------------------------------------------------------------------
// GUI half: pin 0 in, copied to pin 1 and then pin 2.

struct GuiCopy {
    const char16_t* id;
    Bytes value;
};

class GuiHalfCopies : public Uplink, public ::testing::WithParamInterface<GuiCopy> {};

TEST_P(GuiHalfCopies, ANewValueGoesToPinOneThenPinTwoOnce) {
    test::GuiHalf gui(*lib, GetParam().id);
    ASSERT_EQ(gui.put(0, GetParam().value), RC_OK);
    ASSERT_EQ(gui.put(0, GetParam().value), RC_OK);
    using Sent = std::vector<std::pair<int32_t, Bytes>>;
    EXPECT_EQ(gui.sent(), (Sent{{1, GetParam().value}, {2, GetParam().value}}));
}

INSTANTIATE_TEST_SUITE_P(Converters, GuiHalfCopies,
                         ::testing::Values(GuiCopy{u"ZVR_Float2GUIFloat", bytesOf(1.5f)},
                                           GuiCopy{u"ZVR_Volt2GUIInt", bytesOf(-7)},
                                           GuiCopy{u"ZVR_Bool2GUIBool", Bytes{1}},
                                           GuiCopy{u"ZVR_Text2GUIText", bytesOf(u"volt")}));

TEST_F(Uplink, GuiHalfPassesNoNaNAndNoValueItAlreadyHolds) {
    test::GuiHalf gui(*lib, u"ZVR_Volt2GUIFloat");
    EXPECT_EQ(gui.put(0, bytesOf(kNaN)), RC_OK);
    EXPECT_EQ(gui.put(0, bytesOf(0.0f)), RC_OK);
    EXPECT_EQ(gui.put(0, bytesOf(-0.0f)), RC_OK);
    EXPECT_TRUE(gui.sent().empty());
}

}  // namespace
