// libFuzzer entry: every input is a module description (<lib>.qvm.json) that
// qvhost reads beside a library; a bad one must end as a Failure.
#include <string>

#include "io/description.h"
#include "failure.h"
#include "io/json_source.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const qvhost::JsonSource source("fuzz.qvm.json", std::string(reinterpret_cast<const char*>(data), size));
        const qvhost::LibraryDescription lib = qvhost::parseDescription(source.doc(), source.name());
        for (const auto& m : lib.modules)
            for (const auto& h : m.halves)
                for (const auto& p : h.pins)
                    h.findPin(p.name);
    } catch (const qvhost::Failure&) {
    }
    return 0;
}
