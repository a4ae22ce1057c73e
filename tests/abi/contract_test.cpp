// The four built libraries, driven the way a host compiled elsewhere drives
// them: identifiers from their written text, operations by table position,
// event records by byte offset, host interfaces as tables of function
// pointers. Nothing of the framework is included, so a constant that is wrong
// in the framework is wrong here only if it is also wrong in the contract.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <stdexcept>

#include "descriptions.h"
#include "raw_abi.h"

namespace rawabi {
namespace {

using namespace code;

// ------------------------------------------------------------ the libraries

struct LibraryFacts {
    const char* name;
    size_t modules;
    std::vector<int> subTypes;  // each module registers exactly these
};

const LibraryFacts kLibraries[] = {
    {"uplink", 7, {kSubtypeDsp, kSubtypeGuiV2}},
    {"downlink", 7, {kSubtypeDsp, kSubtypeGuiV2}},
    {"guikit", 42, {kSubtypeGuiV1}},
    {"adsr", 1, {kSubtypeDsp}},
};

void PrintTo(const LibraryFacts& f, std::ostream* os) { *os << f.name; }

std::string plainName(const testing::TestParamInfo<LibraryFacts>& info) { return info.param.name; }

// The factory through the library's one export, or null (failing the test).
void* factoryOf(const std::string& library) {
    std::string error;
    Library* lib = Library::get(library, error);
    EXPECT_NE(lib, nullptr) << error;
    if (lib == nullptr) return nullptr;
    auto getFactory = reinterpret_cast<int32_t (*)(void**)>(lib->symbol("MP_GetFactory"));
    EXPECT_NE(getFactory, nullptr) << library << " does not export MP_GetFactory";
    if (getFactory == nullptr) return nullptr;
    void* factory = nullptr;
    EXPECT_EQ(getFactory(&factory), kOk);
    return factory;
}

// Factory positions: 4 instantiate, 5 describeBuild, 6 instantiateBare.
int32_t instantiate(void* factory, const std::u16string& id, int32_t subType, void* host, void** out) {
    return callSlot<int32_t>(factory, 4, id.c_str(), subType, host, out);
}
int32_t instantiateBare(void* factory, const std::u16string& id, int32_t subType, void** out) {
    return callSlot<int32_t>(factory, 6, id.c_str(), subType, out);
}

// Releases through the given pointer until the object is gone; answers how
// many releases that took.
int releaseAll(void* object) {
    int n = 1;
    while (release(object) != 0) {
        if (++n > 100) break;
    }
    return n;
}

// A stand-in for "any pointer": QueryInterface must overwrite it.
void* const kPoison = reinterpret_cast<void*>(static_cast<uintptr_t>(0x5A5A5A5A));

// Every identifier of the contract that `answered` does not list, and a near
// miss of every one that it does, must answer -2 with a null out pointer.
void expectOnlyAnswers(void* object, const std::vector<const Guid*>& answered, const std::string& what) {
    for (const NamedGuid& named : allIdentifiers()) {
        const bool yes = std::find(answered.begin(), answered.end(), named.id) != answered.end();
        if (yes) {
            void* out = kPoison;
            EXPECT_EQ(queryInterface(object, lastByteFlipped(*named.id), &out), kNotFound)
                << what << ": a near miss of " << named.name;
            EXPECT_EQ(out, nullptr) << what << ": near miss of " << named.name;
            continue;
        }
        void* out = kPoison;
        EXPECT_EQ(queryInterface(object, *named.id, &out), kNotFound) << what << " answers " << named.name;
        EXPECT_EQ(out, nullptr) << what << ": " << named.name;
    }
}

// Queries and expects success; answers the interface pointer (one reference
// taken).
void* expectInterface(void* object, const Guid& id, const std::string& what) {
    void* out = kPoison;
    EXPECT_EQ(queryInterface(object, id, &out), kOk) << what << " for " << guidText(id);
    EXPECT_NE(out, kPoison);
    EXPECT_NE(out, nullptr) << what;
    return out == kPoison ? nullptr : out;
}

// Every described half of a library, as test parameters.
struct Half {
    std::string library;
    ModuleDescription module;
    HalfDescription half;
};

void PrintTo(const Half& h, std::ostream* os) { *os << h.library << " " << h.module.name << " sub-type " << h.half.subType; }

std::vector<Half> describedHalves(const std::string& library, int subType) {
    std::vector<Half> halves;
    try {
        for (const ModuleDescription& m : readDescriptions(pluginDir(), library))
            for (const HalfDescription& h : m.halves)
                if (h.subType == subType) halves.push_back({library, m, h});
    } catch (const std::exception&) {
        // Libraries.DescriptionsListEveryModule reports the reason.
    }
    return halves;
}

std::vector<Half> halvesOf(std::initializer_list<const char*> libraries, int subType) {
    std::vector<Half> all;
    for (const char* library : libraries) {
        auto some = describedHalves(library, subType);
        all.insert(all.end(), some.begin(), some.end());
    }
    return all;
}

std::string halfName(const testing::TestParamInfo<Half>& info) {
    std::string name = info.param.library + "_" + info.param.module.name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

const PinDescription* pinAt(const HalfDescription& half, int index) {
    for (const PinDescription& p : half.pins)
        if (p.index == index) return &p;
    return nullptr;
}

int pinCount(const HalfDescription& half) {
    int n = 0;
    for (const PinDescription& p : half.pins) n = std::max(n, p.index + 1);
    return n;
}

// Bytes a value of this type travels as when the module sends it.
bool sizeFitsType(const std::string& type, size_t size) {
    if (type == "float" || type == "int") return size == 4;
    if (type == "bool") return size == 1;
    if (type == "text") return size % 2 == 0;
    return type == "blob";
}

template <class T>
std::vector<uint8_t> bytesOf(const T& v) {
    std::vector<uint8_t> out(sizeof v);
    std::memcpy(out.data(), &v, sizeof v);
    return out;
}

// A non-zero value of each pin type, as the host sends it.
std::vector<uint8_t> sampleValue(const std::string& type) {
    if (type == "float") return bytesOf(2.5f);
    if (type == "int") return bytesOf(int32_t{7});
    if (type == "bool") return {1};
    if (type == "text") return {'a', 0, 'b', 0, 'c', 0};
    if (type == "blob") return {1, 2, 3};
    return {};
}

std::vector<HostCall> callsNamed(const FakeHost& host, const std::string& operation) {
    std::vector<HostCall> out;
    for (const HostCall& c : host.calls)
        if (c.operation == operation) out.push_back(c);
    return out;
}

// ------------------------------------------------------------ identifiers

TEST(Identifiers, TextBecomesTheWindowsGuidLayout) {
    const struct {
        const char* text;
        uint8_t bytes[16];
    } cases[] = {
        {"{00000000-0000-C000-0000-000000000046}", {0, 0, 0, 0, 0, 0, 0x00, 0xC0, 0, 0, 0, 0, 0, 0, 0, 0x46}},
        {"9a7904b7-7f7f-4d61-b558-c1a6695bb638",  // lower case, no braces
         {0xB7, 0x04, 0x79, 0x9A, 0x7F, 0x7F, 0x61, 0x4D, 0xB5, 0x58, 0xC1, 0xA6, 0x69, 0x5B, 0xB6, 0x38}},
    };
    for (const auto& c : cases) EXPECT_EQ(0, std::memcmp(parseGuid(c.text).bytes, c.bytes, 16)) << c.text;
    for (const char* bad : {"", "{9A7904B7-7F7F-4D61-B558-C1A6695BB63}", "9A7904B7-7F7F-4D61-B558+C1A6695BB638",
                            "9A7904B7-7F7F-4D61-B558-C1A6695BB63G"})
        EXPECT_THROW(parseGuid(bad), std::invalid_argument) << bad;
}

TEST(Identifiers, AllEighteenAreDistinct) {
    std::set<std::string> seen;
    for (const NamedGuid& named : allIdentifiers()) seen.insert(guidText(*named.id));
    EXPECT_EQ(seen.size(), 18u);
}

// ------------------------------------------------------------ libraries

class Libraries : public testing::TestWithParam<LibraryFacts> {};

TEST_P(Libraries, DescriptionsListEveryModule) {
    std::vector<ModuleDescription> modules;
    ASSERT_NO_THROW(modules = readDescriptions(pluginDir(), GetParam().name));
    EXPECT_EQ(modules.size(), GetParam().modules);
    for (const ModuleDescription& m : modules) {
        std::vector<int> subTypes;
        for (const HalfDescription& h : m.halves) subTypes.push_back(h.subType);
        EXPECT_EQ(subTypes, GetParam().subTypes) << m.name;
    }
}

TEST_P(Libraries, EveryModuleExistsUnderItsSubTypesOnly) {
    void* factory = factoryOf(GetParam().name);
    ASSERT_NE(factory, nullptr);
    for (const ModuleDescription& m : readDescriptions(pluginDir(), GetParam().name)) {
        for (int subType : {kSubtypeDsp, kSubtypeGuiV1, kSubtypeGuiV2, 3, -1}) {
            const auto& mine = GetParam().subTypes;
            const bool registered = std::find(mine.begin(), mine.end(), subType) != mine.end();
            void* out = kPoison;
            const int32_t rc = instantiateBare(factory, m.id, subType, &out);
            if (!registered) {
                EXPECT_EQ(rc, kNotFound) << m.name << " sub-type " << subType;
                EXPECT_EQ(out, nullptr);
                continue;
            }
            EXPECT_EQ(rc, kOk) << m.name << " sub-type " << subType;
            ASSERT_NE(out, nullptr) << m.name;
            ASSERT_NE(out, kPoison);
            EXPECT_EQ(release(out), 0u) << m.name << ": a new object holds one reference";
        }
        // Identifiers match code unit by code unit.
        std::u16string other = m.id;
        other.back() = other.back() == u'3' ? u'4' : u'3';
        void* out = kPoison;
        EXPECT_EQ(instantiateBare(factory, other, GetParam().subTypes.front(), &out), kNotFound);
        EXPECT_EQ(out, nullptr);
    }
}

TEST_P(Libraries, FactoryAnswersItsThreeIdentifiersWithItself) {
    void* factory = factoryOf(GetParam().name);
    ASSERT_NE(factory, nullptr);
    void* again = factoryOf(GetParam().name);
    EXPECT_EQ(again, factory);
    for (const Guid* id : {&iid::kUnknown, &iid::kFactory, &iid::kFactory2}) {
        void* out = kPoison;
        EXPECT_EQ(queryInterface(factory, *id, &out), kOk) << guidText(*id);
        EXPECT_EQ(out, factory);
    }
    expectOnlyAnswers(factory, {&iid::kUnknown, &iid::kFactory, &iid::kFactory2}, "factory");
    // The factory does not count.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(addRef(factory), 1u);
        EXPECT_EQ(release(factory), 1u);
        EXPECT_EQ(release(factory), 1u);
    }
}

TEST_P(Libraries, FactoryCreationPositions) {
    void* factory = factoryOf(GetParam().name);
    ASSERT_NE(factory, nullptr);
    void* out = kPoison;
    FakeHost host;
    EXPECT_EQ(instantiate(factory, u"no such module", GetParam().subTypes.front(), host.unknown(), &out), kNotFound);
    EXPECT_EQ(out, nullptr);
    out = kPoison;
    EXPECT_EQ(instantiateBare(factory, u"", GetParam().subTypes.front(), &out), kNotFound);
    EXPECT_EQ(out, nullptr);

    int32_t version = 0;
    char16_t text[40] = {};
    EXPECT_EQ(callSlot<int32_t>(factory, 5, &version, int32_t{40}, text), kOk);
    EXPECT_EQ(version, 30800);
    const std::u16string written(text);
    EXPECT_EQ(written.size(), 27u);
    EXPECT_EQ(written.substr(0, 13), u"MS Compiler V");
    EXPECT_EQ(written.substr(17), u" (Release)");
}

INSTANTIATE_TEST_SUITE_P(Each, Libraries, testing::ValuesIn(kLibraries), plainName);

// ------------------------------------------------------------ DSP halves

// IMpPlugin positions: 4 activate, 5 assignPinBuffer, 6 processBlock,
// 7 deliverMessage. IMpPlugin2: 4 attachHost, then the same four shifted by
// one.
class DspHalf : public testing::TestWithParam<Half> {
protected:
    bool legacy() const { return GetParam().library == "adsr"; }

