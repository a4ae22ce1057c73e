// Children on Windows: the same executable, its output through two pipes,
// and a job object that holds the child and anything it starts, so that a
// child past its time is killed with its whole tree.
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "utf8.h"
#include "platform/program_path.h"

namespace qvhost {

namespace {

std::wstring wide(const std::string& utf8) {
    const ovra::wstring text = ovra::host::fromUtf8(utf8);
    return std::wstring(text.begin(), text.end());
}

// One argument quoted so that the C runtime's command-line parser gives it
// back unchanged: backslashes double only where a quote follows them.
void appendQuoted(std::wstring& line, const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += arg;
        return;
    }
    line += L'"';
    size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"')
            line.append(backslashes * 2 + 1, L'\\');
        else
            line.append(backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    HANDLE* out() { return &h_; }
    void reset() {
        if (h_ != nullptr)
            CloseHandle(h_);
        h_ = nullptr;
    }

private:
    HANDLE h_ = nullptr;
};

// A pipe whose write end the child inherits; the parent reads the other end
// until every writer has closed it.
struct Pipe {
    Handle read;
    Handle write;
    bool open() {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        return CreatePipe(read.out(), write.out(), &inherit, 0) != 0 &&
               SetHandleInformation(read.get(), HANDLE_FLAG_INHERIT, 0) != 0;
    }
};

void drain(HANDLE from, std::string& into) {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(from, buffer, sizeof buffer, &got, nullptr) != 0 && got > 0)
        into.append(buffer, got);
}

// Exit codes with the error severity bits are the codes of the exceptions
// that ended the process (an access violation is 0xC0000005).
bool isExceptionCode(DWORD code) { return (code & 0xC0000000u) == 0xC0000000u; }

}  // namespace

ChildResult runSelf(const std::vector<std::string>& args, double timeoutSeconds) {
    const std::string self = ownExecutable();
    if (self.empty()) {
        ChildResult result;
        result.errors = "cannot find the qvhost executable";
        return result;
    }
    return runProgram(self, args, timeoutSeconds);
}

// Long: the child's life in order (job, pipes, start, reading, time-out, exit
// code); each step needs the handles of the ones before it.
ChildResult runProgram(const std::string& path, const std::vector<std::string>& args, double timeoutSeconds) {
    ChildResult result;
    const std::wstring program = wide(path);
    std::wstring line;
    appendQuoted(line, program);
    for (const auto& a : args) {
        line += L' ';
        appendQuoted(line, wide(a));
    }

    Pipe out, err;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    Handle input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    Handle job(CreateJobObjectW(nullptr, nullptr));
    if (!out.open() || !err.open() || input.get() == nullptr || job.get() == nullptr) {
        result.errors = "cannot prepare a child process (error " + std::to_string(GetLastError()) + ")";
        return result;
    }
    // Closing the job kills whatever is left in it; an unhandled exception
    // ends the child at once instead of waiting on a crash dialog.
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);

    // Only these three handles go to the child, even while other threads
    // start children of their own.
    HANDLE inherited[] = {input.get(), out.write.get(), err.write.get()};
    SIZE_T attributeSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &attributeSize);
    std::vector<unsigned char> attributeStorage(attributeSize);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeStorage.data());
    const bool listed = InitializeProcThreadAttributeList(attributes, 1, 0, &attributeSize) != 0 &&
                        UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                                  sizeof inherited, nullptr, nullptr) != 0;

    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input.get();
    startup.StartupInfo.hStdOutput = out.write.get();
    startup.StartupInfo.hStdError = err.write.get();
    startup.lpAttributeList = listed ? attributes : nullptr;
    PROCESS_INFORMATION process{};
    const DWORD flags = CREATE_SUSPENDED | CREATE_NO_WINDOW | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0);
    // A start refused for want of resources, or by an internal error of the
    // system (Wine gives one now and then under load), is tried again.
    BOOL started = FALSE;
    DWORD startError = 0;
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (attempt > 0)
            Sleep(50u << attempt);
        started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                                 &startup.StartupInfo, &process);
        startError = GetLastError();
        const bool passing = startError == ERROR_INTERNAL_ERROR || startError == ERROR_NOT_ENOUGH_MEMORY ||
                             startError == ERROR_NO_SYSTEM_RESOURCES || startError == ERROR_OUTOFMEMORY;
        if (started != 0 || !passing)
            break;
    }
    if (listed)
        DeleteProcThreadAttributeList(attributes);
    if (started == 0) {
        result.errors = "cannot start " + path + " (error " + std::to_string(startError) + ")";
        return result;
    }
    Handle child(process.hProcess), thread(process.hThread);
    if (AssignProcessToJobObject(job.get(), child.get()) == 0) {
        TerminateProcess(child.get(), 1);
        result.errors = "cannot hold the child in a job (error " + std::to_string(GetLastError()) + ")";
        return result;
    }
    // The child's copies are the only writers left: the readers end when it does.
    out.write.reset();
    err.write.reset();
    input.reset();
    std::thread outReader(drain, out.read.get(), std::ref(result.output));
    std::thread errReader(drain, err.read.get(), std::ref(result.errors));
    ResumeThread(thread.get());

    const double ms = timeoutSeconds * 1000.0;
    const DWORD wait = ms <= 0 ? 0 : ms >= double(INFINITE - 1) ? INFINITE - 1 : static_cast<DWORD>(ms);
    const bool timedOut = WaitForSingleObject(child.get(), wait) == WAIT_TIMEOUT;
    if (timedOut) {
        TerminateJobObject(job.get(), 1);
        WaitForSingleObject(child.get(), INFINITE);
    }
    // Grandchildren may still hold the pipes; they go with the job.
    job.reset();
    outReader.join();
    errReader.join();

    DWORD code = 0;
    GetExitCodeProcess(child.get(), &code);
    if (timedOut) {
        result.end = ChildResult::End::TimedOut;
        result.code = 0;
    } else if (isExceptionCode(code)) {
        result.end = ChildResult::End::Signalled;
        result.code = static_cast<int>(code);
    } else {
        result.end = ChildResult::End::Exited;
        result.code = static_cast<int>(code);
    }
    return result;
}

}  // namespace qvhost
