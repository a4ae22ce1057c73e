// What the framework's parts share with each other and with host-side code,
// but no table a host sees carries.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include "abi/abi.h"

namespace ovra {

// Text as it travels on the wire: UTF-16 code units on every platform.
using wstring = std::u16string;

// The wire data-type code of a value type, as pins of either side report it
// unless told otherwise.
template <class T>
inline constexpr int32_t kDataTypeOf = std::is_same_v<T, float>     ? DATATYPE_FLOAT
                                       : std::is_same_v<T, int32_t> ? DATATYPE_INT
                                       : std::is_same_v<T, bool>    ? DATATYPE_BOOL
                                       : std::is_same_v<T, wstring> ? DATATYPE_TEXT
                                                                    : DATATYPE_BLOB;

// Never handed out by QueryInterface. The factory finds it on a new object by
// dynamic_cast and calls it from instantiate to hand over the host. DSP
// modules treat it as IMpPlugin2::attachHost; first-family GUI modules ask
// for their GUI host interfaces and throw "host Interfaces not supported"
// when one is missing, which makes instantiate answer RC_FAILED.
class IoldSchoolInitialisation {
public:
    virtual int32_t attachHost(IMpUnknown* host) = 0;
};

}  // namespace ovra
