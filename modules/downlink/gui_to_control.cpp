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
        addPin(kFromGui, fromGui_);
        addPin(kValue, value_);
    }

    void onPinsChanged() override {
        if (!fromGui_.changedNow || samePinValue(fromGui_.value, value_.value))
            return;
        value_ = fromGui_.value;
        value_.transmit();
    }

private:
    enum : int32_t { kFromGui = 0, kValue = 1 };

    MpControlPin<T, DIRECTION_IN> fromGui_;
    MpControlPin<T, DIRECTION_OUT> value_;
};

}  // namespace

OVRA_MODULE(u"ZVR_GUIFloat2Float", GUItoDSP<float>);
OVRA_MODULE(u"ZVR_GUIFloat2Float", GUItoDSPGui<float>);
OVRA_MODULE(u"ZVR_GUIInt2Int", GUItoDSP<int32_t>);
OVRA_MODULE(u"ZVR_GUIInt2Int", GUItoDSPGui<int32_t>);
OVRA_MODULE(u"ZVR_GUIBool2Bool", GUItoDSP<bool>);
OVRA_MODULE(u"ZVR_GUIBool2Bool", GUItoDSPGui<bool>);
OVRA_MODULE(u"ZVR_GUIText2Text", GUItoDSP<wstring>);
OVRA_MODULE(u"ZVR_GUIText2Text", GUItoDSPGui<wstring>);

}  // namespace ovra::downlink
