// The envelope as it was first built: every sample through the update and
// both bound tests, holds included, and no end for a segment whose update
// stops moving the level. Kept as the reference that the module must match
// bit for bit wherever this version ends its segments.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "numeric/numeric.h"

namespace ovra::test {

class ReferenceEnvelope {
public:
    enum : int32_t { kIdle = -1, kAttack = 0, kDecay = 1, kSustain = 2, kRelease = 3 };
    enum Input { kAttackTime, kDecayTime, kSustainLevel, kReleaseTime, kAttackShape, kDecayShape, kReleaseShape };

    // The input value of a pin at an absolute sample.
    std::function<float(Input, int64_t)> input;
    float rate = 48000.0f;

    // (sample, streaming) of every announcement, in order.
    std::vector<std::pair<int64_t, bool>> marks;

    double level = 0.0, coefficient = 0.0, target = 0.0, asymptote = 0.0, lower = 0.0, upper = 1.0;
    int32_t stage = kIdle;
    bool started = false;
    // The control inputs as last received (kept here for the caller).
    bool gate = false, trigger = false;
    float reset = 0.0f;

    // One group of events at sample t (values already applied by the caller).
    void onPinsChanged(int64_t t, bool resetChanged, float reset, bool triggerChanged, bool trigger, bool gateChanged,
                       bool gate, bool sustainChanged) {
        if (!started) {
            started = true;
            marks.emplace_back(t, false);
        }
        if (resetChanged && !(reset < 1.0f || reset > 1.0f)) {
            stage = kRelease;
            advance(t);
            level = target;
        }
        if (triggerChanged && trigger && gate) {
            stage = kIdle;
            advance(t);
        }
        if (gateChanged && !gate && stage >= kAttack && stage <= kSustain) {
            stage = kSustain;
            advance(t);
        }
        if (sustainChanged && stage == kSustain) {
            stage = kAttack;
            advance(t);
        }
    }

    // n samples from absolute sample t0 into out.
    void process(int64_t t0, int32_t n, float* out) {
        for (int32_t i = 0; i < n; ++i) {
            level = (asymptote - level) * coefficient + level;
            if (!(level >= lower) || level > upper) {
                level = target;
                advance(t0 + i);
            }
            out[i] = static_cast<float>(level);
        }
    }

    // Whether the update gives back the level: a moving stage here never ends.
    bool stuck() const {
        const double next = (asymptote - level) * coefficient + level;
        return next == level && next >= lower && !(next > upper);
    }

private:
    void advance(int64_t t) {
        switch (++stage) {
        case kAttack:
            segment(t, input(kAttackTime, t), input(kAttackShape, t), 1.0);
            break;
        case kDecay:
            segment(t, input(kDecayTime, t), input(kDecayShape, t), input(kSustainLevel, t));
            break;
        case kSustain:
            hold(t, input(kSustainLevel, t));
            break;
        case kRelease:
            segment(t, input(kReleaseTime, t), input(kReleaseShape, t), 0.0);
            break;
        default:
            stage = kIdle;
            hold(t, 0.0);
            break;
        }
    }

    void segment(int64_t t, float time, float shape, double to) {
        target = to;
        marks.emplace_back(t, true);
        const double swing = std::fabs(to - level);
        if (swing < static_cast<double>(1e-6f)) {
            coefficient = 0.0;
            asymptote = 0.0;
            lower = level + 1.0;
            upper = 1.0;
            return;
        }
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
        double beyond;
        if (to > level) {
            beyond = overshoot - swing;
            lower = level < 0.0 ? level : 0.0;
            upper = to;
        } else {
            beyond = swing - overshoot;
            lower = to;
            upper = level > 1.0 ? level : 1.0;
        }
        if (shape < 0) {
            coefficient = -c;
            asymptote = level - beyond;
        } else {
            coefficient = c;
            asymptote = to + beyond;
        }
    }

    void hold(int64_t t, double value) {
        target = value;
        marks.emplace_back(t, false);
        lower = value - 1.0;
        upper = static_cast<double>(1.1f);
        coefficient = 0.0;
        asymptote = 0.0;
    }
};

}  // namespace ovra::test
