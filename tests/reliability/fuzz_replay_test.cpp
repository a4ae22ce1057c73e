// Every kept fuzz input runs through its harness as an ordinary test, so the
// native and sanitizer suites replay the seed corpus and every input that
// once made a fuzzer fail. A harness aborts with the broken rule on failure.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "harness.h"
#include "kept_inputs.h"

namespace {

using ovra::fuzz::contentsOf;

class FuzzReplay : public testing::TestWithParam<const char*> {};

TEST_P(FuzzReplay, EveryKeptInputRunsCleanly) {
    const auto harness = ovra::fuzz::harnessFor(GetParam());
    ASSERT_NE(harness, nullptr);
    const auto files = ovra::fuzz::keptInputs(OVRA_FUZZ_INPUTS, GetParam());
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
