// Where the tests find the built libraries, and a loaded-library fixture.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "library.h"

namespace ovra::test {

// The four deliverables.
inline const char* const kLibraries[] = {"uplink", "downlink", "guikit", "adsr"};

// Full path of <name>.qvm in the build's plug-in folder.
std::string pluginPath(const std::string& name);

// Loads <name>.qvm or fails the current test.
std::unique_ptr<host::Library> loadPlugin(const std::string& name);

// A fixture that loads one library before each test:
//   class Uplink : public test::LibraryTest { protected: Uplink() : LibraryTest("uplink") {} };
class LibraryTest : public ::testing::Test {
protected:
    explicit LibraryTest(std::string name) : name_(std::move(name)) {}
    void SetUp() override {
        lib = loadPlugin(name_);
        ASSERT_TRUE(lib);
    }
    std::unique_ptr<host::Library> lib;

private:
    std::string name_;
};

}  // namespace ovra::test
