// qvhost paint: a drawn GUI module given pin values, painted to PNG.
#include <cstdio>
#include <regex>

#include <CLI/CLI.hpp>

#include "io/audio_file.h"
#include "command.h"
#include "failure.h"
#include "io/loaded_library.h"
#include "patch/gui_runner.h"
#include "io/painting.h"
#include "patch/timeline.h"

namespace qvhost {

namespace {

struct PaintOptions {
    std::string library;
    std::string id;
    std::vector<std::string> sets;  // PIN=VALUE
    std::string size;               // WxH
    std::string output;
};

int paint(const PaintOptions& o) {
    int32_t width = 0, height = 0;
    if (!o.size.empty()) {
        std::smatch m;
        if (!std::regex_match(o.size, m, std::regex("([0-9]+)x([0-9]+)")))
            throw Failure("--size '" + o.size + "' is not WxH, for example 110x20");
        // Digits beyond five are out of range anyway; stoi would overflow.
        width = m[1].length() > 5 ? 99999 : std::stoi(m[1]);
        height = m[2].length() > 5 ? 99999 : std::stoi(m[2]);
        if (width < 1 || height < 1 || width > 8192 || height > 8192)
            throw Failure("--size " + o.size + " is out of range: width and height lie between 1 and 8192 pixels");
    }
    checkOutputFile(o.output, ".png", "-o " + o.output);
    const LibraryModule found = openModule(o.library, o.id);
    const ModuleDescription& module = *found.module;
    const HalfDescription* half = module.guiHalf();
    if (half == nullptr)
        throw Failure(o.id + " has no GUI half to paint; try qvhost render");
    if (!half->draws)
        throw Failure(o.id + " does not draw; only drawn modules can be painted");
    std::vector<TimedSet> sets;
    for (const auto& text : o.sets)
        sets.push_back(parseSet(*half, o.id, text, false));

    GuiRunner gui(*found.lib.library, module);
    gui.applyDefaults();
    for (const auto& s : sets)
        gui.set(s.pin.index, s.bytes);
    if (width == 0)
        std::tie(width, height) = gui.preferredSize();
    paintModule(gui.object(), width, height, 0xFF000000u, o.output);
    std::printf("wrote %s: %s, %d x %d\n", o.output.c_str(), o.id.c_str(), width, height);
    return 0;
}

class PaintCommand : public Command {
public:
    PaintCommand() : Command("paint", "Paint a GUI module to PNG") {}
    void addOptions(CLI::App& command) override {
        PaintOptions& o = options_;
        command.add_option("LIB", o.library, "The .qvm library")->required();
        command.add_option("ID", o.id, "Module identifier")->required();
        command.add_option("--set", o.sets, "PIN=VALUE: a pin (name or index) takes a value")->allow_extra_args(false);
        command.add_option("--size", o.size, "WxH in pixels (default: the module's own size)");
        command.add_option("-o,--output", o.output, "PNG file to write")->required();
    }
    int run() override { return paint(options_); }

private:
    PaintOptions options_;
};

}  // namespace

std::unique_ptr<Command> makePaintCommand() { return std::make_unique<PaintCommand>(); }

}  // namespace qvhost
