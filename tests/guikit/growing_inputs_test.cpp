// The growing input list, through the four AND and OR gates.
#include <climits>

#include "module_fixture.h"

using namespace ovra;
using test::GuikitModule;
using test::sent;

namespace {

struct GrowingGate {
    const char16_t* id;
    bool isInt;
    // Bytes of a true and a false input in the gate's type.
    host::Bytes truth(bool v) const { return isInt ? host::bytesOf(int32_t{v ? 1 : 0}) : host::bytesOf(v); }
};

class GrowingList : public ::testing::TestWithParam<GrowingGate> {};

TEST_P(GrowingList, DeliveryCreatesEveryMissingIndexUpToIt) {
    GuikitModule m(GetParam().id);
    ASSERT_TRUE(m.ready());
    EXPECT_EQ(m.signal(2), RC_FAILED);
    EXPECT_EQ(m.deliver(5, GetParam().truth(false)), RC_OK);
    for (int32_t pin = 2; pin <= 5; ++pin)
        EXPECT_EQ(m.signal(pin), RC_OK) << pin;
    EXPECT_EQ(m.signal(6), RC_FAILED);
    EXPECT_EQ(m.deliver(3, GetParam().truth(false)), RC_OK);
    EXPECT_EQ(m.signal(6), RC_FAILED);
    EXPECT_TRUE(m.sends().empty());  // further inputs have no handler
}

TEST_P(GrowingList, DeliveryToFirstInputOnlyStores) {
    GuikitModule m(GetParam().id);
    ASSERT_TRUE(m.ready());
    EXPECT_EQ(m.deliver(1, GetParam().truth(true)), RC_OK);
    EXPECT_TRUE(m.sends().empty());
    EXPECT_EQ(m.signal(1), RC_OK);
    EXPECT_EQ(m.sends(), (std::vector<test::Sent>{{0, GetParam().truth(true)}}));
}

TEST_P(GrowingList, RefusedIndexCreatesAndEvaluatesNothing) {
    for (int32_t index : {-1, INT_MIN, 1026, 4096, INT_MAX}) {
        GuikitModule m(GetParam().id);
        ASSERT_TRUE(m.ready());
        ASSERT_EQ(m.deliver(1, GetParam().truth(true)), RC_OK);  // stored, not yet evaluated
        EXPECT_EQ(m.deliver(index, GetParam().truth(true)), RC_FAILED) << index;
        EXPECT_TRUE(m.sends().empty()) << index;
        EXPECT_EQ(m.signal(2), RC_FAILED) << index;
    }
}

TEST_P(GrowingList, LastAllowedIndexHoldsAThousandAndTwentyFourFurtherInputs) {
    GuikitModule m(GetParam().id);
    ASSERT_TRUE(m.ready());
    EXPECT_EQ(m.deliver(1025, GetParam().truth(false)), RC_OK);
    EXPECT_EQ(m.signal(1025), RC_OK);
    EXPECT_EQ(m.deliver(1026, GetParam().truth(false)), RC_FAILED);
}

INSTANTIATE_TEST_SUITE_P(Gates, GrowingList,
                         ::testing::Values(GrowingGate{u"WB-LogicGateB-AND-SDK3", false},
                                           GrowingGate{u"WB-LogicGateB-OR-SDK3", false},
                                           GrowingGate{u"WB-LogicGateI-AND-SDK3", true},
                                           GrowingGate{u"WB-LogicGateI-OR-SDK3", true}));

}  // namespace
