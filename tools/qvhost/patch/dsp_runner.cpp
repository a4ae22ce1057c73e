#include "dsp_runner.h"

#include <algorithm>
#include <cstring>

#include "failure.h"
#include "numeric/bits.h"

namespace qvhost {

using namespace ovra;

namespace {
// Written into output buffers before each block: what is still there
// afterwards the module did not write (it was asleep).
constexpr uint32_t kUnwrittenBits = 0x7FA0BEEFu;
float unwritten() { return ovra::numeric::floatFromBits(kUnwrittenBits); }
bool isUnwritten(float f) { return ovra::numeric::bitsOf(f) == kUnwrittenBits; }
}  // namespace

DspRunner::DspRunner(const host::Library& library, const ModuleDescription& module, float sampleRate,
                     int32_t maxBlock)
    : module_(module), half_(*module.dspHalf()) {
    host_.sampleRate = sampleRate;
    host_.countdown = maxBlock;
    host_.onPublish = [this](int32_t offset, int32_t pin, const Bytes& bytes) {
        published_.push_back({blockStart_ + offset, pin, bytes});
    };
    IMpUnknown* created = nullptr;
    const int32_t rc = library.createBare(host::fromUtf8(module.id), half_.subType, &created);
    if (rc != RC_OK || created == nullptr)
        throw Failure(library.path() + " did not create the DSP half of " + module.id + " (code " +
                      std::to_string(rc) + ")");
    dsp_ = std::make_unique<host::DspModule>(created, host_);
    if (dsp_->plugin() == nullptr)
        throw Failure(module.id + " does not answer IMpPlugin2");
    dsp_->plugin()->activate();
    buffers_.assign(half_.pins.size(), nullptr);
    held_.assign(half_.pins.size(), 0.0f);
    for (const auto& pin : half_.pins)
        if (pin.isAudio())
            buffers_[static_cast<size_t>(pin.index)] = &dsp_->buffer(pin.index, static_cast<size_t>(maxBlock));
}

DspRunner::~DspRunner() = default;

float* DspRunner::input(int32_t pin) { return buffers_.at(static_cast<size_t>(pin))->data(); }

const float* DspRunner::output(int32_t pin) const { return buffers_.at(static_cast<size_t>(pin))->data(); }

void DspRunner::process(int64_t start, int32_t n, std::vector<PendingEvent> events) {
    blockStart_ = start;
    published_.clear();
    streamChanges_.clear();
    host_.clear();
    for (const auto& pin : half_.pins)
        if (pin.isAudio() && !pin.isInput())
            std::fill_n(buffers_[static_cast<size_t>(pin.index)]->data(), n, unwritten());

    std::stable_sort(events.begin(), events.end(),
                     [](const PendingEvent& a, const PendingEvent& b) { return a.offset < b.offset; });
    host::EventList list;
    for (const auto& e : events) {
        if (e.kind == EV_PIN_VALUE)
            list.value(e.offset, e.pin, e.bytes);
        else
            list.add(e.offset, e.kind, e.pin);
    }
    dsp_->process(n, list);

    offeredSleep_ = false;
    for (const auto& call : host_.calls) {
        if (call.kind == host::DspCall::OfferSleep)
            offeredSleep_ = true;
        else if (call.kind == host::DspCall::Streaming)
            streamChanges_.push_back({call.sampleOffset, call.pinIndex, call.streaming});
    }
    for (const auto& pin : half_.pins) {
        if (!pin.isAudio() || pin.isInput())
            continue;
        float* out = buffers_[static_cast<size_t>(pin.index)]->data();
        float& held = held_[static_cast<size_t>(pin.index)];
        for (int32_t i = 0; i < n; ++i) {
            if (isUnwritten(out[i]))
                out[i] = held;
            else
                held = out[i];
        }
    }
}

}  // namespace qvhost
