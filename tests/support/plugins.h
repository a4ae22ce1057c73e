// Where the tests find the built libraries, and a loaded-library fixture.
#pragma once

#include <memory>
#include <string>

#include "library.h"

namespace ovra::test {

// The four deliverables.
inline const char* const kLibraries[] = {"uplink", "downlink", "guikit", "adsr"};

// Full path of <name>.qvm in the build's plug-in folder.
std::string pluginPath(const std::string& name);

// Loads <name>.qvm or fails the current test.
std::unique_ptr<host::Library> loadPlugin(const std::string& name);

}  // namespace ovra::test
