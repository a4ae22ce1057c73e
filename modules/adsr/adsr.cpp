// "QV ADSR4": an attack-decay-sustain-release envelope on an audio output.
//
// Every moving stage is one exponential segment from the current level to a
// target; its length follows from a time input and its curvature from a shape
// input, both read once, at the sample where the segment starts. Sustain and
// idle hold a static value, during which the output stops streaming and the
// module may sleep. Levels are double precision; samples are written as floats.
//
// The powers and exponentials come from the framework's own functions, so
// that every build on every platform renders the same samples.
#include <algorithm>
#include <cmath>
#include <limits>

#include "abi/factory.h"
#include "dsp/dsp_pins.h"
#include "numeric/bits.h"
#include "numeric/numeric.h"

namespace ovra {
namespace {

// One sample's update of the level, exactly as the sample loop computes it.
inline double stepFrom(double level, double asymptote, double coefficient) {
    return (asymptote - level) * coefficient + level;
}

using numeric::bitsOf;
using numeric::exponentOf;
using numeric::fromBits;
using numeric::isPowerOfTwo;
using numeric::twoTo;

constexpr double kSmallestNormal = 0x1p-1022;

// Distance from v to the next double above it.
double gapAbove(double v) {
    const double a = std::fabs(v);
    if (v >= 0.0 ? a < kSmallestNormal : a <= kSmallestNormal)
        return 0x1p-1074;
    const int e = exponentOf(a);
    if (v < 0.0 && isPowerOfTwo(a))
        return twoTo(e - 53);  // towards zero the spacing halves
    return twoTo(e - 52);
}

// The first value above v from which the gap above differs from v's: the
// doubles in [v, stretchEnd(v)) are evenly spaced.
double stretchEnd(double v) {
    const double a = std::fabs(v);
    if (v >= 0.0 ? a < kSmallestNormal : a <= kSmallestNormal)
        return kSmallestNormal;
    const int e = exponentOf(a);
    if (v >= 0.0)
        return e == 1023 ? std::numeric_limits<double>::infinity() : twoTo(e + 1);
    return isPowerOfTwo(a) ? -twoTo(e - 1) : -twoTo(e);
}

// Whether the recurrence, rising from start towards target (start <
// target), reaches a level that the update maps to itself before it passes
// target. The update is monotone in the level, so the levels rise to the
// least such fixed level and stay there for ever; with none in [start,
// target] they pass target. In a stretch of evenly spaced doubles the
// fixed levels lie at the target's end of the stretch when the curve slows
// down towards it (coefficient > 0) and at the start's end when it speeds up
// (coefficient < 0), so two levels per stretch decide (two: a step of
// exactly half a gap leaves only every other level fixed).
bool stallsRising(double start, double target, double asymptote, double coefficient) {
    if (coefficient == 0.0)
        return true;
    if (coefficient > 0.0 ? !(asymptote >= target) : !(asymptote <= start))
        return false;  // not moving towards target: never the case for a started segment
    auto fixed = [&](double v) { return stepFrom(v, asymptote, coefficient) == v; };
    // Most segments: even the smallest increment (at the target when
    // slowing down, at the start when speeding up) is more than half the
    // widest gap, so every level moves.
    const double slowest = coefficient > 0.0 ? target : start;
    const double smallestIncrement = (asymptote - slowest) * coefficient;
    const double widest = gapAbove(std::max(std::fabs(start), std::fabs(target)));
    if (smallestIncrement > widest * 0.5)
        return false;
    for (double from = start;;) {
        const double end = stretchEnd(from);
        const double gap = gapAbove(from);
        const double last = end - gap < target ? end - gap : target;
        if (coefficient > 0.0) {
            if (fixed(last) || (last - gap >= from && fixed(last - gap)))
                return true;
        } else if (fixed(from) || (from + gap <= last && fixed(from + gap))) {
            return true;
        }
        if (!(end <= target))
            return false;
        from = end;
    }
}

// The same for either direction: a falling segment is a rising one with
// every value negated (rounding to nearest is symmetric).
bool stalls(double start, double target, double asymptote, double coefficient) {
    if (!std::isfinite(start) || !std::isfinite(target) || !std::isfinite(asymptote) || !std::isfinite(coefficient))
        return false;
    if (target > start)
        return stallsRising(start, target, asymptote, coefficient);
    return stallsRising(-start, -target, -asymptote, coefficient);
}

class Adsr : public MpBase2 {
public:
    // The pin indexes hosts and stored patches know.
    enum Pin : int32_t {
        kTrigger = 0,
        kGate = 1,
        kAttackTime = 2,
        kDecayTime = 3,
        kSustainLevel = 4,
        kReleaseTime = 5,
        kAttackShape = 6,
        kDecayShape = 7,
        kReleaseShape = 8,
        kEnvelopeOut = 9,
        kResetIn = 10,
    };

