// Control values to the GUI side: float, int, bool and text.
#include "dsp/control_relay.h"
#include "uplink.h"

namespace ovra::uplink {
namespace {

// Passes its input on from pin 0 whenever an event brings a value that
// differs from what pin 0 last sent.
template <class T>
using DSPtoGUI = ControlRelay<T, /*input*/ 1, /*output*/ 0>;

}  // namespace

OVRA_MODULE(u"ZVR_Float2GUIFloat", DSPtoGUI<float>, DSPtoGUIGui<float>);
OVRA_MODULE(u"ZVR_Int2GUIInt", DSPtoGUI<int32_t>, DSPtoGUIGui<int32_t>);
OVRA_MODULE(u"ZVR_Bool2GUIBool", DSPtoGUI<bool>, DSPtoGUIGui<bool>);
OVRA_MODULE(u"ZVR_Text2GUIText", DSPtoGUI<wstring>, DSPtoGUIGui<wstring>);

}  // namespace ovra::uplink
