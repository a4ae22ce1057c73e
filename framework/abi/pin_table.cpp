// The pin-table entry, compiled into a library's pin-table twin only
// (ovra_add_plugin). OVRA_PIN_TABLE_DSP and OVRA_PIN_TABLE_GUI say which of
// the framework's bases the library holds.
#include "abi/pin_table.h"

#include "abi/factory.h"
#if OVRA_PIN_TABLE_DSP
#include "dsp/dsp_pins.h"
#endif
#if OVRA_PIN_TABLE_GUI
#include "gui/gui_base.h"
#endif

namespace ovra {
namespace {

template <class Pins, class Direction>
void writeRows(const Pins& pins, Direction direction, PinTableRow* rows, int32_t maxRows, int32_t* count) {
    int32_t n = 0;
    for (const auto& [index, pin] : pins) {
        if (rows != nullptr && n < maxRows)
            rows[n] = PinTableRow{index, pin->typeCode(), direction(*pin)};
        ++n;
    }
    *count = n;
}

int32_t tableOf(IMpUnknown* object, PinTableRow* rows, int32_t maxRows, int32_t* count) {
#if OVRA_PIN_TABLE_DSP
    if (auto* dsp = dynamic_cast<MpPluginBase*>(object)) {
        writeRows(dsp->registeredPins(), [](const MpPinBase& p) { return p.directionCode(); }, rows, maxRows,
                  count);
        return RC_OK;
    }
#endif
#if OVRA_PIN_TABLE_GUI
    if (auto* gui = dynamic_cast<GuiPinOwner*>(object)) {
        writeRows(gui->registeredPins(), [](const MpGuiPinBase&) { return kPinTableNoDirection; }, rows, maxRows,
                  count);
        return RC_OK;
    }
#endif
    (void)object, (void)rows, (void)maxRows, (void)count;
    return RC_FAILED;
}

}  // namespace
}  // namespace ovra

#if defined(_WIN32)
#define OVRA_PIN_TABLE_EXPORT extern "C" __declspec(dllexport)
#else
#define OVRA_PIN_TABLE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

OVRA_PIN_TABLE_EXPORT int32_t OVRA_GetPinTable(const ovra::wchar* id, int32_t subType, ovra::PinTableRow* rows,
                                               int32_t maxRows, int32_t* count) {
    using namespace ovra;
    static_assert(std::is_same_v<decltype(&OVRA_GetPinTable), GetPinTableFunction>);
    if (count == nullptr)
        return RC_FAILED;
    *count = 0;
    IMpUnknown* object = nullptr;
    const int32_t made = factorySingleton()->instantiateBare(id, subType, &object);
    if (made != RC_OK || object == nullptr)
        return made != RC_OK ? made : RC_FAILED;
    int32_t rc = RC_FAILED;
    try {
        rc = tableOf(object, rows, maxRows < 0 ? 0 : maxRows, count);
    } catch (...) {
        rc = RC_FAILED;
    }
    object->Release();
    return rc;
}