    Adsr() {
        addPin(kTrigger, trigger);
        addPin(kGate, gate);
        addPin(kAttackTime, attackTime);
        addPin(kDecayTime, decayTime);
        addPin(kSustainLevel, sustainLevel);
        addPin(kReleaseTime, releaseTime);
        addPin(kAttackShape, attackShape);
        addPin(kDecayShape, decayShape);
        addPin(kReleaseShape, releaseShape);
        addPin(kEnvelopeOut, envelopeOut);
        addPin(kResetIn, resetIn);
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

    // The module's sample loop: one multiply-add and two comparisons a sample
    // while a segment moves; a held level is computed once and filled.
    void envelope(int32_t sampleCount) {
        float* out = envelopeOut.blockSamples();
        int32_t i = 0;
        while (i < sampleCount)
            i = runStage(out, i, sampleCount);
    }

    // Samples [from, to) of the current stage, up to and including the
    // sample where it ends; returns the sample after the last one written.
    int32_t runStage(float* out, int32_t from, int32_t to) {
        // A stage with no sample left ends here: a host can hand in a block
        // while the module is in a call to it between two stages.
        if (remaining_ <= 0)
            return endStage(out, from);
        const int32_t end = remaining_ < to - from ? from + static_cast<int32_t>(remaining_) : to;
        double level = level_;
        const double asymptote = asymptote_, coefficient = coefficient_;
        const double lower = lowerBound_, upper = upperBound_;
        int32_t i = from;
        if (coefficient == 0.0) {
            // A hold: the first update settles the level (-0.0 becomes
            // +0.0, a NaN ends the stage); once an update gives back the
            // same bits, every later one does too.
            level = stepFrom(level, asymptote, coefficient);
            if (!(level >= lower) || level > upper)
                return endStage(out, i);
            if (out != nullptr)
                out[i] = static_cast<float>(level);
            ++i;
            if (i < end && bitsOf(stepFrom(level, asymptote, coefficient)) == bitsOf(level)) {
                if (out != nullptr)
                    std::fill(out + i, out + end, static_cast<float>(level));
                i = end;
            }
        }
        for (; i < end; ++i) {
            level = (asymptote - level) * coefficient + level;
            if (!(level >= lower) || level > upper)
                return endStage(out, i);
            if (out != nullptr)
                out[i] = static_cast<float>(level);
        }
        level_ = level;
        remaining_ -= end - from;
        if (remaining_ == 0)
            return endStage(out, end - 1);  // its last sample, wherever the level stands
        return end;
    }

    // The stage ends at sample i: the level takes the target, and the next
    // stage starts at this very sample and reads its inputs here.
    int32_t endStage(float* out, int32_t i) {
        level_ = target_;
        atSample(i, [this] { advanceStage(); });
        if (out != nullptr)
            out[i] = static_cast<float>(level_);
        return i + 1;
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
        // The host may hand in a block from inside the calls below: until the
        // segment is set up, such a block holds the level where it stands.
        holdLevelForNow();
        envelopeOut.setOutputStreaming(true);
        float rate = 0.0f;  // a host that answers nothing gives one-sample segments
        if (IMpDspHost* h = host())
            h->readSampleRate(&rate);

        remaining_ = kNoDeadline;
        const double swing = std::fabs(target - level_);
        if (swing < static_cast<double>(1e-6f)) {
            coefficient_ = 0.0;
            asymptote_ = 0.0;
            lowerBound_ = level_ + 1.0;  // ends at the next sample
            upperBound_ = 1.0;
            remaining_ = 1;  // also where level + 1 rounds back to the level
            return;
        }

        // Comparisons are written so that a NaN input gives the shortest
        // segment and the mildest curve rather than a NaN envelope.
        const double longest = 2.0 < time ? 2.0 : static_cast<double>(time);
        const float exponent = static_cast<float>(static_cast<float>(longest * 10) * 0.4 - 3.0);
        const float secondsPerSwing = numeric::powf(10.0f, exponent);
        const double sharpness = std::fabs(static_cast<double>(shape)) * 10.0;
        const double curvature = sharpness > static_cast<double>(0.001f) ? sharpness : static_cast<double>(0.001f);
        const double length = static_cast<double>(secondsPerSwing) * static_cast<double>(rate) * swing;
        const double samples = length > 1.0 ? length : 1.0;
        const double step = curvature / samples;
        const double c = shape > 0 ? 1.0 - numeric::exp(-step) : numeric::exp(step) - 1.0;
        const double overshoot = swing / (1.0 - numeric::exp(-curvature));

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

        // With a large shape the update can stop moving the level short of
        // the target (the step falls below half the spacing of doubles
        // there), and the stage would never end. Such a segment ends at its
        // last sample instead; every other segment runs exactly as the
        // recurrence takes it.
        if (stalls(level_, target, asymptote_, coefficient_))
            remaining_ = samples < 0x1p62 ? static_cast<int64_t>(samples) + 1 : kNoDeadline;
    }

    // Sustain and idle: a static output that a value outside
    // [value − 1, 1.1] passes straight on.
    void hold(double value) {
        target_ = value;
        holdLevelForNow();
        lowerBound_ = value - 1.0;
        upperBound_ = static_cast<double>(1.1f);
        envelopeOut.setOutputStreaming(false);  // last: the host may hand in a block from inside it
    }

    // A hold of the level where it stands, whatever it is.
    void holdLevelForNow() {
        remaining_ = kNoDeadline;
        lowerBound_ = -std::numeric_limits<double>::infinity();
        upperBound_ = std::numeric_limits<double>::infinity();
        coefficient_ = 0.0;
        asymptote_ = 0.0;
    }

    MpControlPin<bool, DIRECTION_IN> trigger;
    MpControlPin<bool, DIRECTION_IN> gate;
    AudioInPin attackTime;
    AudioInPin decayTime;
    AudioInPin sustainLevel;
    AudioInPin releaseTime;
    AudioInPin attackShape;
    AudioInPin decayShape;
    AudioInPin releaseShape;
    AudioOutPin envelopeOut;
    MpControlPin<float, DIRECTION_IN> resetIn;

    double level_ = 0.0;
    double coefficient_ = 0.0;
    double target_ = 0.0;
    double asymptote_ = 0.0;
    double lowerBound_ = 0.0;
    double upperBound_ = 1.0;
    int32_t stage_ = kIdle;
    // Samples left in a segment that the recurrence alone would never end.
    static constexpr int64_t kNoDeadline = std::numeric_limits<int64_t>::max();
    int64_t remaining_ = kNoDeadline;
};


OVRA_MODULE(u"QV ADSR4", Adsr);

}  // namespace
}  // namespace ovra
