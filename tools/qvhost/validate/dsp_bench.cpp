#include "dsp_bench.h"

#include <chrono>
#include <cmath>

#include "checks.h"
#include "module_stack.h"
#include "patch/pin_value.h"
#include "io/suggest.h"
#include "realtime_watch.h"

namespace qvhost {

using namespace ovra;

int32_t GuardedDspHost::QueryInterface(const Guid* iid, void** out) {
    RealtimePause pause;
    return RecordingDspHost::QueryInterface(iid, out);
}
uint32_t GuardedDspHost::AddRef() {
    RealtimePause pause;
    return RecordingDspHost::AddRef();
}
uint32_t GuardedDspHost::Release() {
    RealtimePause pause;
    return RecordingDspHost::Release();
}
int32_t GuardedDspHost::publishPinValue(int32_t sampleOffset, int32_t pinIndex, int32_t size, const void* data) {
    RealtimePause pause;
    return RecordingDspHost::publishPinValue(sampleOffset, pinIndex, size, data);
}
int32_t GuardedDspHost::announceStreaming(int32_t sampleOffset, int32_t pinIndex, bool streaming) {
    RealtimePause pause;
    return RecordingDspHost::announceStreaming(sampleOffset, pinIndex, streaming);
}
int32_t GuardedDspHost::offerSleep() {
    RealtimePause pause;
    return RecordingDspHost::offerSleep();
}
int32_t GuardedDspHost::fillSleepCountdown(int32_t* countdown) {
    RealtimePause pause;
    return RecordingDspHost::fillSleepCountdown(countdown);
}
int32_t GuardedDspHost::readSampleRate(float* rate) {
    RealtimePause pause;
    return RecordingDspHost::readSampleRate(rate);
}

namespace {

constexpr size_t kGuardSamples = 64;

std::string eventText(const HalfDescription& half, const BenchEvent& e) {
    const auto pin = half.pinAt(e.pin);
    const std::string name = pin ? pin->name : "undescribed pin " + std::to_string(e.pin);
    std::string what;
    switch (e.kind) {
    case EV_PIN_VALUE: {
        const int32_t type = pin ? pin->type : DATATYPE_BLOB;
        const bool fits = sizeFits(type, e.bytes.size()) && type != DATATYPE_AUDIO;
        std::string value = fits ? formatValue(type, e.bytes) : std::to_string(e.bytes.size()) + " bytes";
        if (value.size() > 40)
            value = value.substr(0, 37) + "...";
        what = name + " = " + value;
        break;
    }
    case EV_STREAM_ON: what = "stream on " + name; break;
    case EV_STREAM_OFF: what = "stream off " + name; break;
    case EV_START: what = "EV_START"; break;
    default: what = "event type " + std::to_string(e.kind) + " for " + name; break;
    }
    return what + " at " + std::to_string(e.offset);
}

}  // namespace

std::string describeEvents(const HalfDescription& half, const std::vector<BenchEvent>& events) {
    std::string out;
    for (size_t i = 0; i < events.size() && i < 6; ++i)
        out += (out.empty() ? "" : ", ") + eventText(half, events[i]);
    if (events.size() > 6)
        out += " and " + std::to_string(events.size() - 6) + " more events";
    return out.empty() ? "no events" : out;
}

DspBench::DspBench(CheckContext& ctx, int32_t rate, int32_t maxBlock)
    : ctx_(ctx), half_(*ctx.half), maxBlock_(maxBlock) {
    host.countdown = 64;
    if (rate > 0)
        host.sampleRate = static_cast<float>(rate);
    else
        host.sampleRate.reset();
    IMpUnknown* out = kGarbage;
    expect(ctx.library.createBare(host::fromUtf8(ctx.module->id), half_.subType, &out) == RC_OK && out != nullptr &&
               out != kGarbage,
           "could not create the module");
    plugin_ = host::queryInterface<IMpPlugin2>(out, IID_IMpPlugin2);
    out->Release();
    expect(plugin_ != nullptr, "does not answer IMpPlugin2");
    plugin_->attachHost(host.unknown());
    plugin_->activate();
    buffers_.resize(half_.pins.size());
    lastOutput.assign(half_.pins.size(), 0.0f);
    for (const auto& pin : half_.pins)
        if (pin.isAudio()) {
            auto& b = buffers_[static_cast<size_t>(pin.index)];
            b.assign(static_cast<size_t>(maxBlock) + kGuardSamples, 0.0f);
            plugin_->assignPinBuffer(pin.index, b.data());
        }
}

DspBench::~DspBench() {
    if (plugin_ != nullptr)
        plugin_->Release();
}

float* DspBench::buffer(int32_t pin) {
    auto& b = buffers_.at(static_cast<size_t>(pin));
    return b.empty() ? nullptr : b.data();
}

void DspBench::process(int32_t n, const std::vector<BenchEvent>& events, const std::string& also) {
    host::EventList list;
    bool newText = false;
    for (const auto& e : events) {
        if (e.kind == EV_PIN_VALUE)
            list.value(e.offset, e.pin, e.bytes);
        else
            list.add(e.offset, e.kind, e.pin);
        const auto pin = half_.pinAt(e.pin);
        if (e.kind != EV_PIN_VALUE || !pin || !pin->isInput())
            continue;
        // A float of another size than 4 may be read as any bits.
        if (pin->type == DATATYPE_FLOAT && (e.bytes.size() != 4 || !std::isfinite(host::floatOf(e.bytes))))
            tainted = true;
        newText = newText || pin->type == DATATYPE_TEXT;
    }
    for (const auto& pin : half_.pins)
        if (pin.isAudio()) {
            auto& b = buffers_[static_cast<size_t>(pin.index)];
            std::fill(b.begin() + n, b.end(), pin.isInput() ? kPastInput : kUntouched);
            if (!pin.isInput())
                std::fill(b.begin(), b.begin() + n, kUntouched);
        }
    host.clear();
    const std::string where = "a block of " + counted(static_cast<size_t>(n), "sample") + " with " + describeEvents(half_, events) +
                              (also.empty() ? "" : ", " + also);
    const auto started = std::chrono::steady_clock::now();
    if (watch)
        beginRealtimeWatch();
    plugin_->processBlock(n, list.head());
    const RealtimeRecord record = watch ? endRealtimeWatch() : RealtimeRecord{};
    secondsProcessing += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    samplesProcessed += n;
    ++blocks;
    if (record.total > 0) {
        bool onlyHeap = true;
        for (size_t i = 0; i < record.kept; ++i)
            onlyHeap = onlyHeap && record.first[i].allocation;
        if (newText && onlyHeap) {
            allowedAllocations += record.total;
        } else {
            const RealtimeCall& c = record.first[0];
            std::string calls = std::string(c.function) + (c.bytes > 0 ? " (" + std::to_string(c.bytes) + " bytes)" : "");
            for (size_t i = 1; i < record.kept; ++i)
                calls += std::string(", ") + record.first[i].function;
            const std::string stack = moduleStack(record, ctx_.path);
            fail(std::to_string(record.total) + " call" + (record.total == 1 ? "" : "s") +
                 " with no place on the audio thread inside processBlock, first " + calls +
                 (stack.empty() ? "" : ", the first called from " + stack) + ", in " + where);
        }
    }
    checkBlock(n, where);
}

void DspBench::checkBlock(int32_t n, const std::string& where) {
    auto nonFinite = [&](const std::string& what) {
        const std::string message = what + " in " + where + " (no NaN or infinity went in)";
        if (ctx_.strict(kDefaultStrictness))
            fail(message);
        if (!warnedNonFinite_)
            ctx_.warn(message);
        warnedNonFinite_ = true;
    };
    for (const auto& pin : half_.pins) {
        if (!pin.isAudio() || pin.isInput())
            continue;
        const auto& b = buffers_[static_cast<size_t>(pin.index)];
        for (int32_t i = 0; i < n; ++i) {
            const float v = b[static_cast<size_t>(i)];
            if (v == kUntouched)
                continue;
            lastOutput[static_cast<size_t>(pin.index)] = v;
            if (!std::isfinite(v) && !tainted)
                nonFinite("output " + pinLabel(pin) + " is " + std::to_string(v) + " at sample " + std::to_string(i));
        }
        for (size_t i = static_cast<size_t>(n); i < static_cast<size_t>(n) + kGuardSamples; ++i)
            expect(b[i] == kUntouched, "output " + pinLabel(pin) + " was written " +
                                           counted(i - static_cast<size_t>(n) + 1, "sample") +
                                           " past the end of " + where);
    }
    const host::DspCall* previous = nullptr;
    for (const auto& call : host.calls) {
        if (call.kind == host::DspCall::Publish) {
            expect(call.sampleOffset >= 0 && call.sampleOffset < n,
                   "publishPinValue at offset " + std::to_string(call.sampleOffset) + ", outside " + where);
            const auto pin = half_.pinAt(call.pinIndex);
            expect(pin && !pin->isInput() && !pin->isAudio(),
                   "a value was sent for pin " + std::to_string(call.pinIndex) + ", which the description has as " +
                       (pin ? (pin->isInput() ? "an input" : "an audio output") : std::string("no pin")) + ", in " +
                       where);
            expect(sizeFits(pin->type, call.bytes.size()), pinLabel(*pin) + " sent " +
                                                               std::to_string(call.bytes.size()) + " bytes for a " +
                                                               typeName(pin->type) + " in " + where);
            if (pin->type == DATATYPE_FLOAT && !std::isfinite(host::floatOf(call.bytes)) && !tainted)
                nonFinite(pinLabel(*pin) + " sent " + formatValue(pin->type, call.bytes));
        } else if (call.kind == host::DspCall::Streaming) {
            expect(call.sampleOffset >= 0 && call.sampleOffset < n,
                   "announceStreaming at offset " + std::to_string(call.sampleOffset) + ", outside " + where);
            const auto pin = half_.pinAt(call.pinIndex);
            expect(pin && !pin->isInput() && pin->isAudio(),
                   "streaming was announced for pin " + std::to_string(call.pinIndex) +
                       ", which the description has as " +
                       (pin ? (pin->isInput() ? "an input" : "a control output") : std::string("no pin")) + ", in " +
                       where);
            expect(call.streaming || (previous != nullptr && previous->kind == host::DspCall::FillCountdown),
                   "announceStreaming(false) on " + pinLabel(*pin) +
                       " without fillSleepCountdown right before it, in " + where);
        }
        previous = &call;
    }
}

}  // namespace qvhost