    // A new DSP half through instantiateBare: its IMpPlugin2 pointer.
    void* create() {
        void* factory = factoryOf(GetParam().library);
        if (factory == nullptr) return nullptr;
        void* out = nullptr;
        EXPECT_EQ(instantiateBare(factory, GetParam().module.id, kSubtypeDsp, &out), kOk);
        EXPECT_NE(out, nullptr);
        return out;
    }

    static FakeHost& dspHost(FakeHost& host) { return host.offer(iid::kDspHost).offer(iid::kDspHostAux); }

    // Buffers for every audio pin, of `frames` samples each.
    void bindBuffers(void* plugin2, int frames) {
        buffers.assign(static_cast<size_t>(pinCount(GetParam().half)), std::vector<float>(static_cast<size_t>(frames), 0.0f));
        for (const PinDescription& p : GetParam().half.pins) {
            if (p.type != "audio") continue;
            EXPECT_EQ(callSlot<int32_t>(plugin2, 6, int32_t{p.index}, buffers[static_cast<size_t>(p.index)].data()), kOk)
                << "pin " << p.index;
        }
    }

    std::vector<std::vector<float>> buffers;
};

TEST_P(DspHalf, InterfacesPointIntoOneObjectWithOneCount) {
    void* second = create();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(expectInterface(second, iid::kPlugin2, "IMpPlugin2"), second)
        << "creation hands out the IMpPlugin2 pointer";
    void* first = expectInterface(second, iid::kPlugin, "IMpPlugin");
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(expectInterface(second, iid::kUnknown, "IMpUnknown through IMpPlugin2"), first);
    EXPECT_EQ(expectInterface(first, iid::kUnknown, "IMpUnknown through IMpPlugin"), first);
    EXPECT_EQ(expectInterface(first, iid::kPlugin2, "IMpPlugin2 through IMpPlugin"), second);
    uint32_t references = 6;
    std::vector<const Guid*> answered = {&iid::kUnknown, &iid::kPlugin, &iid::kPlugin2};
    if (legacy()) {
        void* fourth = expectInterface(first, iid::kLegacyInitialization, "IMpLegacyInitialization");
        EXPECT_NE(fourth, first);
        EXPECT_NE(fourth, second);
        EXPECT_EQ(expectInterface(fourth, iid::kUnknown, "IMpUnknown through the fourth"), first);
        answered.push_back(&iid::kLegacyInitialization);
        references = 8;
    }
    expectOnlyAnswers(first, answered, "IMpPlugin");
    expectOnlyAnswers(second, answered, "IMpPlugin2");
    // One count, whichever pointer it is taken or dropped through.
    EXPECT_EQ(addRef(first), references + 1);
    EXPECT_EQ(addRef(second), references + 2);
    EXPECT_EQ(release(first), references + 1);
    EXPECT_EQ(release(second), references);
    EXPECT_EQ(releaseAll(second), static_cast<int>(references));
}

TEST_P(DspHalf, AttachHostAsksForTheDspHostAndHoldsOneReference) {
    void* factory = factoryOf(GetParam().library);
    ASSERT_NE(factory, nullptr);
    FakeHost host;
    dspHost(host);
    void* plugin2 = nullptr;
    ASSERT_EQ(instantiate(factory, GetParam().module.id, kSubtypeDsp, host.unknown(), &plugin2), kOk);
    ASSERT_NE(plugin2, nullptr);
    std::vector<Guid> expected = {iid::kDspHost};
    if (legacy()) expected.insert(expected.begin(), iid::kDspHostAux);
    EXPECT_EQ(host.queries, expected);
    EXPECT_EQ(host.references(iid::kDspHost), 1);
    EXPECT_EQ(release(plugin2), 0u);
    EXPECT_EQ(host.references(iid::kDspHost), 0) << "the module drops its host when destroyed";
    EXPECT_TRUE(host.unexpectedSlots.empty());
}

TEST_P(DspHalf, AttachHostAnswersTheDspHostQuery) {
    const struct {
        bool offered;  // false: the host answers only IMpUnknown
        int32_t answer;
    } cases[] = {{false, kNotFound}, {true, kOk}};
    for (const auto& c : cases) {
        FakeHost host;
        if (c.offered) dspHost(host);
        void* plugin2 = create();
        ASSERT_NE(plugin2, nullptr);
        EXPECT_EQ(callSlot<int32_t>(plugin2, 4, host.unknown()), c.answer) << "offered " << c.offered;
        if (c.offered) {
            EXPECT_EQ(host.references(iid::kDspHost), 1);
        }
        EXPECT_EQ(release(plugin2), 0u);
    }

    if (legacy()) {
        FakeHost other;
        dspHost(other);
        void* plugin2 = create();
        ASSERT_NE(plugin2, nullptr);
        void* fourth = expectInterface(plugin2, iid::kLegacyInitialization, "IMpLegacyInitialization");
        ASSERT_NE(fourth, nullptr);
        EXPECT_EQ(callSlot<int32_t>(fourth, 4, other.unknown()), kOk);
        EXPECT_EQ(other.references(iid::kDspHost), 1);
        release(fourth);
        EXPECT_EQ(release(plugin2), 0u);
    }
}

TEST_P(DspHalf, BuffersGoOnlyToPinsThatExist) {
    void* plugin2 = create();
    ASSERT_NE(plugin2, nullptr);
    void* first = expectInterface(plugin2, iid::kPlugin, "IMpPlugin");
    float buffer[8] = {};
    const int32_t past = pinCount(GetParam().half);
    for (int32_t pin = 0; pin < past; ++pin) {
        EXPECT_EQ(callSlot<int32_t>(plugin2, 6, pin, buffer), kOk) << "pin " << pin;
        EXPECT_EQ(callSlot<int32_t>(first, 5, pin, buffer), kOk) << "pin " << pin;
    }
    for (int32_t pin : {past, past + 1, int32_t{-1}}) {
        EXPECT_EQ(callSlot<int32_t>(plugin2, 6, pin, buffer), kFailed) << "pin " << pin;
        EXPECT_EQ(callSlot<int32_t>(first, 5, pin, buffer), kFailed) << "pin " << pin;
    }
    EXPECT_EQ(callSlot<int32_t>(plugin2, 5), kOk) << "activate";
    EXPECT_EQ(callSlot<int32_t>(first, 4), kOk) << "activate";
    EXPECT_EQ(callSlot<int32_t>(plugin2, 8, int32_t{1}, int32_t{2}, static_cast<void*>(nullptr)), kOk) << "deliverMessage";
    EXPECT_EQ(callSlot<int32_t>(first, 7, int32_t{1}, int32_t{2}, static_cast<void*>(nullptr)), kOk) << "deliverMessage";
    release(first);
    EXPECT_EQ(release(plugin2), 0u);
}

// At graph start every output sends its initial state, in pin order:
// control outputs their value, audio outputs that they stream. The same
// through processBlock of either interface.
TEST_P(DspHalf, EngineStartSendsEveryOutputsInitialState) {
    for (int viaFirst = 0; viaFirst < 2; ++viaFirst) {
        SCOPED_TRACE(viaFirst ? "processBlock through IMpPlugin" : "processBlock through IMpPlugin2");
        FakeHost host;
        dspHost(host);
        void* plugin2 = create();
        ASSERT_NE(plugin2, nullptr);
        ASSERT_EQ(callSlot<int32_t>(plugin2, 4, host.unknown()), kOk);
        bindBuffers(plugin2, 16);
        EventList events;
        events.event(0, kStart);
        if (viaFirst) {
            void* first = expectInterface(plugin2, iid::kPlugin, "IMpPlugin");
            callSlot<void>(first, 6, int32_t{16}, events.head());
            release(first);
        } else {
            callSlot<void>(plugin2, 7, int32_t{16}, events.head());
        }

        std::vector<HostCall> sent;
        for (const HostCall& c : host.calls)
            if (c.operation == "publishPinValue" || c.operation == "announceStreaming") sent.push_back(c);
        std::vector<const PinDescription*> outputs;
        for (const PinDescription& p : GetParam().half.pins)
            if (p.direction == "out") outputs.push_back(&p);
        ASSERT_EQ(sent.size(), outputs.size());
        for (size_t i = 0; i < outputs.size(); ++i) {
            const PinDescription& pin = *outputs[i];
            EXPECT_EQ(sent[i].pin, pin.index);
            EXPECT_EQ(sent[i].time, 0);
            if (pin.type == "audio") {
                EXPECT_EQ(sent[i].operation, "announceStreaming") << "pin " << pin.index;
                EXPECT_TRUE(sent[i].flag);
                continue;
            }
            EXPECT_EQ(sent[i].operation, "publishPinValue") << "pin " << pin.index;
            const size_t size = pin.type == "text" ? 0 : pin.type == "bool" ? 1 : 4;
            EXPECT_EQ(sent[i].bytes, std::vector<uint8_t>(size, 0)) << "pin " << pin.index << " (" << pin.type << ")";
        }
        EXPECT_TRUE(host.unexpectedSlots.empty());
        EXPECT_EQ(release(plugin2), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Each, DspHalf, testing::ValuesIn(halvesOf({"uplink", "downlink", "adsr"}, kSubtypeDsp)), halfName);

// ------------------------------------------------------------ DSP traffic

// A DSP half created, attached to a recording host and started.
class Started {
public:
    Started(const char* library, const std::u16string& id, int frames = 16) : frames_(frames) {
        host.offer(iid::kDspHost).offer(iid::kDspHostAux);
        void* factory = factoryOf(library);
        if (factory == nullptr) return;
        EXPECT_EQ(instantiate(factory, id, kSubtypeDsp, host.unknown(), &plugin2), kOk);
        if (plugin2 == nullptr) return;
        for (int32_t pin = 0; pin < 16; ++pin) {
            buffers.emplace_back(static_cast<size_t>(frames), 0.0f);
            callSlot<int32_t>(plugin2, 6, pin, buffers.back().data());
        }
        EventList start;
        start.event(0, kStart);
        process(start);
        host.calls.clear();
    }
    ~Started() {
        if (plugin2 != nullptr) release(plugin2);
    }
    void process(EventList& events, int frames = -1) {
        callSlot<void>(plugin2, 7, int32_t{frames < 0 ? frames_ : frames}, events.head());
    }

    FakeHost host;
    void* plugin2 = nullptr;
    std::vector<std::vector<float>> buffers;

private:
    int frames_;
};

struct ValueCase {
    const char* name;
    const char* library;
    const char16_t* id;
    int32_t inPin;
    std::vector<uint8_t> value;
    bool inlined;
    int32_t time;
    int32_t outPin;
    std::vector<uint8_t> sent;  // empty: nothing is published
};

const ValueCase kValueCases[] = {
    {"FloatInline", "uplink", u"ZVR_Float2GUIFloat", 1, bytesOf(2.5f), true, 3, 0, bytesOf(2.5f)},
    {"FloatPointed", "uplink", u"ZVR_Float2GUIFloat", 1, bytesOf(-1.25f), false, 0, 0, bytesOf(-1.25f)},
    {"IntInline", "uplink", u"ZVR_Int2GUIInt", 1, bytesOf(int32_t{-7}), true, 5, 0, bytesOf(int32_t{-7})},
    {"BoolFourBytesNonZero", "uplink", u"ZVR_Bool2GUIBool", 1, bytesOf(int32_t{2}), true, 1, 0, {1}},
    {"BoolOneByte", "uplink", u"ZVR_Bool2GUIBool", 1, {1}, true, 2, 0, {1}},
    {"TextThreeUnitsSixBytes", "uplink", u"ZVR_Text2GUIText", 1, {'a', 0, 'b', 0, 'c', 0}, false, 4, 0,
     {'a', 0, 'b', 0, 'c', 0}},
    {"TextInline", "uplink", u"ZVR_Text2GUIText", 1, {'h', 0, 'i', 0}, true, 0, 0, {'h', 0, 'i', 0}},
    {"DownFloat", "downlink", u"ZVR_GUIFloat2Float", 0, bytesOf(0.5f), true, 7, 1, bytesOf(0.5f)},
    {"DownInt", "downlink", u"ZVR_GUIInt2Int", 0, bytesOf(int32_t{123456}), false, 2, 1, bytesOf(int32_t{123456})},
    {"DownBool", "downlink", u"ZVR_GUIBool2Bool", 0, {1}, true, 0, 1, {1}},
    {"DownText", "downlink", u"ZVR_GUIText2Text", 0, {'x', 0}, false, 9, 1, {'x', 0}},
    // The value the output already holds is not sent again.
    {"SameValueIsNotSent", "uplink", u"ZVR_Float2GUIFloat", 1, bytesOf(0.0f), true, 3, 0, {}},
    // An event at the block's very end belongs to the next block.
    {"EventAtBlockEndIsNotDelivered", "uplink", u"ZVR_Float2GUIFloat", 1, bytesOf(2.5f), true, 16, 0, {}},
    // A value for a pin the module does not have is skipped.
    {"UnknownPinIsSkipped", "uplink", u"ZVR_Float2GUIFloat", 7, bytesOf(2.5f), true, 0, 0, {}},
};

void PrintTo(const ValueCase& c, std::ostream* os) { *os << c.name; }

class DspValue : public testing::TestWithParam<ValueCase> {};

TEST_P(DspValue, EventRecordBytesReachTheOutput) {
    const ValueCase& c = GetParam();
    Started module(c.library, c.id);
    ASSERT_NE(module.plugin2, nullptr);
    EventList events;
    if (c.inlined)
        events.inlineValue(c.time, c.inPin, c.value.data(), static_cast<int32_t>(c.value.size()));
    else
        events.pointedValue(c.time, c.inPin, c.value.data(), static_cast<int32_t>(c.value.size()));
    module.process(events);
    const auto published = callsNamed(module.host, "publishPinValue");
    if (c.sent.empty()) {
        EXPECT_TRUE(published.empty());
        return;
    }
    ASSERT_EQ(published.size(), 1u);
    EXPECT_EQ(published[0].time, c.time);
    EXPECT_EQ(published[0].pin, c.outPin);
    EXPECT_EQ(published[0].bytes, c.sent);
}

INSTANTIATE_TEST_SUITE_P(Cases, DspValue, testing::ValuesIn(kValueCases),
                         [](const testing::TestParamInfo<ValueCase>& info) { return info.param.name; });

TEST(DspEvents, KindsOtherThanPinValueCarryNoValue) {
    Started module("uplink", u"ZVR_Float2GUIFloat");
    ASSERT_NE(module.plugin2, nullptr);
    const float value = 2.5f;
    for (int32_t kind : {kPinOther, kStreamOn, kStreamOff, 99, 105, 0}) {
        EventList events;
        events.inlineValue(0, 1, &value, 4);
        // Rewrite the kind in place, as a host with another event would.
        auto* record = static_cast<uint8_t*>(events.head());
        std::memcpy(record + 4, &kind, 4);
        module.process(events);
        EXPECT_TRUE(callsNamed(module.host, "publishPinValue").empty()) << "kind " << kind;
    }
    EventList real;
    real.inlineValue(0, 1, &value, 4);
    module.process(real);
    EXPECT_EQ(callsNamed(module.host, "publishPinValue").size(), 1u);
}

// Records linked through the pointer at offset 32; records of one time form
// one group, whose last value is the one sent.
TEST(DspEvents, ListLinksThroughItsNextPointerAndGroupsByTime) {
    Started module("uplink", u"ZVR_Float2GUIFloat");
    ASSERT_NE(module.plugin2, nullptr);
    const float one = 1.0f, two = 2.0f, three = 3.0f;
    EventList events;
    events.inlineValue(0, 1, &one, 4).pointedValue(0, 1, &two, 4).event(3, 99, 1).inlineValue(5, 1, &three, 4);
    module.process(events);
    const auto published = callsNamed(module.host, "publishPinValue");
    ASSERT_EQ(published.size(), 2u);
    EXPECT_EQ(published[0].time, 0);
    EXPECT_EQ(published[0].bytes, bytesOf(two));
    EXPECT_EQ(published[1].time, 5);
    EXPECT_EQ(published[1].bytes, bytesOf(three));
}

TEST(DspEvents, ValuePointerWinsOverInlineBytes) {
    Started module("uplink", u"ZVR_Int2GUIInt");
    ASSERT_NE(module.plugin2, nullptr);
    const int32_t pointed = 42, inlined = 17;
    EventList events;
    events.pointedValue(1, 1, &pointed, 4);
    std::memcpy(static_cast<uint8_t*>(events.head()) + 16, &inlined, 4);
    module.process(events);
    const auto published = callsNamed(module.host, "publishPinValue");
    ASSERT_EQ(published.size(), 1u);
    EXPECT_EQ(published[0].bytes, bytesOf(pointed));
}

TEST(DspEvents, AQuietModuleOffersToSleep) {
    Started module("uplink", u"ZVR_Int2GUIInt");
    ASSERT_NE(module.plugin2, nullptr);
    EventList none;
    module.process(none);
    ASSERT_EQ(module.host.calls.size(), 1u);
    EXPECT_EQ(module.host.calls[0].operation, "offerSleep");
    EXPECT_TRUE(module.host.unexpectedSlots.empty());
}

TEST(DspEvents, StreamOnMakesTheVoltageConverterRead) {
    Started module("uplink", u"ZVR_Volt2GUIFloat", 8);
    ASSERT_NE(module.plugin2, nullptr);
    std::fill(module.buffers[1].begin(), module.buffers[1].end(), 0.5f);
    EventList events;
    events.event(2, kStreamOn, 1);
    module.process(events);
    const auto published = callsNamed(module.host, "publishPinValue");
    ASSERT_EQ(published.size(), 1u);
    EXPECT_EQ(published[0].time, 2);
    EXPECT_EQ(published[0].pin, 0);
    EXPECT_EQ(published[0].bytes, bytesOf(5.0f));
}

TEST(DspEvents, ConstantVoltageStartsAtTheEventsSample) {
    Started module("downlink", u"ZVR_GUIInt2Volt", 8);
    ASSERT_NE(module.plugin2, nullptr);
    const int32_t five = 5;
    EventList events;
    events.inlineValue(4, 0, &five, 4);
    module.process(events);
    const auto announced = callsNamed(module.host, "announceStreaming");
    ASSERT_EQ(announced.size(), 1u);
    EXPECT_EQ(announced[0].time, 4);
    EXPECT_EQ(announced[0].pin, 1);
    EXPECT_TRUE(announced[0].flag);
    const std::vector<float> expected = {0, 0, 0, 0, 0.5f, 0.5f, 0.5f, 0.5f};
    EXPECT_EQ(module.buffers[1], expected);
}

// The envelope reaches the last three DSP host positions: it stops its
// output streaming at its first event group (fillSleepCountdown directly
// before announceStreaming), and reads the sample rate at a segment start.
TEST(DspEvents, EnvelopeCallsCountdownAndSampleRatePositions) {
    Started module("adsr", u"QV ADSR4", 64);
    ASSERT_NE(module.plugin2, nullptr);
    module.host.sampleRate = 1000.0f;  // attack time 0 gives 1 ms: one sample
    const uint8_t on = 1;
    EventList events;
    events.inlineValue(0, 1, &on, 1).inlineValue(0, 0, &on, 1);
    module.process(events);
    const std::vector<HostCall>& calls = module.host.calls;
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0].operation, "fillSleepCountdown");
    EXPECT_EQ(calls[1].operation, "announceStreaming");
    EXPECT_EQ(calls[1].pin, 9);
    EXPECT_FALSE(calls[1].flag);
    EXPECT_EQ(calls[2].operation, "announceStreaming");
    EXPECT_TRUE(calls[2].flag);
    EXPECT_EQ(calls[3].operation, "readSampleRate");
    EXPECT_EQ(module.buffers[9][0], 1.0f) << "the attack lasts one sample at the rate the host wrote";
    EXPECT_TRUE(module.host.unexpectedSlots.empty());
}

TEST(DspEvents, EnvelopeResetReadsAFloatValue) {
    Started module("adsr", u"QV ADSR4", 64);
    ASSERT_NE(module.plugin2, nullptr);
    // Attack time 0.75 (1 s at 48 kHz): still rising after one block.
    std::fill(module.buffers[2].begin(), module.buffers[2].end(), 0.75f);
    const uint8_t on = 1;
    EventList trigger;
    trigger.inlineValue(0, 1, &on, 1).inlineValue(0, 0, &on, 1);
    module.process(trigger);
    EXPECT_GT(module.buffers[9][63], 0.0f);
    const float one = 1.0f;
    EventList reset;
    reset.pointedValue(10, 10, &one, 4);
    module.process(reset);
    EXPECT_GT(module.buffers[9][9], 0.0f);
    for (size_t i = 10; i < 64; ++i) ASSERT_EQ(module.buffers[9][i], 0.0f) << "sample " << i;
}

// ------------------------------------------------------------ GUI halves

// The GUI host interfaces a module of each kind needs.
FakeHost& guiHost(FakeHost& host) {
    return host.offer(iid::kGuiHost).offer(iid::kGuiHost2).offer(iid::kCompositedGfxHost);
}

// Delivers a value (deliverPinValue at `deliver`) and announces it
// (signalPinChange at `signal`).
void deliverAndSignal(void* gui, int deliver, int signal, int32_t pin, const std::vector<uint8_t>& value,
                      int32_t expected = kOk) {
    EXPECT_EQ(callSlot<int32_t>(gui, deliver, pin, int32_t{0}, static_cast<int32_t>(value.size()), value.data()), expected)
        << "deliverPinValue pin " << pin;
    EXPECT_EQ(callSlot<int32_t>(gui, signal, pin, int32_t{0}), expected) << "signalPinChange pin " << pin;
}

// Every value a module sends goes to a pin of its description, with voice 0
// and the byte count of the pin's type.
void expectSendsFitDescription(const FakeHost& host, const HalfDescription& half) {
    for (const HostCall& c : callsNamed(host, "sendPinValue")) {
        EXPECT_EQ(c.voice, 0);
        const PinDescription* pin = pinAt(half, c.pin);
        ASSERT_NE(pin, nullptr) << "sent to pin " << c.pin << " which the module does not describe";
        EXPECT_TRUE(sizeFitsType(pin->type, c.bytes.size()))
            << "pin " << c.pin << " (" << pin->type << ") sent " << c.bytes.size() << " bytes";
    }
}

// Where a GUI family takes pin values, and what its unused positions answer.
struct PinPositions {
    int deliver, signal;          // deliverPinValue, signalPinChange
    int firstUnused, lastUnused;  // called without arguments
    int32_t unusedAnswer;
};

// Calls the unused positions, delivers and announces a value to every pin of
// the half, then to each of `missing`, which must fail; every value sent
// fits the description.
void expectPinPositions(void* gui, const FakeHost& host, const HalfDescription& half, const PinPositions& at,
                        const std::vector<int32_t>& missing) {
    for (int position = at.firstUnused; position <= at.lastUnused; ++position)
        EXPECT_EQ(callSlot<int32_t>(gui, position), at.unusedAnswer) << position;
    for (const PinDescription& pin : half.pins) deliverAndSignal(gui, at.deliver, at.signal, pin.index, sampleValue(pin.type));
    for (int32_t pin : missing) deliverAndSignal(gui, at.deliver, at.signal, pin, {1, 2, 3, 4}, kFailed);
    expectSendsFitDescription(host, half);
    EXPECT_TRUE(host.unexpectedSlots.empty());
}

// Second family: IMpUserInterface2B positions 4 attachHost, 5 unused (0),
// 6 deliverPinValue, 7 to 10 unused (-1), 11 signalPinChange.
constexpr PinPositions kSecondFamily{6, 11, 7, 10, kFailed};

class GuiSecondFamily : public testing::TestWithParam<Half> {
protected:
    void* create(FakeHost& host) {
        void* factory = factoryOf(GetParam().library);
        if (factory == nullptr) return nullptr;
        void* out = nullptr;
        EXPECT_EQ(instantiate(factory, GetParam().module.id, kSubtypeGuiV2, host.unknown(), &out), kOk);
        EXPECT_NE(out, nullptr);
        return out;
    }
};

TEST_P(GuiSecondFamily, BothInterfacesAndIMpUnknownAreTheCreatedPointer) {
    FakeHost host;
    guiHost(host);
    void* gui = create(host);
    ASSERT_NE(gui, nullptr);
    EXPECT_TRUE(host.queries.empty()) << "the second family gets its host only from attachHost";
    for (const Guid* id : {&iid::kUnknown, &iid::kUserInterface2, &iid::kUserInterface2B})
        EXPECT_EQ(expectInterface(gui, *id, "GUI"), gui) << guidText(*id);
    expectOnlyAnswers(gui, {&iid::kUnknown, &iid::kUserInterface2, &iid::kUserInterface2B}, "second-family GUI");
    EXPECT_EQ(addRef(gui), 5u);
    EXPECT_EQ(releaseAll(gui), 5);
}

TEST_P(GuiSecondFamily, AttachHostAnswersWhetherIMpGuiHost2Came) {
    const struct {
        std::vector<const Guid*> offered;
        int32_t answer;
    } cases[] = {
        {{&iid::kGuiHost, &iid::kCompositedGfxHost}, kNotFound},
        {{&iid::kGuiHost, &iid::kGuiHost2, &iid::kCompositedGfxHost}, kOk},
    };
    for (const auto& c : cases) {
        FakeHost host;
        for (const Guid* id : c.offered) host.offer(*id);
        void* gui = create(host);
        ASSERT_NE(gui, nullptr);
        EXPECT_EQ(callSlot<int32_t>(gui, 4, host.unknown()), c.answer) << c.offered.size() << " interfaces offered";
        EXPECT_EQ(host.queries, std::vector<Guid>{iid::kGuiHost2});
        EXPECT_EQ(release(gui), 0u);
    }
}

TEST_P(GuiSecondFamily, PinPositionsAndUnusedPositions) {
    FakeHost host;
    guiHost(host);
    void* gui = create(host);
    ASSERT_NE(gui, nullptr);
    ASSERT_EQ(callSlot<int32_t>(gui, 4, host.unknown()), kOk);
    EXPECT_EQ(callSlot<int32_t>(gui, 5), kOk);
    expectPinPositions(gui, host, GetParam().half, kSecondFamily, {pinCount(GetParam().half), -1});
    EXPECT_EQ(release(gui), 0u);
}

// uplink's GUI half copies pin 0 to pins 1 and 2; downlink's copies pin 1
// (or 2) to pin 0.
TEST_P(GuiSecondFamily, ValueTravelsThroughSendPinValue) {
    FakeHost host;
    guiHost(host);
    void* gui = create(host);
    ASSERT_NE(gui, nullptr);
    ASSERT_EQ(callSlot<int32_t>(gui, 4, host.unknown()), kOk);
    const bool up = GetParam().library == "uplink";
    const int32_t source = up ? 0 : 1;
    const std::vector<uint8_t> value = sampleValue(pinAt(GetParam().half, source)->type);
    deliverAndSignal(gui, kSecondFamily.deliver, kSecondFamily.signal, source, value);
    const auto sent = callsNamed(host, "sendPinValue");
    const std::vector<int32_t> targets = up ? std::vector<int32_t>{1, 2} : std::vector<int32_t>{0};
    ASSERT_EQ(sent.size(), targets.size());
    for (size_t i = 0; i < targets.size(); ++i) {
        EXPECT_EQ(sent[i].pin, targets[i]);
        EXPECT_EQ(sent[i].voice, 0);
        EXPECT_EQ(sent[i].bytes, value);
    }
    // The same value again sends nothing.
    host.calls.clear();
    deliverAndSignal(gui, kSecondFamily.deliver, kSecondFamily.signal, source, value);
    EXPECT_TRUE(callsNamed(host, "sendPinValue").empty());
    EXPECT_EQ(release(gui), 0u);
}

INSTANTIATE_TEST_SUITE_P(Each, GuiSecondFamily, testing::ValuesIn(halvesOf({"uplink", "downlink"}, kSubtypeGuiV2)),
                         halfName);

// First family: IMpUserInterface positions 4 initialiseGui, 5 deliverPinValue,
// 6 signalPinChange, 7 to 9 unused (0). IQvGraphicsComposited: 4 onPaint,
// 5 measure, 6 arrange, 7 to 11 unused (0).
constexpr PinPositions kFirstFamily{5, 6, 7, 9, kOk};

struct GuiSize {
    int32_t width, height;
};
struct GuiRect {
    int32_t top, bottom, left, right;
};

class GuiFirstFamily : public testing::TestWithParam<Half> {
protected:
    bool draws() const { return GetParam().half.draws; }

