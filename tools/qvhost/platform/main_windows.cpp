// The program entry on Windows: the command line arrives as UTF-16 and is
// turned into UTF-8 here, once; every file name is widened again where a
// file is opened.
#include <windows.h>

#include <string>
#include <vector>

#include "utf8.h"

int qvhostMain(int argc, char** argv);

int wmain(int argc, wchar_t** argv) {
    // A headless tool: a crashing module must end the process (and be
    // reported by whoever started it), never wait on a dialog.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // What qvhost prints is UTF-8.
    SetConsoleOutputCP(CP_UTF8);

    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        const std::wstring arg(argv[i]);
        args.push_back(ovra::host::toUtf8(ovra::wstring(arg.begin(), arg.end())));
    }
    std::vector<char*> raw;
    for (auto& a : args)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    return qvhostMain(argc, raw.data());
}
