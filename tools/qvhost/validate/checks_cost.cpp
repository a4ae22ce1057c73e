// What a DSP half costs: microseconds of processBlock per second of audio at
// 48 kHz in blocks of 64, with ordinary input, with silence, after a loud
// input stops and with denormal input. A half whose denormal state or input
// makes it ten times slower warns: on a processor that does not flush
// denormals, a filter decaying after its input stops can take a whole core.
#include <algorithm>
#include <cstdio>
#include <limits>

#include "checks.h"
#include "dsp_bench.h"
#include "generators.h"

namespace qvhost {

using namespace ovra;

namespace {

constexpr int32_t kRate = 48000;
constexpr int32_t kBlock = 64;
constexpr int kBlocksPerSecond = kRate / kBlock;
// Each measured second is cut in slices; the fastest slice stands for it, so
// that a moment when the machine was busy elsewhere does not count.
constexpr int kSlices = 5;

enum class Input { Ordinary, Silence, Loud, Denormal };

class CostBench {
public:
    explicit CostBench(CheckContext& ctx) : ctx_(ctx), bench_(ctx, kRate, kBlock) {}

    // Runs seconds of audio with the inputs fed as `input`.
    void run(double seconds, Input input) {
        const int blocks = static_cast<int>(seconds * kBlocksPerSecond);
        for (int b = 0; b < blocks; ++b)
            block(input);
    }

    // Microseconds of processBlock per second of audio, over one second.
    double measure(Input input) {
        double fastest = std::numeric_limits<double>::infinity();
        for (int slice = 0; slice < kSlices; ++slice) {
            const double before = bench_.secondsProcessing;
            for (int b = 0; b < kBlocksPerSecond / kSlices; ++b)
                block(input);
            fastest = std::min(fastest, bench_.secondsProcessing - before);
        }
        return fastest * kSlices * 1e6;
    }

private:
    void block(Input input) {
        const auto& half = *ctx_.half;
        std::vector<BenchEvent> events;
        if (first_)
            events.push_back({0, EV_START, 0});
        for (const auto& pin : half.pins) {
            if (!pin.isInput())
                continue;
            if (pin.isAudio()) {
                float* samples = bench_.buffer(pin.index);
                for (int32_t i = 0; i < kBlock; ++i)
                    samples[i] = input == Input::Ordinary ? uniformFloat(ctx_.rng, -0.5f, 0.5f)
                                 : input == Input::Loud   ? uniformFloat(ctx_.rng, -1.0f, 1.0f)
                                 : input == Input::Denormal
                                     ? (i % 2 == 0 ? 1.0e-39f : -1.0e-39f)
                                     : 0.0f;
                const bool streaming = input != Input::Silence;
                if (first_ || streaming != streaming_)
                    events.push_back({0, streaming ? EV_STREAM_ON : EV_STREAM_OFF, pin.index});
            } else if (first_) {
                events.push_back({0, EV_PIN_VALUE, pin.index, randomOrdinaryValue(pin.type, ctx_.rng)});
            }
        }
        streaming_ = input != Input::Silence;
        first_ = false;
        bench_.process(kBlock, events);
    }

    CheckContext& ctx_;
    DspBench bench_;
    bool first_ = true;
    bool streaming_ = false;
};

std::string microseconds(double us) {
    char text[32];
    std::snprintf(text, sizeof text, us < 10 ? "%.1f" : "%.0f", us);
    return text;
}

}  // namespace

Outcome checkDspCost(CheckContext& ctx) {
    CostBench ordinary(ctx), silence(ctx), afterLoud(ctx), denormal(ctx);
    ordinary.run(0.5, Input::Ordinary);
    const double usOrdinary = ordinary.measure(Input::Ordinary);
    const double usSilence = silence.measure(Input::Silence);
    // Loud, then the input stops: a filter's state decays through the
    // denormal range (and may stay there).
    afterLoud.run(0.5, Input::Loud);
    afterLoud.run(0.5, Input::Silence);
    const double usAfterStop = afterLoud.measure(Input::Silence);
    const double usDenormal = denormal.measure(Input::Denormal);

    const std::string table = "microseconds of processBlock per second of audio at 48000 Hz in blocks of 64: "
                              "ordinary input " + microseconds(usOrdinary) + ", silence " + microseconds(usSilence) +
                              ", after a loud input stops " + microseconds(usAfterStop) + ", denormal input " +
                              microseconds(usDenormal);
    // Against ordinary input, and only where the difference is worth a
    // look (a tenth of a millisecond per second).
    constexpr double kSlowdown = 10.0, kFloor = 100.0;
    const double base = std::max(usOrdinary, 1.0);
    const bool stopSlow = usAfterStop > kSlowdown * base && usAfterStop - usOrdinary > kFloor;
    const bool inputSlow = usDenormal > kSlowdown * base && usDenormal - usOrdinary > kFloor;
    if (stopSlow || inputSlow) {
        const double worst = std::max(stopSlow ? usAfterStop : 0.0, inputSlow ? usDenormal : 0.0);
        char ratio[32];
        std::snprintf(ratio, sizeof ratio, "%.0f", worst / base);
        ctx.warn(std::string("denormal slowdown: ") + ratio + "x " +
                 (worst == usAfterStop && stopSlow ? "after the input stops" : "with denormal input") +
                 "; flush denormals (or add a tiny offset) in the module's feedback paths; " + table);
    }
    return {Status::Passed,
            table,
            {{"ordinary", usOrdinary}, {"silence", usSilence}, {"afterLoudInput", usAfterStop},
             {"denormalInput", usDenormal}}};
}

}  // namespace qvhost
