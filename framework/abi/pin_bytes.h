// A pin value as it travels on the wire, both ways: what each value type
// takes from the bytes a host delivers, and the bytes it sends. DSP and GUI
// pins read and write their values here, so both halves decode alike.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "abi/bool_byte.h"
#include "abi/framework_types.h"

namespace ovra::wire {

// The bytes a value sends: text as its UTF-16 code units, a bool as its one
// byte, float and int as their 4 bytes, a blob as its bytes.
template <class V>
int32_t byteCount(const V& value) {
    if constexpr (std::is_same_v<V, wstring>)
        return static_cast<int32_t>(value.size() * 2);
    else if constexpr (std::is_same_v<V, BoolByte>)
        return 1;
    else if constexpr (std::is_same_v<V, float> || std::is_same_v<V, int32_t>)
        return 4;
    else
        return static_cast<int32_t>(value.size());
}

template <class V>
const void* bytePointer(const V& value) {
    if constexpr (std::is_same_v<V, BoolByte> || std::is_same_v<V, float> || std::is_same_v<V, int32_t>)
        return &value;
    else
        return value.data();
}

// Takes size bytes at data (the caller guarantees size >= 0 and that they
// can be read) into value, and answers whether the value changed. The
// bytes may be the value's own (a host handing back what a pin sent).
// A text or blob that grows allocates; a failed allocation throws and
// leaves the old value whole. Nothing else allocates.
template <class V>
bool store(V& value, int32_t size, const void* data) {
    if constexpr (std::is_same_v<V, float> || std::is_same_v<V, int32_t>) {
        // Compared by bits: -0.0 over 0.0 is a change. Hosts send exactly 4
        // bytes; a short value is copied over the low bytes and the others
        // stay; extra bytes are not read. Only 4 equal bytes are no change.
        if (size == 4 && std::memcmp(&value, data, 4) == 0)
            return false;
        if (size > 0)
            std::memmove(&value, data, size < 4 ? static_cast<size_t>(size) : 4u);
        return true;
    } else if constexpr (std::is_same_v<V, BoolByte>) {
        // One byte is kept as delivered and compared by that byte; 4 bytes
        // are one integer, true when non-zero; any other size keeps its
        // first byte. Nothing sent reads as false.
        if (size == 1) {
            const uint8_t b = *static_cast<const uint8_t*>(data);
            if (b == value.byte())
                return false;
            value = BoolByte::fromByte(b);
            return true;
        }
        if (size == 4) {
            int32_t v;
            std::memcpy(&v, data, 4);
            value = BoolByte(v != 0);
            return true;
        }
        value = size == 0 ? BoolByte() : BoolByte::fromByte(*static_cast<const uint8_t*>(data));
        return true;
    } else if constexpr (std::is_same_v<V, wstring>) {
        const size_t units = static_cast<size_t>(size) / 2;  // an odd last byte is dropped
        if (units == value.size() && (units == 0 || std::memcmp(value.data(), data, units * 2) == 0))
            return static_cast<size_t>(size) != units * 2;  // only the dropped byte differs
        if (units <= value.size()) {
            // In place, without allocating: moved, then cut.
            if (units > 0)
                std::memmove(value.data(), data, units * 2);
            value.resize(units);
        } else {
            V fresh(units, u'\0');
            std::memcpy(fresh.data(), data, units * 2);
            value.swap(fresh);
        }
        return true;
    } else {
        if (value.equals(data, size))
            return false;
        value.assign(data, size);
        return true;
    }
}

}  // namespace ovra::wire
