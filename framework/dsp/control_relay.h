// The DSP half of a converter that passes a control value on: whenever an
// event brings a value to the input that differs from what the output last
// sent, the output sends it. Event-driven: it has no sample routine and sleeps
// between events.
#pragma once

#include "dsp/dsp_pins.h"
#include "dsp/mp_base.h"
#include "gui/gui_pins.h"

namespace ovra {

template <class T, int32_t InputPin, int32_t OutputPin>
class ControlRelay final : public MpBase2 {
public:
    static_assert(InputPin != OutputPin, "a relay's input and output are two pins");

    ControlRelay() {
        // Pins register in index order.
        if constexpr (InputPin < OutputPin) {
            addPin(InputPin, input_);
            addPin(OutputPin, output_);
        } else {
            addPin(OutputPin, output_);
            addPin(InputPin, input_);
        }
    }

    void onPinsChanged() override {
        if (!input_.changedNow || samePinValue(input_.value, output_.value))
            return;
        output_ = input_.value;
        output_.transmit();
    }

private:
    MpControlPin<T, DIRECTION_IN> input_;
    MpControlPin<T, DIRECTION_OUT> output_;
};

}  // namespace ovra
