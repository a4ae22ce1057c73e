// A test-only window into the probe modules of gui_probe.qvm and
// gui_probe_ieee.qvm: the same module of either GUI family, built once with
// each float comparison, answers this interface besides its own.
#pragma once

#include "abi/abi.h"

namespace ovra::probe {

inline constexpr Guid IID_IGuiProbe{0x6D3B1F70, 0x52A4, 0x4C1E, {0x9B, 0x31, 0x0E, 0x7A, 0x44, 0x90, 0x12, 0xC5}};

// Pin slots of a probe module. Each slot is registered under its own
// number as pin index, except kDuplicate, registered second under index 0.
enum Slot : int32_t {
    kFloat = 0,      // callback
    kInt = 1,        // indexed callback (receives the voice)
    kBool = 2,       // callback
    kText = 3,       // StringGuiPin, callback
    kBlob = 4,       // callback
    kPlain = 5,      // float, no callback
    kDuplicate = 6,  // float under index 0, callback of its own
    kPreset = 7,     // float, no callback, set to 7.5 in the constructor
    kThrows = 8,     // bool, callback that throws
    kSlots = 9,
};

class IGuiProbe : public IMpUnknown {
public:
    virtual int32_t callbackRuns(int32_t slot) = 0;
    virtual int32_t lastVoice(int32_t slot) = 0;
    // The pin's raw setter: 1 changed, 0 unchanged.
    virtual int32_t rawStore(int32_t slot, int32_t size, const void* data) = 0;
    // The pin's current value as it would be sent.
    virtual int32_t readPin(int32_t slot, int32_t* size, const void** data) = 0;
    // Module assignments; RC_FAILED when the slot holds another type.
    virtual int32_t assignFloat(int32_t slot, float v) = 0;
    virtual int32_t assignInt(int32_t slot, int32_t v) = 0;
    virtual int32_t assignBool(int32_t slot, bool v) = 0;
    virtual int32_t assignText(int32_t slot, const char16_t* text, int32_t length) = 0;
    virtual int32_t assignBlob(int32_t slot, const void* data, int32_t size) = 0;
    // Probe modules alive in this library.
    virtual int32_t liveModules() = 0;
};

}  // namespace ovra::probe
