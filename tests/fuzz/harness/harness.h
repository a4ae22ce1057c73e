// The fuzz harnesses: one per kind of entry point. Each decodes one input into
// a sequence of host calls on modules of the four libraries and stops the
// process (abort) with a message naming the entry point when a module breaks
// a rule that holds for every input. The libFuzzer targets and the replay
// tests call the same functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "abi/abi.h"
#include "library.h"

namespace ovra::fuzz {

// A module the libraries register: library, sub-type, identifier.
struct ModuleEntry {
    const char* library;
    int32_t subType;
    const char16_t* id;
};

// Every registration of the four libraries, in library order.
const std::vector<ModuleEntry>& allModules();
// Only those of one sub-type (SUBTYPE_DSP for the DSP targets, GUI sub-types
// for the GUI target).
std::vector<ModuleEntry> dspModules();
std::vector<ModuleEntry> guiModules();

// The loaded library of that name; loaded once per process and kept. Aborts
// when it cannot be loaded (a harness that loads nothing finds nothing).
host::Library& library(const std::string& name);
// Where <name>.qvm is: $OVRA_PLUGIN_DIR, else the build's plug-in folder.
std::string pluginPath(const std::string& name);

// Reports a broken rule and aborts.
[[noreturn]] void violated(const char* entryPoint, const char* rule, const std::string& detail = {});

// One run of each harness. Any input is valid.
void runDspInput(const uint8_t* data, size_t size);
void runGuiInput(const uint8_t* data, size_t size);
void runFactoryInput(const uint8_t* data, size_t size);

// The harnesses by target name ("dsp", "gui", "factory"), for the replayer.
using Harness = void (*)(const uint8_t*, size_t);
Harness harnessFor(const std::string& target);

}  // namespace ovra::fuzz
