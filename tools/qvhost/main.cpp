// qvhost: loads .qvm libraries without the audio host: describes them,
// checks them, renders and paints their modules, and runs patches.
#include <cstdio>
#include <exception>
#include <string>

#include <CLI/CLI.hpp>

#include "commands.h"
#include "failure.h"
#include "validate/validate.h"

namespace {

// CLI11 reports in several lines; qvhost reports in one, pointing at the
// help of the command that was given.
int usageError(const CLI::Error& e, const CLI::App& app, int argc, char** argv) {
    std::string what = e.what();
    for (char& c : what)
        if (c == '\n')
            c = ' ';
    std::string help = app.get_name();
    for (const auto* sub : app.get_subcommands({}))
        if (argc > 1 && sub->get_name() == argv[1])
            help += " " + sub->get_name();
    std::fprintf(stderr, "qvhost: %s (see %s --help)\n", what.c_str(), help.c_str());
    return qvhost::kExitUsage;
}

}  // namespace

int qvhostMain(int argc, char** argv) {
    CLI::App app{"qvhost: a headless host for .qvm plug-in libraries", "qvhost"};
    app.require_subcommand(1);
    // Options start with a dash on every platform: "/folder/lib.qvm" is a path.
    app.allow_windows_style_options(false);
    app.set_help_all_flag("--help-all", "Every command's options");

    std::vector<std::string> infoPaths;
    bool infoJson = false;
    auto* info = app.add_subcommand("info", "Build description, modules and pins of each library");
    info->add_option("LIB", infoPaths, "A .qvm library")->required();
    info->add_flag("--json", infoJson, "Machine-readable output");

    qvhost::ValidateCommand validate(app);

    std::string describeLibrary, describeOutput;
    auto* dsc = app.add_subcommand("describe", "Write a description skeleton from the pins a library declares");
    dsc->add_option("LIB", describeLibrary, "A .qvm library built with ovra_add_plugin (its .qvm.pins beside it)")
        ->required();
    dsc->add_option("-o,--output", describeOutput, "The .qvm.json to write (default: standard output)");

    std::string checkDescription, checkLibrary;
    auto* chk = app.add_subcommand("check-description",
                                   "Check a description file, and its pins against a library's (the build runs it)");
    chk->add_option("DESCRIPTION", checkDescription, "The .qvm.json")->required();
    chk->add_option("LIB", checkLibrary, "The library whose pin table the pins are compared with");

    qvhost::RenderOptions render;
    auto* ren = app.add_subcommand("render", "Drive a DSP module and write its audio outputs");
    ren->add_option("LIB", render.library, "The .qvm library")->required();
    ren->add_option("ID", render.id, "Module identifier")->required();
    ren->add_option("--set", render.sets, "PIN=VALUE[@TIME]: a pin (name or index) takes a value at a time")
        ->allow_extra_args(false);
    ren->add_option("--rate", render.rate, "Sample rate in Hz")->capture_default_str();
    ren->add_option("--block", render.block, "Block size in samples")->capture_default_str();
    ren->add_option("--seconds", render.seconds, "Length of the render")->capture_default_str();
    ren->add_option("-o,--output", render.output, "WAV file to write");
    ren->add_option("--plot", render.plot, "PNG plot of the outputs over time");
    ren->add_flag("--values", render.values, "Print the control values the module sends");
    ren->add_flag("--strict", render.strict, "Fail when an output is not finite (nan or inf)");

    qvhost::PaintOptions paint;
    auto* pnt = app.add_subcommand("paint", "Paint a GUI module to PNG");
    pnt->add_option("LIB", paint.library, "The .qvm library")->required();
    pnt->add_option("ID", paint.id, "Module identifier")->required();
    pnt->add_option("--set", paint.sets, "PIN=VALUE: a pin (name or index) takes a value")->allow_extra_args(false);
    pnt->add_option("--size", paint.size, "WxH in pixels (default: the module's own size)");
    pnt->add_option("-o,--output", paint.output, "PNG file to write")->required();

    qvhost::RunOptions run;
    auto* rn = app.add_subcommand("run", "Run a patch of modules from several libraries");
    rn->add_option("PATCH", run.patch, "The patch (.json)")->required();
    rn->add_option("--out", run.outputDir, "Folder for the WAV and PNG files");
    rn->add_option("--plugins", run.pluginDirs, "Folder searched first for the libraries (repeat for more)")
        ->allow_extra_args(false);
    rn->add_flag("-q,--quiet", run.quiet, "Print only where the files are");
    rn->add_flag("--strict", run.strict, "Fail when a recorded signal is not finite (nan or inf)");
    rn->add_flag("--check", run.checkOnly, "Read, load and wire the patch, then stop: nothing runs or is written");
    rn->add_option("--max-seconds", run.limits.seconds, "Longest run a patch may ask for, in seconds")
        ->capture_default_str()->check(CLI::PositiveNumber);
    rn->add_option("--max-rate", run.limits.rate, "Highest sample rate a patch may ask for, in Hz")
        ->capture_default_str()->check(CLI::PositiveNumber);
    rn->add_option("--max-modules", run.limits.modules, "Most modules a patch may hold")
        ->capture_default_str()->check(CLI::PositiveNumber);
    rn->add_option("--max-frames", run.limits.frames, "Most PNG frames a patch may ask for, all series together")
        ->capture_default_str()->check(CLI::PositiveNumber);

    qvhost::RunOptions demo;
    auto* dm = app.add_subcommand("demo", "Run the built-in demo patch");
    dm->add_option("--out", demo.outputDir, "Folder for the WAV and PNG files");
    dm->add_option("--plugins", demo.pluginDirs, "Folder searched first for the libraries (repeat for more)")
        ->allow_extra_args(false);
    dm->add_flag("-q,--quiet", demo.quiet, "Print only where the files are");
    dm->add_flag("--strict", demo.strict, "Fail when a recorded signal is not finite (nan or inf)");

    // CLI11 would only say that a command is missing.
    if (argc > 1 && argv[1][0] != '-') {
        bool known = false;
        for (const auto* sub : app.get_subcommands({}))
            known = known || sub->get_name() == argv[1];
        if (!known) {
            std::fprintf(stderr, "qvhost: unknown command '%s' (commands: info, validate, describe, check-description, render, paint, run, demo)\n",
                         argv[1]);
            return qvhost::kExitUsage;
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        return usageError(e, app, argc, argv);
    }

    try {
        if (*info)
            return qvhost::runInfo(infoPaths, infoJson);
        if (*dsc)
            return qvhost::runDescribe(describeLibrary, describeOutput);
        if (*chk)
            return qvhost::runCheckDescription(checkDescription, checkLibrary);
        if (validate.given())
            return validate.run();
        if (*ren)
            return qvhost::runRender(render);
        if (*pnt)
            return qvhost::runPaint(paint);
        if (*rn)
            return qvhost::runPatch(run);
        if (*dm)
            return qvhost::runDemo(demo);
    } catch (const qvhost::Failure& e) {
        std::fprintf(stderr, "qvhost: %s\n", e.what());
        return qvhost::kExitFailure;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qvhost: internal error: %s\n", e.what());
        return qvhost::kExitFailure;
    }
    return qvhost::kExitUsage;
}
