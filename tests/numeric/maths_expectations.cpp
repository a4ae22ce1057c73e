#include "maths_expectations.h"

#include <cmath>
#include <cstring>

namespace ovra::test::maths {
namespace {

using oracle::Function;

uint32_t bitsOf(float v) {
    uint32_t b;
    std::memcpy(&b, &v, 4);
    return b;
}
float floatOf(uint32_t b) {
    float v;
    std::memcpy(&v, &b, 4);
    return v;
}

// A fixed sequence (xorshift32): the same arguments on every run.
struct Sequence {
    uint32_t state = 0x9e3779b9u;
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    // Uniform in [-range, range).
    float within(float range) { return (static_cast<float>(next() >> 8) * 0x1p-23f - 1.0f) * range; }
};

const uint32_t kSpecialBits[] = {
    0x00000000u, 0x80000000u,              // +-0
    0x7f800000u, 0xff800000u,              // +-inf
    0x7fc00000u, 0xffc00000u, 0x7fc12345u,  // quiet NaNs, one with a payload
    0x7f800001u,                           // a signalling NaN
    0x00000001u, 0x80000001u, 0x00400000u,  // subnormals
    0x00800000u, 0x80800000u,              // least normals
    0x7f7fffffu, 0xff7fffffu,              // largest finite
    0x5f000000u, 0x5f800000u,              // 2^63, 2^64
};

const float kOrdinary[] = {
    0.5f, 1.0f, -1.0f, 2.0f, 3.0f, -2.5f, 0.7f, 0.1f, 10.0f, 100.0f, 1000.0f, 1e10f, -1e10f,
    1e19f, -1e19f, 1e20f, 1e22f, -1e25f, 1e30f, 3e38f, 0x1p-12f, 0x1p-13f, -0x1p-12f, 0x1.8p-5f,
    3.14159265f, 1.57079633f, -1.57079633f, 6.28318531f, 0.785398163f, 88.72f, 88.73f, -103.9f, -104.5f,
    38.5f, -45.1f, 9.0f, 10.5f, -0.124f, 0.126f, 1.0001f, 0.9999f, 45.0f, 90.0f, 180.0f, -270.0f, 360.0f,
};

std::vector<float> pool() {
    std::vector<float> v;
    for (uint32_t b : kSpecialBits)
        v.push_back(floatOf(b));
    for (float f : kOrdinary)
        v.push_back(f);
    Sequence s;
    for (int i = 0; i < 120; ++i)
        v.push_back(floatOf(s.next()));  // any bit pattern
    for (int i = 0; i < 120; ++i)
        v.push_back(s.within(i % 2 ? 20.0f : 400.0f));
    return v;
}

// The framework's contract for what the oracle leaves open: NaN arguments
// and invalid operations.
float exact(oracle::Oracle& o, Function f, float x) {
    if (std::isnan(x))
        return x + x;
    const float r = o(f, x);
    return std::isnan(r) ? floatOf(0xffc00000u) : r;
}

float exactAtan2(oracle::Oracle& o, float y, float x) {
    if (std::isnan(x) || std::isnan(y))
        return y + x;
    return o.atan2(y, x);
}

constexpr float kPi = 3.14159265358979323846f;
constexpr float kFloor = 1e-6f;

}  // namespace

Tables arguments() {
    Tables t;
    const std::vector<float> p = pool();
    for (int32_t selector = 0; selector < 8; ++selector)
        for (float x : p)
            t.functions.push_back({selector, bitsOf(x), 0});
    Sequence s;
    for (size_t i = 0; i < p.size(); ++i) {
        const float x = p[i];
        const float y = p[(i * 7 + 3) % p.size()];
        t.polar.push_back({static_cast<int32_t>(i % 2), bitsOf(x), bitsOf(y), 0, 0});
        t.cartesian.push_back({bitsOf(p[(i * 5 + 1) % p.size()]), bitsOf(x), 0, 0});
        t.decibels.push_back({bitsOf(x), bitsOf(i % 3 ? 1.0f : y), 0});
        t.voltages.push_back({bitsOf(i % 2 ? s.within(150.0f) : x), bitsOf(i % 3 ? 1.0f : y), 0});
    }
    // The zero and infinite corners of the angle.
    const float corners[] = {0.0f, -0.0f, 1.0f, -1.0f, floatOf(0x7f800000u), floatOf(0xff800000u)};
    for (float x : corners)
        for (float y : corners)
            for (int32_t mode : {0, 1})
                t.polar.push_back({mode, bitsOf(x), bitsOf(y), 0, 0});
    return t;
}

void computeExpected(Tables& t, oracle::Oracle& o) {
    static constexpr Function kBySelector[] = {Function::kSin,  Function::kCos, Function::kAtan, Function::kTan,
                                               Function::kTanh, Function::kExp, Function::kLog,  Function::kLog10};
    for (auto& r : t.functions)
        r.result = bitsOf(exact(o, kBySelector[r.selector], floatOf(r.x)));
    for (auto& r : t.polar) {
        const float x = floatOf(r.x), y = floatOf(r.y);
        float angle = exactAtan2(o, y, x) * 180.0f / kPi;
        if (r.mode >= 1 && angle < 0.0f)
            angle = angle + 360.0f;
        r.angle = bitsOf(angle);
        r.radius = bitsOf(std::sqrt(y * y + x * x));
    }
    for (auto& r : t.cartesian) {
        const float radius = floatOf(r.radius);
        const float angle = kPi * floatOf(r.angle) / 180.0f;
        r.x = bitsOf(exact(o, Function::kCos, angle) * radius);
        r.y = bitsOf(exact(o, Function::kSin, angle) * radius);
    }
    for (auto& r : t.decibels) {
        float v = floatOf(r.voltage), ref = floatOf(r.reference);
        if (v < kFloor)
            v = kFloor;
        if (ref < kFloor)
            ref = kFloor;
        r.level = bitsOf(20.0f * exact(o, Function::kLog10, v / ref));
    }
    for (auto& r : t.voltages) {
        float l = floatOf(r.level);
        if (l == 0.0f)
            l = kFloor;
        r.voltage = bitsOf(exact(o, Function::kExp10, l / 20.0f) * floatOf(r.reference));
    }
}

}  // namespace ovra::test::maths
