// The example library through the ABI, as a host drives it: the slew
// limiter's ramps, its sleeping and waking, its GUI half, and the drawn level
// bar's picture.
#include <cmath>
#include <limits>
#include <memory>

#include <gtest/gtest.h>

#include "dsp_host.h"
#include "gui_host.h"
#include "paint_surface.h"
#include "plugins.h"

using namespace ovra;
using ovra::host::Bytes;
using ovra::host::DspCall;
using ovra::host::EventList;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(SlewLibrary, RegistersEachHalfUnderItsOwnSubType) {
    auto lib = test::loadPlugin("slew");
    ASSERT_TRUE(lib);
    const struct {
        const char16_t* id;
        int32_t subType;
        int32_t expected;
    } cases[] = {
        {u"EX-Slew", SUBTYPE_DSP, RC_OK},         {u"EX-Slew", SUBTYPE_GUI_V2, RC_OK},
        {u"EX-Slew", SUBTYPE_GUI_V1, RC_NOT_FOUND}, {u"EX-LevelBar", SUBTYPE_GUI_V1, RC_OK},
        {u"EX-LevelBar", SUBTYPE_DSP, RC_NOT_FOUND}, {u"EX-slew", SUBTYPE_DSP, RC_NOT_FOUND},
    };
    for (const auto& c : cases) {
        IMpUnknown* made = nullptr;
        EXPECT_EQ(lib->createBare(c.id, c.subType, &made), c.expected)
            << host::toUtf8(c.id) << " sub-type " << c.subType;
        if (made != nullptr) {
            EXPECT_EQ(made->Release(), 0u);
        }
    }
}

// ---------------------------------------------------------------------------
// DSP half: 1000 samples a second and a Time of 10 ms give at most 0.1 a
// sample.

class SlewDsp : public ::testing::Test {
protected:
    enum Pin { kTime, kSignal, kOut };
    static constexpr int32_t kBlock = 32;

    void SetUp() override {
        lib = test::loadPlugin("slew");
        ASSERT_TRUE(lib);
        host.sampleRate = 1000.0f;
        host.countdown = 8;
        create();
    }
    // A fresh module on the same host.
    void create() {
        module.reset();
        IMpUnknown* made = nullptr;
        ASSERT_EQ(lib->create(u"EX-Slew", SUBTYPE_DSP, host.unknown(), &made), RC_OK);
        module = std::make_unique<host::DspModule>(made, host);
        signal = &module->buffer(kSignal, kBlock);
        out = &module->buffer(kOut, kBlock);
    }
    void TearDown() override { module.reset(); }

    // One block with the signal held at v.
    void block(float v, const EventList& events = EventList(), int32_t n = kBlock) {
        std::fill(signal->begin(), signal->end(), v);
        std::fill(out->begin(), out->end(), -99.0f);
        module->process(n, events);
    }
    void start(float time, float v) { block(v, EventList().start().value(0, kTime, time).streamOn(0, kSignal)); }

    std::vector<DspCall> streamingCalls() const { return host.callsOf(DspCall::Streaming); }

    host::RecordingDspHost host;
    std::unique_ptr<host::Library> lib;
    std::unique_ptr<host::DspModule> module;
    std::vector<float>* signal = nullptr;
    std::vector<float>* out = nullptr;
};

TEST_F(SlewDsp, RisesAndFallsAtMostOneSwingPerTime) {
    start(0.01f, 1.0f);
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR((*out)[i], 0.1f * static_cast<float>(i + 1), 1e-5f) << "sample " << i;
    for (int i = 11; i < kBlock; ++i)
        ASSERT_EQ((*out)[i], 1.0f) << "sample " << i;  // lands on the input exactly

    block(-1.0f);  // a full fall of 2.0 takes twice as long
    for (int i = 0; i < 19; ++i)
        EXPECT_NEAR((*out)[i], 1.0f - 0.1f * static_cast<float>(i + 1), 1e-5f) << "sample " << i;
    EXPECT_EQ((*out)[21], -1.0f);
}

TEST_F(SlewDsp, NoTimeMeansNoLimit) {
    for (float time : {0.0f, -1.0f, kNaN}) {
        create();
        start(time, 0.75f);
        EXPECT_EQ((*out)[0], 0.75f) << "Time " << time;
    }
}

TEST_F(SlewDsp, HostWithoutSampleRateGivesNoLimit) {
    host.sampleRate = std::nullopt;
    start(0.01f, 0.75f);
    EXPECT_EQ((*out)[0], 0.75f);
}

