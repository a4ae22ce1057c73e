#include <sndfile.h>

#include "audio_file.h"
#include "failure.h"

namespace qvhost {

void writeWav(const std::string& path, const std::vector<Signal>& signals, int32_t sampleRate) {
    if (signals.empty())
        throw Failure("nothing to write to " + path + ": no audio outputs");
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = static_cast<int>(signals.size());
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        throw Failure("cannot write " + path + ": " + sf_strerror(nullptr));
    const size_t frames = signals.front().samples.size();
    std::vector<float> interleaved(frames * signals.size());
    for (size_t c = 0; c < signals.size(); ++c)
        for (size_t i = 0; i < frames; ++i)
            interleaved[i * signals.size() + c] = signals[c].samples[i];
    const sf_count_t written = sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(frames));
    const int closed = sf_close(file);
    if (written != static_cast<sf_count_t>(frames) || closed != 0)
        throw Failure("cannot write " + path + ": the disk refused the samples");
}

}  // namespace qvhost
