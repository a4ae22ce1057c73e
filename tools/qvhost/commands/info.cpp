// qvhost info: what a library is and which modules it offers.
#include <cstdio>
#include <filesystem>

#include <CLI/CLI.hpp>

#include "command.h"
#include "failure.h"
#include "io/loaded_library.h"
#include "patch/pin_value.h"
#include "platform/program_path.h"
#include "io/suggest.h"

namespace qvhost {

using namespace ovra;

namespace {

Json pinJson(const PinDescription& p) {
    return Json{{"index", p.index}, {"name", p.name}, {"type", typeName(p.type)},
                {"direction", p.isInput() ? "in" : "out"}, {"default", p.defaultValue}};
}

Json libraryJson(const LoadedLibrary& lib) {
    int32_t version = 0;
    Json out{{"path", lib.library->path()}, {"build", lib.library->describeBuild(&version)}};
    out["version"] = version;
    if (!lib.description) {
        out["description"] = nullptr;
        out["descriptionProblem"] = lib.descriptionProblem;
        return out;
    }
    out["library"] = lib.description->library;
    Json modules = Json::array();
    for (const auto& m : lib.description->modules) {
        Json module{{"id", m.id}, {"summary", m.summary}};
        Json halves = Json::array();
        for (const auto& h : m.halves) {
            Json half{{"subType", h.subType}, {"kind", h.dsp ? "dsp" : "gui"}, {"draws", h.draws}};
            Json pins = Json::array();
            for (const auto& p : h.pins)
                pins.push_back(pinJson(p));
            half["pins"] = pins;
            if (h.growing)
                half["growing"] = Json{{"from", h.growing->from}, {"last", h.growing->last},
                                       {"name", h.growing->name}, {"type", typeName(h.growing->type)}};
            halves.push_back(half);
        }
        module["halves"] = halves;
        if (m.link)
            module["link"] = Json{{"dsp", m.link->first}, {"gui", m.link->second}};
        modules.push_back(module);
    }
    out["modules"] = modules;
    return out;
}

std::string defaultText(const Json& v) {
    if (v.is_null())
        return "";
    if (v.is_string())
        return quoted(v.get<std::string>());
    return v.dump();
}

void printTable(const LoadedLibrary& lib) {
    int32_t version = 0;
    const std::string build = lib.library->describeBuild(&version);
    std::printf("%s: %s, framework %d\n", lib.library->path().c_str(), build.c_str(), version);
    if (!lib.description) {
        std::printf("  no module description: %s\n", lib.descriptionProblem.c_str());
        return;
    }
    std::printf("  %s\n", counted(lib.description->modules.size(), "module").c_str());
    for (const auto& m : lib.description->modules) {
        std::printf("\n  %s", m.id.c_str());
        if (!m.summary.empty())
            std::printf("  %s", m.summary.c_str());
        std::printf("\n");
        for (const auto& h : m.halves) {
            std::printf("    %s half, sub-type %d%s\n", h.dsp ? "DSP" : "GUI", h.subType, h.draws ? ", draws" : "");
            std::printf("      %-5s %-18s %-6s %-4s %s\n", "pin", "name", "type", "dir", "default");
            for (const auto& p : h.pins)
                std::printf("      %-5d %-18s %-6s %-4s %s\n", p.index, p.name.c_str(), typeName(p.type).c_str(),
                            p.isInput() ? "in" : "out", defaultText(p.defaultValue).c_str());
            if (h.growing)
                std::printf("      %d..%d %s%d.. %s in, created when first set\n", h.growing->from, h.growing->last,
                            h.growing->name.c_str(), h.growing->from, typeName(h.growing->type).c_str());
        }
        if (m.link)
            std::printf("    the host carries DSP pin %d to and from GUI pin %d\n", m.link->first, m.link->second);
    }
}

class InfoCommand : public Command {
public:
    InfoCommand() : Command("info", "Build description, modules and pins of each library") {}
    void addOptions(CLI::App& command) override {
        command.add_option("LIB", paths_, "A .qvm library")->required();
        command.add_flag("--json", json_, "Machine-readable output");
    }
    int run() override;

private:
    std::vector<std::string> paths_;
    bool json_ = false;
};

int InfoCommand::run() {
    // Every library is described, even after one that cannot be loaded; each
    // failure is one line on stderr and fails the command at the end.
    Json all = Json::array();
    size_t failed = 0;
    for (size_t i = 0; i < paths_.size(); ++i) {
        try {
            LoadedLibrary lib = openLibrary(paths_[i], false);
            // A description that exists but cannot be read fails the command;
            // a library without one is still described.
            std::error_code ec;
            const bool broken = !lib.description && std::filesystem::exists(pathOf(descriptionPathFor(paths_[i])), ec);
            if (broken) {
                ++failed;
                std::fprintf(stderr, "qvhost: %s\n", lib.descriptionProblem.c_str());
            }
            if (json_) {
                all.push_back(libraryJson(lib));
            } else {
                if (i > 0)
                    std::printf("\n");
                printTable(lib);
            }
        } catch (const Failure& e) {
            ++failed;
            std::fprintf(stderr, "qvhost: %s\n", e.what());
            if (json_)
                all.push_back(Json{{"path", paths_[i]}, {"error", e.what()}});
        }
    }
    if (json_)
        std::printf("%s\n", all.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
    std::fflush(stdout);
    return failed == 0 ? 0 : kExitFailure;
}

}  // namespace

std::unique_ptr<Command> makeInfoCommand() { return std::make_unique<InfoCommand>(); }

}  // namespace qvhost
