// Decodes a fuzz input into the arguments of host calls. Reading past the end
// yields zeros, so every input, however short, is a complete run.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace ovra::fuzz {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    size_t remaining() const { return empty() ? 0 : size_ - pos_; }

    uint8_t byte() { return empty() ? 0 : data_[pos_++]; }
    uint16_t u16() { return static_cast<uint16_t>(byte() | (byte() << 8)); }
    uint32_t u32() { return static_cast<uint32_t>(u16()) | (static_cast<uint32_t>(u16()) << 16); }
    int32_t i32() { return static_cast<int32_t>(u32()); }
    float f32() {
        const uint32_t bits = u32();
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    bool flag() { return (byte() & 1) != 0; }

    // A choice among n alternatives (n >= 1).
    size_t below(size_t n) { return n <= 256 ? byte() % n : u16() % n; }

    // Copies up to n bytes into out; answers how many were left to copy.
    size_t take(void* out, size_t n) {
        const size_t k = n < remaining() ? n : remaining();
        if (k > 0)
            std::memcpy(out, data_ + pos_, k);
        pos_ += k;
        return k;
    }

    // Mostly small values a host sends by mistake, sometimes any 32 bits.
    int32_t oddInt() {
        static const int32_t kValues[] = {0, 1, -1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 100, 255, 256, 1024, 1025, 4096,
                                          -2, -100, 0x7FFF, 0x10000, 0x40000000,
                                          std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min(),
                                          std::numeric_limits<int32_t>::min() + 1};
        const size_t n = sizeof(kValues) / sizeof(kValues[0]);
        const size_t pick = below(n + 1);
        return pick < n ? kValues[pick] : i32();
    }

    // Every float class: zeros, normals, denormals, extremes, infinities, NaNs.
    float oddFloat() {
        static const float kValues[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 0.1f, 10.0f, -10.0f, 1e-6f, 1e6f,
                                        2147483648.0f, -2147483904.0f, 3e9f, 1e30f,
                                        std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                                        std::numeric_limits<float>::min(), std::numeric_limits<float>::denorm_min(),
                                        std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                                        std::numeric_limits<float>::quiet_NaN(),
                                        -std::numeric_limits<float>::quiet_NaN(),
                                        std::numeric_limits<float>::signaling_NaN()};
        const size_t n = sizeof(kValues) / sizeof(kValues[0]);
        const size_t pick = below(n + 1);
        return pick < n ? kValues[pick] : f32();
    }

    // A pin index: usually one a module has, sometimes anything.
    int32_t pinIndex() {
        const uint8_t b = byte();
        if (b < 200)
            return static_cast<int32_t>(b % 12) - 1;  // -1 .. 10
        return oddInt();
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

}  // namespace ovra::fuzz
