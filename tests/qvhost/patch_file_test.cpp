// A patch as read, before any library is loaded: what it holds, where each
// part is written, and which checks reading makes and which it leaves to the
// run.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "failure.h"
#include "failure_of.h"
#include "io/json_source.h"
#include "patch/patch_file.h"

using namespace qvhost;

namespace {

const char* const kPatch = R"({
  "title": "Two voices",
  "rate": 44100,
  "block": 32,
  "seconds": 2,
  "libraries": {"adsr": "lib/adsr.qvm"},
  "modules": {
    "env": {"library": "adsr", "id": "ADSR", "set": {"Release": 0.5, "Attack": 0.01}},
    "amp": {"library": "uplink", "id": "Gain"}
  },
  "connections": [["env.Out", "amp.dsp.In"]],
  "timeline": [{"at": 1.5, "set": "env.Gate", "value": true}, {"at": 0.25, "set": "amp.Gain", "value": "0.5"}],
  "record": [{"signals": ["env.Out", "amp.Out"], "wav": "out.wav"}],
  "frames": [{"module": "amp"}, {"module": "env", "every": 0.5, "size": [200, 100], "name": "envelope"}]
})";

TEST(PatchFile, HoldsTheSettingsAndLibrariesAsWritten) {
    const JsonSource src("p.json", kPatch);
    const PatchFile patch = readPatchFile(src, PatchLimits{});
    EXPECT_EQ(patch.source, &src);
    EXPECT_EQ(patch.title, "Two voices");
    EXPECT_EQ(patch.rate, 44100);
    EXPECT_EQ(patch.block, 32);
    EXPECT_EQ(patch.seconds, 2.0);
    ASSERT_NE(patch.libraryPath("adsr"), nullptr);
    EXPECT_EQ(*patch.libraryPath("adsr"), "lib/adsr.qvm");
    EXPECT_EQ(patch.libraryPath("uplink"), nullptr) << "a library not listed is searched for";
}

TEST(PatchFile, DefaultsAreThoseOfTheRun) {
    const JsonSource src("quiet.json", R"({"modules": {"a": {"library": "l", "id": "x"}}})");
    const PatchFile patch = readPatchFile(src, PatchLimits{});
    EXPECT_EQ(patch.title, "quiet.json") << "plots are headed by the file's name";
    EXPECT_EQ(patch.rate, 48000);
    EXPECT_EQ(patch.block, 64);
    EXPECT_EQ(patch.seconds, 1.0);
    EXPECT_TRUE(patch.connections.empty());
    EXPECT_TRUE(patch.timeline.empty());
    EXPECT_TRUE(patch.recordings.empty()) << "that a patch writes nothing is the run's to say, after its other checks";
}

TEST(PatchFile, ModulesComeInTheOrderTheyAreLoadedWithTheirSettings) {
    const JsonSource src("p.json", kPatch);
    const PatchFile patch = readPatchFile(src, PatchLimits{});
    ASSERT_EQ(patch.modules.size(), 2u);
    EXPECT_EQ(patch.modules[0].name, "amp");
    EXPECT_EQ(patch.modules[0].library, "uplink");
    EXPECT_EQ(patch.modules[0].id, "Gain");
    EXPECT_EQ(src.where(patch.modules[0].at), "p.json:9:12: modules.amp");
    EXPECT_TRUE(patch.modules[0].sets.empty());
    const WrittenModule& env = patch.modules[1];
    EXPECT_EQ(env.name, "env");
    ASSERT_EQ(env.sets.size(), 2u);
    EXPECT_EQ(env.sets[0].first, "Attack");
    EXPECT_EQ(env.sets[0].second, Json(0.01));
    EXPECT_EQ(env.sets[1].first, "Release");
}

