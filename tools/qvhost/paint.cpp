// qvhost paint: a drawn GUI module given pin values, painted to PNG.
#include <cstdio>
#include <regex>

#include "audio_file.h"
#include "commands.h"
#include "failure.h"
#include "gui_runner.h"
#include "painting.h"
#include "timeline.h"

namespace qvhost {

int runPaint(const PaintOptions& o) {
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
    LoadedLibrary lib = openLibrary(o.library, true);
    const ModuleDescription& module = findModule(lib, o.id);
    const HalfDescription* half = module.guiHalf();
    if (half == nullptr)
        throw Failure(o.id + " has no GUI half to paint; try qvhost render");
    if (!half->draws)
        throw Failure(o.id + " does not draw; only drawn modules can be painted");
    std::vector<TimedSet> sets;
    for (const auto& text : o.sets)
        sets.push_back(parseSet(*half, o.id, text, false));

    GuiRunner gui(*lib.library, module);
    gui.applyDefaults();
    for (const auto& s : sets)
        gui.set(s.pin.index, s.bytes);
    if (width == 0)
        std::tie(width, height) = gui.preferredSize();
    paintModule(gui.object(), width, height, 0xFF000000u, o.output);
    std::printf("wrote %s: %s, %d x %d\n", o.output.c_str(), o.id.c_str(), width, height);
    return 0;
}

}  // namespace qvhost
