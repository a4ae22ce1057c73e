// One DSP half driven the way a host drives it: attached, given a buffer for
// every audio pin, and processed block by block with timed events.
#pragma once

#include <memory>
#include <vector>

#include "io/description.h"
#include "dsp_host.h"
#include "library.h"

namespace qvhost {

using ovra::host::Bytes;

struct PendingEvent {
    int32_t offset = 0;
    int32_t kind = 0;
    int32_t pin = 0;
    Bytes bytes{};
};

struct Publication {
    int64_t sample;  // from the start of the run
    int32_t pin;
    Bytes bytes;
};

class DspRunner {
public:
    // Creates the module's DSP half; throws Failure when the library will not.
    DspRunner(const ovra::host::Library& library, const ModuleDescription& module, float sampleRate,
              int32_t maxBlock);
    ~DspRunner();

    const ModuleDescription& module() const { return module_; }
    const HalfDescription& half() const { return half_; }

    // Where the host writes an audio input for the next block.
    float* input(int32_t pin);
    // What the module wrote to an audio output in the last block; samples
    // after the module went to sleep hold its last value.
    const float* output(int32_t pin) const;

    // Processes one block of n samples starting at sample `start` of the run;
    // events are sorted by offset (stable) before they are handed over.
    void process(int64_t start, int32_t n, std::vector<PendingEvent> events);

    // Control values and streaming changes the module sent in the last block.
    const std::vector<Publication>& publications() const { return published_; }
    struct StreamChange {
        int32_t offset;
        int32_t pin;
        bool streaming;
    };
    const std::vector<StreamChange>& streamChanges() const { return streamChanges_; }
    bool offeredSleep() const { return offeredSleep_; }

    ovra::host::RecordingDspHost& host() { return host_; }

private:
    const ModuleDescription& module_;
    const HalfDescription& half_;
    ovra::host::RecordingDspHost host_;
    std::unique_ptr<ovra::host::DspModule> dsp_;
    std::vector<std::vector<float>*> buffers_;  // by pin index; null for control pins
    std::vector<float> held_;                   // last value of each output
    std::vector<Publication> published_;
    std::vector<StreamChange> streamChanges_;
    bool offeredSleep_ = false;
    int64_t blockStart_ = 0;
};

}  // namespace qvhost
