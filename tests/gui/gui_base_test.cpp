// Both GUI families, their pins and callbacks, through the probe libraries.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>

#include "gui_host.h"
#include "plugins.h"
#include "probe.h"

using namespace ovra;
using host::Bytes;
using host::bytesOf;
using host::GuiModule;
using host::RecordingGuiHost;
using probe::IGuiProbe;

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

struct Family {
    const char* name;
    const char16_t* id;
    int32_t subType;
};
const Family kFirst{"First", u"Probe1", SUBTYPE_GUI_V1};
const Family kSecond{"Second", u"Probe2", SUBTYPE_GUI_V2};

// A probe of one family from one library, attached to its own host as the
// real host would: the first family by the factory, the second by attachHost.
struct Probe {
    RecordingGuiHost host;
    std::unique_ptr<GuiModule> module;
    IGuiProbe* view = nullptr;

    Probe(const host::Library& lib, const Family& family) {
        IMpUnknown* out = nullptr;
        EXPECT_EQ(lib.create(family.id, family.subType, host.unknown(), &out), RC_OK);
        module = std::make_unique<GuiModule>(out);
        if (family.subType == SUBTYPE_GUI_V2) {
            EXPECT_EQ(module->attach(host), RC_OK);
        }
        view = host::queryInterface<IGuiProbe>(out, probe::IID_IGuiProbe);
        if (view != nullptr)
            view->Release();  // the module's own reference keeps it alive
    }
    int32_t deliver(int32_t pin, const Bytes& b) { return host::deliverOnly(module->get(), pin, b); }
    int32_t deliverRaw(int32_t pin, int32_t size, const void* data) {
        void* gui = nullptr;
        int32_t r = RC_NOT_FOUND;
        if (module->get()->QueryInterface(&IID_IMpUserInterface, &gui) == RC_OK) {
            r = static_cast<IMpUserInterface*>(gui)->deliverPinValue(pin, 0, size, data);
            static_cast<IMpUserInterface*>(gui)->Release();
        } else if (module->get()->QueryInterface(&IID_IMpUserInterface2, &gui) == RC_OK) {
            r = static_cast<IMpUserInterface2*>(gui)->deliverPinValue(pin, 0, size, data);
            static_cast<IMpUserInterface2*>(gui)->Release();
        }
        return r;
    }
    int32_t signal(int32_t pin, int32_t voice = 0) { return host::signalOnly(module->get(), pin, voice); }
    Bytes pin(int32_t slot) {
        int32_t size = 0;
        const void* data = nullptr;
        view->readPin(slot, &size, &data);
        return bytesOf(data, size);
    }
    size_t sendCount() const { return host.sends().size(); }
};

class EachFamily : public ::testing::TestWithParam<Family> {
protected:
    void SetUp() override {
        lib = test::loadPlugin("gui_probe");
        ASSERT_TRUE(lib);
        probe = std::make_unique<Probe>(*lib, GetParam());
        ASSERT_NE(probe->view, nullptr);
    }
    void TearDown() override { probe.reset(); }

    std::unique_ptr<host::Library> lib;
    std::unique_ptr<Probe> probe;
};

INSTANTIATE_TEST_SUITE_P(Gui, EachFamily, ::testing::Values(kFirst, kSecond),
                         [](const auto& info) { return std::string(info.param.name); });

Guid lastByteChanged(Guid g) {
    g.data4[7] ^= 1;
    return g;
}

