// The program entry on Linux: the arguments are already UTF-8. A Windows
// library cannot load here; given one, qvhost hands the whole command to the
// Windows qvhost.exe under Wine, so that the report and the exit code are
// that program's.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

int qvhostMain(int argc, char** argv);

namespace {

bool isWindowsLibrary(const char* path) {
    struct stat st {};
    if (path[0] == '-' || stat(path, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    char magic[2] = {};
    std::ifstream in(path, std::ios::binary);
    return in.read(magic, 2) && magic[0] == 'M' && magic[1] == 'Z';
}

bool executable(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }
bool readable(const std::string& path) { return !path.empty() && access(path.c_str(), R_OK) == 0; }

std::string programFolder() {
    char self[PATH_MAX + 1] = {};
    const ssize_t n = readlink("/proc/self/exe", self, PATH_MAX);
    if (n <= 0)
        return ".";
    const std::string path(self, static_cast<size_t>(n));
    return path.substr(0, path.find_last_of('/'));
}

// Runs qvhost.exe under Wine in place of this process, or says what is
// missing and answers 1.
int underWine(const char* library, int argc, char** argv) {
    const char* wineSet = std::getenv("OVRA_WINE");
    std::string wine = wineSet != nullptr ? wineSet : "";
    if (wine.empty())
        for (const char* candidate : {"/usr/lib/wine/wine64", "/usr/bin/wine64", "/usr/bin/wine"})
            if (executable(candidate)) {
                wine = candidate;
                break;
            }
    const char* exeSet = std::getenv("OVRA_QVHOST_EXE");
    const std::string exe = exeSet != nullptr ? exeSet : programFolder() + "/qvhost.exe";
    const bool haveWine = executable(wine), haveExe = readable(exe);
    if (!haveWine || !haveExe) {
        std::fprintf(stderr, "qvhost: %s is a Windows library; qvhost runs it with qvhost.exe under Wine, and", library);
        if (!haveWine)
            std::fprintf(stderr, " Wine is not installed (Debian package wine64, or OVRA_WINE=/path/to/wine64)%s",
                         haveExe ? "\n" : ";");
        if (!haveExe)
            std::fprintf(stderr,
                         " there is no %s (the SDK package installs it beside qvhost; from a checkout, "
                         "cmake --preset windows && cmake --build --preset windows builds it; or "
                         "OVRA_QVHOST_EXE=/path/to/qvhost.exe)\n",
                         exe.c_str());
        return 1;
    }
    std::vector<char*> args{const_cast<char*>(wine.c_str()), const_cast<char*>(exe.c_str())};
    for (int i = 1; i < argc; ++i)
        args.push_back(argv[i]);
    args.push_back(nullptr);
    setenv("WINEDEBUG", "-all", 0);  // Wine's own chatter is no part of the report
    std::fflush(nullptr);
    execv(wine.c_str(), args.data());
    std::perror(("qvhost: cannot run " + wine).c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    // The command's name comes first; a library is any later argument.
    for (int i = 2; i < argc; ++i)
        if (isWindowsLibrary(argv[i]))
            return underWine(argv[i], argc, argv);
    return qvhostMain(argc, argv);
}
