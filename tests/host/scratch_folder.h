// A fresh folder for each test case, removed afterwards. Its name carries
// the test's name and the process id, so that builds testing side by side
// (native, sanitizers, Wine) never share one.
#pragma once

#include <filesystem>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

class ScratchFolder : public ::testing::Test {
protected:
    explicit ScratchFolder(std::string prefix) : prefix_(std::move(prefix)) {}

    void SetUp() override {
#if defined(_WIN32)
        const int id = _getpid();
#else
        const int id = static_cast<int>(getpid());
#endif
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        dir_ = std::filesystem::temp_directory_path() / (prefix_ + test + "-" + std::to_string(id));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    std::filesystem::path dir_;

private:
    std::string prefix_;
};
