// What the downlink modules share: the GUI half that every identifier uses.
//
// A value crosses from the editor to the audio engine as: another GUI
// module -> GUI pin 1 or 2 -> GUI pin 0 -> host -> DSP pin 0 -> DSP pin 1, as
// a control value or as a constant audio signal.
#pragma once

#include "abi/factory.h"
#include "dsp/dsp_pins.h"
#include "gui/gui_base.h"

namespace ovra::downlink {

// The converters never pass a NaN on and treat -0.0 as 0.0.
static_assert(kFloatUnorderedIsEqual, "downlink is built with FLOAT_COMPARE UNORDERED");

// GUI half of every downlink module: pin 0 takes whichever of pins 1 and 2
// changed last, and sends only when its own value changes.
template <class T>
class GUItoDSPGui final : public WithReferenceCount<QvGuiInvisibleBase> {
public:
    GUItoDSPGui() {
        addPin(kToDsp, toDsp_);
        addPin(kValue, value_, &GUItoDSPGui::onValue);
        addPin(kValue2, value2_, &GUItoDSPGui::onValue2);
    }

private:
    enum : int32_t { kToDsp = 0, kValue = 1, kValue2 = 2 };

    void onValue() { toDsp_ = value_; }
    void onValue2() { toDsp_ = value2_; }

    MpGuiPin<T> toDsp_;
    MpGuiPin<T> value_;
    MpGuiPin<T> value2_;
};

}  // namespace ovra::downlink
