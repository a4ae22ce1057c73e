// Child processes of qvhost: this same executable run again with other
// arguments, so that a module that crashes or hangs takes down the child,
// not the run that reports on it.
#pragma once

#include <string>
#include <vector>

namespace qvhost {

struct ChildResult {
    enum class End { Exited, Signalled, TimedOut, FailedToStart };
    End end = End::FailedToStart;
    int code = 0;         // exit code, signal number, or the Windows exception code
    std::string output;   // what the child wrote on stdout
    std::string errors;   // what the child wrote on stderr (a crash's stack, sanitizer reports)
};

// Runs this same qvhost executable with `args` (without the program name) and
// waits at most `timeoutSeconds`; a child that runs longer is killed.
ChildResult runSelf(const std::vector<std::string>& args, double timeoutSeconds);

// The same for another program, named by its full path (UTF-8).
ChildResult runProgram(const std::string& program, const std::vector<std::string>& args, double timeoutSeconds);

}  // namespace qvhost
