// The voltage converters as they were before their loop was tightened: the
// "before" of the benchmarks, loaded beside uplink in the same run.
#include <cstdint>
#include <limits>

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
        if (samples == nullptr)
            return;  // no buffer assigned: nothing to read
        const int32_t start = blockPosition();
        for (int32_t i = 0; i < sampleCount; ++i) {
            // A sample equal to the one before converts to a value that the
            // last step already found unchanged or stored.
            if (i > 0 && samples[i] == samples[i - 1])
                continue;
            const T v = fromVolts<T>(samples[i]);
            if (samePinValue(v, last_))
                continue;
            last_ = v;
            if (samePinValue(v, toGui_.value))
                continue;
            toGui_ = v;
            toGui_.transmit(start + i);
        }
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
