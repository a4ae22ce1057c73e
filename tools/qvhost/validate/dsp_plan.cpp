#include "dsp_plan.h"

#include <algorithm>
#include <cstring>

#include "checks.h"
#include "generators.h"
#include "patch/pin_value.h"
#include "io/suggest.h"

namespace qvhost {

using namespace ovra;
using host::DspCall;

int32_t largestPlannedBlock(const CheckContext& ctx) { return ctx.randomBlocks() ? kLargestRandomBlock : 256; }

std::vector<PlannedBlock> planBlocks(const CheckContext& ctx, std::mt19937_64& rng, size_t blocks) {
    static const int32_t kSizes[] = {1, 17, 64, 256};
    const auto& half = *ctx.half;
    const bool random = ctx.randomBlocks();
    std::vector<PlannedBlock> plan(blocks);
    for (size_t b = 0; b < blocks; ++b) {
        PlannedBlock& block = plan[b];
        block.size = random ? static_cast<int32_t>(uniformInt(rng, 1, kLargestRandomBlock)) : kSizes[rng() % 4];
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
                // A static input that takes a new level is announced again,
                // as a host does, so that the module reads it.
                if (b == 0 || kind != 0 || rng() % 4 == 0)
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

PlannedBlock quietBlock(const HalfDescription& half, int32_t n, float level) {
    PlannedBlock block;
    block.size = n;
    block.audio.resize(half.pins.size());
    for (const auto& pin : half.pins)
        if (pin.isAudio() && pin.isInput())
            block.audio[static_cast<size_t>(pin.index)].assign(static_cast<size_t>(n), level);
    return block;
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

std::string firstDifference(const HalfDescription& half, const BlockTrace& got, const BlockTrace& expected,
                            const std::string& other) {
    for (const auto& pin : half.pins) {
        const auto& g = got.outputs[static_cast<size_t>(pin.index)];
        const auto& e = expected.outputs[static_cast<size_t>(pin.index)];
        for (size_t i = 0; i < g.size() && i < e.size(); ++i)
            if (!sameBits(g[i], e[i]))
                return "output " + pinLabel(pin) + " at sample " + std::to_string(i) + " was " +
                       formatValue(DATATYPE_FLOAT, host::bytesOf(g[i])) + ", " + other + " " +
                       formatValue(DATATYPE_FLOAT, host::bytesOf(e[i]));
    }
    const size_t n = std::max(got.calls.size(), expected.calls.size());
    for (size_t i = 0; i < n; ++i) {
        const DspCall* g = i < got.calls.size() ? &got.calls[i] : nullptr;
        const DspCall* e = i < expected.calls.size() ? &expected.calls[i] : nullptr;
        if (g == nullptr || e == nullptr || !sameCall(*g, *e))
            return "call " + std::to_string(i + 1) + " of the block was " + callText(half, g) + ", " + other + " " +
                   callText(half, e);
    }
    return {};
}

}  // namespace qvhost
