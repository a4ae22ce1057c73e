// "QV ADSR4" through the built library: segment lengths and levels to the
// bit, stage changes by pin events, and sleeping while it holds.
#include <algorithm>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "dsp_host.h"
#include "plugins.h"
#include "reference_envelope.h"

using namespace ovra;
using ovra::host::DspCall;
using ovra::host::EventList;
using ovra::test::ReferenceEnvelope;

namespace {

enum Pin { kTrigger, kGate, kAttackTime, kDecayTime, kSustainLevel, kReleaseTime, kAttackShape, kDecayShape,
           kReleaseShape, kOut, kReset };

// (sample, streaming) of every announcement of the output, in order.
using Marks = std::vector<std::pair<int64_t, bool>>;

constexpr float kUnwritten = -1000.0f;

class Adsr : public ::testing::Test {
protected:
    static constexpr int32_t kBlock = 64;

    void SetUp() override {
        lib = test::loadPlugin("adsr");
        ASSERT_TRUE(lib);
        IMpUnknown* made = nullptr;
        ASSERT_EQ(lib->create(u"QV ADSR4", SUBTYPE_DSP, host.unknown(), &made), RC_OK);
        module = std::make_unique<host::DspModule>(made, host);
        for (int pin = kAttackTime; pin <= kReleaseShape; ++pin)
            set(pin, 0.5f);
        set(kSustainLevel, 0.3f);
        out = &module->buffer(kOut, kBlock);
        host.countdown = 16;
        run(0, EventList().start().value(0, kGate, false));
        restart();
    }

    void set(int pin, float v) {
        auto& b = module->buffer(pin, kBlock);
        std::fill(b.begin(), b.end(), v);
    }
    void restart() {
        log.clear();
        rendered.clear();
        now = 0;
    }

    // Renders count samples in blocks; events go to the first block. Host
    // calls are logged with their offsets made absolute.
    void run(int32_t count, const EventList& events = EventList()) {
        int32_t done = 0;
        do {
            const int32_t n = std::min(kBlock, count - done);
            std::fill(out->begin(), out->end(), kUnwritten);
            const size_t seen = host.calls.size();
            if (done == 0)
                module->process(n, events);
            else
                module->process(n);
            for (size_t i = seen; i < host.calls.size(); ++i) {
                log.push_back(host.calls[i]);
                log.back().sampleOffset += static_cast<int32_t>(now);
            }
            rendered.insert(rendered.end(), out->begin(), out->begin() + n);
            now += n;
            done += n;
        } while (done < count);
    }

    static EventList gateOn(int32_t at = 0) { return EventList().value(at, kGate, true).value(at, kTrigger, true); }

    Marks announced() const {
        Marks marks;
        for (const auto& c : log)
            if (c.kind == DspCall::Streaming && c.pinIndex == kOut)
                marks.emplace_back(c.sampleOffset, c.streaming);
        return marks;
    }
    // The last sample written before the module went to sleep.
    float lastWritten() const {
        auto it = std::find_if(rendered.rbegin(), rendered.rend(), [](float v) { return v != kUnwritten; });
        return it == rendered.rend() ? kUnwritten : *it;
    }
    size_t countOf(DspCall::Kind kind) const {
        return static_cast<size_t>(std::count_if(log.begin(), log.end(), [&](const DspCall& c) { return c.kind == kind; }));
    }

