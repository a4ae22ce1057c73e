// GUI values to control values: float, int, bool and text.
#include "downlink.h"
#include "dsp/control_relay.h"

namespace ovra::downlink {
namespace {

// Passes the value from the GUI side on from pin 1 whenever an event brings
// one that differs from what pin 1 last sent.
template <class T>
using GUItoDSP = ControlRelay<T, /*input*/ 0, /*output*/ 1>;

}  // namespace

OVRA_MODULE(u"ZVR_GUIFloat2Float", GUItoDSP<float>, GUItoDSPGui<float>);
OVRA_MODULE(u"ZVR_GUIInt2Int", GUItoDSP<int32_t>, GUItoDSPGui<int32_t>);
OVRA_MODULE(u"ZVR_GUIBool2Bool", GUItoDSP<bool>, GUItoDSPGui<bool>);
OVRA_MODULE(u"ZVR_GUIText2Text", GUItoDSP<wstring>, GUItoDSPGui<wstring>);

}  // namespace ovra::downlink
