// Rendered signals: written as WAV (32-bit float) and drawn as PNG plots.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qvhost {

struct Signal {
    std::string name;
    std::vector<float> samples;
    bool audio = true;  // a voltage (1 = 10 V); else a control value in its own units
};

// One channel per signal, all of the same length. Throws Failure.
void writeWav(const std::string& path, const std::vector<Signal>& signals, int32_t sampleRate);

// The signals over time, one trace each, with a time axis. Throws Failure.
void writePlot(const std::string& path, const std::vector<Signal>& signals, int32_t sampleRate,
               const std::string& title, int32_t width = 960, int32_t height = 360);

// Checks a file qvhost is asked to write before anything runs: its
// extension (one of the kind the option writes) and that its folder exists.
// `what` names it in the message, e.g. "-o x.mp3". The null device passes:
// the command runs and writes nothing. Throws Failure.
void checkOutputFile(const std::string& path, const std::string& extension, const std::string& what);

// The platform's null device (/dev/null; NUL on Windows): output to discard.
bool isNullDevice(const std::string& path);

// One line on stderr per signal with samples that are not finite: the first
// time and how many. With `strict`, throws Failure when there were any.
void reportNonFinite(const std::vector<Signal>& signals, int32_t sampleRate, bool strict);

}  // namespace qvhost
