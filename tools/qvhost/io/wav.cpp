#include "audio_file.h"
#include "failure.h"
#include "platform/wav_writer.h"

namespace qvhost {

void writeWav(const std::string& path, const std::vector<Signal>& signals, int32_t sampleRate) {
    if (signals.empty())
        throw Failure("nothing to write to " + path + ": no audio outputs");
    const size_t frames = signals.front().samples.size();
    std::vector<float> interleaved(frames * signals.size());
    for (size_t c = 0; c < signals.size(); ++c)
        for (size_t i = 0; i < frames; ++i)
            interleaved[i * signals.size() + c] = signals[c].samples[i];
    writeFloatWav(path, interleaved, static_cast<int>(signals.size()), sampleRate);
}

}  // namespace qvhost
