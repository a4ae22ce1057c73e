// Logic gates: growing AND and OR, two-input gates, NOT.
#include "module_fixture.h"

using namespace ovra;
using test::GuikitModule;
using test::sent;
using Sends = std::vector<test::Sent>;

namespace {

TEST(GrowingGates, AndEvaluatesInInitialiseAndOnFurtherDelivery) {
    GuikitModule m(u"WB-LogicGateB-AND-SDK3");
    ASSERT_TRUE(m.ready());
    ASSERT_EQ(m.deliver(1, true), RC_OK);
    EXPECT_EQ(m.initialise(), RC_OK);
    EXPECT_EQ(m.sends(), Sends{sent(0, true)});
    m.clear();
    EXPECT_EQ(m.deliver(4, false), RC_OK);  // creates 2 to 4, all false
    EXPECT_EQ(m.sends(), Sends{sent(0, false)});
}

TEST(GrowingGates, OrHeldTrueByAFurtherInput) {
    GuikitModule m(u"WB-LogicGateB-OR-SDK3");
    ASSERT_TRUE(m.ready());
    ASSERT_EQ(m.deliver(3, true), RC_OK);
    m.set(1, true);
    m.set(1, false);
    EXPECT_EQ(m.sends(), Sends{sent(0, true)});
}

TEST(GrowingGates, IntInputsAreTrueAboveZero) {
    GuikitModule m(u"WB-LogicGateI-AND-SDK3");
    ASSERT_TRUE(m.ready());
    m.set(1, int32_t{5});
    m.deliver(2, int32_t{1});
    EXPECT_EQ(m.sends(), Sends{sent(0, int32_t{1})});
    m.clear();
    m.set(1, int32_t{-3});
    EXPECT_EQ(m.sends(), Sends{sent(0, int32_t{0})});
}

struct TwoInputCase {
    const char16_t* id;
    bool isInt;
    int32_t a, b, output;
};

class TwoInputGates : public ::testing::TestWithParam<TwoInputCase> {};

// A is announced first, then B; the output is read from what was last sent.
TEST_P(TwoInputGates, OutputAfterBothInputsAnnounced) {
    const auto& c = GetParam();
    GuikitModule m(c.id);
    ASSERT_TRUE(m.ready());
    if (c.isInt) {
        m.set(0, c.a);
        m.set(1, c.b);
    } else {
        m.set(0, c.a != 0);
        m.set(1, c.b != 0);
    }
    const host::Bytes output = m.lastOn(2);
    EXPECT_EQ(output.empty() ? 0 : host::intOf(output), c.output);  // nothing sent: still 0
}

INSTANTIATE_TEST_SUITE_P(
    Truth, TwoInputGates,
    ::testing::Values(
        TwoInputCase{u"WB-LogicGateB-NAND-SDK3", false, 1, 1, 0}, TwoInputCase{u"WB-LogicGateB-NAND-SDK3", false, 0, 0, 1},
        TwoInputCase{u"WB-LogicGateB-NAND-SDK3", false, 1, 0, 1}, TwoInputCase{u"WB-LogicGateB-NOR-SDK3", false, 0, 0, 1},
        TwoInputCase{u"WB-LogicGateB-NOR-SDK3", false, 0, 1, 0}, TwoInputCase{u"WB-LogicGateB-XNOR-SDK3", false, 1, 1, 1},
        TwoInputCase{u"WB-LogicGateB-XNOR-SDK3", false, 1, 0, 0}, TwoInputCase{u"WB-LogicGateB-XOR-SDK3", false, 1, 0, 1},
        TwoInputCase{u"WB-LogicGateB-XOR-SDK3", false, 1, 1, 0}, TwoInputCase{u"WB-LogicGateI-NAND-SDK3", true, 7, 7, 0},
        TwoInputCase{u"WB-LogicGateI-NAND-SDK3", true, -3, 1, 1}, TwoInputCase{u"WB-LogicGateI-NOR-SDK3", true, 0, 0, 1},
        TwoInputCase{u"WB-LogicGateI-NOR-SDK3", true, 5, 0, 0}, TwoInputCase{u"WB-LogicGateI-NOR-SDK3", true, -4, -4, 1},
        TwoInputCase{u"WB-LogicGateI-XNOR-SDK3", true, 7, 1, 1}, TwoInputCase{u"WB-LogicGateI-XNOR-SDK3", true, -2, 0, 1},
        TwoInputCase{u"WB-LogicGateI-XNOR-SDK3", true, 1, 0, 0}, TwoInputCase{u"WB-LogicGateI-XOR-SDK3", true, 7, 1, 0},
        TwoInputCase{u"WB-LogicGateI-XOR-SDK3", true, -2, 1, 1}, TwoInputCase{u"WB-LogicGateI-XOR-SDK3", true, 1, 0, 1}));

TEST(TwoInputGate, XorCorrectsTheAnnouncedPinBeforeTheOutput) {
    GuikitModule m(u"WB-LogicGateI-XOR-SDK3");
    ASSERT_TRUE(m.ready());
    m.set(1, int32_t{1});  // output becomes 1
    m.clear();
    m.set(0, int32_t{7});
    EXPECT_EQ(m.sends(), (Sends{sent(0, int32_t{1}), sent(2, int32_t{0})}));

    GuikitModule fresh(u"WB-LogicGateI-XOR-SDK3");
    ASSERT_TRUE(fresh.ready());
    fresh.deliver(1, int32_t{1});  // stored, never announced: output stays 0
    fresh.set(0, int32_t{7});
    EXPECT_EQ(fresh.sends(), Sends{sent(0, int32_t{1})});
}

TEST(TwoInputGate, CorrectionTouchesOnlyTheAnnouncedPin) {
    GuikitModule m(u"WB-LogicGateI-NOR-SDK3");
    ASSERT_TRUE(m.ready());
    m.deliver(1, int32_t{9});
    m.set(0, int32_t{-5});
    EXPECT_EQ(m.sends(), Sends{sent(0, int32_t{0})});  // B of 9 is true: output stays 0
}

TEST(TwoInputGate, NandLeavesOutOfRangeInputsAsDelivered) {
    GuikitModule m(u"WB-LogicGateI-NAND-SDK3");
    ASSERT_TRUE(m.ready());
    m.set(0, int32_t{7});
    m.set(1, int32_t{7});
    EXPECT_TRUE(m.host.sends(0).empty());
    EXPECT_TRUE(m.host.sends(1).empty());
    EXPECT_EQ(m.lastOn(2), host::bytesOf(int32_t{0}));
}

TEST(TwoInputGate, FreshXnorWaitsForAnAnnouncement) {
    GuikitModule m(u"WB-LogicGateB-XNOR-SDK3");
    ASSERT_TRUE(m.ready());
    EXPECT_EQ(m.initialise(), RC_OK);
    EXPECT_TRUE(m.sends().empty());
    EXPECT_EQ(m.signal(0), RC_OK);
    EXPECT_EQ(m.sends(), Sends{sent(2, true)});
}

struct NotStep {
    int32_t pin, value;
    Sends expected;
};

TEST(NotGate, EachPinSetsTheOtherToItsOpposite) {
    const NotStep steps[] = {
        {0, 0, {sent(1, int32_t{1})}},
        {0, 1, {sent(1, int32_t{0})}},
        {0, 1, {}},
        {1, 0, {}},  // A already 1
        {1, 1, {sent(0, int32_t{0})}},
        // Outside 0..1 the announced pin is corrected first, then inverted.
        {0, 9, {sent(0, int32_t{1}), sent(1, int32_t{0})}},
        {0, -5, {sent(0, int32_t{0}), sent(1, int32_t{1})}},
        {1, 3, {sent(1, int32_t{1})}},  // A already 0
        {1, -2, {sent(1, int32_t{0}), sent(0, int32_t{1})}},
    };
    GuikitModule m(u"WB-LogicGateI-NOT-SDK3");
    ASSERT_TRUE(m.ready());
    for (const auto& s : steps) {
        m.clear();
        EXPECT_EQ(m.set(s.pin, s.value), RC_OK);
        EXPECT_EQ(m.sends(), s.expected) << "pin " << s.pin << " value " << s.value;
    }
}

}  // namespace
