// What every host relies on, checked without knowing the module: a value
// acts from its sample on, a streaming output is written in full, the
// described defaults are the state a module starts in, values are sent only
// when they change, and an output that goes static does not jump.
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>

#include "checks.h"
#include "dsp_plan.h"
#include "failure.h"
#include "generators.h"
#include "gui_bench.h"
#include "patch/pin_value.h"
#include "io/suggest.h"

namespace qvhost {

using namespace ovra;
using host::DspCall;

namespace {

std::string floatText(float v) { return formatValue(DATATYPE_FLOAT, host::bytesOf(v)); }

bool controlInput(const PinDescription& pin) { return pin.isInput() && !pin.isAudio(); }
bool audioOutput(const PinDescription& pin) { return pin.isAudio() && !pin.isInput(); }

// The half's pins that `keep` picks, in index order.
std::vector<PinDescription> pinsWhere(const HalfDescription& half, bool (*keep)(const PinDescription&)) {
    std::vector<PinDescription> pins;
    for (const auto& pin : half.pins)
        if (keep(pin))
            pins.push_back(pin);
    return pins;
}

// A float NaN is sent again by a framework that compares floats by IEEE
// rules; it is no repetition.
bool nanFloat(int32_t type, const Bytes& bytes) {
    return type == DATATYPE_FLOAT && bytes.size() == 4 && std::isnan(host::floatOf(bytes));
}

// The last value each pin holds as the host saw it, to find a value sent
// again unchanged.
class SentValues {
public:
    // "" when the value is new for the pin, else what to say about it.
    std::string repeated(const PinDescription& pin, const Bytes& bytes) const {
        const auto it = held_.find(pin.index);
        if (it == held_.end() || it->second != bytes || nanFloat(pin.type, bytes))
            return {};
        return pinLabel(pin) + " sent " + formatValue(pin.type, bytes) + " again, the value it already held";
    }
    void hold(int32_t pin, const Bytes& bytes) { held_[pin] = bytes; }
    std::optional<Bytes> held(int32_t pin) const {
        const auto it = held_.find(pin);
        return it == held_.end() ? std::nullopt : std::optional<Bytes>(it->second);
    }

private:
    std::map<int32_t, Bytes> held_;
};

// One output's Streaming calls in a block, taken in the order the module
// made them.
class StreamingCalls {
public:
    StreamingCalls(const BlockTrace& trace, int32_t pin)
        : next_(trace.calls.begin()), end_(trace.calls.end()), pin_(pin) {}
    // The next of them that takes effect at sample `upTo` or before (without
    // `upTo`, the next of them at all), or null. Calls are taken in the order
    // the module made them: one of any kind that takes effect later holds
    // back those made after it.
    const DspCall* next(int32_t upTo = std::numeric_limits<int32_t>::max()) {
        while (next_ != end_ && next_->sampleOffset <= upTo) {
            const DspCall& call = *next_++;
            if (call.kind == DspCall::Streaming && call.pinIndex == pin_)
                return &call;
        }
        return nullptr;
    }

private:
    std::vector<DspCall>::const_iterator next_, end_;
    int32_t pin_;
};

// Where a sleeping module wrote nothing the host plays the last sample it
// wrote: the trace with every canary replaced by that.
BlockTrace heldOn(BlockTrace trace, const std::vector<float>& lastWritten) {
    for (size_t p = 0; p < trace.outputs.size(); ++p) {
        float held = p < lastWritten.size() ? lastWritten[p] : 0.0f;
        for (float& s : trace.outputs[p])
            s = s == DspBench::kUntouched ? held : (held = s);
    }
    return trace;
}

}  // namespace

Outcome checkDspSampleAccuracy(CheckContext& ctx) {
    const auto& half = *ctx.half;
    const auto pins = pinsWhere(half, controlInput);
    if (pins.empty())
        return {Status::Skipped, "no control inputs"};
    constexpr int32_t n = 64;
    size_t tried = 0;
    for (const auto& pin : pins)
        for (const int32_t k : {1, n / 2, n - 1}) {
            // Two instances with one history; then the same block, with the
            // value at k in one and not at all in the other. Nothing before
            // k may tell them apart.
            const auto history = planBlocks(ctx, ctx.rng, 3);
            Bytes last;
            for (const auto& block : history)
                for (const auto& e : block.events)
                    if (e.kind == EV_PIN_VALUE && e.pin == pin.index)
                        last = e.bytes;
            Bytes v = randomOrdinaryValue(pin.type, ctx.rng);
            auto same = [&](const Bytes& x) {
                return x == last || (pin.type == DATATYPE_FLOAT && x.size() == 4 && last.size() == 4 &&
                                     host::floatOf(x) == host::floatOf(last));
            };
            for (int redraw = 0; redraw < 8 && same(v); ++redraw)
                v = randomOrdinaryValue(pin.type, ctx.rng);
            DspBench with(ctx, 48000, largestPlannedBlock(ctx)), without(ctx, 48000, largestPlannedBlock(ctx));
            for (const auto& block : history) {
                runBlock(with, half, block);
                runBlock(without, half, block);
            }
            PlannedBlock block = quietBlock(half, n, uniformFloat(ctx.rng, -1.0f, 1.0f));
            for (const auto& input : half.pins)
                if (input.isAudio() && input.isInput())
                    block.events.push_back({0, EV_STREAM_OFF, input.index});
            const auto heldWithout = without.lastOutput;
            BlockTrace early = heldOn(runBlock(without, half, block), heldWithout);
            block.events.push_back({k, EV_PIN_VALUE, pin.index, v});
            const auto held = with.lastOutput;
            BlockTrace after = heldOn(runBlock(with, half, block), held);
            for (auto* trace : {&after, &early}) {
                for (auto& samples : trace->outputs)
                    samples.resize(std::min(samples.size(), static_cast<size_t>(k)));
                std::erase_if(trace->calls, [&](const DspCall& c) {
                    return c.kind != DspCall::Publish && c.kind != DspCall::Streaming ? true : c.sampleOffset >= k;
                });
            }
            const std::string difference = firstDifference(half, after, early, "without the value");
            expect(difference.empty(), pin.name + " = " + formatValue(pin.type, v) + " at sample " +
                                           std::to_string(k) + " of a block of " + std::to_string(n) +
                                           " acted before its sample: " + difference);
            ++tried;
        }
    return {Status::Passed, std::to_string(tried) + " values at samples 1, " + std::to_string(n / 2) + " and " +
                                std::to_string(n - 1) + ": nothing before them changed"};
}

Outcome checkDspEverySample(CheckContext& ctx) {
    const auto& half = *ctx.half;
    const auto outputs = pinsWhere(half, audioOutput);
    if (outputs.empty())
        return {Status::Skipped, "no audio outputs"};
    DspBench bench(ctx, 48000, largestPlannedBlock(ctx));
    const auto plan = planBlocks(ctx, ctx.rng, static_cast<size_t>(ctx.rounds(48)));
    // An output is held to writing once it has written its first sample, for
    // as long as it says it streams; a static output may leave the host its
    // last value.
    std::vector<bool> started(half.pins.size(), false), streaming(half.pins.size(), false);
    size_t b = 0;
    for (const auto& block : plan) {
        const BlockTrace trace = runBlock(bench, half, block);
        ++b;
        for (const auto& pin : outputs) {
            const auto p = static_cast<size_t>(pin.index);
            StreamingCalls calls(trace, pin.index);
            for (int32_t i = 0; i < block.size; ++i) {
                while (const DspCall* call = calls.next(i))
                    streaming[p] = call->streaming;
                if (trace.outputs[p][static_cast<size_t>(i)] != DspBench::kUntouched)
                    started[p] = true;
                else
                    expect(!(started[p] && streaming[p]),
                           "output " + pinLabel(pin) + " left sample " + std::to_string(i) + " unwritten (the host's " +
                               "canary " + floatText(DspBench::kUntouched) + " was still there) while streaming, in " +
                               "block " + std::to_string(b) + " of " + counted(static_cast<size_t>(block.size), "sample") +
                               " with " + describeEvents(half, block.events));
            }
            while (const DspCall* call = calls.next())
                streaming[p] = call->streaming;
        }
    }
    return {Status::Passed, std::to_string(b) + " blocks: every sample of a streaming output written"};
}

// Long: a silent run and one run per control input, compared block by block.
Outcome checkDspDefaults(CheckContext& ctx) {
    const auto& half = *ctx.half;
    constexpr int32_t n = 64;
    constexpr int kBlocks = 8;
    std::vector<float> levels(half.pins.size(), 0.0f);
    for (const auto& pin : half.pins)
        if (pin.isAudio() && pin.isInput() && pin.defaultValue.is_number())
            levels[static_cast<size_t>(pin.index)] = pin.defaultValue.get<float>();
    // Unconnected audio inputs hold their defaults in both runs.
    auto run = [&](const std::vector<BenchEvent>& first) {
        DspBench bench(ctx, 48000, n);
        std::vector<BlockTrace> traces;
        for (int b = 0; b < kBlocks; ++b) {
            PlannedBlock block = quietBlock(half, n, 0.0f);
            for (const auto& pin : half.pins)
                if (pin.isAudio() && pin.isInput())
                    std::fill(block.audio[static_cast<size_t>(pin.index)].begin(),
                              block.audio[static_cast<size_t>(pin.index)].end(), levels[static_cast<size_t>(pin.index)]);
            if (b == 0)
                block.events = first;
            traces.push_back(runBlock(bench, half, block));
        }
        return traces;
    };
    const auto alone = run({{0, EV_START, 0}});
    std::vector<std::string> problems;
    size_t compared = 0;
    for (const auto& pin : pinsWhere(half, controlInput)) {
        Bytes value;
        try {
            value = valueFromJson(pin.type, pin.defaultValue, pin.name);
        } catch (const Failure&) {
            continue;  // description-lint names a default that is no value
        }
        ++compared;
        const auto sent = run({{0, EV_START, 0}, {0, EV_PIN_VALUE, pin.index, value}});
        // Written samples must agree where both runs wrote, and each control
        // output must end every block on the same value.
        SentValues a, b;
        std::string difference;
        for (size_t k = 0; k < alone.size() && difference.empty(); ++k) {
            for (const auto& out : half.pins) {
                if (out.isInput() || !difference.empty())
                    continue;
                const auto& x = alone[k].outputs[static_cast<size_t>(out.index)];
                const auto& y = sent[k].outputs[static_cast<size_t>(out.index)];
                for (size_t i = 0; i < x.size() && i < y.size() && difference.empty(); ++i)
                    if (x[i] != DspBench::kUntouched && y[i] != DspBench::kUntouched && !sameBits(x[i], y[i]))
                        difference = "output " + pinLabel(out) + " is " + floatText(x[i]) + " at sample " +
                                     std::to_string(k * n + i) + " with no value sent, " + floatText(y[i]) +
                                     " with the default sent first";
            }
            for (const auto& c : alone[k].calls)
                if (c.kind == DspCall::Publish)
                    a.hold(c.pinIndex, c.bytes);
            for (const auto& c : sent[k].calls)
                if (c.kind == DspCall::Publish)
                    b.hold(c.pinIndex, c.bytes);
            for (const auto& out : half.pins)
                if (!out.isInput() && !out.isAudio() && difference.empty() && a.held(out.index) != b.held(out.index)) {
                    auto text = [&](const std::optional<Bytes>& v) {
                        return v && sizeFits(out.type, v->size()) ? formatValue(out.type, *v) : std::string("nothing");
                    };
                    difference = "output " + pinLabel(out) + " holds " + text(a.held(out.index)) +
                                 " with no value sent, " + text(b.held(out.index)) + " with the default sent first";
                }
        }
        if (!difference.empty())
            problems.push_back(pinLabel(pin) + ": the module does not start at the described default " +
                               formatValue(pin.type, value) + ": " + difference);
    }
    if (!problems.empty()) {
        if (ctx.strict(8))
            fail(joined(problems));
        for (const auto& p : problems)
            ctx.warn(p);
    }
    if (compared == 0)
        return {Status::Skipped, "no control input with a default"};
    return {Status::Passed, std::to_string(compared) + " defaults sent at EV_START change nothing the module does"};
}

Outcome checkDspValuesOnChange(CheckContext& ctx) {
    const auto& half = *ctx.half;
    const auto inputs = pinsWhere(half, controlInput);
    DspBench bench(ctx, 48000, largestPlannedBlock(ctx));
    auto plan = planBlocks(ctx, ctx.rng, static_cast<size_t>(ctx.rounds(48)));
    // Every other block hands each control input the value it holds again.
    SentValues given, published;
    size_t again = 0, b = 0;
    for (auto& block : plan) {
        ++b;
        if (b % 2 == 0)
            for (const auto& pin : inputs)
                if (auto v = given.held(pin.index)) {
                    block.events.push_back(
                        {static_cast<int32_t>(ctx.rng() % static_cast<uint64_t>(block.size)), EV_PIN_VALUE, pin.index, *v});
                    ++again;
                }
        std::stable_sort(block.events.begin(), block.events.end(),
                         [](const BenchEvent& x, const BenchEvent& y) { return x.offset < y.offset; });
        for (const auto& e : block.events)
            if (e.kind == EV_PIN_VALUE)
                given.hold(e.pin, e.bytes);
        const BlockTrace trace = runBlock(bench, half, block);
        for (const auto& c : trace.calls) {
            const auto pin = half.pinAt(c.pinIndex);
            if (c.kind != DspCall::Publish || !pin)
                continue;
            const std::string repeated = published.repeated(*pin, c.bytes);
            expect(repeated.empty(), repeated + ", at sample " + std::to_string(c.sampleOffset) + " of block " +
                                         std::to_string(b) + " (" + counted(static_cast<size_t>(block.size), "sample") +
                                         " with " + describeEvents(half, block.events) + ")");
            published.hold(c.pinIndex, c.bytes);
        }
    }
    return {Status::Passed, std::to_string(b) + " blocks, " + std::to_string(again) +
                                " values handed in again unchanged: no output sent a value it already held"};
}

Outcome checkGuiValuesOnChange(CheckContext& ctx) {
    const auto& half = *ctx.half;
    GuiBench g(ctx);
    SentValues held;  // what the host holds for each pin
    auto take = [&](const std::string& after) {
        for (const auto& call : g.host.sends()) {
            const auto pin = half.pinAt(call.pinIndex);
            if (!pin)
                continue;
            const std::string repeated = held.repeated(*pin, call.bytes);
            expect(repeated.empty(), repeated + ", " + after);
            held.hold(call.pinIndex, call.bytes);
        }
        g.host.clear();
    };
    take("when the host attached");
    const auto pins = g.inputs();
    size_t again = 0, fed = 0;
    for (int round = 0, rounds = ctx.rounds(24); round < rounds; ++round)
        for (const auto& pin : pins) {
            // Half the time the value the pin holds already.
            const auto current = held.held(pin.index);
            const bool repeat = current && ctx.rng() % 2 == 0;
            const Bytes v = repeat ? *current : randomOrdinaryValue(pin.type, ctx.rng);
            again += repeat ? 1 : 0;
            ++fed;
            held.hold(pin.index, v);
            host::deliverAndSignal(g.instance.object, pin.index, v);
            take("after " + pin.name + " = " + formatValue(pin.type, v).substr(0, 40) +
                 (repeat ? " (the value it held)" : ""));
        }
    return {Status::Passed, std::to_string(fed) + " values, " + std::to_string(again) +
                                " of them unchanged: no pin sent a value it already held"};
}

// Long: ordinary blocks, still inputs, then the step into sleep measured
// against the steps just before it, per output.
Outcome checkDspSleepStep(CheckContext& ctx) {
    const auto& half = *ctx.half;
    const auto outputs = pinsWhere(half, audioOutput);
    if (outputs.empty())
        return {Status::Skipped, "no audio outputs"};
    DspBench bench(ctx, 48000, largestPlannedBlock(ctx));
    // Ordinary blocks, then the inputs go still for long enough to sleep.
    auto plan = planBlocks(ctx, ctx.rng, static_cast<size_t>(ctx.rounds(16)));
    // Only a step taken while the inputs are still is the module's own: with
    // inputs that move, a parameter may move the output anywhere.
    const size_t stillFrom = plan.size() + 1;
    PlannedBlock still = quietBlock(half, 64, 0.0f);
    for (const auto& pin : half.pins)
        if (pin.isAudio() && pin.isInput())
            still.events.push_back({0, EV_STREAM_OFF, pin.index});
    plan.push_back(still);
    still.events.clear();
    plan.insert(plan.end(), static_cast<size_t>(ctx.rounds(400)), still);

    // Per output: whether it streams, and the last streamed samples.
    std::vector<bool> streaming(half.pins.size(), false);
    std::vector<std::vector<float>> recent(half.pins.size());
    size_t steps = 0, b = 0;
    std::string worst;
    float worstJump = 0.0f;
    for (const auto& block : plan) {
        const BlockTrace trace = runBlock(bench, half, block);
        ++b;
        for (const auto& pin : outputs) {
            const auto p = static_cast<size_t>(pin.index);
            const auto& samples = trace.outputs[p];
            StreamingCalls calls(trace, pin.index);
            for (int32_t i = 0; i < block.size; ++i) {
                while (const DspCall* call = calls.next(i)) {
                    const bool event = std::any_of(block.events.begin(), block.events.end(),
                                                   [&](const BenchEvent& e) { return e.offset == i; });
                    const float now = samples[static_cast<size_t>(i)];
                    if (b >= stillFrom && streaming[p] && !call->streaming && !event && recent[p].size() >= 2 &&
                        now != DspBench::kUntouched) {
                        // The step into sleep against the steps the signal
                        // took just before it.
                        float usual = 0.0f;
                        for (size_t r = 1; r < recent[p].size(); ++r)
                            usual = std::max(usual, std::fabs(recent[p][r] - recent[p][r - 1]));
                        const float jump = std::fabs(now - recent[p].back());
                        ++steps;
                        if (jump > 1e-3f && jump > 2.0f * usual && jump > worstJump) {
                            worstJump = jump;
                            worst = "output " + pinLabel(pin) + " jumped by " + floatText(jump) + " (from " +
                                    floatText(recent[p].back()) + " to " + floatText(now) +
                                    ") as it went static at sample " + std::to_string(i) + " of block " +
                                    std::to_string(b) + "; a step into sleep is a click";
                        }
                    }
                    streaming[p] = call->streaming;
                    if (call->streaming)
                        recent[p].clear();
                }
                const float v = samples[static_cast<size_t>(i)];
                if (streaming[p] && v != DspBench::kUntouched) {
                    recent[p].push_back(v);
                    if (recent[p].size() > 16)
                        recent[p].erase(recent[p].begin());
                }
            }
            while (const DspCall* call = calls.next())
                streaming[p] = call->streaming;
        }
    }
    if (!worst.empty())
        ctx.warn(worst);
    return {Status::Passed, steps == 0 ? "no output went static from streaming"
                                       : std::to_string(steps) + " steps into sleep, each continuing its signal"};
}

}  // namespace qvhost
