// Scratch folders for tests: each new and empty, under the system's
// temporary folder, with a name no other process testing at the same time
// (native, sanitizers, Wine) uses.
#pragma once

#include <filesystem>
#include <string>
#include <utility>

#include <gtest/gtest.h>

namespace ovra::test {

// A new folder named prefix, this process's id and a count. Throws when
// none can be made.
std::filesystem::path makeScratchFolder(const std::string& prefix);

// A fixture whose every case has a scratch folder of its own in dir_,
// removed afterwards.
class ScratchFolder : public ::testing::Test {
protected:
    explicit ScratchFolder(std::string prefix) : prefix_(std::move(prefix)) {}

    void SetUp() override {
        dir_ = makeScratchFolder(prefix_ + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-");
    }
    void TearDown() override {
        std::error_code ec;
        if (!dir_.empty())
            std::filesystem::remove_all(dir_, ec);
    }

    std::filesystem::path dir_;

private:
    std::string prefix_;
};

}  // namespace ovra::test
