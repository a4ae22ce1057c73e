#include "dsp_host.h"

namespace ovra::host {

int32_t RecordingDspHost::QueryInterface(const Guid* iid, void** out) {
    DspCall call{DspCall::Query};
    if (iid != nullptr)
        call.iid = *iid;
    calls.push_back(call);
    if (out == nullptr)
        return RC_NOT_FOUND;
    *out = nullptr;
    if (answersDspHost && (isGuid(iid, IID_IMpDspHost) || isGuid(iid, IID_IMpUnknown)))
        *out = static_cast<IMpDspHost*>(this);
    else if (answersAux && isGuid(iid, IID_IMpDspHostAux))
        *out = static_cast<IMpDspHostAux*>(this);
    else
        return RC_NOT_FOUND;
    ++references;
    return RC_OK;
}

uint32_t RecordingDspHost::AddRef() {
    calls.push_back({DspCall::AddRef});
    return static_cast<uint32_t>(++references);
}

uint32_t RecordingDspHost::Release() {
    calls.push_back({DspCall::Release});
    return static_cast<uint32_t>(--references);
}

int32_t RecordingDspHost::publishPinValue(int32_t sampleOffset, int32_t pinIndex, int32_t size, const void* data) {
    DspCall call{DspCall::Publish, sampleOffset, pinIndex, bytesOf(data, size)};
    calls.push_back(call);
    if (onPublish)
        onPublish(sampleOffset, pinIndex, call.bytes);
    return RC_OK;
}

int32_t RecordingDspHost::announceStreaming(int32_t sampleOffset, int32_t pinIndex, bool streaming) {
    DspCall call{DspCall::Streaming, sampleOffset, pinIndex};
    call.streaming = streaming;
    calls.push_back(call);
    if (onStreaming)
        onStreaming(sampleOffset, pinIndex, streaming);
    return RC_OK;
}

int32_t RecordingDspHost::offerSleep() {
    calls.push_back({DspCall::OfferSleep});
    return RC_OK;
}

int32_t RecordingDspHost::fillSleepCountdown(int32_t* value) {
    calls.push_back({DspCall::FillCountdown});
    if (value != nullptr)
        *value = countdown;
    return RC_OK;
}

int32_t RecordingDspHost::readSampleRate(float* rate) {
    calls.push_back({DspCall::ReadSampleRate});
    if (rate != nullptr && sampleRate)
        *rate = *sampleRate;
    return RC_OK;
}

std::vector<DspCall> RecordingDspHost::callsOf(DspCall::Kind kind) const {
    std::vector<DspCall> out;
    for (const auto& c : calls)
        if (c.kind == kind)
            out.push_back(c);
    return out;
}

EventList& EventList::add(int32_t offset, int32_t kind, int32_t pin, int32_t valueSize, const void* pointer) {
    events_.push_back(HostEvent{.sampleOffset = offset, .kind = kind, .pinIndex = pin, .valueSize = valueSize,
                                .inlineValue = {}, .valuePointer = pointer, .nextEvent = nullptr});
    if (events_.size() > 1)
        events_[events_.size() - 2].nextEvent = &events_.back();
    return *this;
}

EventList& EventList::operator=(const EventList& other) {
    if (this == &other)
        return *this;
    events_.clear();
    payloads_ = other.payloads_;
    for (const HostEvent& e : other.events_) {
        HostEvent copy = e;
        for (size_t i = 0; i < other.payloads_.size(); ++i)
            if (e.valuePointer == other.payloads_[i].data())
                copy.valuePointer = payloads_[i].data();
        copy.nextEvent = nullptr;
        events_.push_back(copy);
        if (events_.size() > 1)
            events_[events_.size() - 2].nextEvent = &events_.back();
    }
    return *this;
}

EventList& EventList::value(int32_t offset, int32_t pin, const Bytes& bytes) {
    add(offset, EV_PIN_VALUE, pin, static_cast<int32_t>(bytes.size()));
    HostEvent& e = events_.back();
    if (bytes.size() <= sizeof(e.inlineValue)) {
        if (!bytes.empty())
            std::memcpy(e.inlineValue, bytes.data(), bytes.size());
    } else {
        payloads_.push_back(bytes);
        e.valuePointer = payloads_.back().data();
    }
    return *this;
}

DspModule::DspModule(IMpUnknown* created, RecordingDspHost& host) {
    if (created == nullptr)
        return;
    void* out = nullptr;
    created->QueryInterface(&IID_IMpPlugin2, &out);
    created->Release();
    plugin_ = static_cast<IMpPlugin2*>(out);
    if (plugin_ != nullptr)
        plugin_->attachHost(static_cast<IMpDspHost*>(&host));
}

DspModule::~DspModule() {
    if (plugin_ != nullptr)
        plugin_->Release();
}

std::vector<float>& DspModule::buffer(int32_t pin, size_t size) {
    auto& b = buffers_[pin];
    if (b.size() < size)
        b.resize(size, 0.0f);
    if (plugin_ != nullptr)
        plugin_->assignPinBuffer(pin, b.data());
    return b;
}

void DspModule::process(int32_t sampleCount, const EventList& events) {
    if (plugin_ != nullptr)
        plugin_->processBlock(sampleCount, events.head());
}

}  // namespace ovra::host