TEST_F(SlewDsp, NewTimeTakesEffectAtItsSample) {
    start(0.01f, 0.0f);
    block(1.0f, EventList().value(5, kTime, 0.02f));
    EXPECT_NEAR((*out)[4], 0.5f, 1e-5f);
    EXPECT_NEAR((*out)[5], 0.55f, 1e-5f);  // 0.05 a sample from here on
    EXPECT_NEAR((*out)[9], 0.75f, 1e-5f);
}

TEST_F(SlewDsp, NaNSampleHoldsTheOutput) {
    start(0.01f, 0.0f);
    std::fill(signal->begin(), signal->end(), 1.0f);
    (*signal)[3] = kNaN;
    module->process(kBlock);
    EXPECT_NEAR((*out)[2], 0.3f, 1e-5f);
    EXPECT_NEAR((*out)[3], 0.3f, 1e-5f);
    EXPECT_NEAR((*out)[4], 0.4f, 1e-5f);
    for (float v : *out)
        EXPECT_FALSE(std::isnan(v));
}

TEST_F(SlewDsp, SettledOnStaticInputStopsStreamingThenSleeps) {
    start(0.01f, 0.0f);
    host.clear();
    // The input holds 0.5 from sample 0: the output gets there at sample 4.
    block(0.5f, EventList().streamOff(0, kSignal));
    EXPECT_NEAR((*out)[4], 0.5f, 1e-6f);
    const auto stops = streamingCalls();
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_FALSE(stops[0].streaming);
    EXPECT_EQ(stops[0].sampleOffset, 4);
    EXPECT_EQ(host.count(DspCall::FillCountdown), 1u);
    // The countdown of 8 samples ran out in this block: the module offers to
    // sleep in the next one, having written its held level until then.
    block(0.5f);
    EXPECT_EQ(host.count(DspCall::OfferSleep), 1u);
}

TEST_F(SlewDsp, WakesWhenTheInputStreamsAgain) {
    start(0.01f, 0.0f);
    block(0.0f, EventList().streamOff(0, kSignal));
    block(0.0f);
    ASSERT_EQ(host.count(DspCall::OfferSleep), 1u);
    host.clear();
    block(1.0f, EventList().streamOn(0, kSignal));
    const auto starts = streamingCalls();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_TRUE(starts[0].streaming);
    EXPECT_NEAR((*out)[0], 0.1f, 1e-6f);
    EXPECT_EQ(host.count(DspCall::OfferSleep), 0u);
}

TEST_F(SlewDsp, NewStaticLevelWhileAsleepMovesTheOutput) {
    start(0.01f, 0.0f);
    block(0.0f, EventList().streamOff(0, kSignal));
    block(0.0f);
    host.clear();
    // A host sends a new constant level as a stream-off event of its own.
    block(0.3f, EventList().streamOff(0, kSignal));
    EXPECT_NEAR((*out)[2], 0.3f, 1e-6f);
    const auto marks = streamingCalls();
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_TRUE(marks[0].streaming);
    EXPECT_FALSE(marks[1].streaming);
    EXPECT_EQ(marks[1].sampleOffset, 2);
}

// ---------------------------------------------------------------------------
// GUI half: milliseconds from the editor become seconds for the DSP half.

TEST(SlewGui, SendsSecondsAndALabelOnlyWhenTheyChange) {
    auto lib = test::loadPlugin("slew");
    ASSERT_TRUE(lib);
    IMpUnknown* made = nullptr;
    ASSERT_EQ(lib->createBare(u"EX-Slew", SUBTYPE_GUI_V2, &made), RC_OK);
    host::GuiModule gui(made);
    host::RecordingGuiHost host;
    ASSERT_EQ(gui.attach(host), RC_OK);

    const struct {
        float ms;
        float seconds;
        const char16_t* label;
    } cases[] = {{250.0f, 0.25f, u"250 ms"}, {-5.0f, 0.0f, u"0 ms"}, {kNaN, 0.0f, u"0 ms"}, {1500.0f, 1.5f, u"1500 ms"}};
    for (const auto& c : cases) {
        ASSERT_EQ(gui.deliverAndSignal(1, host::bytesOf(c.ms)), RC_OK);
        const auto times = host.sends(0);
        const auto labels = host.sends(2);
        ASSERT_FALSE(times.empty());
        EXPECT_EQ(host::floatOf(times.back().bytes), c.seconds) << c.ms;
        EXPECT_EQ(host::textOf(labels.back().bytes), c.label) << c.ms;
    }
    // The same value again sends nothing.
    host.clear();
    ASSERT_EQ(gui.deliverAndSignal(1, host::bytesOf(1500.0f)), RC_OK);
    EXPECT_TRUE(host.sends().empty());
}

