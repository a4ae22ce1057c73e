// What the uplink modules share: the GUI half that every identifier uses.
//
// A value crosses from the audio engine to the editor as: DSP input (pin 1)
// -> conversion and change test in the DSP half -> DSP pin 0 -> host -> GUI
// pin 0 -> copied to GUI pins 1 and 2 -> other GUI modules.
#pragma once

#include "abi/factory.h"
#include "dsp/dsp_pins.h"
#include "gui/gui_base.h"

namespace ovra::uplink {

// The converters never pass a NaN on and treat -0.0 as 0.0.
static_assert(kFloatUnorderedIsEqual, "uplink is built with FLOAT_COMPARE UNORDERED");

// GUI half of every uplink module: a value arriving on pin 0 is copied to
// pin 1, then to pin 2; each sends only when its own value changes.
template <class T>
class DSPtoGUIGui final : public WithReferenceCount<QvGuiInvisibleBase> {
public:
    DSPtoGUIGui() {
        addPin(kFromDsp, fromDsp_, &DSPtoGUIGui::onValueFromDsp);
        addPin(kValue, value_);
        addPin(kValue2, value2_);
    }

private:
    enum : int32_t { kFromDsp = 0, kValue = 1, kValue2 = 2 };

    void onValueFromDsp() {
        value_ = fromDsp_;
        value2_ = fromDsp_;
    }

    MpGuiPin<T> fromDsp_;
    MpGuiPin<T> value_;
    MpGuiPin<T> value2_;
};

}  // namespace ovra::uplink
