// A qvhost command: its name and one-line summary on the command line, the
// options it reads, and what it does. Each command lives in a file of its own
// under commands/; commands.cpp lists them, and the front end knows only that
// list: help, "unknown command" and dispatch all come from it.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace CLI {
class App;
}

namespace qvhost {

class Command {
public:
    Command(std::string name, std::string summary) : name_(std::move(name)), summary_(std::move(summary)) {}
    virtual ~Command() = default;
    // The word that selects the command, and its line in qvhost --help.
    const std::string& name() const { return name_; }
    const std::string& summary() const { return summary_; }
    // Declares the command's arguments and options on its own subcommand;
    // parsing writes them into the command.
    virtual void addOptions(CLI::App& command) = 0;
    // Runs the command once its options are parsed. Answers the process exit
    // code; throws Failure for the user's mistakes.
    virtual int run() = 0;

private:
    std::string name_;
    std::string summary_;
};

// Every qvhost command, in the order qvhost --help shows them.
std::vector<std::unique_ptr<Command>> qvhostCommands();

}  // namespace qvhost
