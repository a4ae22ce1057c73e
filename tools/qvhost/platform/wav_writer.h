// The WAV file itself, the same bytes on every platform for the same
// samples (nothing in it depends on when or where it was written): RIFF
// "WAVE" with a "fmt " chunk of 32-bit IEEE float samples, a "fact" chunk
// with the frame count, a "PAD " chunk of 8 + 8 x channels zero bytes and
// the "data" chunk. The padding is the room libsndfile reserves for a peak
// chunk, which would carry the time of writing; readers skip it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvhost {

// `interleaved` holds whole frames of `channels` samples. Throws Failure.
void writeFloatWav(const std::string& path, const std::vector<float>& interleaved, int channels,
                   int32_t sampleRate);

}  // namespace qvhost