TEST_P(EachFamily, QueryAnswersOnlyTheFamilysIdentifiersWithOnePointer) {
    IMpUnknown* object = probe->module->get();
    const bool first = GetParam().subType == SUBTYPE_GUI_V1;
    const Guid mine[] = {IID_IMpUnknown, first ? IID_IMpUserInterface : IID_IMpUserInterface2,
                         first ? IID_IMpUserInterface : IID_IMpUserInterface2B};
    for (const Guid& iid : mine) {
        void* out = nullptr;
        EXPECT_EQ(object->QueryInterface(&iid, &out), RC_OK);
        EXPECT_EQ(out, object);
        EXPECT_EQ(object->Release(), 1u);
    }
    const Guid others[] = {first ? IID_IMpUserInterface2 : IID_IMpUserInterface,
                           IID_IMpGraphicsWinGdi,
                           IID_IQvGraphicsComposited,
                           IID_IMpPlugin2,
                           lastByteChanged(first ? IID_IMpUserInterface : IID_IMpUserInterface2B)};
    for (const Guid& iid : others) {
        void* out = &out;
        EXPECT_EQ(object->QueryInterface(&iid, &out), RC_NOT_FOUND);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(object->QueryInterface(&IID_IMpUnknown, nullptr), RC_NOT_FOUND);
    EXPECT_EQ(object->AddRef(), 2u);
    EXPECT_EQ(object->Release(), 1u);
}

TEST_P(EachFamily, LastReleaseDestroysTheModuleAndAnswersZero) {
    const int32_t before = probe->view->liveModules();
    IMpUnknown* other = nullptr;
    ASSERT_EQ(lib->createBare(GetParam().id, GetParam().subType, &other), RC_OK);
    EXPECT_EQ(probe->view->liveModules(), before + 1);
    EXPECT_EQ(other->Release(), 0u);
    EXPECT_EQ(probe->view->liveModules(), before);
}

TEST_P(EachFamily, UnusedOperationsKeepTheirPlacesAndDefaults) {
    void* gui = nullptr;
    if (GetParam().subType == SUBTYPE_GUI_V1) {
        ASSERT_EQ(probe->module->get()->QueryInterface(&IID_IMpUserInterface, &gui), RC_OK);
        auto* ui = static_cast<IMpUserInterface*>(gui);
        EXPECT_EQ(ui->initialiseGui(), RC_OK);
        EXPECT_EQ(ui->reserved7(), RC_OK);
        EXPECT_EQ(ui->reserved8(), RC_OK);
        EXPECT_EQ(ui->reserved9(), RC_OK);
        ui->Release();
    } else {
        ASSERT_EQ(probe->module->get()->QueryInterface(&IID_IMpUserInterface2B, &gui), RC_OK);
        auto* ui = static_cast<IMpUserInterface2B*>(gui);
        EXPECT_EQ(ui->reserved5(), RC_OK);
        EXPECT_EQ(ui->reserved7(), RC_FAILED);
        EXPECT_EQ(ui->reserved8(), RC_FAILED);
        EXPECT_EQ(ui->reserved9(), RC_FAILED);
        EXPECT_EQ(ui->reserved10(), RC_FAILED);
        ui->Release();
    }
}

TEST_P(EachFamily, DeliverStoresWithoutCallbackAndSignalRunsItEveryTime) {
    IGuiProbe* view = probe->view;
    EXPECT_EQ(probe->deliver(probe::kFloat, bytesOf(2.0f)), RC_OK);
    EXPECT_EQ(probe->pin(probe::kFloat), bytesOf(2.0f));
    EXPECT_EQ(view->callbackRuns(probe::kFloat), 0);
    for (int i = 1; i <= 2; ++i) {  // the same bytes again still run the callback
        EXPECT_EQ(probe->deliver(probe::kFloat, bytesOf(2.0f)), RC_OK);
        EXPECT_EQ(probe->signal(probe::kFloat), RC_OK);
        EXPECT_EQ(view->callbackRuns(probe::kFloat), i);
    }
    EXPECT_EQ(probe->signal(probe::kInt, 3), RC_OK);
    EXPECT_EQ(view->lastVoice(probe::kInt), 3);
    EXPECT_EQ(probe->signal(probe::kPlain), RC_OK);  // no callback: nothing happens
    EXPECT_EQ(probe->sendCount(), 0u);
}

TEST_P(EachFamily, UnknownIndexFailsAndChangesNothing) {
    for (int32_t index : {99, -1, static_cast<int32_t>(probe::kSlots)}) {
        EXPECT_EQ(probe->deliver(index, bytesOf(1.0f)), RC_FAILED);
        EXPECT_EQ(probe->signal(index), RC_FAILED);
    }
}

TEST_P(EachFamily, UnreadableBytesAreRefusedAndChangeNothing) {
    ASSERT_EQ(probe->deliver(probe::kText, bytesOf(u"ab")), RC_OK);
    const uint8_t some[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (int32_t slot : {probe::kFloat, probe::kInt, probe::kBool, probe::kText, probe::kBlob}) {
        const Bytes before = probe->pin(slot);
        EXPECT_EQ(probe->deliverRaw(slot, -1, some), RC_FAILED) << slot;
        EXPECT_EQ(probe->deliverRaw(slot, 4, nullptr), RC_FAILED) << slot;
        EXPECT_EQ(probe->pin(slot), before) << slot;
    }
    EXPECT_EQ(probe->deliverRaw(probe::kText, 0, nullptr), RC_OK);  // nothing to read: empty text
    EXPECT_EQ(probe->pin(probe::kText), Bytes{});
}

TEST_P(EachFamily, TwoPinsUnderOneIndexOnlyTheFirstIsReached) {
    EXPECT_EQ(probe->deliver(probe::kFloat, bytesOf(4.0f)), RC_OK);
    EXPECT_EQ(probe->signal(probe::kFloat), RC_OK);
    EXPECT_EQ(probe->pin(probe::kDuplicate), bytesOf(0.0f));
    EXPECT_EQ(probe->view->callbackRuns(probe::kDuplicate), 0);
    EXPECT_EQ(probe->view->callbackRuns(probe::kFloat), 1);
    // The second pin still sends under the index it was given.
    probe->view->assignFloat(probe::kDuplicate, 3.0f);
    ASSERT_EQ(probe->sendCount(), 1u);
    EXPECT_EQ(probe->host.sends()[0].pinIndex, probe::kFloat);
}

TEST_P(EachFamily, ACallbackThatThrowsAnswersFailed) {
    EXPECT_EQ(probe->signal(probe::kThrows), RC_FAILED);
    EXPECT_EQ(probe->signal(probe::kFloat), RC_OK);  // the module goes on working
}

TEST(GuardedModule, EntriesAModuleReplacesAnswerFailedWhenTheyThrow) {
    auto lib = test::loadPlugin("gui_probe");
    ASSERT_TRUE(lib);
    host::RecordingGuiHost host;
    IMpUnknown* object = nullptr;
    ASSERT_EQ(lib->create(u"Probe1-Throwing", SUBTYPE_GUI_V1, host.unknown(), &object), RC_OK);
    void* gui = nullptr;
    ASSERT_EQ(object->QueryInterface(&IID_IMpUserInterface, &gui), RC_OK);
    auto* ui = static_cast<IMpUserInterface*>(gui);
    const float value = 1.0f;
    EXPECT_EQ(ui->initialiseGui(), RC_FAILED);
    EXPECT_EQ(ui->deliverPinValue(0, 0, sizeof value, &value), RC_FAILED);
    EXPECT_EQ(ui->signalPinChange(0, 0), RC_OK);  // the module goes on working
    EXPECT_EQ(ui->initialiseGui(), RC_FAILED);
    ui->Release();
    EXPECT_EQ(object->Release(), 0u);
}

TEST_P(EachFamily, AssignmentSendsOnlyAChangedValue) {
    IGuiProbe* v = probe->view;
    const uint8_t blob[3] = {1, 2, 3};
    struct Step {
        std::function<void()> assign;
        int32_t pin;
        std::optional<Bytes> sent;  // nullopt: nothing is sent
    };
    const Step steps[] = {
        {[&] { v->assignInt(probe::kInt, 0); }, probe::kInt, std::nullopt},  // the initial value
        {[&] { v->assignInt(probe::kInt, 5); }, probe::kInt, bytesOf(5)},
        {[&] { v->assignInt(probe::kInt, 5); }, probe::kInt, std::nullopt},
        {[&] { v->assignBool(probe::kBool, false); }, probe::kBool, std::nullopt},
        {[&] { v->assignBool(probe::kBool, true); }, probe::kBool, Bytes{1}},
        {[&] { v->assignText(probe::kText, u"", 0); }, probe::kText, std::nullopt},
        {[&] { v->assignText(probe::kText, u"ab", 2); }, probe::kText, bytesOf(u"ab")},
        {[&] { v->assignText(probe::kText, u"ac", 2); }, probe::kText, bytesOf(u"ac")},
        {[&] { v->assignText(probe::kText, u"ac", 2); }, probe::kText, std::nullopt},
        {[&] { v->assignBlob(probe::kBlob, nullptr, 0); }, probe::kBlob, std::nullopt},
        {[&] { v->assignBlob(probe::kBlob, blob, 3); }, probe::kBlob, Bytes{1, 2, 3}},
        {[&] { v->assignBlob(probe::kBlob, blob, 3); }, probe::kBlob, std::nullopt},
        {[&] { v->assignBlob(probe::kBlob, nullptr, 0); }, probe::kBlob, Bytes{}},
        {[&] { v->assignFloat(probe::kPlain, -0.0f); }, probe::kPlain, std::nullopt},  // -0.0 equals 0.0
        {[&] { v->assignFloat(probe::kPlain, 1.5f); }, probe::kPlain, bytesOf(1.5f)},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        probe->host.clear();
        steps[i].assign();
        const auto sends = probe->host.sends();
        if (!steps[i].sent) {
            EXPECT_TRUE(sends.empty()) << "step " << i;
            continue;
        }
        ASSERT_EQ(sends.size(), 1u) << "step " << i;
        EXPECT_EQ(sends[0].pinIndex, steps[i].pin) << "step " << i;
        EXPECT_EQ(sends[0].bytes, *steps[i].sent) << "step " << i;
        EXPECT_EQ(sends[0].voice, 0);
    }
    EXPECT_EQ(v->callbackRuns(probe::kInt), 0);  // a module's own assignment runs no callback
}

TEST_P(EachFamily, AValueSetBeforeTheHostIsKeptAndNotSent) {
    EXPECT_EQ(probe->sendCount(), 0u);
    EXPECT_EQ(probe->pin(probe::kPreset), bytesOf(7.5f));
    probe->view->assignFloat(probe::kPreset, 7.5f);
    EXPECT_EQ(probe->sendCount(), 0u);
    probe->view->assignFloat(probe::kPreset, 8.0f);
    EXPECT_EQ(probe->sendCount(), 1u);
}

// The raw setter, per type: (slot, value before, bytes stored, changed?, value after).
struct RawCase {
    const char* name;
    int32_t slot;
    Bytes before;
    Bytes stored;
    bool changed;
    Bytes after;
};

class RawStore : public ::testing::TestWithParam<RawCase> {};

const uint32_t kMinusZero = 0x80000000u;
const RawCase kRawCases[] = {
    {"BoolFourBytesSevenIsTrue", probe::kBool, Bytes{0}, bytesOf(7), true, Bytes{1}},
    {"BoolFourBytesAlwaysChanged", probe::kBool, bytesOf(7), bytesOf(7), true, Bytes{1}},
    {"BoolByteKeptAsDelivered", probe::kBool, Bytes{0}, Bytes{5}, true, Bytes{5}},
    {"BoolOtherTrueByteIsAChange", probe::kBool, Bytes{5}, Bytes{3}, true, Bytes{3}},
    {"BoolSameByteUnchanged", probe::kBool, Bytes{5}, Bytes{5}, false, Bytes{5}},
    {"BoolNoByteIsFalse", probe::kBool, Bytes{1}, Bytes{}, true, Bytes{0}},
    {"BoolTwoBytesKeepTheFirstAsDelivered", probe::kBool, Bytes{0}, Bytes{5, 0}, true, Bytes{5}},
    {"BoolTwoBytesAlwaysChanged", probe::kBool, Bytes{5}, Bytes{5, 0}, true, Bytes{5}},
    {"FloatMinusZeroOverZeroByBits", probe::kFloat, bytesOf(0.0f), bytesOf(&kMinusZero, 4), true,
     bytesOf(&kMinusZero, 4)},
    {"FloatSameBitsUnchanged", probe::kFloat, bytesOf(1.0f), bytesOf(1.0f), false, bytesOf(1.0f)},
    {"FloatTakesAtMostFourBytes", probe::kFloat, bytesOf(0.0f), Bytes{0, 0, 0x80, 0x3F, 9, 9, 9, 9}, true,
     bytesOf(1.0f)},
    {"FloatThreeBytesOverTheLowBytes", probe::kFloat, Bytes{1, 2, 3, 4}, Bytes{9, 9, 9}, true, Bytes{9, 9, 9, 4}},
    {"FloatNoBytesCopyNothingButChange", probe::kFloat, bytesOf(1.0f), Bytes{}, true, bytesOf(1.0f)},
    {"IntSameUnchanged", probe::kInt, bytesOf(9), bytesOf(9), false, bytesOf(9)},
    {"IntTwoBytesOverTheLowBytes", probe::kInt, bytesOf(0x12345678), Bytes{0xAA, 0xBB}, true, bytesOf(0x1234BBAA)},
    {"IntOneByteOverTheLowByte", probe::kInt, bytesOf(0x01020304), Bytes{5}, true, bytesOf(0x01020305)},
    {"IntSameShortBytesStillChange", probe::kInt, bytesOf(0x1234BBAA), Bytes{0xAA, 0xBB}, true, bytesOf(0x1234BBAA)},
    {"TextOddByteDropped", probe::kText, Bytes{}, Bytes{'a', 0, 'b', 0, 'c'}, true, bytesOf(u"ab")},
    {"TextSameUnitsUnchanged", probe::kText, bytesOf(u"ab"), bytesOf(u"ab"), false, bytesOf(u"ab")},
    {"TextSameLengthOtherUnits", probe::kText, bytesOf(u"ab"), bytesOf(u"ax"), true, bytesOf(u"ax")},
    {"BlobEmptyOverEmptyUnchanged", probe::kBlob, Bytes{}, Bytes{}, false, Bytes{}},
    {"BlobEmptyOverBytesFreesThem", probe::kBlob, Bytes{1, 2}, Bytes{}, true, Bytes{}},
    {"BlobSameSizeOtherBytes", probe::kBlob, Bytes{1, 2}, Bytes{1, 3}, true, Bytes{1, 3}},
};

TEST_P(RawStore, AnswersWhetherTheValueChanged) {
    auto lib = test::loadPlugin("gui_probe");
    ASSERT_TRUE(lib);
    Probe p(*lib, kFirst);
    const RawCase& c = GetParam();
    p.view->rawStore(c.slot, static_cast<int32_t>(c.before.size()), c.before.data());
    EXPECT_EQ(p.view->rawStore(c.slot, static_cast<int32_t>(c.stored.size()), c.stored.data()), c.changed ? 1 : 0);
    EXPECT_EQ(p.pin(c.slot), c.after);
    EXPECT_EQ(p.sendCount(), 0u);  // the host's own values are not sent back
}

INSTANTIATE_TEST_SUITE_P(Gui, RawStore, ::testing::ValuesIn(kRawCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A host may hand back the bytes a pin sent: a pointer into the pin's own
// storage, with a new size.
TEST_P(EachFamily, ValueReadFromThePinsOwnBytesAtANewSize) {
    const Bytes four{1, 2, 3, 4};
    probe->view->rawStore(probe::kBlob, 4, four.data());
    const Bytes text = bytesOf(u"abcdef");
    probe->view->rawStore(probe::kText, static_cast<int32_t>(text.size()), text.data());
    int32_t size = 0;
    const void* own = nullptr;
    probe->view->readPin(probe::kBlob, &size, &own);
    EXPECT_EQ(probe->deliverRaw(probe::kBlob, 2, own), RC_OK);
    EXPECT_EQ(probe->pin(probe::kBlob), (Bytes{1, 2}));
    probe->view->readPin(probe::kText, &size, &own);
    EXPECT_EQ(probe->deliverRaw(probe::kText, 4, own), RC_OK);
    EXPECT_EQ(probe->pin(probe::kText), bytesOf(u"ab"));
}

// The float comparison is fixed when a library is compiled.
struct Comparison {
    const char* library;
    bool nanIsSent;
};

class FloatComparison : public ::testing::TestWithParam<Comparison> {};

TEST_P(FloatComparison, NaNIsSentOnlyUnderIeee) {
    auto lib = test::loadPlugin(GetParam().library);
    ASSERT_TRUE(lib);
    Probe p(*lib, kSecond);
    p.view->assignFloat(probe::kPlain, kNaN);
    p.view->assignFloat(probe::kPlain, kNaN);
    EXPECT_EQ(p.sendCount(), GetParam().nanIsSent ? 2u : 0u);
    // Over a stored NaN an unordered comparison counts as equal: nothing moves.
    p.host.clear();
    p.view->rawStore(probe::kPlain, 4, &kNaN);
    p.view->assignFloat(probe::kPlain, 1.0f);
    EXPECT_EQ(p.sendCount(), GetParam().nanIsSent ? 1u : 0u);
    p.host.clear();
    p.view->assignFloat(probe::kFloat, -0.0f);
    EXPECT_EQ(p.sendCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Gui, FloatComparison,
                         ::testing::Values(Comparison{"gui_probe", false}, Comparison{"gui_probe_ieee", true}),
                         [](const auto& info) { return std::string(info.param.nanIsSent ? "Ieee" : "Unordered"); });

// Attachment of each family.
class Attach : public test::LibraryTest {
protected:
    Attach() : LibraryTest("gui_probe") {}
};

TEST_F(Attach, FirstFamilyWithoutGuiHostFailsCreationAndLeavesNothing) {
    Probe witness(*lib, kFirst);
    const int32_t live = witness.view->liveModules();
    RecordingGuiHost refusing;
    refusing.answersGuiHost = false;
    for (IMpUnknown* host : {refusing.unknown(), static_cast<IMpUnknown*>(nullptr)}) {
        IMpUnknown* out = witness.host.unknown();  // must be cleared
        EXPECT_EQ(lib->create(u"Probe1", SUBTYPE_GUI_V1, host, &out), RC_FAILED);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(witness.view->liveModules(), live);
    }
}

TEST_F(Attach, SecondFamilyWithoutGuiHost2AnswersNotFoundAndSendsNothing) {
    RecordingGuiHost refusing;
    refusing.answersGuiHost2 = false;
    IMpUnknown* out = nullptr;
    ASSERT_EQ(lib->createBare(u"Probe2", SUBTYPE_GUI_V2, &out), RC_OK);
    GuiModule module(out);
    EXPECT_EQ(module.attach(refusing), RC_NOT_FOUND);
    EXPECT_EQ(host::attachGuiHost(out, nullptr), RC_NOT_FOUND);
    auto* view = host::queryInterface<IGuiProbe>(out, probe::IID_IGuiProbe);
    ASSERT_NE(view, nullptr);
    view->assignFloat(probe::kPlain, 2.0f);
    EXPECT_TRUE(refusing.sends().empty());
    RecordingGuiHost good;
    EXPECT_EQ(module.attach(good), RC_OK);
    view->assignFloat(probe::kPlain, 3.0f);
    EXPECT_EQ(good.sends().size(), 1u);
    view->Release();
}

TEST_F(Attach, SecondFamilyGetsItsHostOnlyFromAttachHost) {
    RecordingGuiHost host;
    IMpUnknown* out = nullptr;
    ASSERT_EQ(lib->create(u"Probe2", SUBTYPE_GUI_V2, host.unknown(), &out), RC_OK);
    GuiModule module(out);
    auto* view = host::queryInterface<IGuiProbe>(out, probe::IID_IGuiProbe);
    ASSERT_NE(view, nullptr);
    view->assignFloat(probe::kPlain, 2.0f);
    EXPECT_TRUE(host.sends().empty());
    EXPECT_EQ(module.attach(host), RC_OK);
    view->assignFloat(probe::kPlain, 3.0f);
    EXPECT_EQ(host.sends().size(), 1u);
    view->Release();
}

TEST_F(Attach, FirstFamilyCreatedBareStoresAndSendsNothing) {
    IMpUnknown* out = nullptr;
    ASSERT_EQ(lib->createBare(u"Probe1", SUBTYPE_GUI_V1, &out), RC_OK);
    GuiModule module(out);
    auto* view = host::queryInterface<IGuiProbe>(out, probe::IID_IGuiProbe);
    ASSERT_NE(view, nullptr);
    view->assignInt(probe::kInt, 4);
    int32_t size = 0;
    const void* data = nullptr;
    view->readPin(probe::kInt, &size, &data);
    EXPECT_EQ(bytesOf(data, size), bytesOf(4));
    view->Release();
}

}  // namespace
