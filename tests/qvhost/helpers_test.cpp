// qvhost's message helpers in process: nearest names, places in JSON text,
// the patch rules, and what a plot decides before it draws.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <cmath>
#include <set>
#include <sstream>

#include "failure.h"
#include "failure_of.h"
#include "io/json_source.h"
#include "patch/patch_rules.h"
#include "io/plot_layout.h"
#include "validate/readable_text.h"
#include "io/suggest.h"

using namespace qvhost;

namespace {

// ---------------------------------------------------------------------------
// Text a module controls, on its way into a report.

TEST(ReadableText, ValidUtf8PassesUnchanged) {
    for (const std::string& text : std::vector<std::string>{"", "plain", "caf\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x8E\xB9", "\xEF\xBF\xBF",
                                   std::string("nul \0 inside", 13)})
        EXPECT_EQ(readable(text), text);
}

TEST(ReadableText, EveryByteThatStartsNoValidSequenceIsEscaped) {
    EXPECT_EQ(readable("\xFF\xFE"), "\\xFF\\xFE");
    EXPECT_EQ(readable("a\xC3"), "a\\xC3");                    // cut short at the end
    EXPECT_EQ(readable("\xC3(\x80"), "\\xC3(\\x80");            // no continuation, a stray one
    EXPECT_EQ(readable("\xC0\xAF"), "\\xC0\\xAF");              // overlong
    EXPECT_EQ(readable("\xE0\x80\xAF"), "\\xE0\\x80\\xAF");      // overlong, three bytes
    EXPECT_EQ(readable("\xF4\x90\x80\x80"), "\\xF4\\x90\\x80\\x80");  // beyond U+10FFFF
    EXPECT_EQ(readable("\xF8\x88\x80\x80\x80"), "\\xF8\\x88\\x80\\x80\\x80");
}

TEST(ReadableText, AnUnpairedSurrogateIsShownAsItsCodeUnit) {
    EXPECT_EQ(readable("\xED\xA0\x80"), "\\uD800");
    EXPECT_EQ(readable("x\xED\xBF\xBFy"), "x\\uDFFFy");
    EXPECT_EQ(readable("\xED\x9F\xBF"), "\xED\x9F\xBF") << "U+D7FF is a character";
}

TEST(ReadableText, EveryByteStringBecomesValidJson) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    all += "\xED\xA0\x80\xED\xB0\x80";
    const std::string safe = readable(all);
    EXPECT_NO_THROW((void)nlohmann::json(safe).dump());
}

// ---------------------------------------------------------------------------

struct DistanceCase {
    const char* a;
    const char* b;
    size_t distance;
};

class EditDistance : public ::testing::TestWithParam<DistanceCase> {};

TEST_P(EditDistance, CountsEditsIgnoringCaseAndSeparators) {
    EXPECT_EQ(editDistance(GetParam().a, GetParam().b), GetParam().distance);
    EXPECT_EQ(editDistance(GetParam().b, GetParam().a), GetParam().distance) << "symmetric";
}

INSTANTIATE_TEST_SUITE_P(Suggest, EditDistance,
                         ::testing::Values(DistanceCase{"", "", 0}, DistanceCase{"", "abc", 3},
                                           DistanceCase{"Gait", "Gate", 2}, DistanceCase{"qv adsr4", "QV ADSR4", 0},
                                           DistanceCase{"WB_Meter", "WB-Meter", 0},
                                           DistanceCase{"Sustain", "SustainLevel", 5},
                                           DistanceCase{"kitten", "sitting", 3}));

TEST(Suggestion, NamesTheNearestCandidates) {
    const std::vector<std::string> pins{"Trigger", "Gate", "AttackTime", "DecayTime"};
    EXPECT_EQ(suggestion("Gait", pins), "; did you mean \"Gate\"?");
    EXPECT_EQ(suggestion("AtackTime", pins), "; did you mean \"AttackTime\"?");
    EXPECT_EQ(suggestion("DecayTim", {"DecayTime", "DecayTimes"}), "; did you mean \"DecayTime\"?");
}

TEST(Suggestion, ListsAShortCatalogueWhenNothingIsNear) {
    EXPECT_EQ(suggestion("zzzzzz", {"rate", "block"}), "; known: rate, block");
}

TEST(Suggestion, FallsBackForALongCatalogue) {
    std::vector<std::string> many;
    for (int i = 0; i < 20; ++i)
        many.push_back("Module" + std::to_string(i * 1111));
    EXPECT_EQ(suggestion("qqqqqqqqqqqqqqqq", many, "; see the list"), "; see the list");
    EXPECT_EQ(suggestion("x", {}, "; none"), "; none");
}

