// Wired GUI modules in a ring: a ring that settles ends by itself; one whose
// value keeps changing is cut at the documented depth and its chain kept in
// the hosts' deliveries, for the host that set the value off.
#include <gtest/gtest.h>

#include <memory>

#include "gui_host.h"
#include "plugins.h"

using namespace ovra;

namespace {

// Pins of the guikit modules used here, as their description gives them.
constexpr int32_t kMathFunction = 0, kMathX = 2, kMathResult = 3;
constexpr int32_t kLimitValue = 0, kLimitMax = 1, kLimitMin = 2, kLimitValue2 = 3;

class GuiRing : public ::testing::Test {
protected:
    void SetUp() override {
        lib = test::loadPlugin("guikit");
        ASSERT_TRUE(lib);
    }
    IMpUnknown* make(const char16_t* id, host::RecordingGuiHost& h) {
        IMpUnknown* out = nullptr;
        EXPECT_EQ(lib->create(id, SUBTYPE_GUI_V1, h.unknown(), &out), RC_OK);
        if (out != nullptr)
            made.push_back(std::make_unique<host::GuiModule>(out));
        return out;
    }
    size_t sendsOf(const host::RecordingGuiHost& h, int32_t pin) { return h.sends(pin).size(); }

    std::unique_ptr<host::Library> lib;
    // Hosts outlive the modules they serve.
    host::RecordingGuiHost h, ha, hb;
    std::vector<std::unique_ptr<host::GuiModule>> made;
};

TEST_F(GuiRing, AModuleFedItsOwnChangingOutputIsCut) {
    IMpUnknown* math = make(u"WB-MathSDK3", h);
    ASSERT_NE(math, nullptr);
    h.wire(kMathResult, math, kMathX);
    host::deliverAndSignal(math, kMathX, host::bytesOf(1.0f));  // sin(sin(sin(...))) keeps changing
    const auto chain = h.deliveries().takeCut();
    ASSERT_EQ(chain.size(), static_cast<size_t>(host::kMaxGuiDeliveryDepth) + 1);
    const auto ring = host::ringOf(chain);
    ASSERT_EQ(ring.size(), 1u);
    EXPECT_EQ(ring[0].from, &h);
    EXPECT_EQ(ring[0].fromPin, kMathResult);
    EXPECT_EQ(ring[0].to, math);
    EXPECT_EQ(ring[0].toPin, kMathX);
    EXPECT_TRUE(h.deliveries().takeCut().empty()) << "taken once";
}

// The cut is the business of the hosts that made it: another host (another
// patch) takes nothing, before or after.
TEST_F(GuiRing, ACutStaysWithTheHostsThatMadeIt) {
    IMpUnknown* math = make(u"WB-MathSDK3", h);
    ASSERT_NE(math, nullptr);
    h.wire(kMathResult, math, kMathX);
    host::deliverAndSignal(math, kMathX, host::bytesOf(1.0f));
    EXPECT_TRUE(ha.deliveries().takeCut().empty());
    EXPECT_FALSE(h.deliveries().takeCut().empty());
}

TEST_F(GuiRing, ARingOfTwoIsCutAndNamesBothHops) {
    IMpUnknown* a = make(u"WB-MathSDK3", ha);
    IMpUnknown* b = make(u"WB-MathSDK3", hb);
    ASSERT_TRUE(a && b);
    host::deliverAndSignal(b, kMathFunction, host::bytesOf(int32_t{1}));  // cos
    const auto shared = std::make_shared<host::GuiDeliveries>();
    ha.shareDeliveries(shared);
    hb.shareDeliveries(shared);
    ha.wire(kMathResult, b, kMathX);
    hb.wire(kMathResult, a, kMathX);
    host::deliverAndSignal(a, kMathX, host::bytesOf(0.5f));
    const auto ring = host::ringOf(shared->takeCut());
    ASSERT_EQ(ring.size(), 2u);
    EXPECT_NE(ring[0].to, ring[1].to);
}

TEST_F(GuiRing, AFanningRingStopsWithoutRunningAway) {
    IMpUnknown* math = make(u"WB-MathSDK3", h);
    ASSERT_NE(math, nullptr);
    // Two wires back: without the whole chain stopping, 2^64 deliveries.
    h.wire(kMathResult, math, kMathX);
    h.wire(kMathResult, math, kMathX);
    host::deliverAndSignal(math, kMathX, host::bytesOf(1.0f));
    EXPECT_FALSE(h.deliveries().takeCut().empty());
    EXPECT_LT(sendsOf(h, kMathResult), 1000u);
}

TEST_F(GuiRing, ARingThatSettlesRunsToItsEnd) {
    IMpUnknown* limit = make(u"WB-Float-LimitSDK3", h);
    ASSERT_NE(limit, nullptr);
    host::deliverAndSignal(limit, kLimitMax, host::bytesOf(5.0f));
    host::deliverAndSignal(limit, kLimitMin, host::bytesOf(-5.0f));
    h.wire(kLimitValue2, limit, kLimitValue);
    h.clear();
    host::deliverAndSignal(limit, kLimitValue, host::bytesOf(9.0f));
    EXPECT_TRUE(h.deliveries().takeCut().empty());
    const auto sends = h.sends(kLimitValue2);
    ASSERT_FALSE(sends.empty());
    EXPECT_EQ(host::floatOf(sends.back().bytes), 5.0f);
    // After a cut elsewhere, deliveries work again.
    host::deliverAndSignal(limit, kLimitValue, host::bytesOf(-9.0f));
    EXPECT_EQ(host::floatOf(h.sends(kLimitValue2).back().bytes), -5.0f);
}

}  // namespace
