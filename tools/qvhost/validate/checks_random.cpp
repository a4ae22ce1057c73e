// A seeded random session with one half: whatever a host may do, in any
// order. A DSP half gets random sample rates, block sizes from 1 to 4096,
// events at random offsets (ordinary and hostile values, streaming changes)
// and audio that streams, holds or turns hostile; a GUI half gets ordinary
// and hostile values on random inputs. Every block and every delivery is
// held to what the other checks demand. `validate --fuzz` runs this check
// with one seed after another.
#include <algorithm>

#include "checks.h"
#include "dsp_bench.h"
#include "generators.h"
#include "gui_bench.h"
#include "patch/pin_value.h"

namespace qvhost {

using namespace ovra;

namespace {

Bytes someValue(CheckContext& ctx, int32_t type) {
    if (ctx.rng() % 5 != 0)
        return randomOrdinaryValue(type, ctx.rng);
    const auto hostile = hostileValues(type);
    return hostile[ctx.rng() % hostile.size()].bytes;
}

Outcome randomDspSession(CheckContext& ctx) {
    const auto& half = *ctx.half;
    static const int32_t kRates[] = {0, 8000, 11025, 22050, 44100, 48000, 96000, 192000};
    const int32_t rate = ctx.rng() % 4 == 0 ? static_cast<int32_t>(uniformInt(ctx.rng, 1, 384000))
                                            : kRates[ctx.rng() % std::size(kRates)];
    DspBench bench(ctx, rate, kLargestRandomBlock);
    std::vector<PinDescription> inputs;
    for (const auto& pin : half.pins)
        if (pin.isInput())
            inputs.push_back(pin);
    const int blocks = ctx.rounds(64);
    for (int b = 0; b < blocks; ++b) {
        const auto n = static_cast<int32_t>(uniformInt(ctx.rng, 1, kLargestRandomBlock));
        std::vector<BenchEvent> events;
        if (b == 0)
            events.push_back({0, EV_START, 0});
        for (int k = 0, count = static_cast<int>(ctx.rng() % 7); k < count && !inputs.empty(); ++k) {
            const auto& pin = inputs[ctx.rng() % inputs.size()];
            const auto at = static_cast<int32_t>(uniformInt(ctx.rng, 0, n - 1));
            if (pin.isAudio())
                events.push_back({at, ctx.rng() % 2 == 0 ? EV_STREAM_ON : EV_STREAM_OFF, pin.index});
            else
                events.push_back({at, EV_PIN_VALUE, pin.index, someValue(ctx, pin.type)});
        }
        std::stable_sort(events.begin(), events.end(),
                         [](const BenchEvent& x, const BenchEvent& y) { return x.offset < y.offset; });
        for (const auto& pin : inputs) {
            if (!pin.isAudio())
                continue;
            float* samples = bench.buffer(pin.index);
            const int kind = static_cast<int>(ctx.rng() % 8);
            if (kind == 0) {
                const size_t shape = ctx.rng() % hostileAudioShapes().size();
                fillHostileAudio(shape, samples, n, ctx.rng);
                bench.tainted = bench.tainted || hostileAudioShapes()[shape].nonFinite;
            } else {
                const float held = uniformFloat(ctx.rng, -1.0f, 1.0f);
                for (int32_t i = 0; i < n; ++i)
                    samples[i] = kind < 4 ? uniformFloat(ctx.rng, -1.0f, 1.0f) : held;
            }
        }
        bench.process(n, events, "at " + std::to_string(rate) + " Hz, block " + std::to_string(b + 1));
    }
    return {Status::Passed, std::to_string(blocks) + " random blocks at " + std::to_string(rate) + " Hz"};
}

Outcome randomGuiSession(CheckContext& ctx) {
    GuiBench g(ctx);
    const auto pins = g.inputs();
    if (pins.empty())
        return {Status::Skipped, "no inputs"};
    const int deliveries = ctx.rounds(200);
    for (int i = 0; i < deliveries; ++i) {
        const auto& pin = pins[ctx.rng() % pins.size()];
        const Bytes v = someValue(ctx, pin.type);
        g.host.clear();
        host::deliverAndSignal(g.instance.object, pin.index, v);
        const bool fits = sizeFits(pin.type, v.size());
        g.checkSends("after " + pin.name + " = " +
                     (fits ? formatValue(pin.type, v).substr(0, 40) : std::to_string(v.size()) + " bytes") +
                     " (delivery " + std::to_string(i + 1) + ")");
    }
    return {Status::Passed, std::to_string(deliveries) + " random deliveries"};
}

}  // namespace

Outcome checkRandomSession(CheckContext& ctx) {
    return ctx.half->dsp ? randomDspSession(ctx) : randomGuiSession(ctx);
}

}  // namespace qvhost
