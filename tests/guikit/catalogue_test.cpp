// The guikit catalogue: every identifier creates a first-family GUI module,
// under sub-type 1 only, and survives any pin index a host can pass.
#include <climits>

#include "module_fixture.h"

using namespace ovra;

namespace {

const char16_t* const kCatalogue[] = {
    u"WB-3DdistanceSDK3",       u"WB-7SegmentSDK3",         u"WB-Blob-RedirSDK3",       u"WB-Blob-SwitchSDK3",
    u"WB-Bool-RedirSDK3",       u"WB-Bool-SwitchSDK3",      u"WB-Cart2PolarSDK3",       u"WB-Fixed-Bool-SDK3",
    u"WB-Fixed-Float-SDK3",     u"WB-Fixed-Int-SDK3",       u"WB-Float-LimitSDK3",      u"WB-Float-RedirSDK3",
    u"WB-Float-SwitchSDK3",     u"WB-Hatches-SDK3",         u"WB-Int-LimitSDK3",        u"WB-Int-RedirSDK3",
    u"WB-Int2DigitsSDK3",       u"WB-Int-SwitchSDK3",       u"WB-LogicGateB-AND-SDK3",  u"WB-LogicGateB-NAND-SDK3",
    u"WB-LogicGateB-NOR-SDK3",  u"WB-LogicGateB-OR-SDK3",   u"WB-LogicGateB-XNOR-SDK3", u"WB-LogicGateB-XOR-SDK3",
    u"WB-LogicGateI-AND-SDK3",  u"WB-LogicGateI-NAND-SDK3", u"WB-LogicGateI-NOR-SDK3",  u"WB-LogicGateI-OR-SDK3",
    u"WB-LogicGateI-XNOR-SDK3", u"WB-LogicGateI-XOR-SDK3",  u"WB-LogicGateI-NOT-SDK3",  u"WB-MathSDK3",
    u"WB-Meter-Bool-SDK3",      u"WB-Meter-Float-SDK3",     u"WB-Meter-Int-SDK3",       u"WB-RescaleSDK3",
    u"WB-Text-AppendSDK3",      u"WB-Text-CapitalSDK3",     u"WB-Text-SwitchSDK3",      u"WB-Text-RedirSDK3",
    u"WB-Text-SubstrSDK3",      u"WB-Volts2dBSDK3",
};
static_assert(std::size(kCatalogue) == 42);

class Catalogue : public ::testing::TestWithParam<const char16_t*> {};

TEST_P(Catalogue, CreatesUnderSubTypeOneOnly) {
    auto lib = test::loadPlugin("guikit");
    ASSERT_TRUE(lib);
    host::RecordingGuiHost host;
    for (int32_t subType : {SUBTYPE_DSP, SUBTYPE_GUI_V2}) {
        IMpUnknown* out = reinterpret_cast<IMpUnknown*>(&host);  // must be cleared
        EXPECT_EQ(lib->create(GetParam(), subType, host.unknown(), &out), RC_NOT_FOUND) << subType;
        EXPECT_EQ(out, nullptr);
    }
    IMpUnknown* module = nullptr;
    ASSERT_EQ(lib->create(GetParam(), SUBTYPE_GUI_V1, host.unknown(), &module), RC_OK);
    ASSERT_NE(module, nullptr);
    auto* ui = host::queryInterface<IMpUserInterface>(module, IID_IMpUserInterface);
    EXPECT_NE(ui, nullptr);
    EXPECT_EQ(host::queryInterface<IMpUserInterface2>(module, IID_IMpUserInterface2), nullptr);
    if (ui != nullptr)
        ui->Release();
    EXPECT_EQ(module->Release(), 0u);
}

TEST_P(Catalogue, RefusesIndicesNoPinHas) {
    test::GuikitModule m(GetParam());
    ASSERT_TRUE(m.ready());
    EXPECT_EQ(m.initialise(), RC_OK);
    const int32_t value = 1;
    for (int32_t index : {-1, INT_MIN, 100000, INT_MAX}) {
        EXPECT_EQ(m.ui()->deliverPinValue(index, 0, 4, &value), RC_FAILED) << index;
        EXPECT_EQ(m.ui()->signalPinChange(index, 0), RC_FAILED) << index;
    }
}

INSTANTIATE_TEST_SUITE_P(Guikit, Catalogue, ::testing::ValuesIn(kCatalogue), [](const auto& info) {
    std::string name;
    for (char16_t c : std::u16string(info.param))
        if ((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))
            name += static_cast<char>(c);
    return name;
});

}  // namespace