    void* create(FakeHost& host, int32_t expected = kOk) {
        void* factory = factoryOf(GetParam().library);
        if (factory == nullptr) return nullptr;
        void* out = kPoison;
        EXPECT_EQ(instantiate(factory, GetParam().module.id, kSubtypeGuiV1, host.unknown(), &out), expected);
        if (expected != kOk) {
            EXPECT_EQ(out, nullptr);
            return nullptr;
        }
        EXPECT_NE(out, nullptr);
        return out;
    }
};

TEST_P(GuiFirstFamily, CreationAttachesTheHostInterfacesItNeeds) {
    FakeHost host;
    guiHost(host);
    void* gui = create(host);
    ASSERT_NE(gui, nullptr);
    std::vector<Guid> expected = {iid::kGuiHost};
    if (draws()) expected.push_back(iid::kCompositedGfxHost);
    EXPECT_EQ(host.queries, expected);
    EXPECT_EQ(release(gui), 0u);
}

TEST_P(GuiFirstFamily, CreationFailsWithoutTheHostInterfaces) {
    std::vector<std::vector<const Guid*>> lacking = {{}};
    if (draws()) lacking.push_back({&iid::kGuiHost});  // without IQvCompositedGfxHost
    for (const auto& offered : lacking) {
        FakeHost host;
        for (const Guid* id : offered) host.offer(*id);
        create(host, kFailed);
    }
}

TEST_P(GuiFirstFamily, InterfacesPointIntoOneObjectWithOneCount) {
    FakeHost host;
    guiHost(host);
    void* gui = create(host);
    ASSERT_NE(gui, nullptr);
    EXPECT_EQ(expectInterface(gui, iid::kUnknown, "IMpUnknown"), gui);
    EXPECT_EQ(expectInterface(gui, iid::kUserInterface, "IMpUserInterface"), gui);
    uint32_t references = 3;
    std::vector<const Guid*> answered = {&iid::kUnknown, &iid::kUserInterface};
    void* drawing = nullptr;
    if (draws()) {
        drawing = expectInterface(gui, iid::kGraphicsComposited, "IQvGraphicsComposited");
        ASSERT_NE(drawing, nullptr);
        EXPECT_NE(drawing, gui);
        EXPECT_EQ(expectInterface(drawing, iid::kUnknown, "IMpUnknown through the drawing interface"), gui);
        EXPECT_EQ(expectInterface(drawing, iid::kUserInterface, "IMpUserInterface through drawing"), gui);
        EXPECT_EQ(expectInterface(drawing, iid::kGraphicsComposited, "drawing through drawing"), drawing);
        answered.push_back(&iid::kGraphicsComposited);
        references = 7;
    }
    expectOnlyAnswers(gui, answered, "first-family GUI");
    if (drawing != nullptr) {
        expectOnlyAnswers(drawing, answered, "drawing interface");
        EXPECT_EQ(addRef(drawing), references + 1);
        EXPECT_EQ(release(gui), references);
        EXPECT_EQ(release(drawing), references - 1);
        --references;
    }
    EXPECT_EQ(addRef(gui), references + 1);
    EXPECT_EQ(releaseAll(gui), static_cast<int>(references + 1));
}

TEST_P(GuiFirstFamily, PinPositionsAndUnusedPositions) {
    FakeHost host;
    guiHost(host);
    void* gui = create(host);
    ASSERT_NE(gui, nullptr);
    EXPECT_EQ(callSlot<int32_t>(gui, 4), kOk) << "initialiseGui";
    std::vector<int32_t> missing = {-1};
    if (!GetParam().half.growing) missing.push_back(pinCount(GetParam().half));
    expectPinPositions(gui, host, GetParam().half, kFirstFamily, missing);
    EXPECT_EQ(release(gui), 0u);
}

INSTANTIATE_TEST_SUITE_P(Each, GuiFirstFamily, testing::ValuesIn(halvesOf({"guikit"}, kSubtypeGuiV1)), halfName);

std::vector<Half> drawnHalves() {
    std::vector<Half> drawn;
    for (const Half& h : halvesOf({"guikit"}, kSubtypeGuiV1))
        if (h.half.draws) drawn.push_back(h);
    return drawn;
}

class GuiDrawn : public GuiFirstFamily {};

TEST_P(GuiDrawn, DrawingPositions) {
    FakeHost host;
    guiHost(host);
    void* gui = create(host);
    ASSERT_NE(gui, nullptr);
    EXPECT_EQ(callSlot<int32_t>(gui, 4), kOk) << "initialiseGui";
    void* drawing = expectInterface(gui, iid::kGraphicsComposited, "IQvGraphicsComposited");
    ASSERT_NE(drawing, nullptr);
    struct MeasureCase {
        GuiSize available, written;
    };
    // The meters have one size; the hatch fill takes the base's clamp to
    // 15 ... 100.
    const bool meter = GetParam().module.name.rfind("WB-Meter-", 0) == 0;
    const std::vector<MeasureCase> clamped = {{{0, 500}, {15, 100}}, {{-5, 50}, {15, 50}},
                                              {{101, 14}, {100, 15}}, {{15, 100}, {15, 100}}};
    const std::vector<MeasureCase> fixed = {{{0, 0}, {110, 20}}, {{500, 500}, {110, 20}}, {{-5, 50}, {110, 20}}};
    for (const MeasureCase& c : meter ? fixed : clamped) {
        GuiSize out{-99, -99};
        EXPECT_EQ(callSlot<int32_t>(drawing, 5, c.available, &out), kOk);
        EXPECT_EQ(out.width, c.written.width) << c.available.width;
        EXPECT_EQ(out.height, c.written.height) << c.available.height;
    }
    const GuiRect placement{0, 20, 0, 110};
    EXPECT_EQ(callSlot<int32_t>(drawing, 6, &placement), kOk);
    for (int position = 7; position <= 11; ++position) EXPECT_EQ(callSlot<int32_t>(drawing, position), kOk) << position;

    // A changed pin asks the host to repaint the whole module.
    const PinDescription& first = GetParam().half.pins.front();
    deliverAndSignal(gui, kFirstFamily.deliver, kFirstFamily.signal, first.index, sampleValue(first.type));
    const auto invalidated = callsNamed(host, "invalidateRect");
    ASSERT_EQ(invalidated.size(), 1u);
    EXPECT_TRUE(invalidated[0].rectIsNull);
    EXPECT_TRUE(host.unexpectedSlots.empty());
    release(drawing);
    EXPECT_EQ(release(gui), 0u);
}

INSTANTIATE_TEST_SUITE_P(Each, GuiDrawn, testing::ValuesIn(drawnHalves()), halfName);

TEST(Drawing, TheFourDrawnModulesAreDescribed) {
    std::set<std::string> names;
    for (const Half& h : drawnHalves()) names.insert(h.module.name);
    EXPECT_EQ(names, (std::set<std::string>{"WB-Hatches-SDK3", "WB-Meter-Bool-SDK3", "WB-Meter-Float-SDK3",
                                            "WB-Meter-Int-SDK3"}));
}

}  // namespace
}  // namespace rawabi
