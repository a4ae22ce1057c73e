// qvhost validate: the four libraries and the example pass; each broken
// library fails the check meant to catch it; the options do what they say.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <map>
#include <regex>
#include <set>

#include "run_qvhost.h"

using namespace qvtest;
using Json = nlohmann::json;

namespace {

// The checks of one library, by "name" or "module name".
std::map<std::string, Json> checksOf(const Json& library) {
    std::map<std::string, Json> out;
    for (const auto& c : library["checks"]) {
        const std::string key = c.contains("module") ? c["module"].get<std::string>() + " " + c["name"].get<std::string>()
                                                     : c["name"].get<std::string>();
        out[key] = c;
    }
    return out;
}

Json validateJson(std::vector<std::string> args, int* exitCode = nullptr) {
    args.insert(args.begin(), {"validate", "--json"});
    const Ran r = runQvhost(args);
    if (exitCode != nullptr)
        *exitCode = r.exitCode;
    try {
        return Json::parse(r.out);
    } catch (const std::exception&) {
        ADD_FAILURE() << "no JSON report: " << r.out << r.err;
        return Json::object();
    }
}

// Every check name the catalogue lists, in order.
std::vector<std::string> listedChecks() {
    const Ran r = runQvhost({"validate", "--list"});
    std::vector<std::string> names;
    std::istringstream in(r.out);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty())
            names.push_back(line.substr(0, line.find(' ')));
    return names;
}

