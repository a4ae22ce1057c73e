// qvhost validate: the four libraries pass; each broken library is caught
// by the checks of its group.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "run_qvhost.h"

using namespace qvtest;
using Json = nlohmann::json;

namespace {

// The statuses of one library's checks, by "name" or "module name".
std::map<std::string, std::string> statuses(const Json& library) {
    std::map<std::string, std::string> out;
    for (const auto& c : library["checks"]) {
        const std::string key =
            c.contains("module") ? c["module"].get<std::string>() + " " + c["name"].get<std::string>() : c["name"].get<std::string>();
        out[key] = c["status"];
    }
    return out;
}

TEST(Validate, TheFourLibrariesPass) {
    const Ran r = runQvhost({"validate", plugin("uplink"), plugin("downlink"), plugin("guikit"), plugin("adsr")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out.find("FAILED"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("validate: 4 libraries,"), std::string::npos);
    EXPECT_NE(r.out.find(" 0 failed, 0 warnings"), std::string::npos) << r.out.substr(r.out.size() - 200);
}

TEST(Validate, JsonReportCoversEveryDescribedHalf) {
    const Ran r = runQvhost({"validate", "--json", "--seed", "11", plugin("uplink")});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    const Json doc = Json::parse(r.out);
    EXPECT_EQ(doc["seed"], 11);
    EXPECT_EQ(doc["summary"]["failed"], 0);
    const auto s = statuses(doc["libraries"][0]);
    for (const char* check : {"single-export", "get-factory", "factory-interfaces", "describe-build",
                              "unknown-identifiers", "near-identifiers", "wrong-sub-types",
                              "ZVR_Volt2GUIBool create", "ZVR_Volt2GUIBool blocks", "ZVR_Volt2GUIBool sleep",
                              "ZVR_Text2GUIText gui-values", "ZVR_Text2GUIText gui-bad-sizes"})
        EXPECT_EQ(s.count(check), 1u) << check;
}

TEST(Validate, TheSameSeedRepeatsTheRun) {
    const Ran a = runQvhost({"validate", "--json", "--seed", "99", plugin("adsr")});
    const Ran b = runQvhost({"validate", "--json", "--seed", "99", plugin("adsr")});
    const Ran c = runQvhost({"validate", "--json", "--seed", "100", plugin("adsr")});
    ASSERT_EQ(a.exitCode, 0);
    EXPECT_EQ(a.out, b.out);
    EXPECT_NE(a.out, c.out) << "the random block sizes follow the seed";
}

TEST(Validate, ALibraryWithoutDescriptionGetsTheLibraryChecksAndAWarning) {
    const Ran r = runQvhost({"validate", plugin("factory_fixture")});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("WARNING  description"), std::string::npos) << r.out;
}

TEST(Validate, AFileThatIsNoLibraryFails) {
    const std::string path = scratchDir() + "/fake.qvm";
    writeFile(path, "\x7f" "ELF but not really");
    const Ran r = runQvhost({"validate", path});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.out.find("FAILED   load"), std::string::npos) << r.out;
}

struct Broken {
    const char* library;
    std::vector<std::string> failing;  // "check" or "module check"
    bool onlyThese = true;             // false: a broken module may fail more checks
};

class BrokenLibraries : public ::testing::TestWithParam<Broken> {};

TEST_P(BrokenLibraries, AreCaughtByTheirGroupOfChecks) {
    const Ran r = runQvhost({"validate", "--json", "--seed", "5", fixture(GetParam().library)});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    const Json doc = Json::parse(r.out);
    const auto s = statuses(doc["libraries"][0]);
    for (const auto& check : GetParam().failing) {
        ASSERT_EQ(s.count(check), 1u) << check << " did not run";
        EXPECT_EQ(s.at(check), "FAILED") << check;
    }
    if (GetParam().onlyThese) {
        EXPECT_EQ(doc["summary"]["failed"], GetParam().failing.size()) << r.out;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, BrokenLibraries,
    ::testing::Values(Broken{"broken_export", {"single-export"}},
                      Broken{"broken_factory",
                             {"get-factory", "factory-interfaces", "near-identifiers", "wrong-sub-types"}},
                      // A module that hands out uncounted references is destroyed under the
                      // host's hands; what follows may crash or not.
                      Broken{"broken_lifecycle", {"Immortal create", "Immortal interfaces", "Uncounted interfaces"},
                             false},
                      Broken{"broken_dsp", {"NaNAt17 blocks", "Overrun blocks"}},
                      Broken{"broken_sleep", {"Restless sleep"}},
                      Broken{"broken_gui", {"Picky gui-bad-sizes", "Chatty gui-values"}},
                      Broken{"broken_paint", {"Smudge paint"}},
                      Broken{"broken_description", {"Real pins", "Ghost create", "Ghost interfaces", "Ghost pins",
                                                    "Ghost gui-values", "Ghost gui-bad-sizes"}}),
    [](const auto& info) { return std::string(info.param.library); });

}  // namespace
