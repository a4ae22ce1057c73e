#include "run_qvhost.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "plugins.h"

namespace qvtest {

namespace fs = std::filesystem;

std::vector<std::string> Ran::errLines() const {
    std::vector<std::string> lines;
    std::istringstream in(err);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::string scratchDir() {
    static const std::string dir = [] {
        std::string pattern = (fs::temp_directory_path() / "qvhost-test-XXXXXX").string();
        const char* made = mkdtemp(pattern.data());
        std::string path = made != nullptr ? made : "/tmp";
        static const std::string keep = path;
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(keep, ec);
        });
        return path;
    }();
    return dir;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

Ran runQvhost(const std::vector<std::string>& args) {
    static int serial = 0;
    const std::string base = scratchDir() + "/run" + std::to_string(++serial);
    const std::string outPath = base + ".out", errPath = base + ".err";
    std::vector<std::string> argv{QVHOST_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (auto& a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = open("/dev/null", O_RDONLY);
        dup2(out, 1);
        dup2(err, 2);
        dup2(in, 0);
        execv(raw[0], raw.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    Ran r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = readFile(outPath);
    r.err = readFile(errPath);
    return r;
}

std::string plugin(const std::string& name) { return ovra::test::pluginPath(name); }
std::string fixture(const std::string& name) { return std::string(QVHOST_FIXTURE_DIR) + "/" + name + ".qvm"; }
std::string example(const std::string& name) { return std::string(QVHOST_EXAMPLES_DIR) + "/" + name; }

}  // namespace qvtest
