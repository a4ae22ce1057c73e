// GUI values to constant audio voltages: float, int and bool. One unit of
// signal stands for 10 volts.
#include <algorithm>
#include <cstdint>

#include "downlink.h"

namespace ovra::downlink {
namespace {

// The signal a value stands for: a product with the single-precision 0.1
// (never a division by 10); true is 1.0, false 0.0.
inline float toVolts(float value) { return value * 0.1f; }
inline float toVolts(int32_t value) { return static_cast<float>(value) * 0.1f; }
inline float toVolts(bool value) { return value ? 1.0f : 0.0f; }

// Writes the input's value as a constant signal. Each new value is announced
// as streaming at the sample where it starts; the output streams for the
// module's whole life, so the module never sleeps.
template <class T>
class GUItoVolt final : public MpBase2 {
public:
    GUItoVolt() {
        addPin(kFromGui, fromGui_);
        addPin(kVoltage, voltage_);
    }

    void onPinsChanged() override {
        selectProcessRoutine(&GUItoVolt::fill);
        voltage_.setOutputStreaming(true);
    }

private:
    enum : int32_t { kFromGui = 0, kVoltage = 1 };

    void fill(int32_t sampleCount) {
        float* out = voltage_.blockSamples();
        if (out == nullptr || sampleCount <= 0)
            return;  // no buffer assigned: nothing to write
        std::fill(out, out + sampleCount, toVolts(fromGui_.value));
    }

    MpControlPin<T, DIRECTION_IN> fromGui_;
    AudioOutPin voltage_;
};

}  // namespace

OVRA_MODULE(u"ZVR_GUIFloat2Volt", GUItoVolt<float>, GUItoDSPGui<float>);
OVRA_MODULE(u"ZVR_GUIInt2Volt", GUItoVolt<int32_t>, GUItoDSPGui<int32_t>);
OVRA_MODULE(u"ZVR_GUIBool2Volt", GUItoVolt<bool>, GUItoDSPGui<bool>);

}  // namespace ovra::downlink
