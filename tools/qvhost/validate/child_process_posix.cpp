#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

extern char** environ;

namespace qvhost {

namespace {

// A child that writes without end must not exhaust the parent.
constexpr size_t kMaxCaptured = 16u << 20;

struct Pipe {
    int read = -1;
    int write = -1;
    bool open() {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return false;
        read = fds[0];
        write = fds[1];
        return true;
    }
    void closeRead() {
        if (read >= 0)
            close(read);
        read = -1;
    }
    void closeWrite() {
        if (write >= 0)
            close(write);
        write = -1;
    }
};

// Appends what is available on fd; answers false at end of file.
bool drain(int fd, std::string& into) {
    char buffer[65536];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0)
        return errno == EINTR || errno == EAGAIN;
    if (n == 0)
        return false;
    if (into.size() < kMaxCaptured)
        into.append(buffer, static_cast<size_t>(n));
    return true;
}

}  // namespace

ChildResult runSelf(const std::vector<std::string>& args, double timeoutSeconds) {
    return runProgram("/proc/self/exe", args, timeoutSeconds);
}

// Long: the child's life in order (pipes, spawn, reading, time-out, reaping);
// each step needs the descriptors of the ones before it.
ChildResult runProgram(const std::string& program, const std::vector<std::string>& args, double timeoutSeconds) {
    ChildResult result;
    Pipe out, err;
    if (!out.open() || !err.open()) {
        out.closeRead(), out.closeWrite(), err.closeRead(), err.closeWrite();
        result.errors = "no pipe for the child";
        return result;
    }
    std::vector<std::string> argv{"qvhost"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (auto& a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.write, 1);
    posix_spawn_file_actions_adddup2(&actions, err.write, 2);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    out.closeWrite();
    err.closeWrite();
    if (spawned != 0) {
        out.closeRead();
        err.closeRead();
        result.errors = "cannot start the child process";
        return result;
    }

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(timeoutSeconds));
    bool timedOut = false;
    while (out.read >= 0 || err.read >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        pollfd fds[2];
        nfds_t count = 0;
        if (out.read >= 0)
            fds[count++] = {out.read, POLLIN, 0};
        if (err.read >= 0)
            fds[count++] = {err.read, POLLIN, 0};
        const int ready = poll(fds, count, static_cast<int>(left < 1000 ? left : 1000));
        if (ready < 0 && errno != EINTR)
            break;
        for (nfds_t i = 0; i < count; ++i) {
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
                continue;
            Pipe& p = fds[i].fd == out.read ? out : err;
            if (!drain(p.read, &p == &out ? result.output : result.errors))
                p.closeRead();
        }
    }
    out.closeRead();
    err.closeRead();
    // A child may close its outputs and go on running: the deadline holds.
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, timedOut ? 0 : WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR))
            break;
        if (done == 0) {
            if (Clock::now() >= deadline) {
                timedOut = true;
                kill(pid, SIGKILL);
            } else {
                usleep(2000);
            }
        }
    }
    if (timedOut) {
        result.end = ChildResult::End::TimedOut;
    } else if (WIFSIGNALED(status)) {
        result.end = ChildResult::End::Signalled;
        result.code = WTERMSIG(status);
    } else {
        result.end = ChildResult::End::Exited;
        result.code = WEXITSTATUS(status);
    }
    return result;
}

}  // namespace qvhost
