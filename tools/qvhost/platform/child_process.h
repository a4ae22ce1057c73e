// tools/qvhost/platform/child_process.h
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
}
