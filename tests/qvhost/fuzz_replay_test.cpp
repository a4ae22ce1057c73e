// Every kept input of the fuzz targets on qvhost's inputs (patches,
// descriptions, --set values, library files, report text) runs through its
// entry as an ordinary test. An entry aborts with the broken rule.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kept_inputs.h"

extern "C" int ovraFuzz_patch(const uint8_t* data, size_t size);
extern "C" int ovraFuzz_description(const uint8_t* data, size_t size);
extern "C" int ovraFuzz_set(const uint8_t* data, size_t size);
extern "C" int ovraFuzz_exports(const uint8_t* data, size_t size);
extern "C" int ovraFuzz_report(const uint8_t* data, size_t size);

namespace {

struct Entry {
    const char* target;
    int (*run)(const uint8_t*, size_t);
};

class QvhostFuzzReplay : public testing::TestWithParam<Entry> {};

TEST_P(QvhostFuzzReplay, EveryKeptInputRunsCleanly) {
    const auto files = ovra::fuzz::keptInputs(OVRA_FUZZ_INPUTS, GetParam().target);
    EXPECT_FALSE(files.empty()) << "no seed corpus for " << GetParam().target;
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        const auto bytes = ovra::fuzz::contentsOf(file);
        std::fprintf(stderr, "replaying %s\n", file.filename().string().c_str());
        GetParam().run(bytes.data(), bytes.size());
    }
}

// The empty input and inputs of one repeated byte.
TEST_P(QvhostFuzzReplay, DegenerateInputsRunCleanly) {
    GetParam().run(nullptr, 0);
    for (uint8_t b : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
        const std::vector<uint8_t> bytes(512, b);
        GetParam().run(bytes.data(), bytes.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, QvhostFuzzReplay,
                         testing::Values(Entry{"patch", ovraFuzz_patch}, Entry{"description", ovraFuzz_description},
                                         Entry{"set", ovraFuzz_set}, Entry{"exports", ovraFuzz_exports},
                                         Entry{"report", ovraFuzz_report}),
                         [](const auto& info) { return std::string(info.param.target); });

}  // namespace
