// Rendered signals: written as WAV (32-bit float) and drawn as PNG plots.
#pragma once

#include <string>
#include <vector>

namespace qvhost {

struct Signal {
    std::string name;
    std::vector<float> samples;
};

// One channel per signal, all of the same length. Throws Failure.
void writeWav(const std::string& path, const std::vector<Signal>& signals, int32_t sampleRate);

// The signals over time, one trace each, with a time axis. Throws Failure.
void writePlot(const std::string& path, const std::vector<Signal>& signals, int32_t sampleRate,
               const std::string& title, int32_t width = 960, int32_t height = 360);

}  // namespace qvhost
