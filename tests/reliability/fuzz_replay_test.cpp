// Every kept fuzz input runs through its harness as an ordinary test, so the
// native and sanitizer suites replay the seed corpus and every input that
// once made a fuzzer fail. A harness aborts with the broken rule on failure.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "harness.h"

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> inputsOf(const std::string& target) {
    std::vector<fs::path> files;
    for (const char* kind : {"corpus", "regressions"}) {
        const fs::path dir = fs::path(OVRA_FUZZ_INPUTS) / kind / target;
        if (!fs::is_directory(dir))
            continue;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.is_regular_file() && e.path().filename().string()[0] != '.')
                files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> contentsOf(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class FuzzReplay : public testing::TestWithParam<const char*> {};

TEST_P(FuzzReplay, EveryKeptInputRunsCleanly) {
    const auto harness = ovra::fuzz::harnessFor(GetParam());
    ASSERT_NE(harness, nullptr);
    const auto files = inputsOf(GetParam());
    EXPECT_FALSE(files.empty()) << "no seed corpus for " << GetParam();
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        const auto bytes = contentsOf(file);
        std::fprintf(stderr, "replaying %s\n", file.filename().string().c_str());
        harness(bytes.data(), bytes.size());
    }
}

// The empty input and inputs of one repeated byte are whole runs too.
TEST_P(FuzzReplay, DegenerateInputsRunCleanly) {
    const auto harness = ovra::fuzz::harnessFor(GetParam());
    harness(nullptr, 0);
    for (uint8_t b : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
        const std::vector<uint8_t> bytes(512, b);
        harness(bytes.data(), bytes.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplay, testing::Values("dsp", "gui", "factory"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