TEST(PatchFile, PinsKeepTheirTextAndPlace) {
    const JsonSource src("p.json", kPatch);
    const PatchFile patch = readPatchFile(src, PatchLimits{});
    ASSERT_EQ(patch.connections.size(), 1u);
    EXPECT_EQ(patch.connections[0].from.text, "env.Out");
    EXPECT_EQ(patch.connections[0].to.text, "amp.dsp.In");
    EXPECT_EQ(src.where(patch.connections[0].to.at), "p.json:11:31: connections[0][1]");
    EXPECT_EQ(src.where(patch.connections[0].at), "p.json:11:19: connections[0]");

    ASSERT_EQ(patch.timeline.size(), 2u);
    EXPECT_EQ(patch.timeline[0].time, 1.5) << "in the file's order; the run sorts by time";
    EXPECT_EQ(patch.timeline[0].pin.text, "env.Gate");
    EXPECT_EQ(patch.timeline[0].value, Json(true));
    EXPECT_EQ(patch.timeline[1].value, Json("0.5")) << "values stay JSON until the pin's type is known";
    EXPECT_EQ(src.where(patch.timeline[1].valueAt), "p.json:12:104: timeline[1].value");

    ASSERT_EQ(patch.recordings.size(), 1u);
    ASSERT_EQ(patch.recordings[0].signals.size(), 2u);
    EXPECT_EQ(patch.recordings[0].signals[1].text, "amp.Out");
    EXPECT_EQ(src.where(patch.recordings[0].signals[1].at), "p.json:13:38: record[0].signals[1]");
    EXPECT_EQ(patch.recordings[0].wav, "out.wav");
    EXPECT_EQ(patch.recordings[0].plot, "");
}

TEST(PatchFile, FrameSeriesSayWhatWasWrittenAndWhatIsTheModules) {
    const JsonSource src("p.json", kPatch);
    const PatchFile patch = readPatchFile(src, PatchLimits{});
    ASSERT_EQ(patch.frames.size(), 2u);
    const WrittenFrames& amp = patch.frames[0];
    EXPECT_EQ(amp.module, "amp");
    EXPECT_EQ(amp.every, 0.1);
    EXPECT_FALSE(amp.everyWritten);
    EXPECT_FALSE(amp.size.has_value()) << "the module's own size, measured when it is loaded";
    EXPECT_EQ(amp.stem, "amp");
    EXPECT_FALSE(amp.nameWritten);
    const WrittenFrames& env = patch.frames[1];
    EXPECT_EQ(env.every, 0.5);
    EXPECT_TRUE(env.everyWritten);
    ASSERT_TRUE(env.size.has_value());
    EXPECT_EQ(env.size->first, 200);
    EXPECT_EQ(env.size->second, 100);
    EXPECT_EQ(env.stem, "envelope");
    EXPECT_TRUE(env.nameWritten);
    EXPECT_EQ(src.where(env.at), "p.json:14:33: frames[1]");
}

TEST(PatchFile, LimitsAreCheckedInTheOrderSecondsRateModules) {
    const JsonSource src("p.json", "{\"seconds\": 700,\n \"rate\": 400000,\n \"modules\": {\"a\": {\"library\": \"l\", \"id\": \"x\"}}}");
    EXPECT_EQ(failureOf([&] { readPatchFile(src, PatchLimits{}); }),
              "p.json:1:13: seconds: 700 s is more than the limit of 600 s (--max-seconds raises it)");
    PatchLimits longer;
    longer.seconds = 700;
    EXPECT_EQ(failureOf([&] { readPatchFile(src, longer); }),
              "p.json:2:10: rate: 400000 Hz is more than the limit of 384000 Hz (--max-rate raises it)");
    longer.rate = 400000;
    longer.modules = 0;
    EXPECT_EQ(failureOf([&] { readPatchFile(src, longer); }),
              "p.json:3:13: modules: 1 modules is more than the limit of 0 (--max-modules raises it)");
}

TEST(PatchFile, TheRulesComeBeforeTheLimits) {
    const JsonSource src("p.json", "{\"seconds\": 700, \"modules\": {}}");
    const std::string what = failureOf([&] { readPatchFile(src, PatchLimits{}); });
    EXPECT_EQ(what.rfind("p.json:1:29: modules: ", 0), 0u) << what;
}

TEST(PatchFile, ChecksThatNeedTheLibrariesAreLeftToTheRun) {
    // Unknown modules and pins, a module name with '.', frames beyond the
    // limit: the run reports them after the checks on earlier modules.
    const JsonSource src("p.json", R"({"seconds": 600, "modules": {"a.b": {"library": "none", "id": "x"}},
        "connections": [["nobody.Out", "a.b.In"]], "frames": [{"module": "ghost", "every": 0.001}]})");
    EXPECT_EQ(failureOf([&] { readPatchFile(src, PatchLimits{}); }), "");
}

}  // namespace