    std::unique_ptr<host::Library> lib;
    host::RecordingDspHost host;
    std::unique_ptr<host::DspModule> module;
    std::vector<float>* out = nullptr;
    std::vector<DspCall> log;
    std::vector<float> rendered;
    int64_t now = 0;
};

// ---------------------------------------------------------------------------
// Segments

TEST_F(Adsr, AttackAndDecayEndOnTheirExactSamples) {
    run(9000, gateOn());
    // Attack 4801 samples, decay 3361 counted from the sample it starts at.
    EXPECT_EQ(announced(), (Marks{{0, true}, {4800, true}, {8160, false}}));
    // First sample: asymptote × coefficient.
    EXPECT_NEAR(rendered[0], 1.0067836549 * 0.0010411243, 2e-10);
    EXPECT_LT(rendered[2400], 1.0f);
    EXPECT_EQ(rendered[4800], 1.0f);
    EXPECT_LT(rendered[4801], 1.0f);
    EXPECT_EQ(rendered[8160], 0.3f);
    EXPECT_EQ(rendered[8175], 0.3f);
}

TEST_F(Adsr, FlatAttackEndsOnItsFourThousandEighthHundredthSample) {
    set(kAttackShape, 0.0f);
    run(5000, gateOn());
    ASSERT_GE(announced().size(), 2u);
    EXPECT_EQ(announced()[1], (std::pair<int64_t, bool>{4799, true}));
    EXPECT_EQ(rendered[4799], 1.0f);
}

// A pattern that touches every stage, as a bit-exact fingerprint of the
// rendered samples.
TEST_F(Adsr, MusicalPatternIsBitExact) {
    set(kAttackTime, 0.25f);
    set(kAttackShape, -0.3f);
    set(kDecayShape, 0.8f);
    set(kReleaseTime, 0.6f);
    set(kReleaseShape, 0.2f);
    run(20000, gateOn(10));
    run(40000, EventList().value(5, kGate, false));
    uint64_t hash = 1469598103934665603u;
    for (float v : rendered) {
        hash = (hash ^ host::bitsOf(v)) * 1099511628211u;
    }
    EXPECT_EQ(announced(), (Marks{{10, true}, {489, true}, {3849, false}, {20005, true}, {23622, false}}));
    EXPECT_EQ(hash, 0x7ae72d0047325a02u) << std::hex << hash;
}

TEST_F(Adsr, WithoutSampleRateEverySegmentLastsOneSample) {
    host.sampleRate.reset();
    run(64, gateOn());
    run(64, EventList().value(0, kGate, false));
    // One sample of movement, then the crossing sample starts the next stage.
    EXPECT_EQ(announced(), (Marks{{0, true}, {1, true}, {3, false}, {64, true}, {65, false}}));
    EXPECT_EQ(rendered[3], 0.3f);
    EXPECT_EQ(rendered[65], 0.0f);
}

TEST_F(Adsr, TriggerAtFullLevelPassesToDecayAtOnce) {
    set(kSustainLevel, 1.0f);
    run(6000, gateOn());
    restart();
    run(8, EventList().value(3, kTrigger, true));
    // Attack and decay have nothing to cover: each ends at its next sample.
    EXPECT_EQ(announced(), (Marks{{3, true}, {3, true}, {4, false}}));
}

// Starts outside 0..1 run their course instead of jumping to the target.
struct OutsideStart {
    const char* name;
    float sustain;
};
void PrintTo(const OutsideStart& c, std::ostream* os) { *os << c.name; }

class AdsrOutsideRange : public Adsr, public ::testing::WithParamInterface<OutsideStart> {};

TEST_P(AdsrOutsideRange, SegmentFromThereIsGradual) {
    set(kSustainLevel, GetParam().sustain);
    run(12000, gateOn());
    restart();
    run(6000, EventList().value(0, kGate, false));  // release from the sustain level
    EXPECT_NEAR(rendered[0], GetParam().sustain, 0.01);
    ASSERT_EQ(announced().size(), 2u);
    EXPECT_GT(announced()[1].first, 1000);
    EXPECT_EQ(lastWritten(), 0.0f);
}

INSTANTIATE_TEST_SUITE_P(Levels, AdsrOutsideRange,
                         ::testing::Values(OutsideStart{"AboveOne", 1.05f}, OutsideStart{"BelowZero", -0.5f}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Adsr, SustainAboveTheHoldLimitPassesToRelease) {
    set(kSustainLevel, 1.2f);
    run(12000, gateOn());
    const Marks marks = announced();
    ASSERT_GE(marks.size(), 4u);
    EXPECT_EQ(marks[2].second, false);
    EXPECT_EQ(marks[3], (std::pair<int64_t, bool>{marks[2].first + 1, true}));
    EXPECT_EQ(lastWritten(), 0.0f);  // released to idle with the gate still held
}

TEST_F(Adsr, InputsAreReadOnlyWhereASegmentStarts) {
    run(100, gateOn());
    set(kAttackTime, 0.0f);
    run(6000);
    EXPECT_EQ(announced()[1].first, 4800);
}

TEST_F(Adsr, NewSustainLevelWhileHoldingDecaysToIt) {
    run(9000, gateOn());
    set(kSustainLevel, 0.6f);
    restart();
    run(4000, EventList().streamOff(0, kSustainLevel));
    EXPECT_EQ(announced().front(), (std::pair<int64_t, bool>{0, true}));
    EXPECT_EQ(announced().back().second, false);
    EXPECT_EQ(rendered[static_cast<size_t>(announced().back().first)], 0.6f);
}

// ---------------------------------------------------------------------------
// Segments whose update stalls

// Where the update stops moving the level short of its target, the first
// version of the envelope stayed in that stage for ever. The segment now
// ends at its last sample, floor(N) + 1, and the envelope goes on (and
// sleeps once it holds).
struct StalledSegment {
    const char* name;
    float attackShape, releaseShape;
    int64_t gateOff;                // sample of the gate drop
    int64_t lastSample;             // where the stalling segment ends
    ReferenceEnvelope::Input shapeInput;
};
void PrintTo(const StalledSegment& c, std::ostream* os) { *os << c.name; }

class AdsrStalled : public Adsr, public ::testing::WithParamInterface<StalledSegment> {};

// The reference version with the same inputs: whether the stage it is in
// at sample `from` is still running `samples` later.
bool referenceStaysIn(const StalledSegment& c, int64_t samples) {
    test::ReferenceEnvelope reference;
    reference.input = [&](test::ReferenceEnvelope::Input in, int64_t) {
        if (in == test::ReferenceEnvelope::kSustainLevel)
            return 0.3f;
        if (in == test::ReferenceEnvelope::kAttackShape)
            return c.attackShape;
        if (in == test::ReferenceEnvelope::kReleaseShape)
            return c.releaseShape;
        return 0.5f;
    };
    std::vector<float> out(static_cast<size_t>(c.gateOff));
    reference.onPinsChanged(0, false, 0.0f, true, true, true, true, false);
    reference.process(0, static_cast<int32_t>(c.gateOff), out.data());
    if (c.shapeInput == test::ReferenceEnvelope::kReleaseShape)
        reference.onPinsChanged(c.gateOff, false, 0.0f, false, false, true, false, false);
    const int32_t stage = reference.stage;
    std::vector<float> rest(static_cast<size_t>(samples));
    reference.process(c.gateOff, static_cast<int32_t>(samples), rest.data());
    return reference.stage == stage && reference.stuck();
}

TEST_P(AdsrStalled, SegmentEndsAtItsLastSampleAndTheEnvelopeSleeps) {
    const StalledSegment& c = GetParam();
    ASSERT_TRUE(referenceStaysIn(c, 200000)) << "the first version ended this segment by itself";
    set(kAttackShape, c.attackShape);
    set(kReleaseShape, c.releaseShape);
    run(static_cast<int32_t>(c.gateOff), gateOn());
    run(20000, EventList().value(0, kGate, false));
    const Marks marks = announced();
    ASSERT_EQ(marks.size(), 5u);
    if (c.shapeInput == test::ReferenceEnvelope::kAttackShape) {
        EXPECT_EQ(marks[1], (std::pair<int64_t, bool>{c.lastSample, true}));  // decay starts
        EXPECT_EQ(rendered[static_cast<size_t>(c.lastSample)], 1.0f);
    } else {
        EXPECT_EQ(marks[4], (std::pair<int64_t, bool>{c.lastSample, false}));  // idle
        EXPECT_EQ(rendered[static_cast<size_t>(c.lastSample) - 1], 0.3f);    // held off the curve...
        EXPECT_EQ(rendered[static_cast<size_t>(c.lastSample)], 0.0f);        // ...until its last sample
    }
    EXPECT_EQ(lastWritten(), 0.0f);
    EXPECT_GT(countOf(DspCall::OfferSleep), 100u);
}

// At 48 kHz with time 0.5: the attack's N is 4800.00007, the release's from
// 0.3 is 1440.00002.
INSTANTIATE_TEST_SUITE_P(
    Shapes, AdsrStalled,
    ::testing::Values(StalledSegment{"Attack4", 4.0f, 0.5f, 9000, 4800, ReferenceEnvelope::kAttackShape},
                      StalledSegment{"Attack12", 12.0f, 0.5f, 9000, 4800, ReferenceEnvelope::kAttackShape},
                      StalledSegment{"ReleaseMinus4", 0.5f, -4.0f, 9000, 9000 + 1440, ReferenceEnvelope::kReleaseShape},
                      StalledSegment{"ReleaseMinus10", 0.5f, -10.0f, 9000, 9000 + 1440,
                                     ReferenceEnvelope::kReleaseShape}),
    [](const auto& info) { return std::string(info.param.name); });

// A host may hand in a block from inside an announcement of the output. The
// block sees the next stage in full or, while a segment is still being set
// up, the level held where it stands; its calls stay inside it, and the
// outer blocks go on as if it had not come. The stalled attack ends on its
// last sample with no sample left, where a block handed in then once ended
// the stage at sample -1 and wrote before the buffer.
TEST_F(Adsr, BlockHandedInDuringAnAnnouncementStaysInsideIt) {
    set(kAttackShape, 4.0f);
    std::vector<std::vector<DspCall>> nestedCalls;
    std::vector<std::vector<float>> nestedSamples;
    bool inside = false;
    host.onStreaming = [&](int32_t, int32_t pin, bool) {
        if (inside || pin != kOut)
            return;
        inside = true;
        const size_t from = host.calls.size();
        module->process(3);
        nestedCalls.emplace_back(host.calls.begin() + static_cast<long>(from), host.calls.end());
        nestedSamples.emplace_back(out->begin(), out->begin() + 3);
        host.calls.resize(from);  // the outer blocks' log stays theirs
        inside = false;
    };
    run(9000, gateOn());
    run(20000, EventList().value(0, kGate, false));
    host.onStreaming = nullptr;

    EXPECT_EQ(announced(), (Marks{{0, true}, {4800, true}, {8160, false}, {9000, true}, {10440, false}}));
    EXPECT_EQ(rendered[4800], 1.0f);
    EXPECT_EQ(rendered[8160], 0.3f);
    EXPECT_EQ(lastWritten(), 0.0f);
    ASSERT_EQ(nestedCalls.size(), 5u);
    for (const auto& calls : nestedCalls)
        for (const auto& c : calls)
            if (c.kind == DspCall::Publish || c.kind == DspCall::Streaming) {
                EXPECT_GE(c.sampleOffset, 0);
                EXPECT_LE(c.sampleOffset, 3);
            }
    // Handed in at the decay's start and at the sustain's: the attack's
    // end and the sustain level, held.
    EXPECT_EQ(nestedSamples[1], std::vector<float>(3, 1.0f));
    EXPECT_EQ(nestedSamples[2], std::vector<float>(3, 0.3f));
}

// A segment of no length at a level where adding 1 changes nothing still
// ends at the next sample.
TEST_F(Adsr, ZeroSwingAtAHugeLevelEndsAtTheNextSample) {
    set(kSustainLevel, -1e20f);
    set(kDecayTime, -10.0f);  // one sample
    run(8000, gateOn());
    ASSERT_EQ(announced().back().second, false);  // holding at -1e20
    restart();
    run(64, EventList().streamOn(0, kSustainLevel));  // the same level again: a decay of no swing
    EXPECT_EQ(announced(), (Marks{{0, true}, {0, false}}));
}

// ---------------------------------------------------------------------------
// Gate, trigger and reset

TEST_F(Adsr, GateDropInIdleOrReleaseDoesNothing) {
    run(64, EventList().value(0, kGate, false).value(10, kGate, false));
    EXPECT_EQ(countOf(DspCall::ReadSampleRate), 0u);
    run(6000, gateOn());
    run(64, EventList().value(0, kGate, false));
    const size_t segments = countOf(DspCall::ReadSampleRate);
    run(64, EventList().value(0, kGate, false).value(20, kGate, false));
    EXPECT_EQ(countOf(DspCall::ReadSampleRate), segments);
}

TEST_F(Adsr, TriggerWithoutGateDoesNothing) {
    run(64, EventList().value(0, kTrigger, true));
    EXPECT_EQ(countOf(DspCall::ReadSampleRate), 0u);
}

struct ResetValue {
    const char* name;
    float value;
    bool resets;
};
void PrintTo(const ResetValue& c, std::ostream* os) { *os << c.name; }

class AdsrReset : public Adsr, public ::testing::WithParamInterface<ResetValue> {};

TEST_P(AdsrReset, OnlyOneOrNaNDropsTheEnvelope) {
    run(1000, gateOn());
    restart();
    run(128, EventList().value(20, kReset, GetParam().value));
    if (GetParam().resets) {
        EXPECT_GT(rendered[19], 0.1f);
        for (size_t i = 20; i < 20 + 16; ++i)
            ASSERT_EQ(rendered[i], 0.0f) << i;
        EXPECT_EQ(announced(), (Marks{{20, false}}));
    } else {
        EXPECT_GT(rendered[127], rendered[19]);
        EXPECT_TRUE(announced().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, AdsrReset,
    ::testing::Values(ResetValue{"One", 1.0f, true}, ResetValue{"JustBelow", 0.99f, false},
                      ResetValue{"NaN", std::numeric_limits<float>::quiet_NaN(), true}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Sleeping

TEST_F(Adsr, HoldingEnvelopeSleepsAfterTheCountdown) {
    run(9000, gateOn());
    const int64_t held = announced().back().first;
    ASSERT_EQ(held, 8160);
    run(2000, EventList().value(0, kReset, 1.0f));
    // Every stop is preceded by the countdown refill.
    int stops = 0;
    for (size_t i = 0; i < log.size(); ++i)
        if (log[i].kind == DspCall::Streaming && !log[i].streaming) {
            ++stops;
            ASSERT_GT(i, 0u);
            EXPECT_EQ(log[i - 1].kind, DspCall::FillCountdown) << log[i].sampleOffset;
        }
    EXPECT_EQ(stops, 2);
    // Every block from 8192 on offers: 13 up to 9000, then 32 for the reset run.
    EXPECT_EQ(countOf(DspCall::OfferSleep), 13u + 32u);
    // The block holding the stop runs to its end; the next one runs the
    // countdown and no further.
    EXPECT_EQ(rendered[8207], 0.3f);
    EXPECT_EQ(rendered[8208], kUnwritten);
}

TEST_F(Adsr, IdleEnvelopeSleepsFromTheStart) {
    run(256);
    EXPECT_EQ(countOf(DspCall::OfferSleep), 4u);
}

// ---------------------------------------------------------------------------
// The object

TEST_F(Adsr, AsksForTheAuxInterfaceFirstAndGivesEveryReferenceBack) {
    host::RecordingDspHost other;
    IMpUnknown* made = nullptr;
    ASSERT_EQ(lib->create(u"QV ADSR4", SUBTYPE_DSP, other.unknown(), &made), RC_OK);
    const auto queries = other.callsOf(DspCall::Query);
    ASSERT_EQ(queries.size(), 2u);
    EXPECT_TRUE(queries[0].iid == IID_IMpDspHostAux);
    EXPECT_TRUE(queries[1].iid == IID_IMpDspHost);
    EXPECT_EQ(other.references, 3);

    void* legacy = nullptr;
    ASSERT_EQ(made->QueryInterface(&IID_IMpLegacyInitialization, &legacy), RC_OK);
    EXPECT_EQ(static_cast<IMpLegacyInitialization*>(legacy)->attachHost(other.unknown()), RC_OK);
    EXPECT_EQ(other.references, 3);
    static_cast<IMpLegacyInitialization*>(legacy)->Release();
    EXPECT_EQ(made->Release(), 0u);
    EXPECT_EQ(other.references, 1);
}

TEST_F(Adsr, InterfacesSitInTheirOrderInOneObject) {
    void* first = nullptr;
    void* second = nullptr;
    void* legacy = nullptr;
    IMpUnknown* unknown = module->plugin();
    ASSERT_EQ(unknown->QueryInterface(&IID_IMpPlugin, &first), RC_OK);
    ASSERT_EQ(unknown->QueryInterface(&IID_IMpPlugin2, &second), RC_OK);
    ASSERT_EQ(unknown->QueryInterface(&IID_IMpLegacyInitialization, &legacy), RC_OK);
    // One table pointer each: plugin, plugin 2, the factory's own, legacy.
    EXPECT_EQ(static_cast<char*>(second) - static_cast<char*>(first), 8);
    EXPECT_EQ(static_cast<char*>(legacy) - static_cast<char*>(first), 24);
    for (void* p : {first, second, legacy})
        static_cast<IMpUnknown*>(p)->Release();
}

TEST_F(Adsr, PinsAreNumberedZeroToTen) {
    float buffer[kBlock] = {};
    for (int32_t pin = 0; pin <= kReset; ++pin)
        EXPECT_EQ(module->plugin()->assignPinBuffer(pin, buffer), RC_OK) << pin;
    EXPECT_EQ(module->plugin()->assignPinBuffer(11, buffer), RC_FAILED);
    EXPECT_EQ(module->plugin()->assignPinBuffer(-1, buffer), RC_FAILED);
}

}  // namespace
