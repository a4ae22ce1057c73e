// A DSP-side host for tests and tools: answers IMpDspHost (and
// IMpDspHostAux), records every call with its arguments, and drives a module
// block by block with its own buffers and events.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "abi/framework_types.h"
#include "values.h"

namespace ovra::host {

struct DspCall {
    enum Kind { Query, AddRef, Release, Publish, Streaming, OfferSleep, FillCountdown, ReadSampleRate };
    Kind kind;
    int32_t sampleOffset = 0;
    int32_t pinIndex = 0;
    Bytes bytes{};           // Publish
    bool streaming = false;  // Streaming
    Guid iid{};              // Query
};

class RecordingDspHost : public IMpDspHost, public IMpDspHostAux {
public:
    // What the host answers; change before or between blocks.
    std::optional<float> sampleRate = 48000.0f;  // nullopt: readSampleRate writes nothing
    int32_t countdown = 0;                        // written by fillSleepCountdown
    bool answersDspHost = true;
    bool answersAux = true;
    // Called on every publishPinValue (after it is recorded).
    std::function<void(int32_t offset, int32_t pin, const Bytes&)> onPublish;
    // Called on every announceStreaming (after it is recorded).
    std::function<void(int32_t offset, int32_t pin, bool streaming)> onStreaming;

    std::vector<DspCall> calls;
    int32_t references = 1;

    int32_t QueryInterface(const Guid* iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;
    int32_t publishPinValue(int32_t sampleOffset, int32_t pinIndex, int32_t size, const void* data) override;
    int32_t announceStreaming(int32_t sampleOffset, int32_t pinIndex, bool streaming) override;
    int32_t offerSleep() override;
    int32_t reserved7() override { return RC_OK; }
    int32_t fillSleepCountdown(int32_t* countdown) override;
    int32_t readSampleRate(float* rate) override;

    // The host pointer to hand to instantiate or attachHost.
    IMpUnknown* unknown() { return static_cast<IMpDspHost*>(this); }

    std::vector<DspCall> callsOf(DspCall::Kind kind) const;
    size_t count(DspCall::Kind kind) const { return callsOf(kind).size(); }
    void clear() { calls.clear(); }
};

// A list of HostEvent records with stable addresses, linked in the order added.
class EventList {
public:
    EventList() = default;
    // A copy links its own records (and value bytes), never the original's.
    EventList(const EventList& other) { *this = other; }
    EventList& operator=(const EventList& other);
    EventList(EventList&&) = default;  // a deque move keeps element addresses
    EventList& operator=(EventList&&) = default;

    EventList& value(int32_t offset, int32_t pin, const Bytes& bytes);
    EventList& value(int32_t offset, int32_t pin, float v) { return value(offset, pin, bytesOf(v)); }
    EventList& value(int32_t offset, int32_t pin, int32_t v) { return value(offset, pin, bytesOf(v)); }
    EventList& value(int32_t offset, int32_t pin, bool v) { return value(offset, pin, bytesOf(v)); }
    EventList& value(int32_t offset, int32_t pin, const wstring& v) { return value(offset, pin, bytesOf(v)); }
    EventList& streamOn(int32_t offset, int32_t pin) { return add(offset, EV_STREAM_ON, pin); }
    EventList& streamOff(int32_t offset, int32_t pin) { return add(offset, EV_STREAM_OFF, pin); }
    EventList& start(int32_t offset = 0) { return add(offset, EV_START, 0); }
    // Any record, as a host might send it.
    EventList& add(int32_t offset, int32_t kind, int32_t pin, int32_t valueSize = 0, const void* pointer = nullptr);
    HostEvent& last() { return events_.back(); }

    const HostEvent* head() const { return events_.empty() ? nullptr : &events_.front(); }
    bool empty() const { return events_.empty(); }
    void clear() {
        events_.clear();
        payloads_.clear();
    }

private:
    std::deque<HostEvent> events_;
    std::deque<Bytes> payloads_;
};

// A DSP module created from a library, attached to a recording host, with a
// buffer for every audio pin the test asks for.
class DspModule {
public:
    DspModule(IMpUnknown* created, RecordingDspHost& host);  // takes the reference
    ~DspModule();
    DspModule(const DspModule&) = delete;

    IMpPlugin2* plugin() const { return plugin_; }
    // A buffer of the block size for the pin, assigned to the module.
    std::vector<float>& buffer(int32_t pin, size_t size = 4096);
    void process(int32_t sampleCount, const EventList& events = EventList());

private:
    IMpPlugin2* plugin_ = nullptr;
    std::map<int32_t, std::vector<float>> buffers_;
};

}  // namespace ovra::host
