// A DSP half on the validate bench: attached to a host that records every
// call, given guarded buffers, and checked after every block for what no
// module may do whatever it is fed.
#pragma once

#include <string>
#include <vector>

#include "catalogue.h"
#include "dsp_host.h"

namespace qvhost {

// qvhost's own bookkeeping inside processBlock is not the module's.
class GuardedDspHost : public ovra::host::RecordingDspHost {
public:
    int32_t QueryInterface(const ovra::Guid* iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;
    int32_t publishPinValue(int32_t sampleOffset, int32_t pinIndex, int32_t size, const void* data) override;
    int32_t announceStreaming(int32_t sampleOffset, int32_t pinIndex, bool streaming) override;
    int32_t offerSleep() override;
    int32_t fillSleepCountdown(int32_t* countdown) override;
    int32_t readSampleRate(float* rate) override;
};

struct BenchEvent {
    int32_t offset = 0;
    int32_t kind = 0;
    int32_t pin = 0;
    ovra::host::Bytes bytes{};
};

class DspBench {
public:
    // rate 0: readSampleRate writes nothing.
    DspBench(CheckContext& ctx, int32_t rate, int32_t maxBlock);
    ~DspBench();
    DspBench(const DspBench&) = delete;
    DspBench& operator=(const DspBench&) = delete;

    // An audio pin's buffer (the host writes inputs there before a block).
    float* buffer(int32_t pin);
    // Processes one block and checks it; `also` says what else the block
    // carried, for messages.
    void process(int32_t n, const std::vector<BenchEvent>& events, const std::string& also = "");

    GuardedDspHost host;
    bool tainted = false;  // a NaN or infinity reached the module: non-finite outputs are its echo
    bool watch = false;    // count heap and blocking calls inside processBlock
    size_t allowedAllocations = 0;  // while storing new text values
    size_t blocks = 0;
    double secondsProcessing = 0;   // inside processBlock
    int64_t samplesProcessed = 0;
    // The last value written on each audio output, by pin index.
    std::vector<float> lastOutput;

    // What an output holds where nothing was written; what an input holds
    // past the block's end. Two values, so that a module that copies its
    // input one sample too far is seen writing.
    static constexpr float kUntouched = -12345.678f;
    static constexpr float kPastInput = -23456.789f;

private:
    void checkBlock(int32_t n, const std::string& where);

    CheckContext& ctx_;
    const HalfDescription& half_;
    ovra::IMpPlugin2* plugin_ = nullptr;
    std::vector<std::vector<float>> buffers_;  // by pin index; empty for control pins
    int32_t maxBlock_;
    bool warnedNonFinite_ = false;
};

// "Gate = true at 0, stream off Attack at 5, ..." for messages.
std::string describeEvents(const HalfDescription& half, const std::vector<BenchEvent>& events);

}  // namespace qvhost
