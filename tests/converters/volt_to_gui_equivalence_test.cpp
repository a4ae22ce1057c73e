// The voltage converters through the built library against a plain model
// of their rule, over random signals in random blocks: every host call, in
// number, order and arguments. The model takes each sample in turn:
// convert it (10 volts per unit), skip it when it equals the sample before
// or converts to the last converted value, else remember it and send it
// unless pin 0 already holds it. The host may also write pin 0 itself.
#include <cstring>
#include <limits>
#include <random>

#include "converter_fixture.h"

using namespace ovra;
using host::Bytes;
using host::bytesOf;
using host::EventList;
using test::Update;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

template <class T>
T convertVolts(float s);
template <>
float convertVolts<float>(float s) {
    return s * 10.0f;
}
template <>
int32_t convertVolts<int32_t>(float s) {
    const float v = s * 10.0f;
    return v >= -2147483648.0f && v < 2147483648.0f ? static_cast<int32_t>(v) : std::numeric_limits<int32_t>::min();
}
template <>
bool convertVolts<bool>(float s) {
    return !(s <= 0.0f);
}

template <class T>
bool same(T a, T b) {
    if constexpr (std::is_same_v<T, float>)
        return !(a < b) && !(a > b);
    else
        return a == b;
}

template <class T>
Bytes wire(T v) {
    if constexpr (std::is_same_v<T, bool>)
        return Bytes{static_cast<uint8_t>(v ? 1 : 0)};
    else
        return bytesOf(&v, 4);
}

template <class T>
struct Model {
    T last{};
    T pin{};
    // The samples of one run, [from, to) of the block.
    void run(const float* s, int32_t from, int32_t to, std::vector<Update>& sent) {
        for (int32_t i = from; i < to; ++i) {
            if (i > from && s[i] == s[i - 1])  // a run's first sample is always taken
                continue;
            const T v = convertVolts<T>(s[i]);
            if (same(v, last))
                continue;
            last = v;
            if (same(v, pin))
                continue;
            pin = v;
            sent.emplace_back(i, wire(v));
        }
    }
};

template <class T>
struct Case {
    static const char16_t* id();
};
template <>
const char16_t* Case<float>::id() {
    return u"ZVR_Volt2GUIFloat";
}
template <>
const char16_t* Case<int32_t>::id() {
    return u"ZVR_Volt2GUIInt";
}
template <>
const char16_t* Case<bool>::id() {
    return u"ZVR_Volt2GUIBool";
}

// Signals with runs of repeats, tiny and large steps, both zeros, NaN and
// infinities, so that every branch of the rule is taken.
float drawSample(std::mt19937& random, float previous) {
    const int kind = std::uniform_int_distribution<int>(0, 19)(random);
    if (kind < 6)
        return previous;
    if (kind < 9)
        return previous + std::uniform_real_distribution<float>(-0.02f, 0.02f)(random);
    if (kind == 9)
        return kNaN;
    if (kind == 10)
        return (kind & 1) != 0 ? -0.0f : 0.0f;
    if (kind == 11)
        return std::uniform_int_distribution<int>(0, 1)(random) != 0 ? kInf : -3e9f;
    if (kind == 12)
        return std::numeric_limits<float>::denorm_min();
    return std::uniform_real_distribution<float>(-2.0f, 2.0f)(random);
}

template <class T>
class VoltToGuiEquivalence : public test::LibraryTest {
protected:
    VoltToGuiEquivalence() : LibraryTest("uplink") {}

