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

// Converts every sample and sends pin 0 at each sample where the converted
// value differs both from the last converted value and from what pin 0
// holds.
template <class T>
class VoltToGUI final : public MpBase2 {
public:
    VoltToGUI() {
        addPin(0, toGui_);
        addPin(1, voltage_);
    }

    // Streaming events lead here too: from the first on, the converter runs.
    void onPinsChanged() override { selectProcessRoutine(&VoltToGUI::convert); }

private:
    void convert(int32_t sampleCount) {
        const float* samples = voltage_.blockSamples();
        if (samples == nullptr || sampleCount <= 0)
            return;  // no buffer assigned: nothing to read
        // What every update sends besides its time, bound once per run.
        const int32_t start = blockPosition();
        const int32_t pin = toGui_.pinIndex();
        const int32_t size = toGui_.byteCount();
        const void* const bytes = toGui_.bytePointer();
        T last = last_;
        auto consider = [&](int32_t i) {
            const T v = fromVolts<T>(samples[i]);
            if (!changed(v, last))
                return;
            last = v;
            if (!changed(v, static_cast<T>(toGui_.value)))
                return;
            toGui_.value = v;
            if (IMpDspHost* h = host())  // read again: a host call may re-attach
                h->publishPinValue(start + i, pin, size, bytes);
        };
        consider(0);
        for (int32_t i = 1; i < sampleCount; ++i) {
            // A sample equal to the one before converts to a value that the
            // last step already found unchanged or stored.
            if (!(samples[i] == samples[i - 1]))
                consider(i);
        }
        last_ = last;
    }

    MpControlPin<T, DIRECTION_OUT, kDataTypeOf<T>> toGui_;
    AudioInPin voltage_;
    T last_{};
};

}  // namespace

OVRA_MODULE(u"ZVR_Volt2GUIFloat", VoltToGUI<float>);
OVRA_MODULE(u"ZVR_Volt2GUIFloat", DSPtoGUIGui<float>);
OVRA_MODULE(u"ZVR_Volt2GUIInt", VoltToGUI<int32_t>);
OVRA_MODULE(u"ZVR_Volt2GUIInt", DSPtoGUIGui<int32_t>);
OVRA_MODULE(u"ZVR_Volt2GUIBool", VoltToGUI<bool>);
OVRA_MODULE(u"ZVR_Volt2GUIBool", DSPtoGUIGui<bool>);

}  // namespace ovra::uplink