// ---------------------------------------------------------------------------
// Level bar: the bar's length in pixels, its colours, repaint requests.

class LevelBar : public ::testing::Test {
protected:
    static constexpr int32_t kWidth = 100, kHeight = 20;
    static constexpr uint32_t kBar = 0xFF30C060, kBackground = 0xFF202020;

    void SetUp() override {
        lib = test::loadPlugin("slew");
        ASSERT_TRUE(lib);
        IMpUnknown* made = nullptr;
        ASSERT_EQ(lib->create(u"EX-LevelBar", SUBTYPE_GUI_V1, host.unknown(), &made), RC_OK);
        module = std::make_unique<host::GuiModule>(made);
        ui = host::queryInterface<IMpUserInterface>(made, IID_IMpUserInterface);
        gfx = host::queryInterface<IQvGraphicsComposited>(made, IID_IQvGraphicsComposited);
        ASSERT_TRUE(ui && gfx);
        ui->initialiseGui();
        const GuiRect placement{0, kHeight, 0, kWidth};
        gfx->arrange(&placement);
    }
    void TearDown() override {
        if (gfx)
            gfx->Release();
        if (ui)
            ui->Release();
        module.reset();
    }

    std::vector<uint32_t> paint() {
        host::PaintSurface surface(kWidth, kHeight);
        EXPECT_TRUE(surface.valid());
        surface.clear(0xFF0000FF);
        EXPECT_EQ(surface.paint(gfx), RC_OK);
        return surface.pixels();
    }
    // Pixels of the bar's colour along the top row (the ticks sit lower).
    int32_t barLength() {
        const auto pixels = paint();
        int32_t n = 0;
        for (int32_t x = 0; x < kWidth; ++x)
            n += pixels[static_cast<size_t>(x)] == kBar;
        return n;
    }

    host::RecordingGuiHost host;
    std::unique_ptr<host::Library> lib;
    std::unique_ptr<host::GuiModule> module;
    IMpUserInterface* ui = nullptr;
    IQvGraphicsComposited* gfx = nullptr;
};

TEST_F(LevelBar, BarLengthFollowsTheValueClampedToZeroToOne) {
    const struct {
        float value;
        int32_t pixels;
    } cases[] = {{0.0f, 0}, {0.25f, 25}, {0.5f, 50}, {1.0f, 100}, {3.0f, 100}, {-2.0f, 0}, {kNaN, 0}};
    for (const auto& c : cases) {
        ASSERT_EQ(module->deliverAndSignal(0, host::bytesOf(c.value)), RC_OK);
        EXPECT_EQ(barLength(), c.pixels) << "value " << c.value;
    }
}

TEST_F(LevelBar, PaintsTheWholePlacementInItsColours) {
    ASSERT_EQ(module->deliverAndSignal(0, host::bytesOf(0.5f)), RC_OK);
    auto pixels = paint();
    EXPECT_EQ(pixels[10], kBar);
    EXPECT_EQ(pixels[90], kBackground);
    EXPECT_EQ(pixels[static_cast<size_t>((kHeight - 1) * kWidth + kWidth - 1)], kBackground);  // nothing left unpainted

    ASSERT_EQ(module->deliverAndSignal(1, host::bytesOf(int32_t{0x123456})), RC_OK);
    ASSERT_EQ(module->deliverAndSignal(2, host::bytesOf(int32_t{-1})), RC_OK);  // only the low 24 bits count
    pixels = paint();
    EXPECT_EQ(pixels[10], 0xFF123456u);
    EXPECT_EQ(pixels[90], 0xFFFFFFFFu);
}

TEST_F(LevelBar, EveryAnnouncedChangeAsksForARepaint) {
    for (int32_t pin : {0, 1, 2}) {
        host.clear();
        ASSERT_EQ(module->deliverAndSignal(pin, host::bytesOf(int32_t{7})), RC_OK);
        EXPECT_EQ(host.invalidations(), 1u) << "pin " << pin;
    }
    GuiSize size{};
    EXPECT_EQ(gfx->measure(GuiSize{500, 500}, &size), RC_OK);
    EXPECT_EQ(size.width, 100);
    EXPECT_EQ(size.height, 20);
}

}  // namespace
