// The module descriptions shipped beside each library against the library
// itself: what is described creates and answers, nothing else does.
#include <gtest/gtest.h>

#include "io/description.h"
#include "dsp_host.h"
#include "gui_host.h"
#include "plugins.h"

using namespace ovra;
using qvhost::HalfDescription;
using qvhost::LibraryDescription;

namespace {

struct Expected {
    const char* library;
    size_t modules;
};

class Descriptions : public ::testing::TestWithParam<Expected> {
protected:
    void SetUp() override {
        lib = test::loadPlugin(GetParam().library);
        ASSERT_TRUE(lib);
        description = qvhost::loadDescription(qvhost::descriptionPathFor(test::pluginPath(GetParam().library)));
    }

    IMpUnknown* create(const std::string& id, int32_t subType) {
        IMpUnknown* out = nullptr;
        EXPECT_EQ(lib->createBare(host::fromUtf8(id), subType, &out), RC_OK) << id << " sub-type " << subType;
        return out;
    }

    std::unique_ptr<host::Library> lib;
    LibraryDescription description;
};

TEST_P(Descriptions, ListTheWholeCatalogueOnce) {
    EXPECT_EQ(description.library, GetParam().library);
    EXPECT_EQ(description.modules.size(), GetParam().modules);
}

TEST_P(Descriptions, EveryDescribedHalfCreatesAndNoOtherSubTypeDoes) {
    for (const auto& module : description.modules) {
        for (int32_t subType : {SUBTYPE_DSP, SUBTYPE_GUI_V1, SUBTYPE_GUI_V2}) {
            const bool described = std::any_of(module.halves.begin(), module.halves.end(),
                                               [&](const HalfDescription& h) { return h.subType == subType; });
            IMpUnknown* out = nullptr;
            const int32_t rc = lib->createBare(host::fromUtf8(module.id), subType, &out);
            if (described) {
                EXPECT_EQ(rc, RC_OK) << module.id << " sub-type " << subType;
                ASSERT_NE(out, nullptr) << module.id;
                EXPECT_EQ(out->Release(), 0u);
            } else {
                EXPECT_EQ(rc, RC_NOT_FOUND) << module.id << " creates undescribed sub-type " << subType;
                EXPECT_EQ(out, nullptr);
            }
        }
    }
}

TEST_P(Descriptions, EveryDescribedDspPinAnswersAndNoneBeyond) {
    for (const auto& module : description.modules) {
        const HalfDescription* half = module.dspHalf();
        if (half == nullptr)
            continue;
        IMpUnknown* created = create(module.id, half->subType);
        ASSERT_NE(created, nullptr);
        auto* plugin = host::queryInterface<IMpPlugin2>(created, IID_IMpPlugin2);
        created->Release();
        ASSERT_NE(plugin, nullptr);
        float buffer[64] = {};
        for (const auto& pin : half->pins)
            EXPECT_EQ(plugin->assignPinBuffer(pin.index, buffer), RC_OK) << module.id << " pin " << pin.name;
        EXPECT_EQ(plugin->assignPinBuffer(static_cast<int32_t>(half->pins.size()), buffer), RC_FAILED)
            << module.id << " has a pin its description leaves out";
        plugin->Release();
    }
}

// The value a GUI pin of the type takes.
host::Bytes sample(int32_t type) {
    switch (type) {
    case DATATYPE_FLOAT: return host::bytesOf(1.5f);
    case DATATYPE_INT: return host::bytesOf(int32_t{3});
    case DATATYPE_BOOL: return host::bytesOf(true);
    case DATATYPE_TEXT: return host::bytesOf(u"ab");
    default: return host::Bytes{1, 2, 3};
    }
}

TEST_P(Descriptions, EveryDescribedGuiPinTakesItsValueAndNoneBeyond) {
    for (const auto& module : description.modules) {
        const HalfDescription* half = module.guiHalf();
        if (half == nullptr)
            continue;
        host::RecordingGuiHost guiHost;
        IMpUnknown* object = nullptr;
        ASSERT_EQ(lib->create(host::fromUtf8(module.id), half->subType, guiHost.unknown(), &object), RC_OK);
        for (const auto& pin : half->pins)
            EXPECT_EQ(host::deliverAndSignal(object, pin.index, sample(pin.type)), RC_OK)
                << module.id << " pin " << pin.name;
        const int32_t beyond = half->growing ? half->growing->last + 1 : static_cast<int32_t>(half->pins.size());
        EXPECT_EQ(host::deliverOnly(object, beyond, host::bytesOf(int32_t{1})), RC_FAILED)
            << module.id << " takes a value on undescribed pin " << beyond;
        if (half->growing) {
            EXPECT_EQ(host::deliverOnly(object, half->growing->from + 2, sample(half->growing->type)), RC_OK)
                << module.id << " does not grow";
        }
        object->Release();
    }
}

TEST_P(Descriptions, LinkedPinsCarryOneTypeInOppositeDirections) {
    for (const auto& module : description.modules) {
        if (!module.link)
            continue;
        ASSERT_TRUE(module.dspHalf() && module.guiHalf()) << module.id;
        const auto dsp = module.dspHalf()->pinAt(module.link->first);
        const auto gui = module.guiHalf()->pinAt(module.link->second);
        ASSERT_TRUE(dsp && gui) << module.id;
        EXPECT_EQ(dsp->type, gui->type) << module.id;
        EXPECT_NE(dsp->direction, gui->direction) << module.id;
    }
}

INSTANTIATE_TEST_SUITE_P(Libraries, Descriptions,
                         ::testing::Values(Expected{"uplink", 7}, Expected{"downlink", 7}, Expected{"guikit", 42},
                                           Expected{"adsr", 1}),
                         [](const auto& info) { return std::string(info.param.library); });

TEST(DescriptionFile, MalformedJsonIsReportedWithLineAndColumn) {
    const std::string path = ::testing::TempDir() + "/broken.qvm.json";
    FILE* f = std::fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("{\n  \"library\": \"x\",\n  \"modules\": [,]\n}\n", f);
    std::fclose(f);
    try {
        qvhost::loadDescription(path);
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find(path + ":3:15:"), std::string::npos) << e.what();
    }
}

TEST(DescriptionFile, PinsOutOfOrderAreRefused) {
    const auto doc = qvhost::Json::parse(R"({"library": "x", "modules": [{"id": "M", "halves": [
        {"subType": 1, "kind": "gui", "pins": [{"index": 1, "name": "A", "type": "int", "direction": "in"}]}]}]})");
    EXPECT_THROW(qvhost::parseDescription(doc, "x.qvm.json"), std::runtime_error);
}

TEST(DescriptionFile, GrowingInputsAreFoundByNameAndIndex) {
    const auto doc = qvhost::Json::parse(R"({"library": "x", "modules": [{"id": "M", "halves": [
        {"subType": 1, "kind": "gui", "pins": [{"index": 0, "name": "Out", "type": "bool", "direction": "out"}],
         "growing": {"from": 1, "last": 9, "name": "In", "type": "bool", "direction": "in"}}]}]})");
    const auto lib = qvhost::parseDescription(doc, "x.qvm.json");
    const HalfDescription& half = lib.modules[0].halves[0];
    ASSERT_TRUE(half.findPin("In4"));
    EXPECT_EQ(half.findPin("In4")->index, 4);
    EXPECT_EQ(half.findPin("7")->name, "In7");
    EXPECT_FALSE(half.findPin("In10"));
    EXPECT_FALSE(half.findPin("Nope"));
}

}  // namespace
