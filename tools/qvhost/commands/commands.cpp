// The list of qvhost's commands. A new command is a file of its own in this
// folder that defines its make function; it is declared and listed here.
#include "command.h"

namespace qvhost {

std::unique_ptr<Command> makeInfoCommand();
std::unique_ptr<Command> makeValidateCommand();
std::unique_ptr<Command> makeDescribeCommand();
std::unique_ptr<Command> makeCheckDescriptionCommand();
std::unique_ptr<Command> makeRenderCommand();
std::unique_ptr<Command> makePaintCommand();
std::unique_ptr<Command> makeRunCommand();
std::unique_ptr<Command> makeDemoCommand();

std::vector<std::unique_ptr<Command>> qvhostCommands() {
    std::vector<std::unique_ptr<Command>> commands;
    for (auto make : {makeInfoCommand, makeValidateCommand, makeDescribeCommand, makeCheckDescriptionCommand,
                      makeRenderCommand, makePaintCommand, makeRunCommand, makeDemoCommand})
        commands.push_back(make());
    return commands;
}

}  // namespace qvhost
