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
        addPin(kToGui, toGui_);
        addPin(kValue, value_);
    }

    void onPinsChanged() override {
        if (!value_.changedNow || samePinValue(value_.value, toGui_.value))
            return;
        toGui_ = value_.value;
        toGui_.transmit();
    }

private:
    enum : int32_t { kToGui = 0, kValue = 1 };

    MpControlPin<T, DIRECTION_OUT> toGui_;
    MpControlPin<T, DIRECTION_IN> value_;
};

}  // namespace

OVRA_MODULE(u"ZVR_Float2GUIFloat", DSPtoGUI<float>);
OVRA_MODULE(u"ZVR_Float2GUIFloat", DSPtoGUIGui<float>);
OVRA_MODULE(u"ZVR_Int2GUIInt", DSPtoGUI<int32_t>);
OVRA_MODULE(u"ZVR_Int2GUIInt", DSPtoGUIGui<int32_t>);
OVRA_MODULE(u"ZVR_Bool2GUIBool", DSPtoGUI<bool>);
OVRA_MODULE(u"ZVR_Bool2GUIBool", DSPtoGUIGui<bool>);
OVRA_MODULE(u"ZVR_Text2GUIText", DSPtoGUI<wstring>);
OVRA_MODULE(u"ZVR_Text2GUIText", DSPtoGUIGui<wstring>);

}  // namespace ovra::uplink
