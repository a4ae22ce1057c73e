// GUI values to control values: float, int, bool and text.
#include "downlink.h"

namespace ovra::downlink {
namespace {

// Passes the value from the GUI side on from pin 1 whenever an event brings
// one that differs from what pin 1 last sent. Event-driven; sleeps between
// events.
template <class T>
class GUItoDSP final : public MpBase2 {
public:
    GUItoDSP() {
        addPin(0, fromGui_);
        addPin(1, value_);
    }

    void onPinsChanged() override {
        if (!fromGui_.changedNow || samePinValue(fromGui_.value, value_.value))
            return;
        value_ = fromGui_.value;
        value_.transmit();
    }

private:
    MpControlPin<T, DIRECTION_IN, kDataTypeOf<T>> fromGui_;
    MpControlPin<T, DIRECTION_OUT, kDataTypeOf<T>> value_;
};

}  // namespace

OVRA_REGISTER(SUBTYPE_DSP, u"ZVR_GUIFloat2Float", &makeDspModule<GUItoDSP<float>>);
OVRA_REGISTER(SUBTYPE_GUI_V2, u"ZVR_GUIFloat2Float", &makeGuiModule<GUItoDSPGui<float>>);
OVRA_REGISTER(SUBTYPE_DSP, u"ZVR_GUIInt2Int", &makeDspModule<GUItoDSP<int32_t>>);
OVRA_REGISTER(SUBTYPE_GUI_V2, u"ZVR_GUIInt2Int", &makeGuiModule<GUItoDSPGui<int32_t>>);
OVRA_REGISTER(SUBTYPE_DSP, u"ZVR_GUIBool2Bool", &makeDspModule<GUItoDSP<bool>>);
OVRA_REGISTER(SUBTYPE_GUI_V2, u"ZVR_GUIBool2Bool", &makeGuiModule<GUItoDSPGui<bool>>);
OVRA_REGISTER(SUBTYPE_DSP, u"ZVR_GUIText2Text", &makeDspModule<GUItoDSP<wstring>>);
OVRA_REGISTER(SUBTYPE_GUI_V2, u"ZVR_GUIText2Text", &makeGuiModule<GUItoDSPGui<wstring>>);

}  // namespace ovra::downlink
