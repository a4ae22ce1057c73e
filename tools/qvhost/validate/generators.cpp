#include "generators.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

namespace qvhost {

using ovra::host::bytesOf;
using namespace ovra;

namespace {

float fromBits(uint32_t bits) {
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

Bytes sized(size_t n, uint8_t fill) { return Bytes(n, fill); }

}  // namespace

int64_t uniformInt(std::mt19937_64& rng, int64_t lo, int64_t hi) {
    const uint64_t span = static_cast<uint64_t>(hi) - static_cast<uint64_t>(lo) + 1;
    const uint64_t draw = rng();
    return static_cast<int64_t>(static_cast<uint64_t>(lo) + (span == 0 ? draw : draw % span));
}

float uniformFloat(std::mt19937_64& rng, float lo, float hi) {
    const float unit = static_cast<float>(rng() >> 40) * 0x1p-24f;  // 24 bits: exact, below 1
    return lo + (hi - lo) * unit;
}

bool isDenormal(float v) { return std::fpclassify(v) == FP_SUBNORMAL; }

std::vector<Bytes> ordinaryValues(int32_t type, std::mt19937_64& rng) {
    switch (type) {
    case DATATYPE_FLOAT:
    case DATATYPE_AUDIO:
        return {bytesOf(0.0f), bytesOf(1.0f), bytesOf(-1.0f), bytesOf(0.5f), bytesOf(1e6f), bytesOf(-1e-6f),
                bytesOf(-0.0f), bytesOf(uniformFloat(rng, -100.0f, 100.0f))};
    case DATATYPE_INT:
        return {bytesOf(int32_t{0}), bytesOf(int32_t{1}), bytesOf(int32_t{-1}), bytesOf(int32_t{7}),
                bytesOf(int32_t{1000}), bytesOf(static_cast<int32_t>(uniformInt(rng, -1000, 1000)))};
    case DATATYPE_BOOL:
        return {bytesOf(true), bytesOf(false), bytesOf(true)};
    case DATATYPE_TEXT:
        return {bytesOf(u""), bytesOf(u"a"), bytesOf(u"Gr\u00fc\u00dfe, abc"), bytesOf(std::u16string(300, u'x')),
                bytesOf(u"two words")};
    case DATATYPE_BLOB: {
        Bytes big(100);
        for (auto& b : big)
            b = static_cast<uint8_t>(rng());
        return {Bytes{}, Bytes{1}, big};
    }
    default:
        return {};
    }
}

Bytes randomOrdinaryValue(int32_t type, std::mt19937_64& rng) {
    const auto values = ordinaryValues(type, rng);
    if (values.empty())
        return {};
    return values[static_cast<size_t>(uniformInt(rng, 0, static_cast<int64_t>(values.size()) - 1))];
}

std::vector<TestValue> hostileValues(int32_t type) {
    std::vector<TestValue> out;
    switch (type) {
    case DATATYPE_FLOAT:
    case DATATYPE_AUDIO:
        for (float v : {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
                        fromBits(0x7F800001u) /* signalling NaN */, std::numeric_limits<float>::infinity(),
                        -std::numeric_limits<float>::infinity()})
            out.push_back({bytesOf(v), true});
        for (float v : {0.0f, -0.0f, fromBits(1u), -fromBits(0x007FFFFFu), FLT_MAX, -FLT_MAX, FLT_MIN, -FLT_MIN})
            out.push_back({bytesOf(v), false});
        break;
    case DATATYPE_INT:
        for (int32_t v : {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), int32_t{-1},
                          int32_t{0}, std::numeric_limits<int32_t>::min() + 1})
            out.push_back({bytesOf(v), false});
        break;
    case DATATYPE_BOOL:
        for (uint8_t v : {0, 1, 2, 255})
            out.push_back({Bytes{v}, false});
        out.push_back({bytesOf(int32_t{2}), false});
        break;
    case DATATYPE_TEXT: {
        out.push_back({Bytes{}, false});
        out.push_back({bytesOf(u"x"), false});
        out.push_back({bytesOf(std::u16string(65536, u'W')), false});
        out.push_back({bytesOf(std::u16string(1, char16_t(0xD800))), false});       // lone high surrogate
        out.push_back({bytesOf(std::u16string(u"a\xDC00" "b")), false});            // lone low surrogate
        out.push_back({bytesOf(std::u16string(u"\xDBFF")), false});
        std::u16string zeros(5, u'\0');
        out.push_back({bytesOf(zeros), false});
        break;
    }
    default:
        break;
    }
    // Sizes that fit no type, and a missing value.
    const bool floating = type == DATATYPE_FLOAT || type == DATATYPE_AUDIO;
    for (size_t n : {size_t{0}, size_t{1}, size_t{3}, size_t{5}, size_t{7}, size_t{4097}})
        out.push_back({sized(n, 0xFF), floating});
    return out;
}

const std::vector<AudioShape>& hostileAudioShapes() {
    static const std::vector<AudioShape> shapes{
        {"NaN", true},           {"infinity", true},  {"denormals", false},
        {"+-1e30", false},       {"square wave", false}, {"silence", false},
    };
    return shapes;
}

void fillHostileAudio(size_t shape, float* samples, int32_t n, std::mt19937_64& rng) {
    const auto count = static_cast<size_t>(n);
    switch (shape % hostileAudioShapes().size()) {
    case 0:
        for (size_t i = 0; i < count; ++i)
            samples[i] = (i % 2 == 0) ? std::numeric_limits<float>::quiet_NaN() : fromBits(0x7F800001u);
        break;
    case 1:
        for (size_t i = 0; i < count; ++i)
            samples[i] = (i % 2 == 0) ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
        break;
    case 2:
        for (size_t i = 0; i < count; ++i)
            samples[i] = fromBits(static_cast<uint32_t>(1 + rng() % 0x007FFFFFu)) * ((i % 2 == 0) ? 1.0f : -1.0f);
        break;
    case 3:
        for (size_t i = 0; i < count; ++i)
            samples[i] = (rng() % 2 == 0) ? 1e30f : -1e30f;
        break;
    case 4:
        for (size_t i = 0; i < count; ++i)
            samples[i] = ((i / 8) % 2 == 0) ? 1.0f : -1.0f;
        break;
    default:
        for (size_t i = 0; i < count; ++i)
            samples[i] = 0.0f;
        break;
    }
}

const std::vector<int32_t>& defaultRates() {
    static const std::vector<int32_t> rates{0, 8000, 22050, 44100, 48000, 96000, 192000, 384000};
    return rates;
}

const std::vector<int32_t>& defaultBlocks() {
    static const std::vector<int32_t> blocks{1, 2, 3, 31, 64, 512, 4096};
    return blocks;
}

}  // namespace qvhost
