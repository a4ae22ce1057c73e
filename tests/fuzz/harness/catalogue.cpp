// Every registration of the four libraries, as the harnesses drive them.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

#include "harness.h"
#include "identifiers.h"

#ifndef OVRA_PLUGIN_DIR
#define OVRA_PLUGIN_DIR "."
#endif

namespace ovra::fuzz {

namespace {
std::vector<ModuleEntry> build() {
    std::vector<ModuleEntry> all;
    for (const char* lib : {"uplink", "downlink"}) {
        const auto& ids = std::string(lib) == "uplink" ? test::kUplinkIds : test::kDownlinkIds;
        for (int32_t subType : {SUBTYPE_DSP, SUBTYPE_GUI_V2})
            for (const char16_t* id : ids)
                all.push_back({lib, subType, id});
    }
    for (const char16_t* id : test::kGuikitIds)
        all.push_back({"guikit", SUBTYPE_GUI_V1, id});
    all.push_back({"adsr", SUBTYPE_DSP, test::kAdsrId});
    return all;
}
}  // namespace

const std::vector<ModuleEntry>& allModules() {
    static const std::vector<ModuleEntry> all = build();
    return all;
}

std::vector<ModuleEntry> dspModules() {
    std::vector<ModuleEntry> out;
    for (const auto& m : allModules())
        if (m.subType == SUBTYPE_DSP)
            out.push_back(m);
    return out;
}

std::vector<ModuleEntry> guiModules() {
    std::vector<ModuleEntry> out;
    for (const auto& m : allModules())
        if (m.subType != SUBTYPE_DSP)
            out.push_back(m);
    return out;
}

std::string pluginPath(const std::string& name) {
    const char* dir = std::getenv("OVRA_PLUGIN_DIR");
    const std::string base = dir != nullptr && *dir != 0 ? dir : OVRA_PLUGIN_DIR;
    return base + "/" + name + ".qvm";
}

host::Library& library(const std::string& name) {
    // Loaded once and never unloaded: fuzzers keep the coverage of a library
    // only while it stays loaded, and a library's own exit handler destroys
    // its factory before static destructors could release it.
    static auto* loaded = new std::map<std::string, std::unique_ptr<host::Library>>();
    auto& slot = (*loaded)[name];
    if (!slot) {
        std::string error;
        slot = host::Library::open(pluginPath(name), error);
        if (!slot) {
            std::fprintf(stderr, "ovra fuzz: %s\n", error.c_str());
            std::abort();
        }
    }
    return *slot;
}

void violated(const char* entryPoint, const char* rule, const std::string& detail) {
    std::fprintf(stderr, "ovra fuzz: %s: %s%s%s\n", entryPoint, rule, detail.empty() ? "" : ": ", detail.c_str());
    std::abort();
}

Harness harnessFor(const std::string& target) {
    if (target == "dsp")
        return &runDspInput;
    if (target == "gui")
        return &runGuiInput;
    if (target == "factory")
        return &runFactoryInput;
    return nullptr;
}

}  // namespace ovra::fuzz
