// Runs the qvhost binary as a user would and keeps what it printed: qvhost
// natively, qvhost.exe in the Windows build (under Wine there).
#pragma once

#include <string>
#include <vector>

namespace qvtest {

struct Ran {
    int exitCode = -1;  // the exit code; 128 + the signal, or the exception code on Windows
    std::string out;    // lines end in "\n" (qvhost.exe's "\r\n" included)
    std::string err;

    // Lines of stderr (a trailing newline ends the last one).
    std::vector<std::string> errLines() const;
};

Ran runQvhost(const std::vector<std::string>& args);

#if !defined(_WIN32)
// What qvhost shows on a terminal (util-linux `script` gives it one).
std::string onTerminal(const std::vector<std::string>& args);
#endif

// A fresh folder for this test's files, removed at exit.
std::string scratchDir();

std::string plugin(const std::string& name);  // <build>/<name>.qvm
std::string fixture(const std::string& name);  // <build>/qvhost-fixtures/<name>.qvm
std::string example(const std::string& name);  // examples/<name>

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& text);

// A WAV file of float samples as qvhost writes it, one vector per channel;
// no channels when the file cannot be read.
struct Wav {
    int rate = 0;
    int channels = 0;
    bool isFloat = false;
    std::vector<std::vector<float>> channel;
};
Wav readWav(const std::string& path);

// How validate names the end of a child that a module took down: an invalid
// memory access, and abort() (which ends a Windows program with exit code 3).
#if defined(_WIN32)
inline const char* const kInvalidAccessEnd = "exception 0xC0000005 (access violation)";
inline const char* const kAbortEnd = "exit code 3";
#else
inline const char* const kInvalidAccessEnd = "signal 11";
inline const char* const kAbortEnd = "signal 6";
#endif

// Whether qvhost can watch a processing thread's heap and blocking calls
// (the real-time checks report SKIPPED where it cannot).
#if defined(__linux__)
inline constexpr bool kRealtimeWatched = true;
#else
inline constexpr bool kRealtimeWatched = false;
#endif

}  // namespace qvtest
