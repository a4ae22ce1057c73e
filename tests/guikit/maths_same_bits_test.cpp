// The maths modules through the ABI against committed expectations (the
// correctly rounded values composed with each module's arithmetic, see
// maths_cases.h): the same test, the same data, natively and under Wine,
// so both builds send the same bits and both are right.
#include <cstring>
#include <string>

#include "maths_cases.h"
#include "module_fixture.h"

using namespace ovra;
using test::GuikitModule;

namespace {

namespace m = test::maths;

float floatOf(uint32_t b) {
    float v;
    std::memcpy(&v, &b, 4);
    return v;
}

// An output pin starts at a value no row expects, so that every result is
// sent, a zero or a repeated value included.
constexpr uint32_t kUnset = 0x4640e400u;  // 12345.0f

uint32_t resultOn(const GuikitModule& module, int32_t pin) {
    const host::Bytes bytes = module.lastOn(pin);
    if (bytes.size() != 4)
        return kUnset;
    uint32_t b;
    std::memcpy(&b, bytes.data(), 4);
    return b;
}

std::string hex(uint32_t b) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", b);
    return text;
}

TEST(MathsSameBits, FunctionModuleSendsTheCorrectlyRoundedValue) {
    int wrong = 0;
    for (const auto& r : m::kFunctionRows) {
        GuikitModule module(u"WB-MathSDK3");
        module.deliver(3, floatOf(kUnset));
        module.deliver(2, floatOf(r.x));
        module.set(0, r.selector);
        const uint32_t got = resultOn(module, 3);
        if (got != r.result && ++wrong <= 20)
            ADD_FAILURE() << "selector " << r.selector << ", x " << hex(r.x) << ": sent " << hex(got) << ", expected "
                          << hex(r.result);
    }
    EXPECT_EQ(wrong, 0);
}

TEST(MathsSameBits, PolarAnglesAndRadii) {
    int wrong = 0;
    for (const auto& r : m::kPolarRows) {
        GuikitModule module(u"WB-Cart2PolarSDK3");
        module.deliver(4, floatOf(kUnset));
        module.deliver(5, floatOf(kUnset));
        module.deliver(0, r.mode);
        module.deliver(2, floatOf(r.x));
        module.set(3, floatOf(r.y));
        const uint32_t angle = resultOn(module, 5), radius = resultOn(module, 4);
        if ((angle != r.angle || radius != r.radius) && ++wrong <= 20)
            ADD_FAILURE() << "mode " << r.mode << ", x " << hex(r.x) << ", y " << hex(r.y) << ": angle " << hex(angle)
                          << " radius " << hex(radius) << ", expected " << hex(r.angle) << " " << hex(r.radius);
    }
    EXPECT_EQ(wrong, 0);
}

TEST(MathsSameBits, CartesianFromHugeAndOrdinaryAngles) {
    int wrong = 0;
    for (const auto& r : m::kCartesianRows) {
        GuikitModule module(u"WB-Cart2PolarSDK3");
        module.deliver(2, floatOf(kUnset));
        module.deliver(3, floatOf(kUnset));
        module.deliver(4, floatOf(r.radius));
        module.set(5, floatOf(r.angle));
        const uint32_t x = resultOn(module, 2), y = resultOn(module, 3);
        if ((x != r.x || y != r.y) && ++wrong <= 20)
            ADD_FAILURE() << "radius " << hex(r.radius) << ", angle " << hex(r.angle) << ": x " << hex(x) << " y "
                          << hex(y) << ", expected " << hex(r.x) << " " << hex(r.y);
    }
    EXPECT_EQ(wrong, 0);
}

TEST(MathsSameBits, DecibelsBothWays) {
    int wrong = 0;
    for (const auto& r : m::kDecibelRows) {
        GuikitModule module(u"WB-Volts2dBSDK3");
        module.deliver(2, floatOf(kUnset));
        module.deliver(1, floatOf(r.reference));
        module.set(0, floatOf(r.voltage));
        const uint32_t level = resultOn(module, 2);
        if (level != r.level && ++wrong <= 20)
            ADD_FAILURE() << "voltage " << hex(r.voltage) << ", reference " << hex(r.reference) << ": level "
                          << hex(level) << ", expected " << hex(r.level);
    }
    for (const auto& r : m::kVoltageRows) {
        GuikitModule module(u"WB-Volts2dBSDK3");
        module.deliver(0, floatOf(kUnset));
        module.deliver(1, floatOf(r.reference));
        module.set(2, floatOf(r.level));
        const uint32_t voltage = resultOn(module, 0);
        if (voltage != r.voltage && ++wrong <= 20)
            ADD_FAILURE() << "level " << hex(r.level) << ", reference " << hex(r.reference) << ": voltage "
                          << hex(voltage) << ", expected " << hex(r.voltage);
    }
    EXPECT_EQ(wrong, 0);
}

}  // namespace