TEST(Counted, SingularOnlyForOne) {
    EXPECT_EQ(counted(0, "file"), "0 files");
    EXPECT_EQ(counted(1, "file"), "1 file");
    EXPECT_EQ(counted(2, "entry", "entries"), "2 entries");
}

// ---------------------------------------------------------------------------

TEST(JsonSource, PointsAtTheValueByLineColumnAndKeyPath) {
    const JsonSource src("p.json", "{\n  \"modules\": {\n    \"env\": {\"set\": {\"Gate\": 1.5}}\n  },\n"
                                   "  \"timeline\": [{}, {\"at\": -1}]\n}\n");
    EXPECT_EQ(src.where(JsonPath("/modules/env/set/Gate")), "p.json:3:29: modules.env.set.Gate");
    EXPECT_EQ(src.where(JsonPath("/timeline/1/at")), "p.json:5:27: timeline[1].at");
    EXPECT_EQ(src.where(JsonPath()), "p.json:1:1: top level");
}

TEST(JsonSource, AMissingValueIsPlacedAtItsParent) {
    const JsonSource src("p.json", "{\"modules\":\n  {\"a\": {}}}");
    EXPECT_EQ(src.where(JsonPath("/modules/a/library")), "p.json:2:9: modules.a.library");
}

TEST(JsonSource, KeysWithEscapesAndDigitsKeepTheirPlace) {
    const JsonSource src("p.json", "{\"a\\\"b\": {\"42\": [true, \"x\\u00e9\", {\"k\": null}]}}");
    EXPECT_EQ(src.where(JsonPath("/a\"b/42/2/k")), "p.json:1:41: a\"b.42[2].k") << "an object key of digits is a key";
}

TEST(JsonSource, ASyntaxErrorNamesItsLineAndColumn) {
    const std::string what = failureOf([] { JsonSource("bad.json", "{\n  \"a\": 1,\n  \"b\" 2\n}"); });
    EXPECT_EQ(what.rfind("bad.json:3:7: syntax error", 0), 0u) << what;
}

TEST(JsonSource, ANumberBeyondADoubleIsAFailureAtItsPlace) {
    const std::string what = failureOf([] { JsonSource("big.json", "{\n  \"a\": [0,\n  1e999]\n}"); });
    EXPECT_EQ(what, "big.json:3:3: number overflow parsing '1e999'");
}

// ---------------------------------------------------------------------------

struct RuleCase {
    const char* name;
    const char* patch;
    const char* message;  // "" when the patch keeps the rules
};

class PatchRules : public ::testing::TestWithParam<RuleCase> {};

TEST_P(PatchRules, ReportTheFirstBrokenRuleWithItsPlace) {
    const RuleCase& c = GetParam();
    const std::string what = failureOf([&] {
        const JsonSource src("p.json", c.patch);
        checkAgainstSchema(src, patchSchema());
    });
    if (std::string(c.message).empty())
        EXPECT_EQ(what, "");
    else
        EXPECT_EQ(what, c.message);
}

#define MODULES R"("modules": {"a": {"library": "adsr", "id": "QV ADSR4"}})"

