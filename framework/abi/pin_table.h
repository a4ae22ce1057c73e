// The pin table: every pin a module half registers, as the framework
// registered it. A library's pin-table twin (built by ovra_add_plugin from
// the library's own objects, never shipped) exports the entry below beside
// MP_GetFactory; a host that checks a library against its description reads
// the table from there. The library a host loads carries none of it.
#pragma once

#include "abi/framework_types.h"

namespace ovra {

// One registered pin. GUI pins carry no direction: kPinTableNoDirection.
struct PinTableRow {
    int32_t index;
    int32_t type;       // DATATYPE_*
    int32_t direction;  // DIRECTION_IN, DIRECTION_OUT, or kPinTableNoDirection
};

inline constexpr int32_t kPinTableNoDirection = -1;
inline constexpr const char* kPinTableEntry = "OVRA_GetPinTable";
inline constexpr const char* kPinTableSuffix = ".pins";  // the twin is <library file>.pins

// Creates the half (identifier, sub-type) without a host, writes at most
// maxRows of its registered pins in index order into rows, sets *count to the
// number it registered, and releases it. RC_NOT_FOUND for a half that is not
// registered; RC_FAILED when its constructor throws, when the module is not
// built on the framework's bases, or for a null count. Safe for any argument.
using GetPinTableFunction = int32_t (*)(const wchar* id, int32_t subType, PinTableRow* rows, int32_t maxRows,
                                        int32_t* count);

}  // namespace ovra
