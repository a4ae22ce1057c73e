// qvhost validate: the conformance checks (validate/).
#include <CLI/CLI.hpp>

#include "command.h"
#include "validate/validate.h"

namespace qvhost {

namespace {

class ValidateCommand : public Command {
public:
    ValidateCommand() : Command("validate", "Conformance checks; exit 0 only when none failed or crashed") {}
    void addOptions(CLI::App& command) override { reader_ = std::make_unique<ValidateOptionReader>(command); }
    int run() override { return runValidate(reader_->options()); }

private:
    std::unique_ptr<ValidateOptionReader> reader_;
};

}  // namespace

std::unique_ptr<Command> makeValidateCommand() { return std::make_unique<ValidateCommand>(); }

}  // namespace qvhost
