// "QV ADSR4" through the built library in 64-sample blocks, beside the bare
// per-sample recurrence on plain locals, and the framework's per-block cost.
// Benchmarks named /before load adsr_before.qvm, the envelope as it was
// before its held levels were filled, built from its old source into the
// same run; /after load adsr.qvm.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "dsp_host.h"
#include "library.h"

using namespace ovra;
using ovra::host::EventList;

namespace {

constexpr int32_t kBlock = 64;
constexpr float kRate = 48000.0f;

enum Pin { kTrigger, kGate, kAttackTime, kDecayTime, kSustainLevel, kReleaseTime, kAttackShape, kDecayShape,
           kReleaseShape, kOut, kReset };

// Answers what the module asks and records nothing, so that long runs stay
// flat. It notes an offer to sleep; whether it then stops calling is the
// caller's choice.
class QuietHost : public IMpDspHost, public IMpDspHostAux {
public:
    int32_t countdown = kBlock;  // what fillSleepCountdown writes
    bool asleep = false;
    int32_t QueryInterface(const Guid* iid, void** out) override {
        *out = nullptr;
        if (isGuid(iid, IID_IMpDspHost))
            *out = static_cast<IMpDspHost*>(this);
        else if (isGuid(iid, IID_IMpDspHostAux))
            *out = static_cast<IMpDspHostAux*>(this);
        return *out != nullptr ? RC_OK : RC_NOT_FOUND;
    }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    int32_t publishPinValue(int32_t, int32_t, int32_t, const void*) override { return RC_OK; }
    int32_t announceStreaming(int32_t, int32_t, bool) override { return RC_OK; }
    int32_t offerSleep() override {
        asleep = true;
        return RC_OK;
    }
    int32_t reserved7() override { return RC_OK; }
    int32_t fillSleepCountdown(int32_t* out) override {
        *out = countdown;
        return RC_OK;
    }
    int32_t readSampleRate(float* rate) override {
        *rate = kRate;
        return RC_OK;
    }
};

// One envelope with its input buffers held at constant values.
class Envelope {
public:
    explicit Envelope(const char* library = "adsr", int32_t countdown = kBlock) {
        host_.countdown = countdown;
        std::string error;
        lib_ = host::Library::open(std::string(OVRA_PLUGIN_DIR) + "/" + library + ".qvm", error);
        if (!lib_)
            throw std::runtime_error(error);
        IMpUnknown* made = nullptr;
        lib_->create(u"QV ADSR4", SUBTYPE_DSP, static_cast<IMpDspHost*>(&host_), &made);
        void* p = nullptr;
        made->QueryInterface(&IID_IMpPlugin2, &p);
        made->Release();
        plugin_ = static_cast<IMpPlugin2*>(p);
        buffers_.assign(kReset, std::vector<float>(kBlock, 0.0f));
        for (int32_t pin = kAttackTime; pin <= kOut; ++pin)
            plugin_->assignPinBuffer(pin, buffers_[pin].data());
        plugin_->processBlock(0, EventList().start().value(0, kGate, false).head());
    }
    ~Envelope() {
        plugin_->Release();
    }

