// "DO-Half": Out = Signal / 2.
#include "abi/factory.h"
#include "dsp/dsp_pins.h"

namespace dsponly {

using namespace ovra;

class Half final : public MpBase2 {
public:
    enum : int32_t { kSignal, kOut };

    Half() {
        addPin(kSignal, signal_);
        addPin(kOut, out_);
        selectProcessRoutine(&Half::process);
    }

    void onPinsChanged() override { out_.setOutputStreaming(signal_.isStreaming()); }

private:
    void process(int32_t sampleCount) {
        const float* in = signal_.blockSamples();
        float* out = out_.blockSamples();
        if (in == nullptr || out == nullptr)
            return;
        for (int32_t i = 0; i < sampleCount; ++i)
            out[i] = in[i] * 0.5f;
    }

    AudioInPin signal_;
    AudioOutPin out_;
};

OVRA_MODULE(u"DO-Half", Half);

}  // namespace dsponly
