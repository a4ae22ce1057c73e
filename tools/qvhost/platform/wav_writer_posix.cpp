// WAV through libsndfile.
#include <sndfile.h>

#include "failure.h"
#include "wav_writer.h"

namespace qvhost {

void writeFloatWav(const std::string& path, const std::vector<float>& interleaved, int channels,
                   int32_t sampleRate) {
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        throw Failure("cannot write " + path + ": " + sf_strerror(nullptr));
    // The peak chunk carries the time of writing: without it the same
    // samples always give the same file (its room stays as a pad chunk).
    sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    const sf_count_t frames = static_cast<sf_count_t>(interleaved.size() / static_cast<size_t>(channels));
    const sf_count_t written = sf_writef_float(file, interleaved.data(), frames);
    const int closed = sf_close(file);
    if (written != frames || closed != 0)
        throw Failure("cannot write " + path + ": the disk refused the samples");
}

}  // namespace qvhost
