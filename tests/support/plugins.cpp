#include "plugins.h"

#include <cstdlib>

#include <gtest/gtest.h>

namespace ovra::test {

std::string pluginPath(const std::string& name) {
    const char* dir = std::getenv("OVRA_PLUGIN_DIR");
    std::string base = dir != nullptr && *dir != 0 ? dir : OVRA_PLUGIN_DIR;
    return base + "/" + name + ".qvm";
}

std::unique_ptr<host::Library> loadPlugin(const std::string& name) {
    std::string error;
    auto lib = host::Library::open(pluginPath(name), error);
    EXPECT_NE(lib, nullptr) << error;
    return lib;
}

}  // namespace ovra::test
