// Linux: a handler on an alternate stack writes the signal and the frames
// from backtrace(), then re-raises the signal with its default action. The
// address sanitizer prints its own report and stack; it keeps its handlers.
#include "crash_report.h"

#include <execinfo.h>
#include <signal.h>
#include <string.h>

#include <initializer_list>
#include <unistd.h>

namespace qvhost {

namespace {

void say(const char* text) {
    ssize_t ignored = ::write(2, text, strlen(text));
    (void)ignored;
}

void onCrash(int sig) {
    say("qvhost: the module crashed: ");
    say(strsignal(sig));
    say("\n");
    void* frames[24];
    const int n = backtrace(frames, 24);
    backtrace_symbols_fd(frames, n, 2);
    signal(sig, SIG_DFL);
    raise(sig);
}

}  // namespace

void reportCrashesOnStderr() {
#if !defined(__SANITIZE_ADDRESS__)
    static char altStack[1 << 16];
    stack_t stack{};
    stack.ss_sp = altStack;
    stack.ss_size = sizeof altStack;
    sigaltstack(&stack, nullptr);
    // backtrace() loads its unwinder on first use; not inside a handler.
    void* warmUp[1];
    backtrace(warmUp, 1);
    struct sigaction action {};
    action.sa_handler = onCrash;
    action.sa_flags = SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        sigaction(sig, &action, nullptr);
#endif
}

}  // namespace qvhost
