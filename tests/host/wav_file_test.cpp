// qvhost's WAV files: the same bytes on Linux (libsndfile) and Windows
// (winmm), whenever they are written.
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "io/audio_file.h"
#include "failure.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string le32(uint32_t v) {
    std::string out;
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>(v >> (8 * i));
    return out;
}
std::string le16(uint32_t v) { return le32(v).substr(0, 2); }
std::string floats(const std::vector<float>& values) {
    std::string out(values.size() * 4, '\0');
    std::memcpy(out.data(), values.data(), out.size());
    return out;
}

class WavFile : public ovra::test::ScratchFolder {
protected:
    WavFile() : ScratchFolder("ovra-wav-") {}
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
};

TEST_F(WavFile, LayoutIsFmtFactPadData) {
    // Two frames of 1, 2 and 3 channels; channel c holds c + 1 and -(c + 1).
    for (uint32_t channels = 1; channels <= 3; ++channels) {
        std::vector<qvhost::Signal> signals;
        std::vector<float> interleaved(2 * channels);
        for (uint32_t c = 0; c < channels; ++c) {
            const float v = static_cast<float>(c + 1);
            signals.push_back({"s", {v, -v}});
            interleaved[c] = v;
            interleaved[channels + c] = -v;
        }
        const std::string name = path("layout" + std::to_string(channels) + ".wav");
        qvhost::writeWav(name, signals, 44100);
        // The padding: 8 bytes and 8 per channel.
        const uint32_t pad = 8 + 8 * channels, data = 8 * channels;
        const std::string expected = "RIFF" + le32(4 + 24 + 12 + 8 + pad + 8 + data) + "WAVE" + "fmt " + le32(16) +
                                     le16(3) + le16(channels) + le32(44100) + le32(44100 * 4 * channels) +
                                     le16(4 * channels) + le16(32) + "fact" + le32(4) + le32(2) + "PAD " + le32(pad) +
                                     std::string(pad, '\0') + "data" + le32(data) + floats(interleaved);
        EXPECT_EQ(readAll(name), expected) << channels << " channels";
    }
}

TEST_F(WavFile, SameSamplesGiveTheSameFile) {
    std::vector<float> ramp(4801);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<float>(i) / 4800.0f;
    qvhost::writeWav(path("first.wav"), {{"ramp", ramp}}, 48000);
    // Written a second later: nothing in the file records when.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    qvhost::writeWav(path("second.wav"), {{"ramp", ramp}}, 48000);
    EXPECT_EQ(readAll(path("first.wav")), readAll(path("second.wav")));
}

TEST_F(WavFile, NoSignalsOrNoFolderIsAFailure) {
    EXPECT_THROW(qvhost::writeWav(path("none.wav"), {}, 48000), qvhost::Failure);
    EXPECT_THROW(qvhost::writeWav(path("missing/folder.wav"), {{"a", {0.0f}}}, 48000), qvhost::Failure);
}

}  // namespace
