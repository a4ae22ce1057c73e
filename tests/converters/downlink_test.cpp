// downlink: GUI values to control values and constant voltages.
#include <cmath>
#include <cstring>
#include <limits>

#include "converter_fixture.h"

using namespace ovra;
using host::Bytes;
using host::bytesOf;
using host::EventList;
using test::Update;

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
using Sent = std::vector<std::pair<int32_t, Bytes>>;

class Downlink : public test::LibraryTest {
protected:
    Downlink() : LibraryTest("downlink") {}
};

// ---------------------------------------------------------------------------
// GUI half: pins 1 and 2 in, pin 0 out.

TEST_F(Downlink, GuiPinZeroTakesWhicheverInputChangedLast) {
    test::GuiHalf gui(*lib, u"ZVR_GUIFloat2Float");
    gui.put(1, bytesOf(3.0f));
    gui.put(2, bytesOf(4.0f));
    gui.put(2, bytesOf(4.0f));  // pin 0 already holds 4
    gui.put(1, bytesOf(3.0f));  // pin 1 is unchanged, but pin 0 holds 4
    gui.put(1, bytesOf(kNaN));
    gui.put(2, bytesOf(-0.0f));
    gui.put(2, bytesOf(3.0f));
    EXPECT_EQ(gui.sent(), (Sent{{0, bytesOf(3.0f)}, {0, bytesOf(4.0f)}, {0, bytesOf(3.0f)}, {0, bytesOf(-0.0f)},
                                {0, bytesOf(3.0f)}}));
}

TEST_F(Downlink, GuiPinZeroSendsTextIntAndBoolChangesOnly) {
    const std::pair<const char16_t*, Bytes> values[] = {
        {u"ZVR_GUIText2Text", bytesOf(u"go")}, {u"ZVR_GUIInt2Volt", bytesOf(12)}, {u"ZVR_GUIBool2Volt", Bytes{1}}};
    for (const auto& [id, value] : values) {
        test::GuiHalf gui(*lib, id);
        gui.put(2, value);
        gui.put(1, value);
        EXPECT_EQ(gui.sent(), (Sent{{0, value}})) << host::toUtf8(id);
    }
}

// ---------------------------------------------------------------------------
// Control values: DSP pin 0 in, DSP pin 1 out.

struct Control {
    const char16_t* id;
    Bytes value;
};

class ControlOut : public Downlink, public ::testing::WithParamInterface<Control> {};

TEST_P(ControlOut, TheSameValueTwiceIsSentOnce) {
    test::DspHalf dsp(*lib, GetParam().id);
    dsp.module->process(8, EventList().value(3, 0, GetParam().value));
    dsp.module->process(8, EventList().value(1, 0, GetParam().value));
    EXPECT_EQ(dsp.published(1), (std::vector<Update>{{3, GetParam().value}}));
}

INSTANTIATE_TEST_SUITE_P(Converters, ControlOut,
                         ::testing::Values(Control{u"ZVR_GUIFloat2Float", bytesOf(0.5f)},
                                           Control{u"ZVR_GUIInt2Int", bytesOf(-4)},
                                           Control{u"ZVR_GUIBool2Bool", Bytes{1}},
                                           Control{u"ZVR_GUIText2Text", bytesOf(u"level")}));

TEST_F(Downlink, ControlFloatPassesNoNaN) {
    test::DspHalf dsp(*lib, u"ZVR_GUIFloat2Float");
    dsp.module->process(8, EventList().value(0, 0, kNaN).value(4, 0, -0.0f));
    EXPECT_TRUE(dsp.published(1).empty());
}

// ---------------------------------------------------------------------------
// Voltages: the audio output is DSP pin 1.

struct VoltCase {
    const char* name;
    const char16_t* id;
    Bytes value;
    uint32_t sampleBits;  // every sample of the output, bit for bit
};

uint32_t bitsOf(float v) { return host::bitsOf(v); }

class VoltageOut : public Downlink, public ::testing::WithParamInterface<VoltCase> {};

TEST_P(VoltageOut, IsTheValueTimesSinglePrecisionTenth) {
    const VoltCase& c = GetParam();
    test::DspHalf dsp(*lib, c.id);
    auto& out = dsp.module->buffer(1, 8);
    std::fill(out.begin(), out.end(), 99.0f);
    dsp.module->process(8, EventList().start(0).value(0, 0, c.value));
    for (float sample : out)
        EXPECT_EQ(bitsOf(sample), c.sampleBits) << sample;
}

const VoltCase kVoltCases[] = {
    {"IntFive", u"ZVR_GUIInt2Volt", bytesOf(5), bitsOf(0.5f)},
    {"IntMinusThree", u"ZVR_GUIInt2Volt", bytesOf(-3), 0xBE99999Au},  // -0.300000011920928955078125
    {"IntAbove2To24RoundsFirst", u"ZVR_GUIInt2Volt", bytesOf(16777217), bitsOf(1677721.625f)},
    {"FloatTen", u"ZVR_GUIFloat2Volt", bytesOf(10.0f), bitsOf(1.0f)},
    {"FloatNineIsAProductNotAQuotient", u"ZVR_GUIFloat2Volt", bytesOf(9.0f), 0x3F666667u},  // 0.9000000358
    {"BoolTrue", u"ZVR_GUIBool2Volt", Bytes{1}, bitsOf(1.0f)},
    {"BoolFalse", u"ZVR_GUIBool2Volt", Bytes{0}, bitsOf(0.0f)},
};

INSTANTIATE_TEST_SUITE_P(Converters, VoltageOut, ::testing::ValuesIn(kVoltCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Downlink, AChangeInMidBlockSwitchesTheConstantAtItsSampleAndIsAnnounced) {
    test::DspHalf dsp(*lib, u"ZVR_GUIFloat2Volt");
    auto& out = dsp.module->buffer(1, 12);
    dsp.module->process(12, EventList().start(0).value(0, 0, 2.0f).value(5, 0, 4.0f));
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(out[i], i < 5 ? 0.2f : 0.4f) << "sample " << i;
    std::vector<std::pair<int32_t, bool>> announced;
    for (const auto& c : dsp.host.callsOf(host::DspCall::Streaming)) {
        EXPECT_EQ(c.pinIndex, 1);
        announced.emplace_back(c.sampleOffset, c.streaming);
    }
    EXPECT_EQ(announced, (std::vector<std::pair<int32_t, bool>>{{0, true}, {0, true}, {5, true}}));
}

TEST_F(Downlink, TheVoltageOutputStreamsFromGraphStartAndNeverSleeps) {
    test::DspHalf dsp(*lib, u"ZVR_GUIBool2Volt");
    auto& out = dsp.module->buffer(1, 8);
    std::fill(out.begin(), out.end(), 99.0f);
    dsp.module->process(8, EventList().start(0));
    EXPECT_EQ(out[0], 99.0f);  // no value yet: nothing is written
    dsp.module->process(8, EventList().value(2, 0, true));
    for (int block = 0; block < 3; ++block)
        dsp.module->process(8);
    EXPECT_EQ(out, std::vector<float>(8, 1.0f));
    EXPECT_EQ(dsp.host.count(host::DspCall::OfferSleep), 0u);
}

}  // namespace
