// The bits of floats and doubles, and powers of two made from them: what
// code that decides by bits (rounding tests, the envelope's stall checks)
// shares.
#pragma once

#include <bit>
#include <cstdint>

namespace ovra::numeric {

inline uint64_t bitsOf(double x) { return std::bit_cast<uint64_t>(x); }
inline double fromBits(uint64_t b) { return std::bit_cast<double>(b); }

inline uint32_t bitsOf(float x) { return std::bit_cast<uint32_t>(x); }
inline float floatFromBits(uint32_t b) { return std::bit_cast<float>(b); }

// 2^e for a normal exponent, -1022 <= e <= 1023.
inline double twoTo(int e) { return fromBits(static_cast<uint64_t>(e + 1023) << 52); }

// floor(log2 a) for a normal a > 0, and whether a is a power of two.
inline int exponentOf(double a) { return static_cast<int>((bitsOf(a) >> 52) & 0x7ff) - 1023; }
inline bool isPowerOfTwo(double a) { return (bitsOf(a) & 0x000fffffffffffffull) == 0; }

}  // namespace ovra::numeric
