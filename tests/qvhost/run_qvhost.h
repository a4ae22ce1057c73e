// Runs the qvhost binary as a user would and keeps what it printed.
#pragma once

#include <string>
#include <vector>

namespace qvtest {

struct Ran {
    int exitCode = -1;
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

}  // namespace qvtest
