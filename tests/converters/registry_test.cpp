// Which halves each converter library offers.
#include "converter_fixture.h"

using namespace ovra;

namespace {

struct Registered {
    const char* library;
    const char16_t* id;
};

const Registered kConverters[] = {
    {"uplink", u"ZVR_Float2GUIFloat"}, {"uplink", u"ZVR_Volt2GUIFloat"},   {"uplink", u"ZVR_Int2GUIInt"},
    {"uplink", u"ZVR_Volt2GUIInt"},    {"uplink", u"ZVR_Bool2GUIBool"},    {"uplink", u"ZVR_Volt2GUIBool"},
    {"uplink", u"ZVR_Text2GUIText"},   {"downlink", u"ZVR_GUIFloat2Float"}, {"downlink", u"ZVR_GUIInt2Int"},
    {"downlink", u"ZVR_GUIBool2Bool"}, {"downlink", u"ZVR_GUIText2Text"},  {"downlink", u"ZVR_GUIFloat2Volt"},
    {"downlink", u"ZVR_GUIInt2Volt"},  {"downlink", u"ZVR_GUIBool2Volt"},
};

class EachConverter : public ::testing::TestWithParam<Registered> {};

TEST_P(EachConverter, HasADspHalfAndASecondFamilyGuiHalfOnly) {
    auto lib = test::loadPlugin(GetParam().library);
    ASSERT_TRUE(lib);
    const wstring id = GetParam().id;

    IMpUnknown* dsp = nullptr;
    ASSERT_EQ(lib->createBare(id, SUBTYPE_DSP, &dsp), RC_OK);
    auto* plugin = host::queryInterface<IMpPlugin2>(dsp, IID_IMpPlugin2);
    ASSERT_NE(plugin, nullptr);
    float buffer[4] = {};
    EXPECT_EQ(plugin->assignPinBuffer(0, buffer), RC_OK);
    EXPECT_EQ(plugin->assignPinBuffer(1, buffer), RC_OK);
    EXPECT_EQ(plugin->assignPinBuffer(2, buffer), RC_FAILED);
    plugin->Release();
    EXPECT_EQ(dsp->Release(), 0u);

    test::GuiHalf gui(*lib, id);
    for (int32_t pin : {0, 1, 2})
        EXPECT_EQ(host::deliverOnly(gui.module->get(), pin, {}), RC_OK);
    EXPECT_EQ(host::deliverOnly(gui.module->get(), 3, {}), RC_FAILED);

    IMpUnknown* none = nullptr;
    EXPECT_EQ(lib->createBare(id, SUBTYPE_GUI_V1, &none), RC_NOT_FOUND);
    EXPECT_EQ(none, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Converters, EachConverter, ::testing::ValuesIn(kConverters), [](const auto& info) {
    return host::toUtf8(info.param.id).substr(4);
});

}  // namespace
