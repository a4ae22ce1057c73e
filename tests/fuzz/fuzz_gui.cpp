// libFuzzer entry: every input is one run of the gui harness.
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ovra::fuzz::runGuiInput(data, size);
    return 0;
}
