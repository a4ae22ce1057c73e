// Values validate feeds to pins and buffers: the ordinary ones a patch
// carries, and the hostile ones a host may still send.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "values.h"

namespace qvhost {

using ovra::host::Bytes;

struct TestValue {
    Bytes bytes;
    // A float that is NaN or infinite, or bytes of a size that a float pin
    // may read as anything.
    bool nonFinite = false;
};

// Ordinary values of a pin type (the wire encoding of each).
std::vector<Bytes> ordinaryValues(int32_t type, std::mt19937_64& rng);
Bytes randomOrdinaryValue(int32_t type, std::mt19937_64& rng);

// Values at and beyond the edges of the type: NaNs, infinities, denormals,
// extreme integers, bools other than 0 and 1, huge and broken texts, and raw
// sizes that fit no type.
std::vector<TestValue> hostileValues(int32_t type);

// Fills a block of audio in one of the hostile shapes; `shape` counts from 0
// and wraps. Answers whether the block carries NaN or infinity.
struct AudioShape {
    const char* name;
    bool nonFinite;
};
const std::vector<AudioShape>& hostileAudioShapes();
void fillHostileAudio(size_t shape, float* samples, int32_t n, std::mt19937_64& rng);

// Sample rates and block sizes of a full run; 0 is a host that writes no rate.
const std::vector<int32_t>& defaultRates();
const std::vector<int32_t>& defaultBlocks();

bool isDenormal(float v);

// Draws from the seed's generator that are the same with every standard
// library, which the standard's distributions are not: an integer in
// lo..hi, a float in [lo, hi).
int64_t uniformInt(std::mt19937_64& rng, int64_t lo, int64_t hi);
float uniformFloat(std::mt19937_64& rng, float lo, float hi);

}  // namespace qvhost
