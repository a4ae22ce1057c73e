// What each entry point does with input a host should not send but may: the
// result code, what the module keeps and what it sends on. Probes are the
// plainest modules: downlink's float converter (DSP pin 0 in, pin 1 out; GUI
// pin 1 copied to pin 0), uplink's voltage readers, a growing guikit gate and
// a meter.
#include <algorithm>
#include <bit>
#include <cmath>
#include <ostream>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dsp_host.h"
#include "gui_host.h"
#include "harness.h"
#include "paint_target.h"

namespace {

using namespace ovra;
using namespace ovra::host;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// ---------------------------------------------------------------------------
// processBlock

// One DSP probe on a recording host, past its first block (EV_START).
struct DspProbe {
    explicit DspProbe(const char* lib, const char16_t* id) {
        IMpUnknown* made = nullptr;
        EXPECT_EQ(fuzz::library(lib).create(id, SUBTYPE_DSP, host.unknown(), &made), RC_OK);
        module = std::make_unique<DspModule>(made, host);
        module->process(4, EventList().start());
        host.clear();
    }
    std::vector<DspCall> publishes() const { return host.callsOf(DspCall::Publish); }

    RecordingDspHost host;
    std::unique_ptr<DspModule> module;
};

struct EventCase {
    const char* name;
    int32_t blockSize;
    void (*build)(EventList&);
    std::vector<std::pair<int32_t, float>> published;  // (offset, value) on pin 1
};

void valueRecord(EventList& list, int32_t offset, int32_t size, const void* pointer, float inlineValue) {
    list.add(offset, EV_PIN_VALUE, 0, size, pointer);
    std::memcpy(list.last().inlineValue, &inlineValue, 4);
}

const float kTwo = 2.0f;
const uint8_t kTwelveBytes[12] = {0x00, 0x00, 0x00, 0x40, 9, 9, 9, 9, 9, 9, 9, 9};  // 2.0f first

const EventCase kEventCases[] = {
    {"NegativeSizeIsIgnored", 10, [](EventList& l) { valueRecord(l, 0, -4, nullptr, 1.5f); }, {}},
    {"NegativeSizeWithPointerIsIgnored", 10, [](EventList& l) { valueRecord(l, 0, -1, &kTwo, 1.5f); }, {}},
    {"SizeBeyondInlineWithoutPointerIsIgnored", 10, [](EventList& l) { valueRecord(l, 0, 12, nullptr, 1.5f); }, {}},
    {"HugeSizeWithoutPointerIsIgnored", 10,
     [](EventList& l) { valueRecord(l, 0, std::numeric_limits<int32_t>::max(), nullptr, 1.5f); }, {}},
    {"LongValueGivesItsFirstFourBytes", 10, [](EventList& l) { valueRecord(l, 0, 12, kTwelveBytes, 0.0f); }, {{0, 2.0f}}},
    {"ShortValueIsTheLowBytesOfZero", 10,
     [](EventList& l) { valueRecord(l, 0, 1, nullptr, std::bit_cast<float>(0x3F8000FFu)); },
     {{0, std::bit_cast<float>(0x000000FFu)}}},
    {"EmptyValueIsZeroAndSendsNothing", 10, [](EventList& l) { valueRecord(l, 0, 0, nullptr, 1.5f); }, {}},
    {"EventBeyondTheBlockIsNotDelivered", 10, [](EventList& l) { l.value(100, 0, 1.5f); }, {}},
    {"EventAtTheBlockEndIsNotDelivered", 10, [](EventList& l) { l.value(10, 0, 1.5f); }, {}},
    {"EventBeforeTheBlockIsDeliveredAtItsStart", 10, [](EventList& l) { l.value(-5, 0, 1.5f); }, {{0, 1.5f}}},
    {"EventOutOfOrderJoinsTheGroupWhereTheWalkIs", 10,
     [](EventList& l) { l.value(8, 0, 1.5f).value(3, 0, 2.5f); }, {{8, 2.5f}}},
    {"UnknownPinUnknownKindAndUnknownIndexAreSkipped", 10,
     [](EventList& l) {
         l.value(0, 7, 1.5f).value(0, -1, 1.5f).value(0, std::numeric_limits<int32_t>::min(), 1.5f);
         valueRecord(l, 1, 4, nullptr, 1.5f);
         l.last().kind = 999;
     },
     {}},
    {"NegativeBlockSizeIsAnEmptyBlock", -5, [](EventList& l) { l.value(0, 0, 1.5f); }, {{0, 1.5f}}},
    {"NaNValueIsNeverPassedOn", 10, [](EventList& l) { l.value(0, 0, kNaN); }, {}},
    {"InfiniteValueIsPassedOn", 10, [](EventList& l) { l.value(0, 0, kInf); }, {{0, kInf}}},
};

void PrintTo(const EventCase& c, std::ostream* os) { *os << c.name; }

class ProcessBlockMistake : public testing::TestWithParam<EventCase> {};

TEST_P(ProcessBlockMistake, KeepsToTheBlockAndSendsOnlyWhatWasReadable) {
    DspProbe probe("downlink", u"ZVR_GUIFloat2Float");
    EventList events;
    GetParam().build(events);
    probe.module->process(GetParam().blockSize, events);
    const auto sent = probe.publishes();
    ASSERT_EQ(sent.size(), GetParam().published.size());
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].pinIndex, 1);
        EXPECT_EQ(sent[i].sampleOffset, GetParam().published[i].first);
        EXPECT_EQ(bitsOf(floatOf(sent[i].bytes)), bitsOf(GetParam().published[i].second));
    }
}