TEST(Validate, TheFourLibrariesAndTheExamplePass) {
    int code = -1;
    const Json doc = validateJson({plugin("uplink"), plugin("downlink"), plugin("guikit"), plugin("adsr"),
                                   plugin("slew")},
                                  &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(doc["summary"]["failed"], 0);
    EXPECT_EQ(doc["summary"]["crashed"], 0);
    // The converters to voltages stream for their whole life by design, and
    // are named for it.
    std::set<std::string> warned;
    for (const auto& library : doc["libraries"])
        for (const auto& c : library["checks"]) {
            EXPECT_NE(c["status"], "FAILED") << c.dump();
            // Every library here is built by ovra_add_plugin: its pins are
            // checked against the table the framework registered.
            if (c["name"] == "dsp-pins" || c["name"] == "gui-pins") {
                EXPECT_NE(c["detail"].get<std::string>().find("checked against the pin table"), std::string::npos)
                    << c.dump();
            }
            if (c["status"] == "WARNING") {
                EXPECT_EQ(c["name"], "dsp-sleep");
                EXPECT_NE(c["detail"].get<std::string>().find("never sleeps"), std::string::npos);
                warned.insert(c["module"].get<std::string>());
            }
        }
    EXPECT_EQ(warned, (std::set<std::string>{"ZVR_GUIFloat2Volt", "ZVR_GUIInt2Volt", "ZVR_GUIBool2Volt"}));
}

TEST(Validate, TheReportCoversEveryCheckAndEveryDescribedHalf) {
    const Json doc = validateJson({"--seed", "11", plugin("uplink")});
    EXPECT_EQ(doc["seed"], 11);
    EXPECT_EQ(doc["strictness"], 5);
    const auto checks = checksOf(doc["libraries"][0]);
    std::set<std::string> names;
    for (const auto& [key, c] : checks)
        names.insert(c["name"].get<std::string>());
    for (const auto& listed : listedChecks()) {
        if (listed == "gui-realtime" || listed == "random-session" || listed == "paint" ||
            listed == "paint-hostile-values")
            continue;  // from strictness 8 and 10, and uplink draws nothing
        EXPECT_EQ(names.count(listed), 1u) << listed;
    }
    for (const char* key : {"load", "description", "ZVR_Volt2GUIBool dsp-start", "ZVR_Text2GUIText gui-pins",
                            "ZVR_Text2GUIText dsp-realtime"})
        EXPECT_EQ(checks.count(key), 1u) << key;
}

// The JSON report without what no two runs share: the seconds each check
// took, the times dsp-cost measured and how long the library took to load.
Json untimed(std::vector<std::string> args, int* exitCode = nullptr) {
    Json doc = validateJson(std::move(args), exitCode);
    for (auto& library : doc["libraries"])
        for (auto& c : library["checks"]) {
            c.erase("seconds");
            if (c["name"] == "dsp-cost") {
                c.erase("detail");
                EXPECT_EQ(c["measures"].size(), 4u) << c.dump();
                c.erase("measures");
            }
            if (c["name"] == "load" && c["status"] == "PASSED") {
                const std::string detail = c["detail"];
                EXPECT_NE(detail.find("; loaded in "), std::string::npos) << detail;
                c["detail"] = detail.substr(0, detail.find("; loaded in "));
            }
        }
    return doc;
}

TEST(Validate, TheSameSeedRepeatsTheRun) {
    int code = -1;
    const Json a = untimed({"--seed", "99", plugin("adsr")}, &code);
    const Json b = untimed({"--seed", "99", plugin("adsr")});
    const Json c = untimed({"--seed", "100", plugin("adsr")});
    ASSERT_EQ(code, 0) << a.dump();
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

TEST(Validate, InProcessGivesTheSameReportAsChildProcesses) {
    int code = -1;
    const Json children = untimed({"--seed", "3", plugin("uplink")}, &code);
    const Json inProcess = untimed({"--seed", "3", "--in-process", plugin("uplink")});
    EXPECT_EQ(code, 0);
    EXPECT_EQ(children, inProcess);
}

// ---- a library that cannot be checked fully fails

TEST(Validate, ALibraryWithoutDescriptionFailsAfterTheLibraryChecks) {
    int code = -1;
    const Json doc = validateJson({plugin("factory_fixture")}, &code);
    EXPECT_EQ(code, 1);
    const auto checks = checksOf(doc["libraries"][0]);
    EXPECT_EQ(checks.at("description")["status"], "FAILED");
    EXPECT_NE(checks.at("description")["detail"].get<std::string>().find(".qvm.json"), std::string::npos);
    EXPECT_EQ(checks.at("get-factory")["status"], "PASSED");
    EXPECT_EQ(checks.count("registered-modules"), 0u);
}

TEST(Validate, AMalformedDescriptionFailsWithItsLineAndColumn) {
    const std::string dir = scratchDir() + "/malformed";
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(plugin("adsr"), dir + "/adsr.qvm", std::filesystem::copy_options::overwrite_existing);
    writeFile(dir + "/adsr.qvm.json", "{\n  \"format\": \"ovra-module-descriptions/1\",\n  \"modules\": [,]\n}\n");
    const Ran r = runQvhost({"validate", dir + "/adsr.qvm"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("FAILED   description: " + dir + "/adsr.qvm.json:3:"), std::string::npos) << r.out;
}

TEST(Validate, AFileThatIsNoLibraryFails) {
    const std::string path = scratchDir() + "/fake.qvm";
    writeFile(path, "\x7f" "ELF but not really");
    const Ran r = runQvhost({"validate", path});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("FAILED   load"), std::string::npos) << r.out;
}

// ---- each check catches the fault it is for

struct Broken {
    const char* library;
    std::vector<std::string> extra;  // options for this run
    std::string check;               // "check" or "module check"
    const char* status;              // what it reports
    const char* says;                // part of its detail
    // The other checks that the same fault rightly trips as well, by the
    // module's own checks' names: a write past a block's end or a value sent
    // outside it is seen by every check that runs blocks, a NaN in blocks of
    // 17 by every check that takes the block sizes, a described pin that is
    // missing refuses its values too, and a module that cannot be created
    // fails every check of its own.
    std::vector<std::string> also = {};
};

const std::vector<Broken>& brokenLibraries();

// Every check of the library that reports anything but PASSED or SKIPPED is
// a row's own check or one it names in `also`: no fault of a fixture is
// caught by a check that is not meant for it.
std::set<std::string> meantToCatch(const std::string& library) {
    std::set<std::string> out;
    for (const auto& b : brokenLibraries()) {
        if (b.library != library)
            continue;
        out.insert(b.check);
        const size_t space = b.check.rfind(' ');
        const std::string module = space == std::string::npos ? "" : b.check.substr(0, space);
        for (const auto& other : b.also)
            out.insert(module.empty() || other.find(' ') != std::string::npos ? other : module + " " + other);
    }
    return out;
}

class BrokenLibraries : public ::testing::TestWithParam<Broken> {};

// Under the address sanitizer a segmentation fault ends the child through the
// sanitizer's own report (exit code 1, its own stack), and its interposed
// clock calls change how a stuck module is cut off: those cases are the
// native build's to prove.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

bool sanitizerOwns(const Broken& b) {
    return kSanitized && (std::string(b.says) == kInvalidAccessEnd || std::string(b.check).rfind("Stuck", 0) == 0);
}

TEST_P(BrokenLibraries, FailTheCheckMeantForThem) {
    const Broken& b = GetParam();
    if (sanitizerOwns(b))
        GTEST_SKIP() << "the sanitizer reports this crash or hang itself";
    std::vector<std::string> args{"--seed", "5"};
    args.insert(args.end(), b.extra.begin(), b.extra.end());
    args.push_back(fixture(b.library));
    int code = -1;
    const Json doc = validateJson(args, &code);
    const bool unwatched =
        !kRealtimeWatched &&
        (b.check.ends_with(" dsp-realtime") || b.check.ends_with(" gui-realtime") || b.check.ends_with(" leaks"));
    if (std::string(b.status) != "PASSED" && std::string(b.status) != "WARNING" && !unwatched) {
        EXPECT_EQ(code, 1);
    }
    const auto checks = checksOf(doc["libraries"][0]);
    ASSERT_EQ(checks.count(b.check), 1u) << b.check << " did not run";
    const auto meant = meantToCatch(b.library);
    for (const auto& [key, other] : checks) {
        if (other["status"] != "PASSED" && other["status"] != "SKIPPED") {
            EXPECT_EQ(meant.count(key), 1u) << key << " caught a fault not meant for it: " << other.dump();
        }
    }
    const Json& c = checks.at(b.check);
    if (unwatched) {
        EXPECT_EQ(c["status"], "SKIPPED") << c.dump();
        EXPECT_NE(c["detail"].get<std::string>().find("no way to"), std::string::npos) << c.dump();
        return;
    }
    EXPECT_EQ(c["status"], b.status) << c.dump();
    EXPECT_NE(c["detail"].get<std::string>().find(b.says), std::string::npos) << c.dump();
}

const std::vector<Broken>& brokenLibraries() {
    static const std::vector<Broken> rows{
        Broken{"broken_export", {}, "single-export", "FAILED", "MP_GetFactoryToo"},
        Broken{"broken_factory", {}, "get-factory", "FAILED", "different object"},
        Broken{"broken_describe", {}, "describe-build", "FAILED", "wrote past maxChars = 1"},
        Broken{"broken_default", {}, "unknown-identifiers", "FAILED", "the unknown identifier \"\" (sub-type 1)"},
        Broken{"broken_factory_interfaces", {}, "factory-interfaces", "FAILED", "out pointer"},
        Broken{"broken_factory_near", {}, "near-identifiers", "FAILED", "\"Probex\""},
        Broken{"broken_factory_subtypes", {}, "wrong-sub-types", "FAILED", "Probe (sub-type -1)"},
        Broken{"broken_factory_doubled", {}, "near-identifiers", "FAILED", "\"PProbe\", near Probe"},
        Broken{"broken_names", {}, "registered-modules", "FAILED",
               "described \"MY-Onepole\" (dsp, sub-type 0) is not registered; the library registers \"MY-OnePole\""},
        Broken{"broken_binary", {}, "registered-modules", "FAILED", "\"Stowaway\" (gui, sub-type 1) is registered"},
        Broken{"broken_description", {}, "registered-modules", "FAILED", "described \"Ghost\" (gui, sub-type 1) is not registered",
               {"Ghost create", "Ghost interfaces", "Ghost gui-pins", "Ghost gui-values", "Ghost gui-bad-sizes",
                "Ghost gui-hostile-values"}},
        Broken{"broken_binary", {}, "Gap dsp-pins", "FAILED", "pin 1 (Spare) is no pin"},
        Broken{"broken_binary", {}, "Mute dsp-pins", "FAILED", "pin 1 (Out): described float out, the module declares float in"},
        Broken{"broken_binary", {}, "Offset dsp-start", "FAILED", "starts at 0, the description says 0.5"},
        Broken{"broken_binary", {}, "GuiGap gui-pins", "FAILED", "pin 2 (C) does not take a value", {"gui-values"}},
        Broken{"broken_description", {}, "Real gui-pins", "FAILED", "pin 1 takes a value"},
        Broken{"broken_pins", {}, "Swapped dsp-pins", "FAILED",
               "pin 0 (Cutoff): described float in, the module declares audio in; pin 1 (Signal): described audio in, "
               "the module declares float in"},
        Broken{"broken_pins", {}, "Narrowed dsp-pins", "FAILED", "pin 0 (Cutoff): described float in, the module declares int32 in"},
        Broken{"broken_pins", {}, "GuiSwapped gui-pins", "FAILED", "pin 0 (On): described bool, the module declares int32"},
        Broken{"broken_pins", {}, "Extra dsp-pins", "FAILED",
               "pin 100: the module declares float in, the description has no such pin"},
        Broken{"broken_lifecycle", {}, "Immortal create", "FAILED", "last Release of a bare instance did not answer 0"},
        Broken{"broken_lifecycle", {}, "Uncounted interfaces", "FAILED", "AddRef answered 3, expected 4"},
        Broken{"broken_dsp", {"--blocks", "17"}, "NaNAt17 dsp-blocks", "FAILED", "is nan at sample 8",
               {"dsp-event-timing", "dsp-realtime", "instances",
                "dsp-sample-accuracy", "dsp-every-sample", "dsp-defaults", "dsp-values-on-change", "dsp-sleep-step"}},
        Broken{"broken_dsp", {}, "Overrun dsp-blocks", "FAILED", "written 1 sample past the end",
               {"dsp-event-timing", "dsp-sleep", "dsp-sample-rates", "dsp-hostile-values", "dsp-realtime", "instances",
                "dsp-cost",
                "dsp-sample-accuracy", "dsp-every-sample", "dsp-defaults", "dsp-values-on-change", "dsp-sleep-step",
                "leaks"}},
        // What it writes past the end is what it read past the end of its input.
        Broken{"broken_dsp", {}, "Follower dsp-blocks", "FAILED", "written 1 sample past the end",
               {"dsp-start", "dsp-event-timing", "dsp-sleep", "dsp-sample-rates", "dsp-hostile-values",
                "dsp-hostile-audio", "dsp-realtime", "instances", "dsp-cost",
                "dsp-sample-accuracy", "dsp-every-sample", "dsp-defaults", "dsp-values-on-change", "dsp-sleep-step",
                "leaks"}},
        Broken{"broken_dsp", {}, "Shared instances", "FAILED",
               "of 4, run beside the others, differs from the same inputs run alone in block "},
        Broken{"broken_timing", {}, "OffByOne dsp-event-timing", "FAILED", "outside a block",
               {"dsp-blocks", "dsp-sample-rates", "dsp-hostile-values", "dsp-realtime", "instances",
                "dsp-sample-accuracy", "dsp-values-on-change"}},
        Broken{"broken_timing", {"--timeout", "2", "--only", "dsp-hostile-values"}, "Stuck dsp-hostile-values",
               "FAILED", "did not finish within 2 s"},
        Broken{"broken_sleep", {}, "Restless dsp-sleep", "FAILED", "moved from"},
        Broken{"broken_sleep", {}, "Abrupt dsp-sleep", "FAILED", "without fillSleepCountdown right before it"},
        Broken{"broken_sleep", {}, "Insomniac dsp-sleep", "WARNING", "of CPU per second of audio per instance"},
        Broken{"broken_sleep", {}, "Fickle dsp-sleep", "WARNING",
               "never sleeps: with every input held at 1 and static for 4000 blocks"},
        Broken{"broken_denormal", {}, "Tail dsp-cost", "WARNING", "denormal slowdown: ", {"dsp-sleep"}},
        Broken{"broken_rules", {}, "Early dsp-sample-accuracy", "FAILED",
               "at sample 1 of a block of 64 acted before its sample: output pin 1 (Out) at sample 0 was"},
        Broken{"broken_rules", {}, "Blank dsp-every-sample", "FAILED",
               "output pin 1 (Out) left sample 63 unwritten (the host's canary -12345.6777 was still there) while "
               "streaming, in block 1"},
        Broken{"broken_rules", {}, "Stubborn dsp-defaults", "WARNING",
               "pin 0 (In): the module does not start at the described default 0.5: output pin 1 (Out) holds 0 with "
               "no value sent, 0.5 with the default sent first"},
        Broken{"broken_rules", {}, "Repeater dsp-values-on-change", "FAILED", "again, the value it already held, at sample"},
        // Where the first unreleased block was made: the module's creation.
        Broken{"broken_rules", {}, "Leaky leaks", "FAILED",
               "makeLeaky <- ovra::MpFactory::instantiateBare"},
        Broken{"broken_rules", {}, "Snap dsp-sleep-step", "WARNING", "jumped by 0.05"},
        Broken{"broken_rules", {}, "Parrot gui-values-on-change", "FAILED",
               "pin 1 (Out) sent -9.99999997e-07 again, the value it already held, after In = -9.99999997e-07 (the "
               "value it held)"},
        Broken{"broken_lint", {"--only", "description-lint"}, "description-lint", "FAILED",
               "Tail (dsp): the default of pin 0 (Signal), 1e+39, lies outside a float's range; Tail (dsp): pins 0 "
               "and 1 are both named \"Signal\"; Tail: the link names GUI pin 0, and the module has no GUI half"},
        Broken{"broken_values", {}, "Tuner dsp-sample-rates", "FAILED", "a host that writes no sample rate"},
        Broken{"broken_values", {}, "DspLookup dsp-hostile-values", "CRASHED", kInvalidAccessEnd},
        Broken{"broken_values", {}, "Squarer dsp-hostile-audio", "FAILED", "is inf"},
        Broken{"broken_values", {}, "Lookup gui-hostile-values", "CRASHED", kInvalidAccessEnd},
        Broken{"broken_realtime", {}, "Hoarder dsp-realtime", "FAILED",
               "the first called from scratchFor <- Hoarder::write <- "},
        Broken{"broken_realtime", {}, "Napper dsp-realtime", "FAILED", "first nanosleep"},
        Broken{"broken_realtime", {}, "Keeper dsp-realtime", "PASSED", "storing new text values (allowed)"},
        Broken{"broken_gui", {}, "Picky gui-bad-sizes", "CRASHED", kAbortEnd},
        Broken{"broken_gui", {}, "Chatty gui-values", "FAILED", "sent 3 bytes for a float", {"gui-values-on-change"}},
        Broken{"broken_gui", {"--strictness", "8", "--only", "gui-realtime"}, "Collector gui-realtime", "WARNING",
               " after In = "},
        Broken{"broken_output", {}, "Mumbler dsp-realtime", "WARNING", "while its blocks ran",
               {"dsp-start", "dsp-blocks", "dsp-event-timing", "dsp-sleep", "dsp-sample-rates", "dsp-hostile-values",
                "instances", "dsp-cost",
                "dsp-sample-accuracy", "dsp-every-sample", "dsp-defaults", "dsp-values-on-change", "dsp-sleep-step"}},
        Broken{"broken_paint", {}, "Smudge paint", "FAILED", "measure answered"},
        Broken{"broken_drawing", {}, "Refuser paint", "FAILED", "onPaint answered RC_FAILED (-1) at 40 x 10 as created"},
        Broken{"broken_drawing", {}, "Spill paint", "FAILED", "painted outside its placement of 40 x 10: first at (40, 0)"},
        Broken{"broken_drawing", {}, "Flicker paint", "FAILED", "painted twice with the same pins, the pixel at (0, 0) was"},
        Broken{"broken_drawing", {}, "Wide paint", "FAILED", "invalidateRect asked for left 0, top 0, right 11, bottom 1"},
        Broken{"broken_paint", {}, "Margin paint-hostile-values", "FAILED",
               "1073741827 x 1073741827 for an offer of 2147483647"},
    };
    return rows;
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, BrokenLibraries, ::testing::ValuesIn(brokenLibraries()),
    [](const auto& info) {
        std::string name = std::string(info.param.library) + "_" + info.param.check;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });

// A long run stops at the first failing seed and prints the command that
// repeats it; that command fails the same way.
TEST(Validate, FuzzingStopsAtTheFirstFailureAndSaysHowToRepeatIt) {
    const Ran r = runQvhost({"validate", "--fuzz", "60", "--seed", "3", fixture("broken_values")});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("FAILED at seed "), std::string::npos) << r.out;
    const size_t at = r.out.find("repeat it: qvhost ");
    ASSERT_NE(at, std::string::npos) << r.out;
    std::vector<std::string> again;
    std::string line = r.out.substr(at + std::string("repeat it: qvhost ").size());
    line = line.substr(0, line.find('\n'));
    for (size_t from = 0; from < line.size();) {
        const size_t space = line.find(' ', from);
        again.push_back(line.substr(from, space - from));
        from = space == std::string::npos ? line.size() : space + 1;
    }
    EXPECT_EQ(again.front(), "validate");
    EXPECT_EQ(runQvhost(again).exitCode, 1) << line;
    const Ran clean = runQvhost({"validate", "--fuzz", "1", "--seed", "3", plugin("adsr")});
    EXPECT_EQ(clean.exitCode, 0) << clean.out;
    EXPECT_NE(clean.out.find(" runs per second"), std::string::npos) << clean.out;
}

// Random blocks come from the seed: the same seed draws the same sizes, and
// from strictness 8 on they are the default.
TEST(Validate, RandomBlockSizesComeFromTheSeed) {
    auto sizes = [](std::vector<std::string> args) {
        args.insert(args.end(), {"--only", "dsp-blocks", plugin("adsr")});
        const Json doc = validateJson(args);
        return checksOf(doc["libraries"][0]).at("QV ADSR4 dsp-blocks")["detail"].get<std::string>();
    };
    const std::string four = sizes({"--blocks", "random", "--seed", "4"});
    EXPECT_EQ(four, sizes({"--blocks", "random", "--seed", "4"}));
    EXPECT_NE(four, sizes({"--blocks", "random", "--seed", "5"}));
    EXPECT_EQ(four.find(" blocks of 1, "), std::string::npos) << four;
    EXPECT_EQ(sizes({"--strictness", "8", "--seed", "4"}), sizes({"--strictness", "8", "--blocks", "random", "--seed", "4"}));
    EXPECT_NE(sizes({"--strictness", "8", "--blocks", "64", "--seed", "4"}).find(" blocks of 64 samples"), std::string::npos);
}

// Below strictness 8 a default the module does not start at is a warning;
// from 8 on the check fails.
TEST(Validate, ADefaultTheModuleDoesNotStartAtFailsFromStrictness8) {
    for (const char* level : {"7", "8"}) {
        const Json doc = validateJson(
            {"--seed", "5", "--strictness", level, "--only", "dsp-defaults", "--module", "Stubborn", fixture("broken_rules")});
        const auto checks = checksOf(doc["libraries"][0]);
        ASSERT_EQ(checks.count("Stubborn dsp-defaults"), 1u) << doc.dump();
        EXPECT_EQ(checks.at("Stubborn dsp-defaults")["status"], std::string(level) == "8" ? "FAILED" : "WARNING");
    }
}

TEST(Validate, ACrashReportCarriesTheStack) {
    if (kSanitized)
        GTEST_SKIP() << "the sanitizer writes its own stack";
#if defined(_WIN32)
    GTEST_SKIP() << "qvhost.exe reports a crash by its exception code, without a stack";
#endif
    const Json doc = validateJson({"--seed", "5", "--only", "gui-hostile-values", fixture("broken_values")});
    const auto checks = checksOf(doc["libraries"][0]);
    ASSERT_EQ(checks.count("Lookup gui-hostile-values"), 1u);
    const std::string stack = checks.at("Lookup gui-hostile-values").value("stack", "");
    EXPECT_NE(stack.find("broken_values.qvm"), std::string::npos) << stack;
}

TEST(Validate, TheRunGoesOnAfterACrash) {
    const Json doc = validateJson({"--seed", "5", fixture("broken_values")});
    const auto checks = checksOf(doc["libraries"][0]);
    EXPECT_EQ(checks.at("DspLookup dsp-hostile-values")["status"], "CRASHED");
    EXPECT_EQ(checks.at("DspLookup dsp-realtime")["status"], kRealtimeWatched ? "PASSED" : "SKIPPED");
    EXPECT_EQ(checks.at("Squarer create")["status"], "PASSED");
}

TEST(Validate, NothingAModulePrintsChangesAResult) {
    int code = -1;
    const Json doc = validateJson({"--seed", "5", fixture("broken_output")}, &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(doc["summary"]["failed"], 0);
    EXPECT_EQ(doc["summary"]["crashed"], 0);
    const auto checks = checksOf(doc["libraries"][0]);
    size_t forgerChecks = 0;
    for (const auto& [key, c] : checks)
        if (c.value("module", "") == "Forger") {
            EXPECT_EQ(c["status"], c["name"] == "leaks" && !kRealtimeWatched ? "SKIPPED" : "PASSED") << c.dump();
            EXPECT_NE(c["detail"], "forged");
            ++forgerChecks;
        }
    EXPECT_GE(forgerChecks, 5u);
    // What it printed is shown with the check during which it printed.
    EXPECT_NE(checks.at("Forger gui-values").value("output", "").find("\"detail\":\"forged\""), std::string::npos);
    // 1 MiB of output: counted, shown in part, and the run goes on.
    uint64_t flood = 0;
    for (const auto& [key, c] : checks)
        if (c.value("written", uint64_t{0}) >= (1u << 20)) {
            flood = c["written"].get<uint64_t>();
            EXPECT_LE(c["output"].get<std::string>().size(), 4096u);
        }
    EXPECT_GE(flood, 1u << 20);
}

TEST(Validate, ADspHalfThatPrintsFromItsBlocksIsWarnedAboutAndItsBytesAreEscaped) {
    const Json doc = validateJson({"--seed", "5", "--only", "dsp-blocks", fixture("broken_output")});
    const auto c = checksOf(doc["libraries"][0]).at("Mumbler dsp-blocks");
    EXPECT_EQ(c["status"], "WARNING");
    EXPECT_NE(c["detail"].get<std::string>().find("bytes on standard output or error while its blocks ran"),
              std::string::npos);
    EXPECT_EQ(c["output"].get<std::string>().rfind("\\xFF\\xFE mumble \\uD800", 0), 0u) << c.dump();
    const Ran text = runQvhost({"validate", "--only", "dsp-blocks", fixture("broken_output")});
    EXPECT_NE(text.out.find("> the module wrote "), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("> \\xFF\\xFE mumble"), std::string::npos) << text.out;
}

TEST(Validate, WhatAModulePrintsIsNoPartOfTheReport) {
    const Json doc = validateJson({"--seed", "5", fixture("broken_gui")});
    size_t talkerChecks = 0;
    for (const auto& c : doc["libraries"][0]["checks"])
        if (c.value("module", "") == "Talker") {
            EXPECT_EQ(c["status"], c["name"] == "leaks" && !kRealtimeWatched ? "SKIPPED" : "PASSED") << c.dump();
            ++talkerChecks;
        }
    EXPECT_GE(talkerChecks, 5u);
}

TEST(Validate, PinsThatDisagreeWithTheirDescriptionFailOnceAndTheRestOfTheHalfWaits) {
    const Json doc = validateJson({"--seed", "5", fixture("broken_pins")});
    const auto checks = checksOf(doc["libraries"][0]);
    for (const char* key : {"Swapped dsp-start", "Swapped dsp-blocks", "Swapped dsp-realtime", "Narrowed dsp-sleep",
                            "GuiSwapped gui-values", "GuiSwapped gui-hostile-values"}) {
        EXPECT_EQ(checks.at(key)["status"], "SKIPPED") << key;
        EXPECT_NE(checks.at(key)["detail"].get<std::string>().find("needs "), std::string::npos) << key;
    }
    EXPECT_EQ(doc["summary"]["failed"], 4);
}

TEST(Validate, ALibraryWithoutItsPinTableIsCheckedByBehaviourAndSaysSo) {
    const std::string dir = scratchDir() + "/no-table";
    std::filesystem::create_directories(dir);
    for (const char* suffix : {".qvm", ".qvm.json"})
        std::filesystem::copy_file(fixture("broken_pins").substr(0, fixture("broken_pins").size() - 4) + suffix,
                                   dir + "/broken_pins" + suffix, std::filesystem::copy_options::overwrite_existing);
    int code = -1;
    const Json doc = validateJson({"--only", "dsp-pins,gui-pins", dir + "/broken_pins.qvm"}, &code);
    // Swapped pins answer every described index: without the table nothing
    // tells, and the report says what was checked.
    EXPECT_EQ(code, 0);
    const auto checks = checksOf(doc["libraries"][0]);
    for (const char* key : {"Swapped dsp-pins", "Extra dsp-pins", "GuiSwapped gui-pins"}) {
        EXPECT_EQ(checks.at(key)["status"], "PASSED") << key;
        EXPECT_NE(checks.at(key)["detail"].get<std::string>().find("behaviour only: no pin table beside the library"),
                  std::string::npos)
            << checks.at(key).dump();
    }
}

TEST(Validate, TheScanOfTheFileFindsAnIdentifierInsideALongerText) {
    const Json doc = validateJson({"--only", "registered-modules", fixture("broken_names")});
    const auto c = checksOf(doc["libraries"][0]).at("registered-modules");
    EXPECT_NE(c["detail"].get<std::string>().find("\"Stowaway\" (gui, sub-type 1) is registered but not described"),
              std::string::npos)
        << c.dump();
}

TEST(Validate, APinTableOlderThanItsLibraryIsNotTrusted) {
    const std::string dir = scratchDir() + "/stale-table";
    std::filesystem::create_directories(dir);
    const std::string stem = fixture("broken_pins").substr(0, fixture("broken_pins").size() - 4);
    for (const char* suffix : {".qvm", ".qvm.json", ".qvm.pins"})
        std::filesystem::copy_file(stem + suffix, dir + "/broken_pins" + suffix,
                                   std::filesystem::copy_options::overwrite_existing);
    const auto now = std::filesystem::last_write_time(dir + "/broken_pins.qvm");
    std::filesystem::last_write_time(dir + "/broken_pins.qvm.pins", now - std::chrono::hours(1));
    const Json doc = validateJson({"--only", "dsp-pins", "--module", "Swapped", dir + "/broken_pins.qvm"});
    const auto c = checksOf(doc["libraries"][0]).at("Swapped dsp-pins");
    EXPECT_EQ(c["status"], "PASSED");
    EXPECT_NE(c["detail"].get<std::string>().find("is older than the library; rebuild it"), std::string::npos)
        << c.dump();
}

TEST(Validate, AnUnregisteredHalfFailsOnceAndItsChecksWaitForCreate) {
    const Json doc = validateJson({"--seed", "5", fixture("broken_description")});
    const auto checks = checksOf(doc["libraries"][0]);
    EXPECT_EQ(checks.at("registered-modules")["status"], "FAILED");
    EXPECT_EQ(checks.at("Ghost create")["status"], "SKIPPED");
    for (const char* key : {"Ghost interfaces", "Ghost gui-pins", "Ghost gui-values"})
        EXPECT_EQ(checks.at(key)["detail"], "needs create") << key;
    // Asked for alone, create says why it fails, by the code's name.
    const Json alone = validateJson({"--only", "create", fixture("broken_description")});
    const auto c = checksOf(alone["libraries"][0]).at("Ghost create");
    EXPECT_EQ(c["status"], "FAILED");
    EXPECT_NE(c["detail"].get<std::string>().find("RC_NOT_FOUND (-2)"), std::string::npos) << c.dump();
}

TEST(Validate, AModuleThatLeavesGdiplusObjectsAliveAfterItsPaintFails) {
#if !defined(__linux__)
    GTEST_SKIP() << "qvhost counts GDI+ objects where it sees a library's calls, through libgdiplus";
#endif
    const Json doc = validateJson({"--seed", "5", fixture("broken_gdiplus")});
    const auto checks = checksOf(doc["libraries"][0]);
    EXPECT_EQ(checks.at("Leaker paint")["status"], "FAILED");
    EXPECT_NE(checks.at("Leaker paint")["detail"].get<std::string>().find(
                  "onPaint left GDI+ objects alive at its end: 1 brush at 40 x 10 as created"),
              std::string::npos)
        << checks.at("Leaker paint").dump();
    // Painted twenty times, it leaves twenty brushes: the leaks check counts them.
    EXPECT_EQ(checks.at("Leaker leaks")["status"], "FAILED");
    EXPECT_NE(checks.at("Leaker leaks")["detail"].get<std::string>().find("20 lives left GDI+ objects never deleted: 20 brushes"),
              std::string::npos)
        << checks.at("Leaker leaks").dump();
    EXPECT_EQ(doc["summary"]["failed"], 2);
}

TEST(Validate, AFailedCheckNamesTheCommandThatRunsItAloneAndThatCommandSeesTheSame) {
    const Json doc = validateJson({"--seed", "5", "--blocks", "17", fixture("broken_dsp")});
    const auto c = checksOf(doc["libraries"][0]).at("NaNAt17 dsp-blocks");
    ASSERT_EQ(c["status"], "FAILED");
    const std::string rerun = c.value("rerun", "");
    EXPECT_EQ(rerun, "qvhost validate --only dsp-blocks --module NaNAt17 --seed 5 --blocks 17 " + fixture("broken_dsp"));
    const Json alone = validateJson({"--only", "dsp-blocks", "--module", "NaNAt17", "--seed", "5", "--blocks", "17",
                                     fixture("broken_dsp")});
    EXPECT_EQ(alone["summary"]["checks"], 3) << "load, description and the one check";
    EXPECT_EQ(checksOf(alone["libraries"][0]).at("NaNAt17 dsp-blocks")["detail"], c["detail"]);
    const Ran text = runQvhost({"validate", "--seed", "5", "--only", "dsp-pins", fixture("broken_pins")});
    EXPECT_NE(text.out.find("           rerun: qvhost validate --only dsp-pins --module Swapped --seed 5 "),
              std::string::npos)
        << text.out;
}

// ---- the options

TEST(ValidateOptions, OnlyAndSkipChooseChecksByName) {
    const Json only = validateJson({"--only", "create,dsp-start", plugin("adsr")});
    std::set<std::string> ran;
    for (const auto& c : only["libraries"][0]["checks"])
        ran.insert(c["name"].get<std::string>());
    EXPECT_EQ(ran, (std::set<std::string>{"load", "description", "create", "dsp-start"}));

    const Json skipped = validateJson({"--skip", "dsp-sleep", plugin("adsr")});
    for (const auto& c : skipped["libraries"][0]["checks"])
        EXPECT_NE(c["name"], "dsp-sleep");
}

TEST(ValidateOptions, AnUnknownCheckNameIsAnError) {
    const Ran r = runQvhost({"validate", "--only", "no-such-check", plugin("adsr")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("'no-such-check'"), std::string::npos) << r.err;
}

TEST(ValidateOptions, StrictnessChoosesTheChecks) {
    auto count = [](const Json& doc) { return doc["summary"]["checks"].get<int>(); };
    const Json basic = validateJson({"--strictness", "1", plugin("adsr")});
    const Json usual = validateJson({plugin("adsr")});
    const Json exhaustive = validateJson({"--strictness", "10", plugin("adsr")});
    EXPECT_LT(count(basic), count(usual));
    EXPECT_LE(count(usual), count(exhaustive));
    for (const auto& c : basic["libraries"][0]["checks"])
        EXPECT_NE(c["name"], "dsp-hostile-values");
    const Ran outOfRange = runQvhost({"validate", "--strictness", "11", plugin("adsr")});
    EXPECT_EQ(outOfRange.exitCode, 2);
}

TEST(ValidateOptions, RatesAndBlocksReplaceTheDefaultSets) {
    const Json doc = validateJson({"--only", "dsp-sample-rates", "--only", "dsp-blocks", "--rates", "11025", "--blocks",
                                   "5,6", plugin("adsr")});
    const auto checks = checksOf(doc["libraries"][0]);
    EXPECT_EQ(checks.at("QV ADSR4 dsp-sample-rates")["detail"], "outputs finite at 11025 Hz");
    EXPECT_NE(checks.at("QV ADSR4 dsp-blocks")["detail"].get<std::string>().find("blocks of 5, 6 samples"),
              std::string::npos);
}

TEST(ValidateOptions, ListAndVersionNeedNoLibrary) {
    const auto names = listedChecks();
    EXPECT_GE(names.size(), 20u);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size()) << "names are unique";
    const Ran version = runQvhost({"validate", "--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_NE(version.out.find(std::to_string(names.size()) + " checks"), std::string::npos) << version.out;
    EXPECT_EQ(runQvhost({"validate"}).exitCode, 1);
}

TEST(ValidateDocs, ThePageCarriesTheCatalogueAsListed) {
    const Ran r = runQvhost({"validate", "--list", "--markdown"});
    const std::string page = readFile(std::string(QVHOST_DOCS_DIR) + "/validate.md");
    const std::string begin = "<!-- catalogue: qvhost validate --list --markdown -->\n";
    const std::string end = "<!-- end of catalogue -->";
    const size_t from = page.find(begin);
    const size_t to = page.find(end);
    ASSERT_NE(from, std::string::npos);
    ASSERT_NE(to, std::string::npos);
    EXPECT_EQ(page.substr(from + begin.size(), to - from - begin.size()), r.out)
        << "regenerate the table in docs/validate.md with qvhost validate --list --markdown";
}

}  // namespace

// ---- what CI reads

// The elements and attributes a JUnit reader requires, each test case in
// its suite, and the counts matching the JSON report of the same run.
TEST(ValidateCi, TheJunitFileHasWhatJunitReadersRequireAndAgreesWithTheReport) {
    const std::string junit = scratchDir() + "/report.xml";
    std::filesystem::remove(junit);
    const Json doc = validateJson({"--seed", "5", "--junit", junit, fixture("broken_dsp"), fixture("broken_sleep")});
    const std::string xml = readFile(junit);
    ASSERT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n", 0), 0u) << xml;
    // Every tag, in order: name, attributes, whether it closes or is empty.
    struct Tag {
        std::string name;
        std::map<std::string, std::string> attributes;
        bool closing = false, empty = false;
    };
    std::vector<Tag> tags;
    const std::regex tag(R"(<(/?)([a-z-]+)((?:\s+[a-z]+="[^"<]*")*)\s*(/?)>)");
    const std::regex attribute(R"(([a-z]+)="([^"]*)\")");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), tag); it != std::sregex_iterator(); ++it) {
        Tag t{(*it)[2], {}, (*it)[1] == "/", (*it)[4] == "/"};
        const std::string attrs = (*it)[3];
        for (auto a = std::sregex_iterator(attrs.begin(), attrs.end(), attribute); a != std::sregex_iterator(); ++a)
            t.attributes[(*a)[1]] = (*a)[2];
        tags.push_back(t);
    }
    ASSERT_FALSE(tags.empty());
    EXPECT_EQ(tags.front().name, "testsuites");
    EXPECT_EQ(tags.back().name, "testsuites");
    std::vector<std::string> open;
    size_t suites = 0, cases = 0, failures = 0, errors = 0;
    const Tag* suite = nullptr;
    size_t suiteCases = 0, suiteFailures = 0;
    for (const auto& t : tags) {
        if (t.closing) {
            ASSERT_FALSE(open.empty());
            ASSERT_EQ(open.back(), t.name) << "tags not nested";
            open.pop_back();
            if (t.name == "testsuite") {
                EXPECT_EQ(std::stoul(suite->attributes.at("tests")), suiteCases);
                EXPECT_EQ(std::stoul(suite->attributes.at("failures")), suiteFailures);
            }
            continue;
        }
        const std::string parent = open.empty() ? "" : open.back();
        if (t.name == "testsuite") {
            EXPECT_EQ(parent, "testsuites");
            for (const char* a : {"name", "tests", "failures", "errors", "skipped", "time"})
                EXPECT_TRUE(t.attributes.count(a)) << "testsuite without " << a;
            suite = &t;
            suiteCases = suiteFailures = 0;
            ++suites;
        } else if (t.name == "testcase") {
            EXPECT_EQ(parent, "testsuite");
            for (const char* a : {"name", "classname", "time"})
                EXPECT_TRUE(t.attributes.count(a)) << "testcase without " << a;
            ++cases;
            ++suiteCases;
        } else if (t.name == "failure" || t.name == "error") {
            EXPECT_EQ(parent, "testcase");
            EXPECT_TRUE(t.attributes.count("message") && t.attributes.count("type"));
            ++(t.name == "failure" ? failures : errors);
            suiteFailures += t.name == "failure";
        }
        if (!t.empty)
            open.push_back(t.name);
    }
    EXPECT_TRUE(open.empty());
    EXPECT_EQ(suites, 2u);
    EXPECT_EQ(cases, doc["summary"]["checks"].get<size_t>());
    EXPECT_EQ(failures, doc["summary"]["failed"].get<size_t>());
    EXPECT_EQ(errors, doc["summary"]["crashed"].get<size_t>());
    // Each check of the JSON report carries its seconds.
    for (const auto& library : doc["libraries"])
        for (const auto& c : library["checks"])
            EXPECT_TRUE(c.contains("seconds") && c["seconds"].get<double>() >= 0) << c.dump();
}

TEST(ValidateCi, WarningsFailTheRunOnlyWhenAskedAndOnlyFailedLeavesTheRestOut) {
    const std::vector<std::string> insomniac{"validate", "--only", "dsp-sleep", "--module", "Insomniac",
                                             fixture("broken_sleep")};
    const Ran usual = runQvhost(insomniac);
    EXPECT_EQ(usual.exitCode, 0) << usual.out;
    EXPECT_NE(usual.out.find("  PASSED   load"), std::string::npos);
    auto strict = insomniac;
    strict.insert(strict.begin() + 1, {"--warnings-as-errors", "--only-failed"});
    const Ran failing = runQvhost(strict);
    EXPECT_EQ(failing.exitCode, 1) << failing.out;
    EXPECT_NE(failing.out.find("  WARNING  Insomniac (dsp) dsp-sleep"), std::string::npos) << failing.out;
    EXPECT_EQ(failing.out.find("PASSED "), std::string::npos) << failing.out;
    EXPECT_NE(failing.out.find("1 warning (failing the run)"), std::string::npos) << failing.out;
}

// A description elsewhere is read by the parent and by every child.
TEST(ValidateCi, DescriptionNamesTheFileToCheckAgainst) {
    const std::string path = scratchDir() + "/overrun-only.qvm.json";
    writeFile(path, R"({"format": "ovra-module-descriptions/1", "library": "broken_dsp",
      "modules": [{"id": "Overrun", "halves": [{"subType": 0, "kind": "dsp", "pins": [
        {"index": 0, "name": "Level", "type": "float", "direction": "in", "default": 0.5},
        {"index": 1, "name": "Out", "type": "audio", "direction": "out", "default": 0.0}]}]}]})");
    const Json doc = validateJson({"--seed", "5", "--only", "dsp-blocks", "--description", path, fixture("broken_dsp")});
    const auto checks = checksOf(doc["libraries"][0]);
    EXPECT_EQ(checks.at("description")["detail"], "1 module described");
    EXPECT_EQ(checks.at("Overrun dsp-blocks")["status"], "FAILED");
    EXPECT_EQ(checks.count("NaNAt17 dsp-blocks"), 0u);
    EXPECT_NE(checks.at("Overrun dsp-blocks")["rerun"].get<std::string>().find("--description "), std::string::npos);
    const Ran two = runQvhost({"validate", "--description", path, fixture("broken_dsp"), fixture("broken_sleep")});
    EXPECT_EQ(two.exitCode, 1);
    EXPECT_NE(two.err.find("one LIB"), std::string::npos) << two.err;
}