INSTANTIATE_TEST_SUITE_P(
    Patch, PatchRules,
    ::testing::Values(
        RuleCase{"Minimal", "{" MODULES "}", ""},
        RuleCase{"Everything",
                 R"({"title": "t", "rate": 44100, "block": 32, "seconds": 0.5, "libraries": {"adsr": "x/adsr.qvm"},)" MODULES
                 R"(, "connections": [["a.X", "b.gui.Y"]], "timeline": [{"at": 0, "set": "a.Gate", "value": "nan"}],
                    "record": [{"signals": ["a.EnvelopeOut"], "plot": "e.png"}],
                    "frames": [{"module": "m", "every": 0.5, "size": [10, 20], "name": "n"}]})",
                 ""},
        RuleCase{"IntegralFloatIsAnInteger", R"({"rate": 48000.0, )" MODULES "}", ""},
        RuleCase{"NotAnObject", "[1]", "p.json:1:1: top level: must be an object, not a list ([1])"},
        RuleCase{"SecondsAsText", R"({"seconds": "1", )" MODULES "}",
                 "p.json:1:13: seconds: must be a number, not a string (\"1\")"},
        RuleCase{"RateAsFraction", R"({"rate": 4.5, )" MODULES "}",
                 "p.json:1:10: rate: must be an integer, not a number (4.5)"},
        RuleCase{"SecondsZero", R"({"seconds": 0, )" MODULES "}", "p.json:1:13: seconds: must be above 0, not 0"},
        RuleCase{"BlockTooLarge", R"({"block": 70000, )" MODULES "}",
                 "p.json:1:11: block: must be at most 65536, not 70000"},
        RuleCase{"UnknownTopKey", R"({"frame": [], )" MODULES "}",
                 "p.json:1:11: frame: unknown key \"frame\"; did you mean \"frames\"?"},
        RuleCase{"NoModules", R"({"modules": {}})", "p.json:1:13: modules: needs at least 1 entry"},
        RuleCase{"ModuleWithoutId", R"({"modules": {"a": {"library": "adsr"}}})", "p.json:1:19: modules.a: needs \"id\""},
        RuleCase{"ConnectionOfThree", "{" MODULES R"(, "connections": [["a.X", "b.Y", "c.Z"]]})",
                 "p.json:1:75: connections[0]: takes at most 2 items"},
        RuleCase{"PinWithoutModule", "{" MODULES R"(, "connections": [["a.X", "Y"]]})",
                 "p.json:1:83: connections[0][1]: \"Y\" is not MODULE.PIN"},
        RuleCase{"EventWithoutValue", "{" MODULES R"(, "timeline": [{"at": 1, "set": "a.Gate"}]})",
                 "p.json:1:72: timeline[0]: needs \"value\""},
        RuleCase{"NegativeTime", "{" MODULES R"(, "timeline": [{"at": -1, "set": "a.Gate", "value": 1}]})",
                 "p.json:1:79: timeline[0].at: must be at least 0, not -1"},
        RuleCase{"RecordingWithoutFile", "{" MODULES R"(, "record": [{"signals": ["a.EnvelopeOut"]}]})",
                 "p.json:1:70: record[0]: needs \"wav\" or \"plot\""},
        RuleCase{"RecordingAsMp3", "{" MODULES R"(, "record": [{"signals": ["a.E"], "wav": "x.mp3"}]})",
                 "p.json:1:98: record[0].wav: \"x.mp3\" is not a .wav file name"},
        RuleCase{"FrameTooLarge", "{" MODULES R"(, "frames": [{"module": "a", "size": [10, 9000]}]})",
                 "p.json:1:99: frames[0].size[1]: must be at most 8192, not 9000"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------

TEST(PlotPalette, HasTenColoursThatStayApart) {
    const auto& palette = plotPalette();
    ASSERT_GE(palette.size(), 10u);
    EXPECT_EQ(std::set<uint32_t>(palette.begin(), palette.end()).size(), palette.size());
    for (uint32_t c : palette) {
        // Dark enough to read on the white ground: no channel mix near white.
        const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
        EXPECT_LT(0.299 * r + 0.587 * g + 0.114 * b, 190.0) << std::hex << c;
        EXPECT_EQ(c >> 24, 0xFFu) << "opaque";
    }
}

Signal signal(const std::string& name, std::vector<float> samples, bool audio = true) {
    return Signal{name, std::move(samples), audio};
}

TEST(PlotStyles, SevenSignalsTakeSevenColours) {
    std::vector<Signal> signals;
    for (int k = 0; k < 7; ++k)
        signals.push_back(signal("s" + std::to_string(k), {static_cast<float>(k)}));
    std::set<uint32_t> colours;
    for (const auto& s : traceStyles(signals)) {
        colours.insert(s.colour);
        EXPECT_EQ(s.line, LineStyle::Solid);
        EXPECT_EQ(s.sameAs, -1);
    }
    EXPECT_EQ(colours.size(), 7u);
}

TEST(PlotStyles, ATraceOnTopOfAnotherIsBroken) {
    const auto styles = traceStyles({signal("a", {0, 1, 2}), signal("b", {0, 1, 2.5f}), signal("c", {0, 1, 2}),
                                     signal("d", {0, 1, 2})},
                                    3);
    EXPECT_EQ(styles[1].sameAs, -1) << "one sample differs";
    EXPECT_EQ(styles[2].sameAs, 0);
    EXPECT_NE(styles[2].line, LineStyle::Solid);
    EXPECT_EQ(styles[3].sameAs, 0);
    EXPECT_NE(styles[3].line, styles[2].line) << "a third copy shows too";
}

TEST(PlotStyles, ATraceOneBlockBehindAnotherIsBrokenToo) {
    std::vector<float> a(1000), b(1000);
    for (size_t i = 0; i < a.size(); ++i) {
        a[i] = i < 500 ? 0.0f : 1.0f;
        b[i] = i < 520 ? 0.0f : 1.0f;  // 2 % of the samples apart
    }
    EXPECT_EQ(traceStyles({signal("a", a), signal("b", b)}, 100)[1].sameAs, 0);
    for (size_t i = 500; i < 600; ++i)
        b[i] = 0.0f;  // 10 % apart: both show
    EXPECT_EQ(traceStyles({signal("a", a), signal("b", b)}, 100)[1].sameAs, -1);
}

TEST(PlotStyles, NanSamplesCoincideWithNan) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(traceStyles({signal("a", {nan, 1}), signal("b", {nan, 1})}, 2)[1].sameAs, 0);
}

