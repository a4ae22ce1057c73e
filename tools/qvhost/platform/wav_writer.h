// The WAV file itself: RIFF "WAVE" with a "fmt " chunk of 32-bit IEEE float
// samples, a "fact" chunk with the frame count and the "data" chunk, the
// same bytes on every platform for the same samples (nothing in the file
// depends on when or where it was written).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvhost {

// `interleaved` holds whole frames of `channels` samples. Throws Failure.
void writeFloatWav(const std::string& path, const std::vector<float>& interleaved, int channels,
                   int32_t sampleRate);

}  // namespace qvhost
