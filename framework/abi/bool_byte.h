// A bool pin value as it travels on the wire: one byte, 0 false and any other
// value true. Pins hold the byte as the host delivered it, compare it by that
// byte and send it back unchanged, so a module that passes a bool on passes
// the host's byte on. Modules read it as true when it is non-zero; a value
// the module makes from a C++ bool is 0 or 1.
#pragma once

#include <cstdint>

namespace ovra {

class BoolByte {
public:
    constexpr BoolByte() = default;
    constexpr BoolByte(bool v) : byte_(v ? 1 : 0) {}  // NOLINT: a bool is a BoolByte
    static constexpr BoolByte fromByte(uint8_t b) {
        BoolByte r;
        r.byte_ = b;
        return r;
    }

    constexpr operator bool() const { return byte_ != 0; }  // NOLINT: read as a truth value
    constexpr uint8_t byte() const { return byte_; }

    friend constexpr bool operator==(BoolByte a, BoolByte b) { return a.byte_ == b.byte_; }

private:
    uint8_t byte_ = 0;
};
static_assert(sizeof(BoolByte) == 1, "a bool pin sends its value as one byte");

// The value a pin of type T holds: bool pins hold their byte.
template <class T>
struct PinValueOf {
    using type = T;
};
template <>
struct PinValueOf<bool> {
    using type = BoolByte;
};
template <class T>
using PinValue = typename PinValueOf<T>::type;

}  // namespace ovra
