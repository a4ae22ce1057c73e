// "EX-Slew": a slew limiter. The DSP half lets its output follow an audio
// signal no faster than one full swing (1.0, that is 10 V) per Time seconds;
// the GUI half takes the time in milliseconds from the editor and hands it to
// the DSP half in seconds, with a label to show.
#include <cmath>
#include <cstdio>

#include "abi/factory.h"
#include "dsp/dsp_pins.h"
#include "gui/gui_base.h"

namespace example {

using namespace ovra;

// ---------------------------------------------------------------------------
// DSP half (sub-type 0).

class SlewDsp final : public MpBase2 {
public:
    // Pin indexes as the module description lists them.
    enum : int32_t { kTime, kSignal, kOut };

    SlewDsp() {
        addPin(kTime, time_);
        addPin(kSignal, signal_);
        addPin(kOut, out_);
        selectProcessRoutine(&SlewDsp::slew);
    }

    // Runs once per group of simultaneous events: a new time, or the input
    // starting or stopping to stream.
    void onPinsChanged() override {
        if (time_.changedNow)
            updateStep();
        // Anything that may move the output makes it stream again.
        if (!out_.isStreaming() && (signal_.isStreaming() || !settledOn(signal_.sampleAt())))
            out_.setOutputStreaming(true);
    }

    void onEngineStart() override {
        updateStep();
        MpBase2::onEngineStart();  // outputs announce their first state
    }

private:
    // The module's sample loop: from the block position on, sampleCount
    // samples. It also runs while the module counts down to sleep, holding
    // the settled level.
    void slew(int32_t sampleCount) {
        const float* in = signal_.blockSamples();
        float* out = out_.blockSamples();
        if (in == nullptr || out == nullptr)
            return;  // the host gave no buffers: nothing to read or write
        int32_t settledFrom = -1;
        for (int32_t i = 0; i < sampleCount; ++i) {
            const float target = in[i];
            if (target == target) {  // a NaN sample is skipped: the output holds
                const float delta = target - level_;
                if (delta > step_)
                    level_ += step_;
                else if (delta < -step_)
                    level_ -= step_;
                else
                    level_ = target;
            }
            out[i] = level_;
            if (!settledOn(target))
                settledFrom = -1;
            else if (settledFrom < 0)
                settledFrom = i;
        }
        // A static input that the output has reached: the output stops
        // streaming from the sample where it settled, and the module may
        // sleep once the host's countdown has run out.
        if (out_.isStreaming() && !signal_.isStreaming() && settledFrom >= 0)
            out_.setOutputStreaming(false, blockPosition() + settledFrom);
    }

    bool settledOn(float target) const { return level_ == target || target != target; }

    // The largest change per sample. No time (0, negative or NaN) means no
    // limit; without a sample rate from the host the output jumps as well.
    void updateStep() {
        float rate = 0.0f;
        if (IMpDspHost* h = host())
            h->readSampleRate(&rate);
        const float samples = time_.value * rate;
        step_ = samples > 0.0f ? 1.0f / samples : INFINITY;
    }

    MpControlPin<float, DIRECTION_IN> time_;
    AudioInPin signal_;
    AudioOutPin out_;

    float level_ = 0.0f;
    float step_ = INFINITY;
};

// ---------------------------------------------------------------------------
// GUI half (sub-type 2, the second family: the host attaches itself).

class SlewGui final : public WithReferenceCount<QvGuiInvisibleBase> {
public:
    enum : int32_t { kTime, kMilliseconds, kLabel };

    SlewGui() {
        addPin(kTime, time_);
        addPin(kMilliseconds, milliseconds_, &SlewGui::onMilliseconds);
        addPin(kLabel, label_);
        // Room for the longest label, taken once: the handler then builds
        // and stores its text without allocating, whatever the value.
        text_.reserve(kLabelLength);
        label_.value.reserve(kLabelLength);
    }

private:
    static constexpr size_t kLabelLength = 32;

    // Assigning a pin sends its value to the host only when it changed.
    void onMilliseconds() {
        const float ms = milliseconds_.value;
        const float shown = ms > 0.0f ? ms : 0.0f;  // negative and NaN: no limit
        time_ = shown / 1000.0f;
        char text[kLabelLength];
        std::snprintf(text, sizeof text, "%.0f ms", static_cast<double>(shown));
        text_.clear();
        for (const char* c = text; *c != 0; ++c)
            text_.push_back(static_cast<wchar>(*c));
        label_ = text_;  // copied into the label's own reserved room
    }

    MpGuiPin<float> time_;
    MpGuiPin<float> milliseconds_;
    MpGuiPin<wstring> label_;
    wstring text_;
};

// ---------------------------------------------------------------------------
// Registration: one identifier for both halves; each half's base gives its
// sub-type.

OVRA_MODULE(u"EX-Slew", SlewDsp);
OVRA_MODULE(u"EX-Slew", SlewGui);

}  // namespace example
