// Audio voltages to the GUI side, read as float, int or bool. One unit of
// signal stands for 10 volts.
#include <cstdint>
#include <limits>
#include <type_traits>

#include "uplink.h"

namespace ovra::uplink {
namespace {

// The value a sample stands for. int truncates toward zero; a NaN or a
// product outside the 32-bit range gives the lowest int (tested before the
// conversion, which would otherwise be undefined). bool: NaN is true.
template <class T>
T fromVolts(float sample);

template <>
inline float fromVolts<float>(float sample) {
    return sample * 10.0f;
}

template <>
inline int32_t fromVolts<int32_t>(float sample) {
    const float volts = sample * 10.0f;
    if (volts >= -2147483648.0f && volts < 2147483648.0f)
        return static_cast<int32_t>(volts);
    return std::numeric_limits<int32_t>::min();
}

template <>
inline bool fromVolts<bool>(float sample) {
    return !(sample <= 0.0f);
}

// The converters' "changed" test, as samePinValue decides it (a NaN never
// counts as a change), with both float comparisons taken at once: one
// branch a sample where the signal moves.
template <class T>
inline bool changed(T a, T b) {
    if constexpr (std::is_same_v<T, float>)
        return (a < b) | (a > b);
    else
        return !samePinValue(a, b);
}

// Whether what pin 0 holds equals the last converted value, which is never
// a NaN: then a value that differs from the one differs from the other.
// A NaN held by pin 0 equals nothing (it makes every value unchanged).
template <class T>
inline bool agrees(const PinValue<T>& held, T last) {
    return static_cast<T>(held) == last;
}

// Converts every sample and sends pin 0 at each sample where the converted
// value differs both from the last converted value and from what pin 0
// holds.
template <class T>
class VoltToGUI final : public MpBase2 {
public:
    VoltToGUI() {
        addPin(kToGui, toGui_);
        addPin(kVoltage, voltage_);
    }

    // Streaming events lead here too: from the first on, the converter runs.
    void onPinsChanged() override {
        ++disturbances_;
        selectProcessRoutine(&VoltToGUI::convert);
    }

    // The converter holds the host across its calls to it.
    int32_t onAttachHost(IMpUnknown* host) override {
        const int32_t result = MpBase2::onAttachHost(host);
        ++disturbances_;
        return result;
    }

private:
    enum : int32_t { kToGui = 0, kVoltage = 1 };

    // A float sample equal to the one before converts to a value equal to
    // the last converted one, which the change test finds unchanged at the
    // cost of a product; int and bool skip their longer conversion.
    static constexpr bool kSkipRepeats = !std::is_same_v<T, float>;

    void convert(int32_t sampleCount) {
        // Samples are indexed by their block position, which is the time
        // each update carries.
        const float* const samples = voltage_.buffer_;
        if (samples == nullptr || sampleCount <= 0)
            return;  // no buffer assigned: nothing to read
        uint32_t seen = ++disturbances_;
        // What every update sends besides its time, bound once per run.
        const int32_t size = toGui_.byteCount();
        const void* const bytes = toGui_.bytePointer();
        const int32_t start = blockPosition();
        const int32_t end = start + sampleCount;
        T last = last_;
        // Sample i's converted value, when it is taken: not a repeat of the
        // sample before (the run's first always counts, as another routine
        // may have seen its predecessor) and different from the last one.
        auto take = [&](int32_t i, T& v) {
            if constexpr (kSkipRepeats)
                if (i > start && samples[i] == samples[i - 1])
                    return false;
            v = fromVolts<T>(samples[i]);
            return changed(v, last);
        };
        int32_t i = start;
        while (i < end) {
            if (!agrees<T>(toGui_.value, last)) {
                // Pin 0 holds another value than the last converted one (the
                // host wrote it): the whole rule, up to the next change of
                // the converted value, after which pin 0 holds that value.
                for (; i < end; ++i) {
                    T v;
                    if (!take(i, v))
                        continue;
                    last = v;
                    if (!changed(v, static_cast<T>(toGui_.value)))
                        continue;
                    toGui_.value = v;
                    if (IMpDspHost* h = host())  // read again: a host call may re-attach
                        h->publishPinValue(i, kToGui, size, bytes);
                    break;
                }
                ++i;
                seen = disturbances_;
                continue;
            }
            // Pin 0 holds a value equal to the last converted one: a value
            // that differs from the one differs from the other, one test a
            // sample.
            IMpDspHost* const h = host();
            if (h == nullptr) {
                for (; i < end; ++i) {
                    T v;
                    if (take(i, v))
                        toGui_.value = last = v;
                }
                break;
            }
            last_ = last;
            i = publishChanges(h, samples, i, end, start, seen);
            last = last_;
        }
        last_ = last;
    }

    // The held run with a host: from sample i on, every converted value that
    // differs from pin 0 becomes the last converted value and pin 0's, and
    // is sent. Returns end, or the sample after a call during which an event
    // group, a run or an attachment came in (seen then catches up, and the
    // caller looks at pin 0 again).
    int32_t publishChanges(IMpDspHost* h, const float* samples, int32_t i, int32_t end, int32_t start,
                           uint32_t& seen) {
        const int32_t size = toGui_.byteCount();
        const void* const bytes = toGui_.bytePointer();
        for (; i < end; ++i) {
            if constexpr (kSkipRepeats)
                if (i > start && samples[i] == samples[i - 1])
                    continue;
            const T v = fromVolts<T>(samples[i]);
            if (!changed(v, static_cast<T>(toGui_.value)))
                continue;
            last_ = v;
            toGui_.value = v;
            h->publishPinValue(i, kToGui, size, bytes);
            if (disturbances_ != seen) {
                seen = disturbances_;
                return i + 1;
            }
        }
        return end;
    }

    MpControlPin<T, DIRECTION_OUT, kDataTypeOf<T>> toGui_;
    AudioInPin voltage_;
    T last_{};
    // Counts event groups, runs and attachments: a change while the host is
    // called means that a block handed in meanwhile may have written pin 0,
    // or that the host attached another.
    uint32_t disturbances_ = 0;
};

}  // namespace

OVRA_MODULE(u"ZVR_Volt2GUIFloat", VoltToGUI<float>, DSPtoGUIGui<float>);
OVRA_MODULE(u"ZVR_Volt2GUIInt", VoltToGUI<int32_t>, DSPtoGUIGui<int32_t>);
OVRA_MODULE(u"ZVR_Volt2GUIBool", VoltToGUI<bool>, DSPtoGUIGui<bool>);

}  // namespace ovra::uplink
