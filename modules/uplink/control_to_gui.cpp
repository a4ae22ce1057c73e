// Control values to the GUI side: float, int, bool and text.
#include "uplink.h"

namespace ovra::uplink {
namespace {

// Passes its input on from pin 0 whenever an event brings a value that
// differs from what pin 0 last sent. Event-driven: it has no sample routine
// and sleeps between events.
template <class T>
class DSPtoGUI final : public MpBase2 {
public:
    DSPtoGUI() {
        addPin(0, toGui_);
        addPin(1, value_);
    }

    void onPinsChanged() override {
        if (!value_.changedNow || samePinValue(value_.value, toGui_.value))
            return;
        toGui_ = value_.value;
        toGui_.transmit();
    }

private:
    MpControlPin<T, DIRECTION_OUT, kDataTypeOf<T>> toGui_;
    MpControlPin<T, DIRECTION_IN, kDataTypeOf<T>> value_;
};

}  // namespace

OVRA_REGISTER(SUBTYPE_DSP, u"ZVR_Float2GUIFloat", &makeDspModule<DSPtoGUI<float>>);
OVRA_REGISTER(SUBTYPE_GUI_V2, u"ZVR_Float2GUIFloat", &makeGuiModule<DSPtoGUIGui<float>>);
OVRA_REGISTER(SUBTYPE_DSP, u"ZVR_Int2GUIInt", &makeDspModule<DSPtoGUI<int32_t>>);
OVRA_REGISTER(SUBTYPE_GUI_V2, u"ZVR_Int2GUIInt", &makeGuiModule<DSPtoGUIGui<int32_t>>);
OVRA_REGISTER(SUBTYPE_DSP, u"ZVR_Bool2GUIBool", &makeDspModule<DSPtoGUI<bool>>);
OVRA_REGISTER(SUBTYPE_GUI_V2, u"ZVR_Bool2GUIBool", &makeGuiModule<DSPtoGUIGui<bool>>);
OVRA_REGISTER(SUBTYPE_DSP, u"ZVR_Text2GUIText", &makeDspModule<DSPtoGUI<wstring>>);
OVRA_REGISTER(SUBTYPE_GUI_V2, u"ZVR_Text2GUIText", &makeGuiModule<DSPtoGUIGui<wstring>>);

}  // namespace ovra::uplink
