// qvhost's child processes on Windows: this test program starts itself as
// the child and acts out what a check in a child can do.
#include <windows.h>

#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "child_process.h"
#include "library.h"

namespace {

using qvhost::ChildResult;
using qvhost::runSelf;

std::vector<std::string> wideArguments() {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i) {
        const std::wstring a(wide[i]);
        args.push_back(ovra::host::toUtf8(ovra::wstring(a.begin(), a.end())));
    }
    LocalFree(wide);
    return args;
}

// The child's part: argv[1] is "child", argv[2] what to do.
int actAsChild(const std::vector<std::string>& args) {
    const std::string what = args.size() > 2 ? args[2] : "";
    if (what == "echo") {
        for (size_t i = 3; i < args.size(); ++i)
            std::printf("[%s]", args[i].c_str());
        std::fprintf(stderr, "to stderr");
        return 0;
    }
    if (what == "exit")
        return std::stoi(args.at(3));
    if (what == "crash") {
        volatile int* nowhere = nullptr;
        return *nowhere;
    }
    if (what == "hang") {
        Sleep(60000);
        return 0;
    }
    if (what == "flood") {
        const std::string line(1023, 'x');
        for (int i = 0; i < 256; ++i) {
            std::printf("%s\n", line.c_str());
            std::fprintf(stderr, "%s\n", line.c_str());
        }
        return 0;
    }
    return 99;
}

TEST(ChildProcess, ArgumentsArriveUnchanged) {
    const std::vector<std::string> args{"plain", "with space", "quote\"inside", "trailing\\", "back\\\\\"slash",
                                        "", "\xc3\xa4\xc3\xb6 \xe2\x82\xac"};
    std::vector<std::string> all{"child", "echo"};
    all.insert(all.end(), args.begin(), args.end());
    const ChildResult r = runSelf(all, 60);
    ASSERT_EQ(r.end, ChildResult::End::Exited) << r.errors;
    EXPECT_EQ(r.code, 0);
    std::string expected;
    for (const auto& a : args)
        expected += "[" + a + "]";
    EXPECT_EQ(r.output, expected);
    EXPECT_EQ(r.errors, "to stderr");
}

TEST(ChildProcess, ExitCodeIsReported) {
    const ChildResult r = runSelf({"child", "exit", "7"}, 60);
    EXPECT_EQ(r.end, ChildResult::End::Exited);
    EXPECT_EQ(r.code, 7);
}

TEST(ChildProcess, CrashReportsTheExceptionCode) {
    const ChildResult r = runSelf({"child", "crash"}, 60);
    EXPECT_EQ(r.end, ChildResult::End::Signalled);
    EXPECT_EQ(static_cast<uint32_t>(r.code), 0xC0000005u);  // access violation
}

TEST(ChildProcess, ChildPastItsTimeIsKilled) {
    const auto start = std::chrono::steady_clock::now();
    const ChildResult r = runSelf({"child", "hang"}, 1.0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(r.end, ChildResult::End::TimedOut);
    EXPECT_LT(seconds, 30.0);
}

TEST(ChildProcess, LargeOutputOnBothStreamsDoesNotBlock) {
    const ChildResult r = runSelf({"child", "flood"}, 120);
    ASSERT_EQ(r.end, ChildResult::End::Exited);
    // Far more than a pipe buffers; text mode writes each newline as CR LF.
    EXPECT_EQ(r.output.size(), 256u * 1025u);
    EXPECT_EQ(r.errors.size(), 256u * 1025u);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = wideArguments();
    if (args.size() > 1 && args[1] == "child")
        return actAsChild(args);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
