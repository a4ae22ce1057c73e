// Checks of DSP halves: pins, the start, blocks, events, sleeping, sample
// rates, hostile values and audio, and real-time safety.
#include <algorithm>
#include <cstring>
#include <chrono>
#include <cmath>
#include <limits>
#include <sstream>

#include "checks.h"
#include "dsp_bench.h"
#include "generators.h"
#include "patch/pin_value.h"
#include "realtime_watch.h"

namespace qvhost {

using namespace ovra;
using host::DspCall;

namespace {

// The sizes given, the default set, or with random blocks eight sizes drawn
// from the check's seed.
std::vector<int32_t> blocksOf(CheckContext& ctx) {
    if (!ctx.randomBlocks())
        return ctx.options.blocks.empty() ? defaultBlocks() : ctx.options.blocks;
    std::vector<int32_t> sizes(8);
    for (auto& n : sizes)
        n = static_cast<int32_t>(uniformInt(ctx.rng, 1, kLargestRandomBlock));
    return sizes;
}

// Where in a block of n an event goes: at `usual`, or with random blocks
// anywhere in the block.
int32_t eventAt(CheckContext& ctx, int32_t n, int32_t usual) {
    return ctx.randomBlocks() ? static_cast<int32_t>(uniformInt(ctx.rng, 0, n - 1)) : usual;
}
const std::vector<int32_t>& ratesOf(const CheckContext& ctx) {
    return ctx.options.rates.empty() ? defaultRates() : ctx.options.rates;
}
int32_t largest(const std::vector<int32_t>& sizes) { return *std::max_element(sizes.begin(), sizes.end()); }

std::string listOf(const std::vector<int32_t>& values) {
    std::string out;
    for (int32_t v : values)
        out += (out.empty() ? "" : ", ") + std::to_string(v);
    return out;
}

BenchEvent valueEvent(int32_t offset, int32_t pin, Bytes bytes) { return {offset, EV_PIN_VALUE, pin, std::move(bytes)}; }

// Ordinary values on the control inputs and random audio, as a patch plays.
std::vector<BenchEvent> ordinaryBlock(CheckContext& ctx, DspBench& bench, int32_t n, int round, bool first) {
    const auto& half = *ctx.half;
    auto level = [&](std::mt19937_64& rng) { return uniformFloat(rng, -1.0f, 1.0f); };
    std::vector<BenchEvent> events;
    if (first)
        events.push_back({0, EV_START, 0});
    for (const auto& pin : half.pins) {
        if (!pin.isInput())
            continue;
        if (pin.isAudio()) {
            float* b = bench.buffer(pin.index);
            const bool streaming = round % 3 != 2;
            const float held = level(ctx.rng);
            for (int32_t i = 0; i < n; ++i)
                b[i] = streaming ? level(ctx.rng) : held;
            if (round % 3 == 0)
                events.push_back({0, EV_STREAM_ON, pin.index});
            else if (round % 3 == 2)
                events.push_back({0, EV_STREAM_OFF, pin.index});
        } else if (round % 2 == 0) {
            events.push_back(valueEvent(eventAt(ctx, n, 0), pin.index, randomOrdinaryValue(pin.type, ctx.rng)));
        }
    }
    for (const auto& pin : half.pins)
        if (pin.isInput() && !pin.isAudio() && round % 4 != 3)
            events.push_back(valueEvent(eventAt(ctx, n, n - 1), pin.index, randomOrdinaryValue(pin.type, ctx.rng)));
    std::stable_sort(events.begin(), events.end(),
                     [](const BenchEvent& a, const BenchEvent& b) { return a.offset < b.offset; });
    return events;
}

bool sameAsDefault(const PinDescription& pin, const Bytes& bytes) {
    const Json& d = pin.defaultValue;
    switch (pin.type) {
    case DATATYPE_FLOAT:
        return !d.is_number() || host::floatOf(bytes) == d.get<float>();
    case DATATYPE_INT:
        return !d.is_number_integer() || host::intOf(bytes) == d.get<int32_t>();
    case DATATYPE_BOOL:
        return !d.is_boolean() || host::boolOf(bytes) == d.get<bool>();
    case DATATYPE_TEXT:
        return !d.is_string() || host::toUtf8(host::textOf(bytes)) == d.get<std::string>();
    default:
        return true;
    }
}

size_t exactSize(const PinDescription& pin, const Bytes& bytes) {
    switch (pin.type) {
    case DATATYPE_BOOL: return 1;
    case DATATYPE_FLOAT:
    case DATATYPE_INT: return 4;
    default: return bytes.size() - bytes.size() % 2;  // text: 2 x length
    }
}

}  // namespace

Outcome checkDspPins(CheckContext& ctx) {
    const auto& half = *ctx.half;
    std::vector<std::string> problems;
    const std::string kind = comparePinTable(ctx, problems);
    host::RecordingDspHost host;
    Instance owner{createWithHost(ctx, host.unknown())};
    auto* plugin = host::queryInterface<IMpPlugin2>(owner.object, IID_IMpPlugin2);
    expect(plugin != nullptr, "does not answer IMpPlugin2");
    std::vector<float> buffer(64);
    for (const auto& pin : half.pins)
        if (plugin->assignPinBuffer(pin.index, buffer.data()) != RC_OK)
            problems.push_back("described " + pinLabel(pin) + " is no pin of the module");
    const auto count = static_cast<int32_t>(half.pins.size());
    std::vector<int32_t> beyond{-1, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};
    for (int32_t i = count; i < count + 8; ++i)
        beyond.push_back(i);
    for (int32_t i : beyond)
        if (plugin->assignPinBuffer(i, buffer.data()) != RC_FAILED)
            problems.push_back("pin " + std::to_string(i) + " answers assignPinBuffer but is not described");
    plugin->Release();
    expect(problems.empty(), joined(problems));
    return {Status::Passed, std::to_string(count) + " described pins answer, none beyond; " + kind};
}

Outcome checkDspStart(CheckContext& ctx) {
    const auto& half = *ctx.half;
    DspBench bench(ctx, 48000, 64);
    bench.process(64, {{0, EV_START, 0}});
    std::string problems;
    auto problem = [&](const std::string& p) { problems += (problems.empty() ? "" : "; ") + p; };
    for (const auto& pin : half.pins) {
        if (pin.isInput())
            continue;
        const DspCall* sent = nullptr;
        for (const auto& call : bench.host.calls)
            if (call.pinIndex == pin.index &&
                call.kind == (pin.isAudio() ? DspCall::Streaming : DspCall::Publish) && sent == nullptr)
                sent = &call;
        if (sent == nullptr) {
            problem("output " + pinLabel(pin) + " sent no initial " +
                    (pin.isAudio() ? "streaming state (announceStreaming)" : "value (publishPinValue)"));
            continue;
        }
        if (pin.isAudio())
            continue;
        if (sent->bytes.size() != exactSize(pin, sent->bytes))
            problem("output " + pinLabel(pin) + " sent " + std::to_string(sent->bytes.size()) + " bytes for a " +
                    typeName(pin.type));
        else if (!sameAsDefault(pin, sent->bytes))
            problem("output " + pinLabel(pin) + " starts at " + formatValue(pin.type, sent->bytes) +
                    ", the description says " + pin.defaultValue.dump());
    }
    for (const auto& call : bench.host.calls) {
        if (call.kind != DspCall::Publish && call.kind != DspCall::Streaming)
            continue;
        const auto pin = half.pinAt(call.pinIndex);
        if (!pin || pin->isInput())
            problem("pin " + std::to_string(call.pinIndex) + " sent at EV_START but is " +
                    (pin ? "described as an input" : std::string("not described")));
    }
    expect(problems.empty(), problems);
    return {Status::Passed, "every output sent its initial state, no other pin did"};
}

Outcome checkDspBlocks(CheckContext& ctx) {
    const auto sizes = blocksOf(ctx);
    DspBench bench(ctx, 48000, largest(sizes));
    bool first = true;
    for (int32_t n : sizes)
        for (int round = 0, rounds = ctx.rounds(12); round < rounds; ++round) {
            bench.process(n, ordinaryBlock(ctx, bench, n, round, first), "at 48000 Hz");
            first = false;
        }
    return {Status::Passed, std::to_string(bench.blocks) + " blocks of " + listOf(sizes) +
                                " samples; outputs finite and within the block"};
}

Outcome checkDspEventTiming(CheckContext& ctx) {
    const auto& half = *ctx.half;
    const auto sizes = blocksOf(ctx);
    DspBench bench(ctx, 48000, largest(sizes));
    bench.process(std::min(64, largest(sizes)), {{0, EV_START, 0}});
    for (int32_t n : sizes) {
        // At the first, a middle and the last sample, and at the end (which
        // belongs to the next block and must not disturb this one).
        for (int32_t at : {0, n / 2, n - 1, n, eventAt(ctx, n, n / 3)}) {
            std::vector<BenchEvent> events;
            for (const auto& pin : half.pins) {
                if (!pin.isInput())
                    continue;
                if (pin.isAudio())
                    events.push_back({at, (at % 2 == 0) ? EV_STREAM_ON : EV_STREAM_OFF, pin.index});
                else
                    events.push_back(valueEvent(at, pin.index, randomOrdinaryValue(pin.type, ctx.rng)));
            }
            bench.process(n, events);
        }
        // Several at one offset: values, a stream change and its reversal.
        const int32_t at = eventAt(ctx, n, n / 2);
        std::vector<BenchEvent> events;
        for (int k = 0; k < 3; ++k)
            for (const auto& pin : half.pins) {
                if (!pin.isInput())
                    continue;
                if (pin.isAudio())
                    events.push_back({at, k % 2 == 0 ? EV_STREAM_ON : EV_STREAM_OFF, pin.index});
                else
                    events.push_back(valueEvent(at, pin.index, randomOrdinaryValue(pin.type, ctx.rng)));
            }
        bench.process(n, events);
        bench.process(n, {});
    }
    return {Status::Passed, std::to_string(bench.blocks) + " blocks with events at the first, a middle, the last "
                                                           "sample and the end, and several at one offset"};
}

namespace {

std::string formatFloat(float v) {
    std::ostringstream out;
    out << v;
    return out.str();
}

// Sleeping with every audio input held at `level` (0: silence) and the
// controls still. A module that never offers sleep then is named, with its
// cost, as a warning; one that sleeps must keep its outputs still.
// Long: one session in three phases (still inputs, waiting for sleep, asleep)
// whose counters the verdict reads together.
Outcome sleepWithInputsAt(CheckContext& ctx, float level) {
    const std::string inputs = level == 0.0f ? "silent" : "held at " + formatFloat(level);
    const std::string withInputs = level == 0.0f ? "with silent inputs" : "with inputs held at " + formatFloat(level);
    const auto& half = *ctx.half;
    constexpr int32_t n = 64;
    DspBench bench(ctx, 48000, n);
    // The inputs go static: audio at the level, streaming off; gates held
    // (bools on), the other controls at random.
    std::vector<BenchEvent> events{{0, EV_START, 0}};
    for (const auto& pin : half.pins) {
        if (!pin.isInput())
            continue;
        if (pin.isAudio()) {
            std::fill(bench.buffer(pin.index), bench.buffer(pin.index) + n, level);
            events.push_back({0, EV_STREAM_OFF, pin.index});
        } else {
            events.push_back(valueEvent(
                0, pin.index, pin.type == DATATYPE_BOOL ? host::bytesOf(true) : randomOrdinaryValue(pin.type, ctx.rng)));
        }
    }
    bench.process(n, events, level == 0.0f ? "the inputs going silent" : "the inputs held at " + formatFloat(level));
    std::vector<int> streaming(half.pins.size(), -1);  // last announcement per output: -1 none
    auto noteStreaming = [&] {
        for (const auto& call : bench.host.calls)
            if (call.kind == DspCall::Streaming && call.pinIndex >= 0 &&
                static_cast<size_t>(call.pinIndex) < streaming.size())
                streaming[static_cast<size_t>(call.pinIndex)] = call.streaming ? 1 : 0;
    };
    auto firstDenormal = [&]() -> std::string {
        for (const auto& pin : half.pins)
            if (pin.isAudio() && !pin.isInput())
                for (int32_t i = 0; i < n; ++i)
                    if (isDenormal(bench.buffer(pin.index)[i]))
                        return pinLabel(pin);
        return "";
    };
    noteStreaming();
    const int kBlocksToSleep = ctx.rounds(4000);  // about five seconds at 48 kHz
    const double secondsBefore = bench.secondsProcessing;
    const int64_t samplesBefore = bench.samplesProcessed;
    int block = 0;
    bool warnedDenormal = false;
    // The last block in which an audio output moved: a module that is still
    // on its way (a long segment) has reason not to sleep yet.
    int lastMove = -1;
    std::vector<uint32_t> previous(half.pins.size(), 0);
    auto noteMoves = [&] {
        for (const auto& pin : half.pins) {
            if (!pin.isAudio() || pin.isInput())
                continue;
            uint32_t& before = previous[static_cast<size_t>(pin.index)];
            for (int32_t i = 0; i < n; ++i) {
                uint32_t bits;
                std::memcpy(&bits, bench.buffer(pin.index) + i, sizeof bits);
                if (bits != before && !(block == 0 && i == 0))
                    lastMove = block;
                before = bits;
            }
        }
    };
    while (bench.host.count(DspCall::OfferSleep) == 0 && block < kBlocksToSleep) {
        bench.process(n, {}, "the inputs " + inputs);
        noteStreaming();
        noteMoves();
        const std::string denormal = firstDenormal();
        if (level == 0.0f && !denormal.empty() && !warnedDenormal) {
            ctx.warn("output " + denormal + " carries denormal samples " + std::to_string(block + 1) +
                     " blocks after the inputs went silent");
            warnedDenormal = true;
        }
        ++block;
    }
    if (bench.host.count(DspCall::OfferSleep) == 0) {
        const bool keepsStreaming = std::any_of(streaming.begin(), streaming.end(), [](int s) { return s == 1; });
        if (!keepsStreaming)
            return {Status::Passed, "never offered sleep " + withInputs + ", and announces no streaming output"};
        if (level != 0.0f && lastMove >= block - block / 4)
            return {Status::Passed, withInputs + " its outputs still moved after " + std::to_string(block) + " blocks"};
        const double seconds = bench.secondsProcessing - secondsBefore;
        const double audio = static_cast<double>(bench.samplesProcessed - samplesBefore) / 48000.0;
        std::ostringstream cost;
        cost.precision(3);
        cost << "never sleeps: with every input " << inputs << " and static for " << block
             << " blocks it never offered sleep and keeps announcing streaming; that costs "
             << (seconds / audio * 1e6) << " us of CPU per second of audio per instance (" << (100 * seconds / audio)
             << "% of a core)";
        ctx.warn(cost.str());
        return {Status::Passed, ""};
    }
    // Asleep: nothing may move any more.
    const std::vector<float> held = bench.lastOutput;
    for (int k = 0; k < 50; ++k) {
        bench.process(n, {}, "the module asleep");
        for (const auto& pin : half.pins) {
            if (!pin.isAudio() || pin.isInput())
                continue;
            for (int32_t i = 0; i < n; ++i) {
                const float v = bench.buffer(pin.index)[i];
                expect(v == DspBench::kUntouched || v == held[static_cast<size_t>(pin.index)],
                       "offered sleep, then output " + pinLabel(pin) + " moved from " +
                           std::to_string(held[static_cast<size_t>(pin.index)]) + " to " + std::to_string(v) +
                           " without any event");
            }
        }
        expect(bench.host.count(DspCall::Publish) == 0, "offered sleep, then sent a control value without any event");
    }
    return {Status::Passed, withInputs + " it offered sleep after " + std::to_string(block + 1) +
                                " blocks and kept its outputs constant"};
}

}  // namespace

Outcome checkDspSleep(CheckContext& ctx) {
    const Outcome silent = sleepWithInputsAt(ctx, 0.0f);
    const bool audioIn = std::any_of(ctx.half->pins.begin(), ctx.half->pins.end(),
                                     [](const PinDescription& p) { return p.isInput() && p.isAudio(); });
    // A module that does not sleep on silence is named once for it.
    if (silent.status != Status::Passed || !ctx.warnings.empty() || !audioIn)
        return silent;
    std::string detail = silent.detail;
    // A static input that is not silence lets a module sleep just as well:
    // full scale either way, and a small offset.
    for (const float level : {1.0f, -1.0f, 0.01f}) {
        const Outcome held = sleepWithInputsAt(ctx, level);
        if (held.status != Status::Passed || !ctx.warnings.empty())
            return held;
        detail += "; " + held.detail;
    }
    return {Status::Passed, detail};
}



Outcome checkDspSampleRates(CheckContext& ctx) {
    const auto& rates = ratesOf(ctx);
    constexpr int32_t n = 64;
    for (int32_t rate : rates) {
        DspBench bench(ctx, rate, n);
        const std::string at = rate == 0 ? "with a host that writes no sample rate" : "at " + std::to_string(rate) + " Hz";
        for (int round = 0, rounds = ctx.rounds(24); round < rounds; ++round) {
            auto events = ordinaryBlock(ctx, bench, n, round, round == 0);
            // Gates and triggers that open and close start new segments.
            for (const auto& pin : ctx.half->pins)
                if (pin.isInput() && pin.type == DATATYPE_BOOL)
                    events.push_back(valueEvent(n / 2, pin.index, host::bytesOf(round % 4 < 2)));
            bench.process(n, events, at);
        }
    }
    return {Status::Passed, "outputs finite at " + listOf(rates) + " Hz"};
}

Outcome checkDspHostileValues(CheckContext& ctx) {
    const auto& half = *ctx.half;
    constexpr int32_t n = 64;
    DspBench bench(ctx, 48000, n);
    bench.process(n, {{0, EV_START, 0}});
    size_t sent = 0;
    // Finite values first, so that what they produce is judged before any NaN
    // went in.
    for (bool nonFinite : {false, true})
        for (const auto& pin : half.pins) {
            if (!pin.isInput() || pin.isAudio())
                continue;
            for (const auto& v : hostileValues(pin.type)) {
                if (v.nonFinite != nonFinite)
                    continue;
                for (int32_t at : {0, n / 2, n - 1}) {
                    bench.process(n, {valueEvent(at, pin.index, v.bytes)});
                    ++sent;
                }
                bench.process(n, {});
            }
        }
    // Events a host may send by mistake: for pins that do not exist, of
    // kinds that do not exist, values for audio pins.
    const auto count = static_cast<int32_t>(half.pins.size());
    for (int32_t pin : {-1, count, count + 100, std::numeric_limits<int32_t>::max()})
        bench.process(n, {valueEvent(0, pin, host::bytesOf(1.0f)), {1, EV_STREAM_ON, pin}, {2, EV_STREAM_OFF, pin}});
    for (int32_t kind : {0, 99, 105, -1})
        bench.process(n, {{0, kind, 0}, {n / 2, kind, count - 1}});
    for (const auto& pin : half.pins)
        if (pin.isAudio() && pin.isInput())
            bench.process(n, {valueEvent(0, pin.index, host::bytesOf(0.5f)), valueEvent(1, pin.index, Bytes{})});
    return {Status::Passed, std::to_string(sent) + " hostile values and " + std::to_string(count) +
                                "-pin-range stray events taken; outputs in order"};
}

Outcome checkDspHostileAudio(CheckContext& ctx) {
    const auto& half = *ctx.half;
    const bool hasAudioIn = std::any_of(half.pins.begin(), half.pins.end(),
                                        [](const PinDescription& p) { return p.isInput() && p.isAudio(); });
    if (!hasAudioIn)
        return {Status::Skipped, "no audio inputs"};
    const auto sizes = blocksOf(ctx);
    DspBench bench(ctx, 48000, largest(sizes));
    std::vector<BenchEvent> start{{0, EV_START, 0}};
    for (const auto& pin : half.pins)
        if (pin.isInput() && pin.isAudio())
            start.push_back({0, EV_STREAM_ON, pin.index});
    bench.process(std::min(64, largest(sizes)), start);
    // Finite shapes first, then NaN and infinity.
    const auto& shapes = hostileAudioShapes();
    for (bool nonFinite : {false, true})
        for (size_t shape = 0; shape < shapes.size(); ++shape) {
            if (shapes[shape].nonFinite != nonFinite)
                continue;
            for (int32_t n : sizes)
                for (int round = 0, rounds = ctx.rounds(2); round < rounds; ++round) {
                    for (const auto& pin : half.pins)
                        if (pin.isInput() && pin.isAudio())
                            fillHostileAudio(shape, bench.buffer(pin.index), n, ctx.rng);
                    bench.tainted = bench.tainted || nonFinite;
                    bench.process(n, {}, std::string("audio inputs of ") + shapes[shape].name);
                }
        }
    return {Status::Passed, std::to_string(bench.blocks) + " blocks of hostile audio"};
}

Outcome checkDspRealtime(CheckContext& ctx) {
    std::string why;
    if (!realtimeWatchAvailable(why))
        return {Status::Skipped, why};
    const auto sizes = blocksOf(ctx);
    DspBench bench(ctx, 48000, largest(sizes));
    bench.watch = true;
    bool first = true;
    for (int round = 0, rounds = ctx.rounds(60); round < rounds; ++round)
        for (int32_t n : sizes) {
            bench.process(n, ordinaryBlock(ctx, bench, n, round, first));
            first = false;
        }
    std::string detail = std::to_string(bench.blocks) + " blocks without a heap or blocking call";
    if (bench.allowedAllocations > 0)
        detail += "; " + std::to_string(bench.allowedAllocations) +
                  " heap calls while storing new text values (allowed)";
    return {Status::Passed, detail};
}

}  // namespace qvhost
