// libFuzzer entry: every input is a --set value of the command line,
// PIN=VALUE[@TIME], for a module chosen by the first byte among those the
// four libraries describe; a bad one must end as a Failure.
#include <cstdlib>
#include <string>
#include <vector>

#include "io/description.h"
#include "failure.h"
#include "patch/pin_value.h"
#include "patch/timeline.h"

#ifndef OVRA_PLUGIN_DIR
#define OVRA_PLUGIN_DIR "."
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<qvhost::LibraryDescription> libraries = [] {
        const char* dir = std::getenv("OVRA_PLUGIN_DIR");
        const std::string base = dir != nullptr && *dir != 0 ? dir : OVRA_PLUGIN_DIR;
        std::vector<qvhost::LibraryDescription> out;
        for (const char* name : {"uplink", "downlink", "guikit", "adsr"})
            out.push_back(qvhost::loadDescription(base + "/" + name + ".qvm.json"));
        return out;
    }();
    static const std::vector<std::pair<const qvhost::ModuleDescription*, const qvhost::HalfDescription*>> halves = [] {
        std::vector<std::pair<const qvhost::ModuleDescription*, const qvhost::HalfDescription*>> out;
        for (const auto& lib : libraries)
            for (const auto& m : lib.modules)
                for (const auto& h : m.halves)
                    out.push_back({&m, &h});
        return out;
    }();
    if (size == 0)
        return 0;
    const auto& [module, half] = halves[data[0] % halves.size()];
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    try {
        const qvhost::TimedSet set = qvhost::parseSet(*half, module->id, text, (data[0] & 0x80) != 0);
        qvhost::formatValue(set.pin.type, set.bytes);
    } catch (const qvhost::Failure&) {
    }
    return 0;
}