INSTANTIATE_TEST_SUITE_P(Downlink, ProcessBlockMistake, testing::ValuesIn(kEventCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Samples no audio signal should carry, read by the voltage readers.
struct SampleCase {
    const char16_t* id;
    float sample;
    Bytes expected;
};

void PrintTo(const SampleCase& c, std::ostream* os) { *os << toUtf8(c.id) << " " << c.sample; }

class ImpossibleSample : public testing::TestWithParam<SampleCase> {};

TEST_P(ImpossibleSample, ReadsAsADefinedValue) {
    DspProbe probe("uplink", GetParam().id);
    std::vector<float>& in = probe.module->buffer(1);
    std::fill(in.begin(), in.begin() + 64, GetParam().sample);
    probe.module->process(64, EventList().streamOn(0, 1));
    const auto sent = probe.publishes();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back().bytes, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Uplink, ImpossibleSample,
    testing::Values(SampleCase{u"ZVR_Volt2GUIInt", kNaN, bytesOf(std::numeric_limits<int32_t>::min())},
                    SampleCase{u"ZVR_Volt2GUIInt", kInf, bytesOf(std::numeric_limits<int32_t>::min())},
                    SampleCase{u"ZVR_Volt2GUIInt", -kInf, bytesOf(std::numeric_limits<int32_t>::min())},
                    SampleCase{u"ZVR_Volt2GUIInt", 3e9f, bytesOf(std::numeric_limits<int32_t>::min())},
                    SampleCase{u"ZVR_Volt2GUIBool", kNaN, bytesOf(true)},
                    SampleCase{u"ZVR_Volt2GUIFloat", kInf, bytesOf(kInf)}));

TEST(DspHostMistake, HostWithoutTheDspInterfaceLeavesAModuleThatSendsNothing) {
    RecordingDspHost h;
    h.answersDspHost = false;
    IMpUnknown* made = nullptr;
    ASSERT_EQ(fuzz::library("downlink").createBare(u"ZVR_GUIFloat2Float", SUBTYPE_DSP, &made), RC_OK);
    auto* plugin = queryInterface<IMpPlugin2>(made, IID_IMpPlugin2);
    made->Release();
    EXPECT_EQ(plugin->attachHost(h.unknown()), RC_NOT_FOUND);
    EXPECT_EQ(plugin->attachHost(nullptr), RC_NOT_FOUND);
    EventList events;
    events.start().value(0, 0, 1.5f);
    plugin->processBlock(16, events.head());
    EXPECT_EQ(h.count(DspCall::Publish), 0u);
    EXPECT_EQ(plugin->Release(), 0u);
    EXPECT_EQ(h.references, 1);
}

TEST(DspHostMistake, BufferForAPinThatIsNotThereFailsAndANullBufferIsSilence) {
    DspProbe probe("downlink", u"ZVR_GUIFloat2Volt");
    IMpPlugin2* p = probe.module->plugin();
    EXPECT_EQ(p->assignPinBuffer(2, nullptr), RC_FAILED);
    EXPECT_EQ(p->assignPinBuffer(-1, nullptr), RC_FAILED);
    EXPECT_EQ(p->assignPinBuffer(1, nullptr), RC_OK);
    p->processBlock(64, EventList().value(0, 0, 0.5f).head());  // writes nowhere
    EXPECT_EQ(probe.host.count(DspCall::Streaming), 1u);
}

// ---------------------------------------------------------------------------
// deliverPinValue and signalPinChange

struct DeliveryCase {
    const char* name;
    int32_t pin;
    int32_t size;
    bool withData;
    Bytes data;
    int32_t result;
    std::vector<Bytes> sentOnPin0;  // after signalPinChange on pin 1
};

const DeliveryCase kDeliveryCases[] = {
    {"UnknownIndexFails", 9, 4, true, bytesOf(1.5f), RC_FAILED, {}},
    {"NegativeIndexFails", -1, 4, true, bytesOf(1.5f), RC_FAILED, {}},
    {"NegativeSizeFailsAndKeepsTheValue", 1, -4, true, bytesOf(1.5f), RC_FAILED, {}},
    {"SizeWithoutBytesFailsAndKeepsTheValue", 1, 4, false, {}, RC_FAILED, {}},
    {"EmptyValueKeepsTheValueHeld", 1, 0, false, {}, RC_OK, {}},
    {"ShortValueReplacesTheLowBytesOfTheValueHeld", 1, 2, true, Bytes{0x01, 0x00}, RC_OK, {bytesOf(std::bit_cast<float>(1u))}},
    {"LongValueGivesItsFirstFourBytes", 1, 12, true, Bytes{0, 0, 0, 0x40, 7, 7, 7, 7, 7, 7, 7, 7}, RC_OK,
     {bytesOf(2.0f)}},
    {"NaNIsNeverPassedOn", 1, 4, true, bytesOf(kNaN), RC_OK, {}},
};

void PrintTo(const DeliveryCase& c, std::ostream* os) { *os << c.name; }

class DeliveryMistake : public testing::TestWithParam<DeliveryCase> {};

TEST_P(DeliveryMistake, AnswersAndPassesOnOnlyWhatWasReadable) {
    const DeliveryCase& c = GetParam();
    RecordingGuiHost h;
    IMpUnknown* made = nullptr;
    ASSERT_EQ(fuzz::library("downlink").createBare(u"ZVR_GUIFloat2Float", SUBTYPE_GUI_V2, &made), RC_OK);
    auto* gui = queryInterface<IMpUserInterface2B>(made, IID_IMpUserInterface2B);
    made->Release();
    ASSERT_EQ(gui->attachHost(h.unknown()), RC_OK);
    EXPECT_EQ(gui->deliverPinValue(c.pin, 0, c.size, c.withData ? c.data.data() : nullptr), c.result);
    EXPECT_EQ(gui->signalPinChange(c.pin, 0), c.pin == 1 ? RC_OK : RC_FAILED);
    std::vector<Bytes> sent;
    for (const auto& s : h.sends(0))
        sent.push_back(s.bytes);
    EXPECT_EQ(sent, c.sentOnPin0);
    EXPECT_EQ(gui->Release(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Downlink, DeliveryMistake, testing::ValuesIn(kDeliveryCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Sizes that do not fit the type: text drops an odd last byte, a bool of
// four bytes is an int (non-zero is true), a bool of any other size is its
// first byte, passed on as delivered.
struct OddSizeCase {
    const char16_t* id;
    Bytes delivered;
    Bytes sent;
};

void PrintTo(const OddSizeCase& c, std::ostream* os) { *os << toUtf8(c.id) << " " << c.delivered.size() << " bytes"; }

class OddSize : public testing::TestWithParam<OddSizeCase> {};

TEST_P(OddSize, ReachesTheOtherSideAsItsTypeReadsIt) {
    const OddSizeCase& c = GetParam();
    {  // GUI half: pin 1 to pin 0
        RecordingGuiHost h;
        IMpUnknown* made = nullptr;
        ASSERT_EQ(fuzz::library("downlink").createBare(c.id, SUBTYPE_GUI_V2, &made), RC_OK);
        auto* gui = queryInterface<IMpUserInterface2B>(made, IID_IMpUserInterface2B);
        made->Release();
        gui->attachHost(h.unknown());
        EXPECT_EQ(gui->deliverPinValue(1, 0, static_cast<int32_t>(c.delivered.size()), c.delivered.data()), RC_OK);
        gui->signalPinChange(1, 0);
        ASSERT_EQ(h.sends(0).size(), 1u);
        EXPECT_EQ(h.sends(0)[0].bytes, c.sent);
        gui->Release();
    }
    {  // DSP half: pin 0 to pin 1, the value by pointer
        DspProbe probe("downlink", c.id);
        probe.module->process(8, EventList().add(0, EV_PIN_VALUE, 0, static_cast<int32_t>(c.delivered.size()),
                                                 c.delivered.data()));
        ASSERT_EQ(probe.publishes().size(), 1u);
        EXPECT_EQ(probe.publishes()[0].bytes, c.sent);
    }
}

INSTANTIATE_TEST_SUITE_P(Downlink, OddSize,
                         testing::Values(OddSizeCase{u"ZVR_GUIText2Text", Bytes{'a', 0, 'b', 0, 'c', 0, 'd'},
                                                     Bytes{'a', 0, 'b', 0, 'c', 0}},
                                         OddSizeCase{u"ZVR_GUIBool2Bool", Bytes{0, 0, 0, 1}, Bytes{1}},
                                         OddSizeCase{u"ZVR_GUIBool2Bool", Bytes{7, 0, 0, 0, 0, 0, 0, 0}, Bytes{7}}));

TEST(DeliveryMistake, GrowingInputListStopsAtItsBound) {
    RecordingGuiHost h;
    IMpUnknown* made = nullptr;
    ASSERT_EQ(fuzz::library("guikit").create(u"WB-LogicGateB-AND-SDK3", SUBTYPE_GUI_V1, h.unknown(), &made), RC_OK);
    auto* gui = queryInterface<IMpUserInterface>(made, IID_IMpUserInterface);
    made->Release();
    const uint8_t yes = 1;
    EXPECT_EQ(gui->deliverPinValue(std::numeric_limits<int32_t>::max(), 0, 1, &yes), RC_FAILED);
    EXPECT_EQ(gui->deliverPinValue(1026, 0, 1, &yes), RC_FAILED);
    EXPECT_EQ(gui->deliverPinValue(1025, 0, 1, &yes), RC_OK);
    EXPECT_EQ(gui->signalPinChange(1026, 0), RC_FAILED);
    EXPECT_EQ(gui->Release(), 0u);
}

TEST(DrawingMistake, NullSizeNullPlacementAndNullContextChangeNothing) {
    RecordingGuiHost h;
    IMpUnknown* made = nullptr;
    ASSERT_EQ(fuzz::library("guikit").create(u"WB-Meter-Float-SDK3", SUBTYPE_GUI_V1, h.unknown(), &made), RC_OK);
    auto* drawn = queryInterface<IQvGraphicsComposited>(made, IID_IQvGraphicsComposited);
    made->Release();
    EXPECT_EQ(drawn->measure(GuiSize{50, 50}, nullptr), RC_FAILED);
    EXPECT_EQ(drawn->arrange(nullptr), RC_FAILED);
    EXPECT_EQ(drawn->onPaint(nullptr), RC_OK);
    const GuiRect huge{std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(),
                       std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()};
    EXPECT_EQ(drawn->arrange(&huge), RC_OK);
    fuzz::PaintTarget surface;
    EXPECT_EQ(surface.paint(drawn), RC_OK);
    EXPECT_EQ(drawn->Release(), 0u);
}

// ---------------------------------------------------------------------------
// Factory

struct CreationCase {
    const char* name;
    const char16_t* id;
    int32_t subType;
    int32_t result;
};

const CreationCase kCreationCases[] = {
    {"NullIdentifier", nullptr, SUBTYPE_DSP, RC_NOT_FOUND},
    {"EmptyIdentifier", u"", SUBTYPE_DSP, RC_NOT_FOUND},
    {"CaseOfOneLetter", u"zVR_GUIFloat2Float", SUBTYPE_DSP, RC_NOT_FOUND},
    {"TrailingSpace", u"ZVR_GUIFloat2Float ", SUBTYPE_DSP, RC_NOT_FOUND},
    {"Prefix", u"ZVR_GUIFloat2", SUBTYPE_DSP, RC_NOT_FOUND},
    {"OtherLibrarysIdentifier", u"ZVR_Float2GUIFloat", SUBTYPE_DSP, RC_NOT_FOUND},
    {"FirstFamilySubType", u"ZVR_GUIFloat2Float", SUBTYPE_GUI_V1, RC_NOT_FOUND},
    {"NegativeSubType", u"ZVR_GUIFloat2Float", -1, RC_NOT_FOUND},
    {"LargestSubType", u"ZVR_GUIFloat2Float", std::numeric_limits<int32_t>::max(), RC_NOT_FOUND},
    {"Registered", u"ZVR_GUIFloat2Float", SUBTYPE_DSP, RC_OK},
};

void PrintTo(const CreationCase& c, std::ostream* os) { *os << c.name; }

class CreationMistake : public testing::TestWithParam<CreationCase> {};

TEST_P(CreationMistake, AnswersBothOperationsAlike) {
    IMpFactory2* f = fuzz::library("downlink").factory();
    RecordingDspHost h;
    for (bool bare : {false, true}) {
        IMpUnknown* made = reinterpret_cast<IMpUnknown*>(1);
        const int32_t rc = bare ? f->instantiateBare(GetParam().id, GetParam().subType, &made)
                                : f->instantiate(GetParam().id, GetParam().subType, h.unknown(), &made);
        EXPECT_EQ(rc, GetParam().result) << (bare ? "instantiateBare" : "instantiate");
        EXPECT_EQ(made != nullptr, rc == RC_OK);
        if (made != nullptr)
            made->Release();
    }
    EXPECT_EQ(h.references, 1);
}

INSTANTIATE_TEST_SUITE_P(Downlink, CreationMistake, testing::ValuesIn(kCreationCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CreationMistake, NowhereToPutTheModuleFails) {
    IMpFactory2* f = fuzz::library("downlink").factory();
    EXPECT_EQ(f->instantiate(u"ZVR_GUIFloat2Float", SUBTYPE_DSP, nullptr, nullptr), RC_FAILED);
    EXPECT_EQ(f->instantiateBare(u"ZVR_GUIFloat2Float", SUBTYPE_DSP, nullptr), RC_FAILED);
}

TEST(CreationMistake, FirstFamilyModuleWithoutAHostFailsAndLeavesNothing) {
    IMpUnknown* made = reinterpret_cast<IMpUnknown*>(1);
    EXPECT_EQ(fuzz::library("guikit").factory()->instantiate(u"WB-MathSDK3", SUBTYPE_GUI_V1, nullptr, &made),
              RC_FAILED);
    EXPECT_EQ(made, nullptr);
}

struct BuildTextCase {
    int32_t maxChars;
    std::u16string written;  // what the buffer holds up to its NUL; "#" = untouched
};

void PrintTo(const BuildTextCase& c, std::ostream* os) { *os << "maxChars " << c.maxChars; }

class DescribeBuildMistake : public testing::TestWithParam<BuildTextCase> {};

TEST_P(DescribeBuildMistake, NeverWritesBeyondMaxChars) {
    const int32_t n = GetParam().maxChars;
    std::vector<wchar> text(n > 0 ? static_cast<size_t>(n) : 1, u'#');
    int32_t version = 0;
    EXPECT_EQ(fuzz::library("adsr").factory()->describeBuild(&version, n, text.data()), RC_OK);
    EXPECT_EQ(version, 30800);
    EXPECT_EQ(std::u16string(text.data(), std::find(text.begin(), text.end(), u'\0') - text.begin()),
              GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(Adsr, DescribeBuildMistake,
                         testing::Values(BuildTextCase{std::numeric_limits<int32_t>::min(), u"#"},
                                         BuildTextCase{-1, u"#"}, BuildTextCase{0, u"#"}, BuildTextCase{1, u""},
                                         BuildTextCase{5, u"MS C"},
                                         BuildTextCase{27, u"MS Compiler V1937 (Release"},
                                         BuildTextCase{28, u"MS Compiler V1937 (Release)"}));

TEST(DescribeBuildMistake, NullVersionOrNullTextIsSkipped) {
    IMpFactory2* f = fuzz::library("adsr").factory();
    wchar text[32] = {};
    int32_t version = 0;
    EXPECT_EQ(f->describeBuild(nullptr, 32, text), RC_OK);
    EXPECT_EQ(std::u16string(text), u"MS Compiler V1937 (Release)");
    EXPECT_EQ(f->describeBuild(&version, std::numeric_limits<int32_t>::max(), nullptr), RC_OK);
    EXPECT_EQ(version, 30800);
}

TEST(QueryMistake, NullIdentifierOrNullOutAnswersNotFound) {
    IMpFactory2* f = fuzz::library("guikit").factory();
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(f->QueryInterface(nullptr, &out), RC_NOT_FOUND);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(f->QueryInterface(&IID_IMpFactory, nullptr), RC_NOT_FOUND);
    DspProbe probe("adsr", u"QV ADSR4");
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(probe.module->plugin()->QueryInterface(nullptr, &out), RC_NOT_FOUND);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(probe.module->plugin()->QueryInterface(&IID_IMpPlugin, nullptr), RC_NOT_FOUND);
}

}  // namespace
