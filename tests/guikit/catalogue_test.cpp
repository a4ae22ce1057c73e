// The guikit catalogue: every identifier creates a first-family GUI module,
// under sub-type 1 only, and survives any pin index a host can pass.
#include <climits>

#include "identifiers.h"
#include "module_fixture.h"

using namespace ovra;

namespace {

const auto& kCatalogue = test::kGuikitIds;

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
