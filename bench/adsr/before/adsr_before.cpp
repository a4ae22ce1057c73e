// "QV ADSR4" as it was before its held levels were filled and its stalled
// segments ended, with the C runtime's exp and pow: the "before" of the
// benchmarks, loaded beside the current library in the same run.
//
//
// Every moving stage is one exponential segment from the current level to a
// target; its length follows from a time input and its curvature from a shape
// input, both read once, at the sample where the segment starts. Sustain and
// idle hold a static value, during which the output stops streaming and the
// module may sleep. Levels are double precision; samples are written as floats.
#include <cmath>

#include "abi/factory.h"
#include "dsp/dsp_pins.h"

namespace ovra {
namespace {

class Adsr : public MpBase2 {
public:
    Adsr() {
        // Registration order gives the pin indexes 0 to 10.
        addPin(trigger);
        addPin(gate);
        addPin(attackTime);
        addPin(decayTime);
        addPin(sustainLevel);
        addPin(releaseTime);
        addPin(attackShape);
        addPin(decayShape);
        addPin(releaseShape);
        addPin(envelopeOut);
        addPin(resetIn);
    }

    void onPinsChanged() override {
        if (!isModuleRoutine(&Adsr::envelope)) {
            selectProcessRoutine(&Adsr::envelope);
            envelopeOut.setOutputStreaming(false);
        }
        // Unordered comparison: a NaN resets too.
        if (resetIn.changedNow && !(resetIn.value < 1.0f || resetIn.value > 1.0f)) {
            stage_ = kRelease;
            advanceStage();  // to idle, holding 0
            level_ = target_;
        }
        if (trigger.changedNow && trigger.value && gate.value) {
            stage_ = kIdle;
            advanceStage();  // attack from wherever the level is
        }
        if (gate.changedNow && !gate.value && stage_ >= kAttack && stage_ <= kSustain) {
            stage_ = kSustain;
            advanceStage();  // release from wherever the level is
        }
        if (sustainLevel.changedNow && stage_ == kSustain) {
            stage_ = kAttack;
            advanceStage();  // decay towards the new sustain level
        }
    }

private:
    enum : int32_t { kIdle = -1, kAttack = 0, kDecay = 1, kSustain = 2, kRelease = 3 };

    // The module's sample loop: one multiply-add and two comparisons a sample.
    void envelope(int32_t sampleCount) {
        float* out = envelopeOut.blockSamples();
        double level = level_;
        double asymptote = asymptote_, coefficient = coefficient_;
        double lower = lowerBound_, upper = upperBound_;
        for (int32_t i = 0; i < sampleCount; ++i) {
            level = (asymptote - level) * coefficient + level;
            if (!(level >= lower) || level > upper) {
                // The next stage starts at this very sample and reads its
                // inputs here.
                level_ = target_;
                atSample(i, [this] { advanceStage(); });
                level = level_;
                asymptote = asymptote_, coefficient = coefficient_;
                lower = lowerBound_, upper = upperBound_;
            }
            if (out != nullptr)
                out[i] = static_cast<float>(level);
        }
        level_ = level;
    }

    void advanceStage() {
        switch (++stage_) {
        case kAttack:
            startSegment(attackTime.sampleAt(), attackShape.sampleAt(), 1.0);
            break;
        case kDecay:
            startSegment(decayTime.sampleAt(), decayShape.sampleAt(), sustainLevel.sampleAt());
            break;
        case kSustain:
            hold(sustainLevel.sampleAt());
            break;
        case kRelease:
            startSegment(releaseTime.sampleAt(), releaseShape.sampleAt(), 0.0);
            break;
        default:
            stage_ = kIdle;
            hold(0.0);
            break;
        }
    }

    // A segment from the current level to target that takes
    // 10^(4·time − 3) seconds for a full-scale swing.
    void startSegment(float time, float shape, double target) {
        target_ = target;
        envelopeOut.setOutputStreaming(true);
        float rate = 0.0f;  // a host that answers nothing gives one-sample segments
        if (IMpDspHost* h = host())
            h->readSampleRate(&rate);

        const double swing = std::fabs(target - level_);
        if (swing < static_cast<double>(1e-6f)) {
            coefficient_ = 0.0;
            asymptote_ = 0.0;
            lowerBound_ = level_ + 1.0;  // ends at the next sample
            upperBound_ = 1.0;
            return;
        }

        // Comparisons are written so that a NaN input gives the shortest
        // segment and the mildest curve rather than a NaN envelope.
        const double longest = 2.0 < time ? 2.0 : static_cast<double>(time);
        const float exponent = static_cast<float>(static_cast<float>(longest * 10) * 0.4 - 3.0);
        const float secondsPerSwing = std::pow(10.0f, exponent);
        const double sharpness = std::fabs(static_cast<double>(shape)) * 10.0;
        const double curvature = sharpness > static_cast<double>(0.001f) ? sharpness : static_cast<double>(0.001f);
        const double length = static_cast<double>(secondsPerSwing) * static_cast<double>(rate) * swing;
        const double samples = length > 1.0 ? length : 1.0;
        const double step = curvature / samples;
        const double c = shape > 0 ? 1.0 - std::exp(-step) : std::exp(step) - 1.0;
        const double overshoot = swing / (1.0 - std::exp(-curvature));

        // The bound on the starting side lies at the usual range's edge, or
        // at the start itself when that is outside the range, so that a
        // segment from beyond 0..1 runs its course instead of ending at once.
        double beyond;
        if (target > level_) {
            beyond = overshoot - swing;
            lowerBound_ = level_ < 0.0 ? level_ : 0.0;
            upperBound_ = target;
        } else {
            beyond = swing - overshoot;
            lowerBound_ = target;
            upperBound_ = level_ > 1.0 ? level_ : 1.0;
        }
        if (shape < 0) {
            coefficient_ = -c;
            asymptote_ = level_ - beyond;  // accelerating away from behind the start
        } else {
            coefficient_ = c;
            asymptote_ = target + beyond;  // decelerating towards beyond the target
        }
    }

    // Sustain and idle: a static output that a value outside
    // [value − 1, 1.1] passes straight on.
    void hold(double value) {
        target_ = value;
        envelopeOut.setOutputStreaming(false);
        lowerBound_ = value - 1.0;
        upperBound_ = static_cast<double>(1.1f);
        coefficient_ = 0.0;
        asymptote_ = 0.0;
    }

    MpControlPin<bool, DIRECTION_IN, DATATYPE_BOOL> trigger;
    MpControlPin<bool, DIRECTION_IN, DATATYPE_BOOL> gate;
    AudioInPin attackTime;
    AudioInPin decayTime;
    AudioInPin sustainLevel;
    AudioInPin releaseTime;
    AudioInPin attackShape;
    AudioInPin decayShape;
    AudioInPin releaseShape;
    AudioOutPin envelopeOut;
    MpControlPin<float, DIRECTION_IN, DATATYPE_FLOAT> resetIn;

    double level_ = 0.0;
    double coefficient_ = 0.0;
    double target_ = 0.0;
    double asymptote_ = 0.0;
    double lowerBound_ = 0.0;
    double upperBound_ = 1.0;
    int32_t stage_ = kIdle;
};


OVRA_MODULE(u"QV ADSR4", Adsr);

}  // namespace
}  // namespace ovra