    void set(int32_t pin, float v) { std::fill(buffers_[pin].begin(), buffers_[pin].end(), v); }
    void process(const EventList* events = nullptr) {
        plugin_->processBlock(kBlock, events != nullptr ? events->head() : nullptr);
        benchmark::DoNotOptimize(buffers_[kOut].data());
    }
    float lastSample() const { return buffers_[kOut][kBlock - 1]; }
    QuietHost& host() { return host_; }

private:
    QuietHost host_;
    std::unique_ptr<host::Library> lib_;
    IMpPlugin2* plugin_ = nullptr;
    std::vector<std::vector<float>> buffers_;
};

// Reported as seconds per sample (printed with an "ns" suffix).
void perSample(benchmark::State& state, int64_t samplesPerIteration) {
    state.counters["per_sample"] = benchmark::Counter(static_cast<double>(samplesPerIteration),
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

// An attack of 100000 s per full swing: one segment for the whole run.
void BM_ModuleLongSegment(benchmark::State& state, const char* library) {
    Envelope env(library);
    env.set(kAttackTime, 2.0f);
    env.set(kAttackShape, 0.5f);
    const EventList on = EventList().value(0, kGate, true).value(0, kTrigger, true);
    env.process(&on);
    for (auto _ : state)
        env.process();
    perSample(state, kBlock);
}
BENCHMARK_CAPTURE(BM_ModuleLongSegment, before, "adsr_before");
BENCHMARK_CAPTURE(BM_ModuleLongSegment, after, "adsr");

// Where a segment would end; out of line, so that the crossing test stays a
// branch as it is in the module.
[[gnu::noinline]] double crossed(double upper) {
    benchmark::ClobberMemory();
    return upper;
}

// The per-sample update and its two comparisons on plain locals, writing
// floats into a block buffer, with the coefficients of the segment above.
void BM_BareRecurrence(benchmark::State& state) {
    std::vector<float> out(kBlock);
    volatile double seed[4] = {1.0000000125, 1.2e-10, 0.0, 1.0};  // asymptote, coefficient, lower, upper
    const double asymptote = seed[0], coefficient = seed[1], lower = seed[2], upper = seed[3];
    double level = 0.0;
    for (auto _ : state) {
        float* o = out.data();
        for (int32_t i = 0; i < kBlock; ++i) {
            level = (asymptote - level) * coefficient + level;
            if (!(level >= lower) || level > upper)
                level = crossed(upper);
            o[i] = static_cast<float>(level);
        }
        benchmark::DoNotOptimize(o);
        benchmark::ClobberMemory();
    }
    perSample(state, kBlock);
}
BENCHMARK(BM_BareRecurrence);

// Gate on, attack 0.1 s, decay 0.1 s, sustain 0.3, gate off at 1 s, release
// 0.2 s, then idle up to 1.5 s. A sleeping host stops calling once the
// module offers to sleep and wakes it with the next event; the other host
// calls every block, so the module offers again each time.
void musicalPattern(benchmark::State& state, const char* library, bool hostSleeps, int32_t countdown = kBlock) {
    Envelope env(library, countdown);
    env.set(kAttackTime, 0.5f);                                     // 10^(4·0.5 − 3) = 0.1 s
    env.set(kDecayTime, 0.5f);
    env.set(kSustainLevel, 0.3f);
    env.set(kReleaseTime, static_cast<float>((std::log10(0.2) + 3) / 4));  // 0.2 s
    env.set(kAttackShape, 0.5f);
    env.set(kDecayShape, 0.5f);
    env.set(kReleaseShape, 0.5f);
    const EventList on = EventList().value(0, kGate, true).value(0, kTrigger, true);
    const EventList off = EventList().value(0, kGate, false);
    constexpr int32_t kBlocks = 72000 / kBlock;  // 1.5 s
    constexpr int32_t kOffBlock = 48000 / kBlock;
    for (auto _ : state) {
        for (int32_t b = 0; b < kBlocks; ++b) {
            const EventList* events = b == 0 ? &on : b == kOffBlock ? &off : nullptr;
            if (events != nullptr)
                env.host().asleep = false;
            if (!(hostSleeps && env.host().asleep))
                env.process(events);
        }
    }
    perSample(state, int64_t{kBlocks} * kBlock);
}
void BM_MusicalPatternSleepingHost(benchmark::State& state, const char* library) {
    musicalPattern(state, library, true);
}
void BM_MusicalPatternHostCallsEveryBlock(benchmark::State& state, const char* library) {
    musicalPattern(state, library, false);
}
// A host whose countdown never runs out: the module processes every sample
// of every hold.
void BM_MusicalPatternNoSleep(benchmark::State& state, const char* library) {
    musicalPattern(state, library, false, 1 << 30);
}
BENCHMARK_CAPTURE(BM_MusicalPatternSleepingHost, before, "adsr_before");
BENCHMARK_CAPTURE(BM_MusicalPatternSleepingHost, after, "adsr");
BENCHMARK_CAPTURE(BM_MusicalPatternHostCallsEveryBlock, before, "adsr_before");
BENCHMARK_CAPTURE(BM_MusicalPatternHostCallsEveryBlock, after, "adsr");
BENCHMARK_CAPTURE(BM_MusicalPatternNoSleep, before, "adsr_before");
BENCHMARK_CAPTURE(BM_MusicalPatternNoSleep, after, "adsr");

// A block of a held sustain level, with a countdown so long that the
// module never offers to sleep: the envelope routine runs the whole block.
void BM_ModuleHoldBlock(benchmark::State& state, const char* library) {
    Envelope env(library, 1 << 30);
    env.set(kAttackTime, 0.0f);
    env.set(kDecayTime, 0.0f);
    env.set(kSustainLevel, 0.3f);
    const EventList on = EventList().value(0, kGate, true).value(0, kTrigger, true);
    env.process(&on);
    for (int i = 0; i < 10; ++i)
        env.process();  // attack and decay of 48 samples each are over
    if (env.lastSample() != 0.3f)
        state.SkipWithError("not holding");
    for (auto _ : state)
        env.process();
    perSample(state, kBlock);
}
BENCHMARK_CAPTURE(BM_ModuleHoldBlock, before, "adsr_before");
BENCHMARK_CAPTURE(BM_ModuleHoldBlock, after, "adsr");

// A new attack at the start of every block: the cost of starting a
// segment (the host's sample rate, one powf, three exp and the check
// whether the update would stall) on top of a block of the segment.
void BM_SegmentStartEveryBlock(benchmark::State& state, const char* library) {
    Envelope env(library);
    env.set(kAttackTime, 2.0f);
    env.set(kAttackShape, 0.5f);
    const EventList again = EventList().value(0, kGate, true).value(0, kTrigger, true);
    for (auto _ : state)
        env.process(&again);
    perSample(state, kBlock);
}
BENCHMARK_CAPTURE(BM_SegmentStartEveryBlock, before, "adsr_before");
BENCHMARK_CAPTURE(BM_SegmentStartEveryBlock, after, "adsr");

// The bound of a held block: a fill of the block's floats.
void BM_FillBlock(benchmark::State& state) {
    std::vector<float> out(kBlock);
    volatile float seed = 0.3f;
    for (auto _ : state) {
        std::fill(out.begin(), out.end(), static_cast<float>(seed));
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    perSample(state, kBlock);
}
BENCHMARK(BM_FillBlock);

// Framework cost of one block of an idle, sleeping module.
void BM_FrameworkEmptyBlock(benchmark::State& state) {
    Envelope env;
    for (auto _ : state)
        env.process();
}
BENCHMARK(BM_FrameworkEmptyBlock);

// The same with one group of four value events that change nothing audible.
void BM_FrameworkEventGroupOfFour(benchmark::State& state) {
    Envelope env;
    const EventList group =
        EventList().value(0, kTrigger, false).value(0, kGate, false).value(0, kReset, 0.5f).value(0, kReset, 0.25f);
    for (auto _ : state)
        env.process(&group);
}
BENCHMARK(BM_FrameworkEventGroupOfFour);

}  // namespace