// Columns of 10 samples, 0.1 units to a pixel: what each column draws.
std::vector<bool> passages(const std::vector<float>& samples) {
    const auto spans = columnsOf(signal("s", samples), samples.size() / 10);
    std::vector<bool> out;
    for (size_t c = 0; c < spans.size(); ++c)
        out.push_back(passesThrough(spans, c, 0.05f));
    return out;
}

TEST(PlotTrace, ASmoothCurveIsOnePointPerColumn) {
    // An exponential decay, steep at first: no column is drawn as a step.
    std::vector<float> decay(1000);
    for (size_t i = 0; i < decay.size(); ++i)
        decay[i] = std::exp(-static_cast<float>(i) / 150.0f);
    for (bool passes : passages(decay))
        EXPECT_TRUE(passes);
}

TEST(PlotTrace, WhatHappensInsideAColumnKeepsItsLowestAndHighest) {
    std::vector<float> spike(100, 0.0f), buzz(100), gap(100, 0.5f);
    spike[45] = 1.0f;
    for (size_t i = 0; i < buzz.size(); ++i)
        buzz[i] = i % 2 ? 1.0f : -1.0f;  // many cycles in every column
    gap[55] = std::numeric_limits<float>::quiet_NaN();
    const auto spiked = passages(spike), buzzing = passages(buzz), gapped = passages(gap);
    EXPECT_FALSE(spiked[4]);
    EXPECT_TRUE(spiked[3]) << "a flat column beside it";
    for (size_t c = 1; c + 1 < buzzing.size(); ++c)
        EXPECT_FALSE(buzzing[c]) << c;
    EXPECT_TRUE(gapped[5]) << "the column's finite samples count, the NaN breaks nothing here";
    const std::vector<std::pair<float, float>> broken{{0.0f, 0.0f}, {std::nanf(""), std::nanf("")}, {1.0f, 1.0f}};
    EXPECT_FALSE(passesThrough(broken, 1, 0.05f));
    EXPECT_TRUE(passesThrough(broken, 2, 0.05f)) << "beside a break, a flat column is a point";
}

TEST(LegendRows, WrapWithoutLosingOrCuttingAnEntry) {
    const auto rows = legendRows({100, 300, 250, 400, 900, 50}, 600, 10);
    std::vector<size_t> all;
    for (const auto& row : rows)
        all.insert(all.end(), row.begin(), row.end());
    EXPECT_EQ(all, (std::vector<size_t>{0, 1, 2, 3, 4, 5}));
    const std::vector<std::vector<size_t>> expected{{0, 1}, {2}, {3}, {4}, {5}};
    EXPECT_EQ(rows, expected);
}

TEST(YAxisLabel, SaysTheUnitOfAudioSignals) {
    EXPECT_EQ(yAxisLabel({signal("a", {}), signal("b", {})}), "signal units (1 = 10 V)");
    EXPECT_EQ(yAxisLabel({signal("gate", {}, false)}), "value");
    EXPECT_EQ(yAxisLabel({signal("gate", {}, false), signal("env", {})}), "value; audio in signal units (1 = 10 V)");
}

}  // namespace

namespace {

// Every key the patch rules know is explained on the patch page.
void collectKeys(const Json& schema, std::set<std::string>& keys) {
    if (!schema.is_object())
        return;
    if (schema.contains("properties"))
        for (const auto& [key, rule] : schema["properties"].items()) {
            keys.insert(key);
            collectKeys(rule, keys);
        }
    for (const char* nested : {"items", "additionalProperties"})
        if (schema.contains(nested))
            collectKeys(schema[nested], keys);
    if (schema.contains("$defs"))
        for (const auto& [name, rule] : schema["$defs"].items())
            collectKeys(rule, keys);
}

TEST(PatchPage, ExplainsEveryKeyOfThePatchRules) {
    std::ifstream in(QVHOST_DOCS_DIR "/patches.md");
    ASSERT_TRUE(in);
    std::stringstream page;
    page << in.rdbuf();
    std::set<std::string> keys;
    collectKeys(patchSchema(), keys);
    EXPECT_GE(keys.size(), 20u);
    for (const auto& key : keys)
        EXPECT_NE(page.str().find("| `" + key + "` |"), std::string::npos) << key << " has no row on the page";
}

}  // namespace
