// Runs the qvhost binary as a user would and keeps what it printed: qvhost
// natively, qvhost.exe in the Windows build (under Wine there).
#pragma once

#include <string>
#include <vector>

namespace qvtest {

struct Ran {
    int exitCode = -1;  // the exit code; 128 + the signal, or the exception code on Windows
    std::string out;
    std::string err;

    // Lines of stderr (a trailing newline ends the last one).
    std::vector<std::string> errLines() const;
};

Ran runQvhost(const std::vector<std::string>& args);

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
// memory access, and abort().
#if defined(_WIN32)
inline const char* const kInvalidAccessEnd = "exception -1073741819";  // 0xC0000005
inline const char* const kAbortEnd = "exit code 3";
#else
inline const char* const kInvalidAccessEnd = "signal 11";
inline const char* const kAbortEnd = "signal 6";
#endif

}  // namespace qvtest
