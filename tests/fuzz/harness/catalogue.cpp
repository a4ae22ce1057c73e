// The identifiers each library registers, kept here independently of the
// libraries so that a registration that goes missing is noticed.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

#include "harness.h"

#ifndef OVRA_PLUGIN_DIR
#define OVRA_PLUGIN_DIR "."
#endif

namespace ovra::fuzz {

namespace {
const char16_t* const kUplink[] = {u"ZVR_Float2GUIFloat", u"ZVR_Volt2GUIFloat", u"ZVR_Int2GUIInt",
                                   u"ZVR_Volt2GUIInt",    u"ZVR_Bool2GUIBool",  u"ZVR_Volt2GUIBool",
                                   u"ZVR_Text2GUIText"};
const char16_t* const kDownlink[] = {u"ZVR_GUIFloat2Float", u"ZVR_GUIInt2Int",   u"ZVR_GUIBool2Bool",
                                     u"ZVR_GUIText2Text",   u"ZVR_GUIFloat2Volt", u"ZVR_GUIInt2Volt",
                                     u"ZVR_GUIBool2Volt"};
const char16_t* const kGuikit[] = {
    u"WB-3DdistanceSDK3",       u"WB-7SegmentSDK3",         u"WB-Blob-RedirSDK3",      u"WB-Blob-SwitchSDK3",
    u"WB-Bool-RedirSDK3",       u"WB-Bool-SwitchSDK3",      u"WB-Cart2PolarSDK3",      u"WB-Fixed-Bool-SDK3",
    u"WB-Fixed-Float-SDK3",     u"WB-Fixed-Int-SDK3",       u"WB-Float-LimitSDK3",     u"WB-Float-RedirSDK3",
    u"WB-Float-SwitchSDK3",     u"WB-Hatches-SDK3",         u"WB-Int-LimitSDK3",       u"WB-Int-RedirSDK3",
    u"WB-Int2DigitsSDK3",       u"WB-Int-SwitchSDK3",       u"WB-LogicGateB-AND-SDK3", u"WB-LogicGateB-NAND-SDK3",
    u"WB-LogicGateB-NOR-SDK3",  u"WB-LogicGateB-OR-SDK3",   u"WB-LogicGateB-XNOR-SDK3", u"WB-LogicGateB-XOR-SDK3",
    u"WB-LogicGateI-AND-SDK3",  u"WB-LogicGateI-NAND-SDK3", u"WB-LogicGateI-NOR-SDK3", u"WB-LogicGateI-OR-SDK3",
    u"WB-LogicGateI-XNOR-SDK3", u"WB-LogicGateI-XOR-SDK3",  u"WB-LogicGateI-NOT-SDK3", u"WB-MathSDK3",
    u"WB-Meter-Bool-SDK3",      u"WB-Meter-Float-SDK3",     u"WB-Meter-Int-SDK3",      u"WB-RescaleSDK3",
    u"WB-Text-AppendSDK3",      u"WB-Text-CapitalSDK3",     u"WB-Text-SwitchSDK3",     u"WB-Text-RedirSDK3",
    u"WB-Text-SubstrSDK3",      u"WB-Volts2dBSDK3"};

std::vector<ModuleEntry> build() {
    std::vector<ModuleEntry> all;
    for (const char* lib : {"uplink", "downlink"}) {
        const auto& ids = std::string(lib) == "uplink" ? kUplink : kDownlink;
        for (int32_t subType : {SUBTYPE_DSP, SUBTYPE_GUI_V2})
            for (const char16_t* id : ids)
                all.push_back({lib, subType, id});
    }
    for (const char16_t* id : kGuikit)
        all.push_back({"guikit", SUBTYPE_GUI_V1, id});
    all.push_back({"adsr", SUBTYPE_DSP, u"QV ADSR4"});
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
