// Pin values as they travel on the wire: (size, bytes).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "abi/framework_types.h"

namespace ovra::host {

using Bytes = std::vector<uint8_t>;

inline Bytes bytesOf(const void* data, int32_t size) {
    if (data == nullptr || size <= 0)
        return {};
    const auto* p = static_cast<const uint8_t*>(data);
    return Bytes(p, p + size);
}
inline Bytes bytesOf(float v) { return bytesOf(&v, 4); }
inline Bytes bytesOf(int32_t v) { return bytesOf(&v, 4); }
inline Bytes bytesOf(bool v) { return Bytes{static_cast<uint8_t>(v ? 1 : 0)}; }
inline Bytes bytesOf(const wstring& v) { return bytesOf(v.data(), static_cast<int32_t>(v.size() * 2)); }
inline Bytes bytesOf(const char16_t* v) { return bytesOf(wstring(v)); }

inline float floatOf(const Bytes& b) {
    float v = 0;
    if (!b.empty())
        std::memcpy(&v, b.data(), b.size() < 4 ? b.size() : 4);
    return v;
}
inline int32_t intOf(const Bytes& b) {
    int32_t v = 0;
    if (!b.empty())
        std::memcpy(&v, b.data(), b.size() < 4 ? b.size() : 4);
    return v;
}
inline bool boolOf(const Bytes& b) { return !b.empty() && b[0] != 0; }
inline wstring textOf(const Bytes& b) {
    wstring s(b.size() / 2, u'\0');
    if (!s.empty())
        std::memcpy(s.data(), b.data(), s.size() * 2);
    return s;
}
inline uint32_t bitsOf(float v) {
    uint32_t u;
    std::memcpy(&u, &v, 4);
    return u;
}

}  // namespace ovra::host