    void runSeed(uint32_t seed) {
        std::mt19937 random(seed);
        test::DspHalf dsp(*lib, Case<T>::id());
        auto& buffer = dsp.module->buffer(1, 512);
        Model<T> model;
        std::vector<Update> expected{{0, wire(T{})}};  // the start announces pin 0
        float previous = 0.0f;
        bool first = true;
        for (int block = 0; block < 40; ++block) {
            const int32_t n = std::uniform_int_distribution<int32_t>(1, 512)(random);
            for (int32_t i = 0; i < n; ++i)
                buffer[i] = previous = drawSample(random, previous);
            EventList events;
            if (first)
                events.start(0).streamOn(0, 1);
            // Now and then the host writes pin 0 itself, inside the block.
            const bool write = std::uniform_int_distribution<int>(0, 3)(random) == 0;
            const int32_t at = std::uniform_int_distribution<int32_t>(0, n - 1)(random);
            const T written = convertVolts<T>(buffer[at]);
            if (write)
                events.value(at, 0, wire(written));
            dsp.module->process(n, events);

            if (write) {
                model.run(buffer.data(), 0, at, expected);
                model.pin = written;
                model.run(buffer.data(), at, n, expected);
            } else {
                model.run(buffer.data(), 0, n, expected);
            }
            first = false;
        }
        const auto published = dsp.published(0);
        ASSERT_EQ(published.size(), expected.size()) << "seed " << seed;
        for (size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(published[i], expected[i]) << "seed " << seed << ", update " << i;
        // No host call beyond the publishes and the start's announcements.
        EXPECT_EQ(dsp.host.count(host::DspCall::Publish), expected.size());
    }
};

using Types = ::testing::Types<float, int32_t, bool>;
TYPED_TEST_SUITE(VoltToGuiEquivalence, Types);

TYPED_TEST(VoltToGuiEquivalence, EveryUpdateAsTheRuleGivesIt) {
    for (uint32_t seed = 1; seed <= 60; ++seed)
        this->runSeed(seed);
}

}  // namespace

namespace {

// Hosts that act from inside publishPinValue: the rule then goes on with
// what they left, and no update reaches a host that was detached.
class VoltToGuiReentry : public test::LibraryTest {
protected:
    VoltToGuiReentry() : LibraryTest("uplink") {}
};

TEST_F(VoltToGuiReentry, PinWrittenDuringTheCallIsComparedAgainst) {
    test::DspHalf dsp(*lib, u"ZVR_Volt2GUIFloat");
    auto& buffer = dsp.module->buffer(1, 4);
    dsp.module->process(0, EventList().start(0).streamOn(0, 1));
    dsp.host.clear();
    // At the first update the host hands in an empty block that writes 5 to
    // pin 0. The repeat of 1 is then no change; 5 equals the pin; the
    // return to 1 is sent.
    bool written = false;
    dsp.host.onPublish = [&](int32_t, int32_t, const Bytes&) {
        if (written)
            return;
        written = true;
        dsp.module->process(0, EventList().value(0, 0, wire(5.0f)));
    };
    buffer = {0.1f, 0.1f, 0.5f, 0.1f};
    dsp.module->process(4);
    const std::vector<Update> expected{{0, wire(1.0f)}, {3, wire(1.0f)}};
    EXPECT_EQ(dsp.published(0), expected);
}

TEST_F(VoltToGuiReentry, HostAttachedDuringTheCallReceivesTheRest) {
    host::RecordingDspHost second;  // outlives the module, which holds it
    test::DspHalf dsp(*lib, u"ZVR_Volt2GUIFloat");
    auto& buffer = dsp.module->buffer(1, 4);
    dsp.module->process(0, EventList().start(0).streamOn(0, 1));
    dsp.host.clear();
    bool attached = false;
    dsp.host.onPublish = [&](int32_t, int32_t, const Bytes&) {
        if (!attached)
            dsp.module->plugin()->attachHost(second.unknown());
        attached = true;
    };
    buffer = {0.1f, 0.2f, 0.3f, 0.4f};
    dsp.module->process(4);
    EXPECT_EQ(dsp.published(0), (std::vector<Update>{{0, wire(1.0f)}}));
    std::vector<Update> rest;
    for (const auto& c : second.callsOf(host::DspCall::Publish))
        rest.emplace_back(c.sampleOffset, c.bytes);
    const std::vector<Update> expected{{1, wire(2.0f)}, {2, wire(3.0f)}, {3, wire(4.0f)}};
    EXPECT_EQ(rest, expected);
}

}  // namespace
