// Several instances of one DSP half at once, as a host runs them: each must
// give the same bits as when it runs alone with the same inputs. A module
// that keeps state in a static (a filter memory, a last value, a table
// filled lazily) passes every check of one instance and fails here.
#include <algorithm>
#include <cstring>
#include <memory>

#include "checks.h"
#include "dsp_bench.h"
#include "generators.h"
#include "pin_value.h"
#include "suggest.h"

namespace qvhost {

using namespace ovra;
using host::DspCall;

namespace {

// One block of one instance's inputs: its size, its events and the samples
// of each audio input.
struct PlannedBlock {
    int32_t size = 0;
    std::vector<BenchEvent> events;
    std::vector<std::vector<float>> audio;  // by pin index; empty for other pins
};

// What one block gave: the samples of each audio output and the host calls
// that carry meaning (values, streaming, sleep).
struct BlockTrace {
    std::vector<std::vector<float>> outputs;  // by pin index
    std::vector<DspCall> calls;
};

std::vector<PlannedBlock> planFor(const HalfDescription& half, std::mt19937_64& rng, size_t blocks) {
    static const int32_t kSizes[] = {1, 17, 64, 256};
    std::vector<PlannedBlock> plan(blocks);
    for (size_t b = 0; b < blocks; ++b) {
        PlannedBlock& block = plan[b];
        block.size = kSizes[rng() % 4];
        block.audio.resize(half.pins.size());
        if (b == 0)
            block.events.push_back({0, EV_START, 0});
        for (const auto& pin : half.pins) {
            if (!pin.isInput())
                continue;
            if (pin.isAudio()) {
                // Streaming, held, or silent: a held input lets a module sleep.
                auto& samples = block.audio[static_cast<size_t>(pin.index)];
                const int kind = static_cast<int>(rng() % 3);
                const float held = kind == 2 ? 0.0f : uniformFloat(rng, -1.0f, 1.0f);
                samples.resize(static_cast<size_t>(block.size));
                for (auto& s : samples)
                    s = kind == 0 ? uniformFloat(rng, -1.0f, 1.0f) : held;
                if (b == 0 || rng() % 4 == 0)
                    block.events.push_back({0, kind == 0 ? EV_STREAM_ON : EV_STREAM_OFF, pin.index});
            } else if (b == 0 || rng() % 3 == 0) {
                const int32_t at = static_cast<int32_t>(rng() % static_cast<uint64_t>(block.size));
                block.events.push_back({at, EV_PIN_VALUE, pin.index, randomOrdinaryValue(pin.type, rng)});
            }
        }
        std::stable_sort(block.events.begin(), block.events.end(),
                         [](const BenchEvent& a, const BenchEvent& b) { return a.offset < b.offset; });
    }
    return plan;
}

BlockTrace runBlock(DspBench& bench, const HalfDescription& half, const PlannedBlock& block) {
    for (const auto& pin : half.pins)
        if (pin.isAudio() && pin.isInput())
            if (float* b = bench.buffer(pin.index))
                std::copy(block.audio[static_cast<size_t>(pin.index)].begin(),
                          block.audio[static_cast<size_t>(pin.index)].end(), b);
    bench.process(block.size, block.events);
    BlockTrace trace;
    trace.outputs.resize(half.pins.size());
    for (const auto& pin : half.pins)
        if (pin.isAudio() && !pin.isInput())
            if (const float* b = bench.buffer(pin.index))
                trace.outputs[static_cast<size_t>(pin.index)].assign(b, b + block.size);
    for (const auto& call : bench.host.calls)
        if (call.kind == DspCall::Publish || call.kind == DspCall::Streaming || call.kind == DspCall::OfferSleep ||
            call.kind == DspCall::FillCountdown)
            trace.calls.push_back(call);
    return trace;
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string callText(const HalfDescription& half, const DspCall* call) {
    if (call == nullptr)
        return "no call";
    const auto pin = half.pinAt(call->pinIndex);
    const std::string name = pin ? pinLabel(*pin) : "pin " + std::to_string(call->pinIndex);
    switch (call->kind) {
    case DspCall::Publish:
        return name + " = " + (pin && sizeFits(pin->type, call->bytes.size()) ? formatValue(pin->type, call->bytes)
                                                                               : counted(call->bytes.size(), "byte")) +
               " at " + std::to_string(call->sampleOffset);
    case DspCall::Streaming:
        return std::string("stream ") + (call->streaming ? "on " : "off ") + name + " at " +
               std::to_string(call->sampleOffset);
    case DspCall::OfferSleep: return "offerSleep";
    default: return "fillSleepCountdown";
    }
}

bool sameCall(const DspCall& a, const DspCall& b) {
    return a.kind == b.kind && a.sampleOffset == b.sampleOffset && a.pinIndex == b.pinIndex && a.bytes == b.bytes &&
           a.streaming == b.streaming;
}

// "" when the traces agree, else the first difference.
std::string firstDifference(const HalfDescription& half, const BlockTrace& got, const BlockTrace& alone) {
    for (const auto& pin : half.pins) {
        const auto& g = got.outputs[static_cast<size_t>(pin.index)];
        const auto& a = alone.outputs[static_cast<size_t>(pin.index)];
        for (size_t i = 0; i < g.size() && i < a.size(); ++i)
            if (!sameBits(g[i], a[i]))
                return "output " + pinLabel(pin) + " at sample " + std::to_string(i) + " was " +
                       formatValue(DATATYPE_FLOAT, host::bytesOf(g[i])) + ", alone " +
                       formatValue(DATATYPE_FLOAT, host::bytesOf(a[i]));
    }
    const size_t n = std::max(got.calls.size(), alone.calls.size());
    for (size_t i = 0; i < n; ++i) {
        const DspCall* g = i < got.calls.size() ? &got.calls[i] : nullptr;
        const DspCall* a = i < alone.calls.size() ? &alone.calls[i] : nullptr;
        if (g == nullptr || a == nullptr || !sameCall(*g, *a))
            return "call " + std::to_string(i + 1) + " of the block was " + callText(half, g) + ", alone " +
                   callText(half, a);
    }
    return {};
}

}  // namespace

Outcome checkDspInstances(CheckContext& ctx) {
    const auto& half = *ctx.half;
    const size_t instances = ctx.strict(10) ? 16 : 4;
    const size_t blocks = static_cast<size_t>(ctx.rounds(24));
    std::vector<std::vector<PlannedBlock>> plans;
    for (size_t k = 0; k < instances; ++k)
        plans.push_back(planFor(half, ctx.rng, blocks));

    // Alone: one instance at a time, each created, run and released.
    std::vector<std::vector<BlockTrace>> alone(instances);
    for (size_t k = 0; k < instances; ++k) {
        DspBench bench(ctx, 48000, 256);
        for (const auto& block : plans[k])
            alone[k].push_back(runBlock(bench, half, block));
    }
    // Together: all created first, then block by block in an order that
    // turns with every block.
    std::vector<std::unique_ptr<DspBench>> benches;
    for (size_t k = 0; k < instances; ++k)
        benches.push_back(std::make_unique<DspBench>(ctx, 48000, 256));
    for (size_t b = 0; b < blocks; ++b)
        for (size_t turn = 0; turn < instances; ++turn) {
            const size_t k = (turn + b) % instances;
            const BlockTrace trace = runBlock(*benches[k], half, plans[k][b]);
            const std::string difference = firstDifference(half, trace, alone[k][b]);
            expect(difference.empty(), "instance " + std::to_string(k + 1) + " of " + std::to_string(instances) +
                                           ", run beside the others, differs from the same inputs run alone in block " +
                                           std::to_string(b + 1) + " (" + counted(plans[k][b].size, "sample") +
                                           "): " + difference);
        }
    return {Status::Passed, std::to_string(instances) + " instances, " + std::to_string(blocks) +
                                " blocks each, interleaved: the same bits, values and calls as each alone"};
}

}  // namespace qvhost
