// qvhost info, render, paint, run and demo, and the errors a user meets.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "paint_surface.h"
#include "platform/gdiplus_flat.h"
#include "run_qvhost.h"

// Reading a PNG back through GDI+.
extern "C" {
ovra::gdip::Status OVRA_GDIPAPI GdipCreateBitmapFromFile(const ovra::gdip::Char* file, ovra::gdip::Bitmap** bitmap);
ovra::gdip::Status OVRA_GDIPAPI GdipBitmapGetPixel(ovra::gdip::Bitmap* bitmap, int32_t x, int32_t y,
                                                   ovra::gdip::ARGB* color);
ovra::gdip::Status OVRA_GDIPAPI GdipGetImageWidth(ovra::gdip::Image* image, uint32_t* width);
ovra::gdip::Status OVRA_GDIPAPI GdipGetImageHeight(ovra::gdip::Image* image, uint32_t* height);
}

using namespace qvtest;
using Json = nlohmann::json;
namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------------------

TEST(Info, TableListsModulesPinsAndBuild) {
    const Ran r = runQvhost({"info", plugin("uplink")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("MS Compiler V1916 (Release), framework 30800"), std::string::npos);
    EXPECT_NE(r.out.find("ZVR_Text2GUIText"), std::string::npos);
    EXPECT_NE(r.out.find("the host carries DSP pin 0 to and from GUI pin 0"), std::string::npos);
}

TEST(Info, JsonDescribesEveryLibraryGiven) {
    const Ran r = runQvhost({"info", "--json", plugin("guikit"), plugin("adsr")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json doc = Json::parse(r.out);
    ASSERT_EQ(doc.size(), 2u);
    EXPECT_EQ(doc[0]["modules"].size(), 42u);
    EXPECT_EQ(doc[1]["version"], 30800);
    EXPECT_EQ(doc[1]["modules"][0]["halves"][0]["pins"][9]["name"], "EnvelopeOut");
}

// A library copied beside a description of the test's choosing.
std::string withDescription(const std::string& name, const std::string& text) {
    const std::string dir = scratchDir() + "/" + name;
    fs::create_directories(dir);
    const std::string lib = dir + "/adsr.qvm";
    fs::copy_file(plugin("adsr"), lib, fs::copy_options::overwrite_existing);
    std::ofstream(lib + ".json", std::ios::binary) << text;
    return lib;
}

std::string adsrDescription() {
    std::ifstream in(plugin("adsr") + ".json", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(Info, ABrokenDescriptionFailsTheCommandAtItsPlace) {
    const std::string lib = withDescription("info-broken", "{\n  \"library\": \"adsr\"\n  \"modules\": []\n}\n");
    const Ran r = runQvhost({"info", lib});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(lib + ".json:3:11: syntax error"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("no module description"), std::string::npos) << "the library is still described: " << r.out;
    fs::remove(lib + ".json");
    EXPECT_EQ(runQvhost({"info", lib}).exitCode, 0) << "a library without a description is no failure";
}

TEST(CheckDescription, ShapeAndPinsFailAtTheLineAndColumnOfTheFile) {
    Json doc = Json::parse(adsrDescription());
    const std::string good = scratchDir() + "/check-good.qvm.json", typed = scratchDir() + "/check-typed.qvm.json",
                      named = scratchDir() + "/check-named.qvm.json", shape = scratchDir() + "/check-shape.qvm.json";
    std::ofstream(good) << doc.dump(2);
    const Ran ok = runQvhost({"check-description", good, plugin("adsr")});
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
    EXPECT_NE(ok.out.find("pins as"), std::string::npos) << ok.out;

    // A pin's type, and a module the library does not register.
    Json pins = doc;
    pins["modules"][0]["halves"][0]["pins"][2]["type"] = "int";
    std::ofstream(typed) << pins.dump(2);
    const Ran t = runQvhost({"check-description", typed, plugin("adsr")});
    EXPECT_EQ(t.exitCode, 1);
    EXPECT_NE(t.err.find(typed + ":"), std::string::npos) << t.err;
    EXPECT_NE(t.err.find("pin 2 ("), std::string::npos) << t.err;
    EXPECT_NE(t.err.find("described int in, the module declares"), std::string::npos) << t.err;
    EXPECT_EQ(t.err.find("pin 1 ("), std::string::npos) << "only the changed pin: " << t.err;

    Json renamed = doc;
    renamed["modules"][0]["id"] = "QV ADSR5";
    const std::string renamedText = renamed.dump(2);
    std::ofstream(named) << renamedText;
    const size_t idAt = renamedText.find("\"QV ADSR5\"");
    const auto line = std::count(renamedText.begin(), renamedText.begin() + static_cast<long>(idAt), '\n') + 1;
    const auto column = idAt - renamedText.rfind('\n', idAt);
    const Ran n = runQvhost({"check-description", named, plugin("adsr")});
    EXPECT_EQ(n.exitCode, 1);
    EXPECT_NE(n.err.find(named + ":" + std::to_string(line) + ":" + std::to_string(column) +
                         ": modules[0].id: QV ADSR5 (dsp, sub-type 0): the library registers no such half"),
              std::string::npos)
        << n.err;

    // A value of the wrong kind points at the value itself.
    std::ofstream(shape) << "{\"library\": \"adsr\",\n \"modules\": [{\"id\": \"X\", \"halves\": [{\"subType\": 0,\n"
                            "  \"kind\": \"dsp\", \"pins\": [{\"index\": 0, \"name\": \"A\", \"type\": \"audoi\"}]}]}]}\n";
    const Ran sh = runQvhost({"check-description", shape});
    EXPECT_EQ(sh.exitCode, 1);
    EXPECT_NE(sh.err.find(shape + ":3:61: modules[0].halves[0].pins[0].type:"), std::string::npos) << sh.err;
    EXPECT_NE(sh.err.find("unknown type \"audoi\""), std::string::npos) << sh.err;
}

TEST(Describe, TheSkeletonIsADescriptionOfTheDeclaredPins) {
    const std::string out = scratchDir() + "/described.qvm.json";
    const Ran r = runQvhost({"describe", plugin("adsr"), "-o", out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json skeleton = Json::parse(std::ifstream(out));
    const Json shipped = Json::parse(adsrDescription());
    ASSERT_EQ(skeleton["modules"].size(), 1u);
    EXPECT_EQ(skeleton["modules"][0]["id"], "QV ADSR4");
    const Json& pins = skeleton["modules"][0]["halves"][0]["pins"];
    const Json& described = shipped["modules"][0]["halves"][0]["pins"];
    ASSERT_EQ(pins.size(), described.size());
    for (size_t i = 0; i < pins.size(); ++i) {
        EXPECT_EQ(pins[i]["type"], described[i]["type"]) << i;
        EXPECT_EQ(pins[i]["direction"], described[i]["direction"]) << i;
    }
    // What it writes is a description the check accepts as it stands.
    EXPECT_EQ(runQvhost({"check-description", out, plugin("adsr")}).exitCode, 0);
}

// ---------------------------------------------------------------------------

// An attack from 0 with AttackTime 0.5 and AttackShape 0.5 at 48 kHz: level
// k = A (1 - (1 - c)^k), ending exactly at 1.0 on its 4801st sample.
TEST(Render, AdsrAttackMatchesItsRecurrence) {
    const std::string out = scratchDir() + "/attack.wav";
    const Ran r = runQvhost({"render", plugin("adsr"), "QV ADSR4", "--set", "AttackTime=0.5", "--set",
                             "AttackShape=0.5", "--set", "Gate=true", "--set", "Trigger=true", "--seconds", "0.2",
                             "-o", out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Wav w = readWav(out);
    ASSERT_EQ(w.channels, 1);
    EXPECT_EQ(w.rate, 48000);
    EXPECT_TRUE(w.isFloat);
    ASSERT_EQ(w.channel[0].size(), 9600u);
    const auto& s = w.channel[0];
    const double c = 0.0010411243, a = 1.0067836549;
    for (size_t k : {1u, 2u, 10u, 100u, 1000u, 3000u, 4800u}) {
        const double expected = a * (1.0 - std::pow(1.0 - c, static_cast<double>(k)));
        EXPECT_NEAR(s[k - 1], expected, 2e-6) << "attack sample " << k;
    }
    EXPECT_NEAR(s[4799], 1.0f, 1e-6f) << "0.9999999993 before its last step";
    EXPECT_EQ(s[4800], 1.0f);
    EXPECT_LT(s[4801], 1.0f) << "the decay follows at once";
}

TEST(Render, TimelineValuesLandOnTheirSample) {
    const std::string out = scratchDir() + "/gate.wav";
    const Ran r = runQvhost({"render", plugin("downlink"), "ZVR_GUIInt2Volt", "--set", "FromGui=5@0.01", "--set",
                             "0=-3@250ms", "--rate", "1000", "--block", "7", "--seconds", "0.5", "-o", out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Wav w = readWav(out);
    ASSERT_EQ(w.channel[0].size(), 500u);
    EXPECT_EQ(w.channel[0][9], 0.0f);
    EXPECT_EQ(w.channel[0][10], 0.5f);
    EXPECT_EQ(w.channel[0][249], 0.5f);
    EXPECT_EQ(w.channel[0][250], -0.3f);
}

TEST(Render, ValuesPrintsWhatAControlOutputSends) {
    const Ran r = runQvhost({"render", plugin("uplink"), "ZVR_Volt2GUIInt", "--set", "Voltage=0.55@0.5",
                             "--seconds", "1", "--values"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("0.500000 s  ToGui = 5"), std::string::npos) << r.out;
    EXPECT_TRUE(r.err.empty()) << "no progress bar when stderr is no terminal: " << r.err;
}

TEST(Render, ValuesSayWhyThereAreNone) {
    const Ran silent = runQvhost({"render", plugin("adsr"), "QV ADSR4", "--seconds", "0.1", "--values"});
    ASSERT_EQ(silent.exitCode, 0) << silent.err;
    EXPECT_NE(silent.out.find("QV ADSR4 has no control outputs: no values to print"), std::string::npos) << silent.out;
}

TEST(Render, TheNullDeviceRunsTheModuleAndWritesNothing) {
#if defined(_WIN32)
    const std::string nowhere = "NUL";
#else
    const std::string nowhere = "/dev/null";
#endif
    const Ran r = runQvhost({"render", plugin("adsr"), "QV ADSR4", "--set", "Gate=true@0.01", "--seconds", "0.1",
                             "-o", nowhere, "--plot", nowhere});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("rendered 1 channel, 4800 samples at 48000 Hz, written nowhere"), std::string::npos) << r.out;
    const Ran strict = runQvhost({"render", plugin("adsr"), "QV ADSR4", "--seconds", "0.1", "-o", nowhere,
                                  "--strict"});
    EXPECT_EQ(strict.exitCode, 0) << "a check without a file: " << strict.err;
}

TEST(Render, ProgressBarOnlyOnATerminalAndOnlyBeyondASecond) {
#if defined(_WIN32)
    GTEST_SKIP() << "no terminal for qvhost.exe here: Wine's pseudo console hands the child no console output";
#else
    const std::string lib = plugin("adsr");
    const std::string longRun = onTerminal({"render", lib, "QV ADSR4", "--seconds", "3", "-o", scratchDir() + "/l.wav"});
    EXPECT_NE(longRun.find("] 100%"), std::string::npos) << longRun;
    EXPECT_NE(longRun.find("[####"), std::string::npos);
    const std::string shortRun = onTerminal({"render", lib, "QV ADSR4", "--seconds", "1", "-o", scratchDir() + "/s.wav"});
    EXPECT_NE(shortRun.find("s.wav"), std::string::npos) << "the run happened: " << shortRun;
    EXPECT_EQ(shortRun.find('%'), std::string::npos) << shortRun;
#endif
}

TEST(Render, PlotIsAPngOfTheRequestedSignal) {
    const std::string png = scratchDir() + "/plot.png";
    const Ran r = runQvhost({"render", plugin("adsr"), "QV ADSR4", "--set", "Gate=true@0.1", "--set",
                             "Trigger=true@0.1", "--seconds", "0.5", "--plot", png});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(readFile(png).substr(1, 3), "PNG");
}

// ---------------------------------------------------------------------------

struct Png {
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(uint32_t x, uint32_t y) const { return pixels[y * width + x]; }
};

Png readPng(const std::string& path) {
    ovra::host::PaintSurface gdiplusOn(1, 1);  // keeps GDI+ started
    const std::u16string wide(path.begin(), path.end());
    std::vector<ovra::gdip::Char> name(wide.begin(), wide.end());
    name.push_back(0);
    ovra::gdip::Bitmap* bitmap = nullptr;
    Png png;
    if (GdipCreateBitmapFromFile(name.data(), &bitmap) != ovra::gdip::Ok || bitmap == nullptr)
        return png;
    auto* image = reinterpret_cast<ovra::gdip::Image*>(bitmap);
    GdipGetImageWidth(image, &png.width);
    GdipGetImageHeight(image, &png.height);
    for (uint32_t y = 0; y < png.height; ++y)
        for (uint32_t x = 0; x < png.width; ++x) {
            ovra::gdip::ARGB c = 0;
            GdipBitmapGetPixel(bitmap, static_cast<int32_t>(x), static_cast<int32_t>(y), &c);
            png.pixels.push_back(c);
        }
    GdipDisposeImage(image);
    return png;
}

TEST(Paint, HatchesPaintTheirTwoColoursOnly) {
    const std::string png = scratchDir() + "/hatch.png";
    const Ran r = runQvhost({"paint", plugin("guikit"), "WB-Hatches-SDK3", "--set", "LineRed=255", "--set",
                             "LineGreen=0", "--set", "BackBlue=255", "--size", "24x16", "-o", png});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("24 x 16"), std::string::npos);
    const Png p = readPng(png);
    ASSERT_EQ(p.width, 24u);
    ASSERT_EQ(p.height, 16u);
    size_t lines = 0, background = 0;
    for (uint32_t c : p.pixels) {
        lines += c == 0xFFFF0000u;
        background += c == 0xFF0000FFu;
    }
    EXPECT_EQ(lines + background, p.pixels.size()) << "only the two colours of the pins";
    EXPECT_GT(lines, 24u);
    EXPECT_GT(background, lines);
}

TEST(Paint, MeterFillsItsBackgroundAndDrawsItsTextInThePinsColours) {
    const std::string png = scratchDir() + "/meter.png";
    const Ran r = runQvhost({"paint", plugin("guikit"), "WB-Meter-Int-SDK3", "--set", "Value=-42", "--set",
                             "BackRed=200", "--set", "TextBlue=255", "--set", "FontSize=14", "-o", png});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Png p = readPng(png);
    ASSERT_EQ(p.width, 110u) << "the described size";
    ASSERT_EQ(p.height, 20u);
    EXPECT_EQ(p.at(109, 19), 0xFFC80000u);
    EXPECT_EQ(p.at(0, 0), 0xFFC80000u);
    size_t text = 0;
    for (uint32_t y = 0; y < p.height; ++y)
        for (uint32_t x = 0; x < 40; ++x)
            text += p.at(x, y) == 0xFF00FAFFu;
    EXPECT_GT(text, 10u) << "text pixels in green 250 and blue 255";
    for (uint32_t y = 0; y < p.height; ++y)
        for (uint32_t x = 70; x < p.width; ++x)
            EXPECT_EQ(p.at(x, y), 0xFFC80000u) << "nothing drawn right of a short text at " << x << "," << y;
}

// ---------------------------------------------------------------------------

TEST(Run, GuiSwitchPlaysTheEnvelopeFromTheBlockItIsSetIn) {
    const std::string dir = scratchDir() + "/gate";
    const Ran r = runQvhost({"run", example("gate_from_gui.json"), "--out", dir});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Wav w = readWav(dir + "/envelope.wav");
    ASSERT_EQ(w.channels, 2);
    const auto& gate = w.channel[0];
    const auto& env = w.channel[1];
    // 0.2 s is sample 9600, the start of block 150: the GUI value crosses
    // to the DSP half before that block runs.
    EXPECT_EQ(gate[9599], 0.0f);
    EXPECT_EQ(gate[9600], 1.0f);
    EXPECT_EQ(env[9599], 0.0f);
    EXPECT_GT(env[9600], 0.0f);
    EXPECT_EQ(gate[33600], 0.0f) << "the switch opens again at 0.7 s";
    EXPECT_LT(env.back(), env[33599]);
    EXPECT_TRUE(fs::exists(dir + "/envelope.png"));
}

TEST(Run, GuiValueSetAtTheStartReachesTheDspHalf) {
    // The linked DSP pin of a converter is fed by its GUI half: its described
    // default must not overwrite a value the GUI side sets at time 0.
    const std::string dir = scratchDir() + "/gate0";
    fs::create_directories(dir);
    std::ifstream in(example("gate_from_gui.json"));
    Json patch = Json::parse(in);
    patch["timeline"] = Json::array({Json{{"at", 0.0}, {"set", "switch.Value"}, {"value", true}}});
    const std::string path = dir + "/patch.json";
    std::ofstream(path) << patch.dump();
    const Ran r = runQvhost({"run", path, "--out", dir});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Wav w = readWav(dir + "/envelope.wav");
    ASSERT_EQ(w.channels, 2);
    EXPECT_EQ(w.channel[0][64], 1.0f) << "the gate is open from the first blocks on";
    EXPECT_EQ(w.channel[0].back(), 1.0f);
    EXPECT_GT(w.channel[1].back(), 0.5f);
}

TEST(Run, DemoCarriesTheEnvelopeToTheMeterAndBack) {
    const std::string dir = scratchDir() + "/demo";
    const Ran r = runQvhost({"demo", "--out", dir});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find((fs::path(dir) / "envelope.wav").string()), std::string::npos) << "says where the files are: "
                                                                                  << r.out;
    for (const char* f : {"envelope.wav", "envelope.png", "round-trip.wav", "round-trip.png", "meter_0.0s.png",
                          "meter_1.5s.png"})
        EXPECT_TRUE(fs::exists(dir + "/" + f)) << f;
    const Wav w = readWav(dir + "/round-trip.wav");
    ASSERT_EQ(w.channels, 2);
    const auto& env = w.channel[0];
    const auto& back = w.channel[1];
    // The way back is one block late: each block carries the value that the
    // envelope had at the end of the block before (x 10 up, x 0.1 down).
    size_t checked = 0;
    for (size_t i = 128; i < env.size(); i += 37) {
        const size_t lastOfPrevious = (i / 64) * 64 - 1;
        EXPECT_NEAR(back[i], env[lastOfPrevious], 1e-6) << "sample " << i;
        ++checked;
    }
    EXPECT_GT(checked, 1000u);
}

TEST(Run, ExamplesRun) {
    const Ran r = runQvhost({"run", example("meters.json"), "--out", scratchDir() + "/meters"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("(4 frames)"), std::string::npos) << r.out;
}

// ---------------------------------------------------------------------------

struct ErrorCase {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    const char* message;
};

class Errors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(Errors, OneLineOnStderrAndANonZeroExit) {
    const ErrorCase& e = GetParam();
    const Ran r = runQvhost(e.args);
    EXPECT_EQ(r.exitCode, e.exitCode) << r.err;
    ASSERT_EQ(r.errLines().size(), 1u) << r.err;
    EXPECT_NE(r.err.find(e.message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.rfind("qvhost: ", 0), 0u) << r.err;
}

std::string notALibrary() {
    const std::string path = scratchDir() + "/notes.qvm";
    writeFile(path, "just some text\n");
    return path;
}

std::string badPatch() {
    const std::string path = scratchDir() + "/bad.json";
    writeFile(path, "{\n  \"modules\": {\n    \"a\": {\"library\": \"adsr\" \"id\": \"QV ADSR4\"}\n  }\n}\n");
    return path;
}

std::string patchWith(const std::string& name, const std::string& body) {
    const std::string path = scratchDir() + "/" + name + ".json";
    writeFile(path, body);
    return path;
}

INSTANTIATE_TEST_SUITE_P(
    Qvhost, Errors,
    ::testing::Values(
        ErrorCase{"MissingFile", {"info", "/nowhere/none.qvm"}, 1, "no such file"},
        ErrorCase{"NotALibrary", {"info", notALibrary()}, 1, "cannot load"},
        ErrorCase{"UnknownIdentifier", {"render", plugin("adsr"), "QV ADSR5", "-o", "x.wav"}, 1,
                  "unknown module identifier \"QV ADSR5\""},
        ErrorCase{"UnknownPinName", {"render", plugin("adsr"), "QV ADSR4", "--set", "Gait=true", "-o", "x.wav"}, 1,
                  "unknown pin name \"Gait\""},
        ErrorCase{"WrongTypeOfValue", {"render", plugin("adsr"), "QV ADSR4", "--set", "Gate=often", "-o", "x.wav"}, 1,
                  "value 'often' for pin Gate is not a bool"},
        ErrorCase{"IntOutOfRange", {"paint", plugin("guikit"), "WB-Meter-Int-SDK3", "--set", "Value=9999999999",
                                    "-o", "x.png"},
                  1, "is not an int"},
        ErrorCase{"BadTime", {"render", plugin("adsr"), "QV ADSR4", "--set", "Gate=true@soon", "-o", "x.wav"}, 1,
                  "time 'soon'"},
        ErrorCase{"OutputPinSet", {"render", plugin("adsr"), "QV ADSR4", "--set", "EnvelopeOut=1", "-o", "x.wav"}, 1,
                  "is an output"},
        ErrorCase{"PaintWithoutDrawing", {"paint", plugin("guikit"), "WB-MathSDK3", "-o", "x.png"}, 1,
                  "does not draw"},
        ErrorCase{"RenderWithoutDsp", {"render", plugin("guikit"), "WB-MathSDK3", "-o", "x.wav"}, 1,
                  "has no DSP half"},
        ErrorCase{"BadSize", {"paint", plugin("guikit"), "WB-Hatches-SDK3", "--size", "wide", "-o", "x.png"}, 1,
                  "is not WxH"},
        ErrorCase{"BadPatchJson", {"run", badPatch()}, 1, "bad.json:3:32: syntax error"},
        ErrorCase{"MissingPatch", {"run", "/nowhere/patch.json"}, 1, "cannot read /nowhere/patch.json"},
        ErrorCase{"PatchUnknownModule",
                  {"run", patchWith("unknown", R"({"modules": {"a": {"library": "adsr", "id": "QV ADSR4"}},
                      "connections": [["a.EnvelopeOut", "b.Voltage"]], "record": [{"signals": ["a.EnvelopeOut"], "wav": "a.wav"}]})")},
                  1, "unknown.json:2:57: connections[0][1]: unknown module \"b\"; did you mean \"a\"?"},
        ErrorCase{"PatchTypeMismatch",
                  {"run", patchWith("types", R"({"modules": {"a": {"library": "adsr", "id": "QV ADSR4"},
                      "u": {"library": "uplink", "id": "ZVR_Float2GUIFloat"}},
                      "connections": [["a.EnvelopeOut", "u.dsp.Value"]], "record": [{"signals": ["a.EnvelopeOut"], "wav": "a.wav"}]})")},
                  1, "carries audio but u.dsp.Value takes float"},
        ErrorCase{"PatchWrongValueType",
                  {"run", patchWith("value", R"({"modules": {"a": {"library": "adsr", "id": "QV ADSR4", "set": {"Gate": 1.5}}},
                      "record": [{"signals": ["a.EnvelopeOut"], "wav": "a.wav"}]})")},
                  1, "is not a bool"},
        ErrorCase{"PatchMissingLibrary",
                  {"run", patchWith("nolib", R"({"modules": {"a": {"library": "nolib", "id": "X"}}})")}, 1,
                  "cannot find library \"nolib\""},
        // Checks that need the libraries keep the order the file is read in:
        // a module's name after the library of the modules before it, a
        // frame series' count after its module, nothing to write last.
        ErrorCase{"PatchMissingLibraryBeforeADottedName",
                  {"run", patchWith("dotted", R"({"modules": {"a": {"library": "nolib", "id": "X"},
                      "b.c": {"library": "adsr", "id": "QV ADSR4"}}})")}, 1,
                  "dotted.json:1:31: modules.a.library: cannot find library \"nolib\""},
        ErrorCase{"PatchDottedModuleName",
                  {"run", patchWith("dot", R"({"modules": {"a.b": {"library": "adsr", "id": "QV ADSR4"}},
                      "record": [{"signals": ["x.EnvelopeOut"], "wav": "a.wav"}]})")}, 1,
                  "dot.json:1:21: modules.a.b: module names may not contain '.'"},
        ErrorCase{"PatchFramesOfAModuleThatDoesNotDrawBeforeTheirCount",
                  {"run", patchWith("count", R"({"modules": {"a": {"library": "adsr", "id": "QV ADSR4"}},
                      "frames": [{"module": "a", "every": 0.0001}]})")}, 1,
                  "frames[0].module: a (QV ADSR4) does not draw"},
        ErrorCase{"PatchUnknownPinBeforeWritingNothing",
                  {"run", patchWith("nothing", R"({"modules": {"a": {"library": "adsr", "id": "QV ADSR4"}},
                      "timeline": [{"at": 0, "set": "a.Gait", "value": true}]})")}, 1,
                  "timeline[0].set: unknown pin name \"Gait\""},
        ErrorCase{"PatchAmbiguousPin",
                  {"run", patchWith("both", R"({"modules": {"u": {"library": "uplink", "id": "ZVR_Float2GUIFloat"}},
                      "record": [{"signals": ["u.Value"], "wav": "a.wav"}]})")},
                  1, "is on both halves"},
        ErrorCase{"UnknownCommand", {"sing"}, 2, "sing"},
        ErrorCase{"MissingArgument", {"render", plugin("adsr")}, 2, "ID"},
        // Each message points at the mistake and, where it can, the way forward.
        ErrorCase{"IdentifierNearAKnownOne", {"render", plugin("adsr"), "qv adsr4", "-o", "x.wav"}, 1,
                  "adsr.qvm; did you mean \"QV ADSR4\"?"},
        // A name the code registers but the description lacks is said to be
        // so; a suggestion names only what the library can create.
        ErrorCase{"IdentifierRegisteredButNotDescribed", {"render", fixture("broken_names"), "MY-OnePole", "-o", "x.wav"},
                  1, "broken_names.qvm: the library registers it, but"},
        ErrorCase{"NoSuggestionOfAnUnregisteredIdentifier",
                  {"render", fixture("broken_names"), "MY-Onepol", "-o", "x.wav"}, 1, "broken_names.qvm; qvhost info"},
        ErrorCase{"AModuleThatFailsToPaint", {"paint", fixture("broken_drawing"), "Refuser", "-o", "x.png"}, 1,
                  "the module's onPaint answered -1"},
        ErrorCase{"PinNameNearAKnownOne", {"render", plugin("adsr"), "QV ADSR4", "--set", "Gait=true", "-o", "x.wav"},
                  1, "unknown pin name \"Gait\" for QV ADSR4; did you mean \"Gate\"?"},
        ErrorCase{"PinIndexOutOfRange", {"render", plugin("adsr"), "QV ADSR4", "--set", "42=1", "-o", "x.wav"}, 1,
                  "pin index 42 is out of range for QV ADSR4 (its pins are 0..10"},
        ErrorCase{"SubcommandUsage", {"render", plugin("adsr")}, 2, "(see qvhost render --help)"},
        ErrorCase{"SizeBeyondTheLimit",
                  {"paint", plugin("guikit"), "WB-Hatches-SDK3", "--size", "100000x100000", "-o", "x.png"}, 1,
                  "--size 100000x100000 is out of range: width and height lie between 1 and 8192 pixels"},
        ErrorCase{"MissingOutputFolder", {"render", plugin("adsr"), "QV ADSR4", "-o", "/nowhere/at/all/x.wav"}, 1,
                  "-o /nowhere/at/all/x.wav: the folder /nowhere/at/all does not exist"},
        ErrorCase{"UnknownOutputExtension", {"render", plugin("adsr"), "QV ADSR4", "-o", "x.mp3"}, 1,
                  "-o x.mp3: qvhost writes WAV files only; name the file x.wav"},
        ErrorCase{"PlotNotPng", {"render", plugin("adsr"), "QV ADSR4", "--plot", "x.jpg"}, 1,
                  "--plot x.jpg: qvhost writes PNG files only"},
        ErrorCase{"PaintNotPng", {"paint", plugin("guikit"), "WB-Hatches-SDK3", "-o", "x.bmp"}, 1,
                  "-o x.bmp: qvhost writes PNG files only"},
        ErrorCase{"MissingPluginsFolder",
                  {"run", example("meters.json"), "--plugins", "/nowhere/plugins"}, 1,
                  "--plugins /nowhere/plugins: no such folder"},
        ErrorCase{"PatchValueOfTheWrongJsonType",
                  {"run", patchWith("seconds", "{\"seconds\": \"1\",\n \"modules\": {\"a\": {\"library\": \"adsr\", \"id\": \"QV ADSR4\"}}}")}, 1,
                  "seconds.json:1:13: seconds: must be a number, not a string (\"1\")"},
        ErrorCase{"PatchUnknownKeyNearAKnownOne",
                  {"run", patchWith("frame", R"({"modules": {"a": {"library": "adsr", "id": "QV ADSR4"}},
  "frame": []})")},
                  1, "frame.json:2:12: frame: unknown key \"frame\"; did you mean \"frames\"?"},
        ErrorCase{"PatchIdentifierNearAKnownOne",
                  {"run", patchWith("id", R"({"modules": {"a": {"library": "adsr", "id": "QV-ADSR"}},
  "record": [{"signals": ["a.EnvelopeOut"], "wav": "a.wav"}]})")},
                  1, "id.json:1:45: modules.a.id: unknown module identifier \"QV-ADSR\""},
        ErrorCase{"PatchPinNearAKnownOne",
                  {"run", patchWith("pin", R"({"modules": {"a": {"library": "adsr", "id": "QV ADSR4"}},
  "record": [{"signals": ["a.EnvelopOut"], "wav": "a.wav"}]})")},
                  1, "pin.json:2:27: record[0].signals[0]: unknown pin name \"EnvelopOut\" for a (QV ADSR4); did "
                     "you mean \"EnvelopeOut\"?"},
        ErrorCase{"PatchModuleNearAKnownOne",
                  {"run", patchWith("mod", R"({"modules": {"env": {"library": "adsr", "id": "QV ADSR4"}},
  "record": [{"signals": ["emv.EnvelopeOut"], "wav": "a.wav"}]})")},
                  1, "unknown module \"emv\"; did you mean \"env\"?"},
        ErrorCase{"PatchGuiSelfLoop",
                  {"run", patchWith("self", R"({"modules": {"math": {"library": "guikit", "id": "WB-MathSDK3"},
                                                 "m": {"library": "guikit", "id": "WB-Meter-Float-SDK3"}},
  "connections": [["math.Result", "math.X"]],
  "timeline": [{"at": 0.1, "set": "math.X", "value": 1.0}],
  "frames": [{"module": "m", "every": 0.5}]})")},
                  1, "the GUI connections form a loop that does not settle (math.Result -> math.X; cut after 64"},
        ErrorCase{"PatchGuiRingOfTwo",
                  {"run", patchWith("ring", R"({"modules": {"a": {"library": "guikit", "id": "WB-MathSDK3", "set": {"Function": 5}},
                                                 "b": {"library": "guikit", "id": "WB-MathSDK3", "set": {"Function": 1}},
                                                 "m": {"library": "guikit", "id": "WB-Meter-Float-SDK3"}},
  "connections": [["a.Result", "b.X"], ["b.Result", "a.X"]],
  "timeline": [{"at": 0.1, "set": "a.X", "value": 0.5}],
  "frames": [{"module": "m", "every": 0.5}]})")},
                  1, "(b.Result -> a.X, a.Result -> b.X; cut after 64"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// ---------------------------------------------------------------------------

const char* kSettlingRing = R"({"modules": {"lim": {"library": "guikit", "id": "WB-Float-LimitSDK3", "set": {"Max": 5, "Min": -5}},
                                "m": {"library": "guikit", "id": "WB-Meter-Float-SDK3"}},
  "connections": [["lim.Value2", "lim.Value"], ["lim.Value2", "m.Value"]],
  "timeline": [{"at": 0.1, "set": "lim.Value", "value": 9.0}],
  "frames": [{"module": "m", "every": 0.25}]})";

TEST(Run, AGuiRingThatSettlesRunsAndFramesAreNamedByTheirTime) {
    const std::string dir = scratchDir() + "/settle";
    const Ran r = runQvhost({"run", patchWith("settle", kSettlingRing), "--out", dir});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* name : {"m_0.00s.png", "m_0.25s.png", "m_0.50s.png", "m_0.75s.png"})
        EXPECT_TRUE(fs::exists(dir + "/" + name)) << name;
    EXPECT_NE(r.out.find("wrote 4 files"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("(4 frames)"), std::string::npos) << r.out;
}

// A GUI value of infinity, carried to the DSP side: every sample from 0.1 s
// on is not finite.
const char* kInfinitePatch = R"({"modules": {"d": {"library": "downlink", "id": "ZVR_GUIFloat2Volt"}},
  "timeline": [{"at": 0.1, "set": "d.gui.Value", "value": "inf"}],
  "record": [{"signals": ["d.Voltage"], "wav": "v.wav"}]})";

TEST(NonFinite, RunReportsTheFirstTimeAndTheCountPerSignal) {
    const Ran r = runQvhost({"run", patchWith("inf", kInfinitePatch), "--out", scratchDir() + "/inf"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(r.errLines().size(), 1u) << r.err;
    EXPECT_NE(r.err.find("warning: d.Voltage is not finite from 0.10"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("samples of 48000"), std::string::npos) << r.err;
}

TEST(NonFinite, StrictFailsTheRunAndTheRender) {
    const Ran run = runQvhost({"run", patchWith("inf", kInfinitePatch), "--out", scratchDir() + "/inf", "--strict"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("--strict: 1 signal not finite"), std::string::npos) << run.err;

    const std::string wav = scratchDir() + "/inf.wav";
    const Ran render = runQvhost({"render", plugin("downlink"), "ZVR_GUIFloat2Volt", "--set", "FromGui=inf@0.5",
                                  "--seconds", "1", "-o", wav, "--strict"});
    EXPECT_EQ(render.exitCode, 1) << render.err;
    EXPECT_NE(render.err.find("Voltage is not finite from 0.500000 s (first inf; 24000 samples of 48000)"),
              std::string::npos)
        << render.err;
}

TEST(NonFinite, AFiniteRenderSaysNothing) {
    const Ran r = runQvhost({"render", plugin("adsr"), "QV ADSR4", "--set", "Gate=true@0.1", "--seconds", "0.3",
                             "-o", scratchDir() + "/fine.wav", "--strict"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
}

TEST(PatchValues, TextNumbersReadAsOnTheCommandLine) {
    const std::string dir = scratchDir() + "/nan";
    const Ran r = runQvhost({"run", patchWith("nan", R"({"modules": {"d": {"library": "downlink", "id": "ZVR_GUIFloat2Volt"}},
  "timeline": [{"at": 0, "set": "d.gui.Value", "value": "nan"}, {"at": 0.5, "set": "d.gui.Value", "value": "-inf"}],
  "record": [{"signals": ["d.Voltage"], "wav": "v.wav"}]})"), "--out", dir});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const Wav w = readWav(dir + "/v.wav");
    ASSERT_EQ(w.channels, 1);
    EXPECT_EQ(w.channel[0].back(), -std::numeric_limits<float>::infinity());
}

TEST(PatchValues, AnEventAfterTheEndIsReportedAsRenderReportsIt) {
    const Ran run = runQvhost({"run", patchWith("late", R"({"seconds": 0.5, "modules": {"a": {"library": "adsr", "id": "QV ADSR4"}},
  "timeline": [{"at": 2, "set": "a.Gate", "value": true}],
  "record": [{"signals": ["a.EnvelopeOut"], "wav": "a.wav"}]})"), "--out", scratchDir() + "/late"});
    const Ran render = runQvhost({"render", plugin("adsr"), "QV ADSR4", "--set", "Gate=true@2", "--seconds", "0.5",
                                  "-o", scratchDir() + "/late.wav"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(render.exitCode, 0) << render.err;
    EXPECT_EQ(run.err, "qvhost: note: a.Gate=true at 2 s lies at or after the end (0.5 s) and is not applied\n");
    EXPECT_EQ(render.err, "qvhost: note: Gate=true at 2 s lies at or after the end (0.5 s) and is not applied\n");
}

TEST(Info, ReportsEveryLibraryEvenAfterOneFails) {
    const Ran r = runQvhost({"info", "/nowhere/a.qvm", plugin("adsr")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("/nowhere/a.qvm"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("  1 module\n"), std::string::npos) << "singular, and adsr still described: " << r.out;
}

TEST(Run, PluginsRepeatsAndIsSearchedInOrder) {
    // Each library lies in a folder of its own.
    const std::string a = scratchDir() + "/plugins-a", b = scratchDir() + "/plugins-b";
    fs::create_directories(a);
    fs::create_directories(b);
    for (const auto& [dir, lib] : {std::pair{a, std::string("guikit")}, std::pair{b, std::string("slew")}}) {
        fs::copy_file(plugin(lib), dir + "/" + lib + ".qvm");
        fs::copy_file(plugin(lib) + ".json", dir + "/" + lib + ".qvm.json");
    }
    const std::string patch = scratchDir() + "/slew-patch.json";
    fs::copy_file(example("slew/slew-patch.json"), patch);
    const Ran r = runQvhost({"run", patch, "--plugins", a, "--plugins", b, "--out", scratchDir() + "/slew-out"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
}

// What a patch may ask for. Each limit refuses the patch where the value is
// written, names the limit and the option that raises it, runs nothing and
// makes no output folder; the option raised, the same patch is sound.
struct LimitCase {
    const char* name;
    std::string patch;
    std::vector<std::string> raise;
    std::string message;
};

class PatchLimits : public ::testing::TestWithParam<LimitCase> {};

TEST_P(PatchLimits, RefusedAtItsPlaceWithTheOptionAndNothingWritten) {
    const LimitCase& c = GetParam();
    const std::string path = patchWith(std::string("limit-") + c.name, c.patch);
    for (const bool check : {false, true}) {
        SCOPED_TRACE(check ? "--check" : "run");
        const std::string out = scratchDir() + "/limit-out-" + c.name + (check ? "-check" : "");
        std::vector<std::string> args{"run", path, "--out", out};
        if (check)
            args.push_back("--check");
        const Ran r = runQvhost(args);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        ASSERT_EQ(r.errLines().size(), 1u) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(out)) << "a refused patch made its output folder";
    }
    std::vector<std::string> raised{"run", path, "--check", "--out", scratchDir() + "/limit-raised"};
    raised.insert(raised.end(), c.raise.begin(), c.raise.end());
    const Ran r = runQvhost(raised);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(fs::exists(scratchDir() + "/limit-raised"));
}

std::string manyModules(int n) {
    std::string modules;
    for (int i = 0; i < n; ++i)
        modules += (i > 0 ? ", " : "") + ("\"h" + std::to_string(i) + "\": {\"library\": \"guikit\", \"id\": \"WB-Hatches-SDK3\"}");
    return "{\"modules\": {" + modules + "},\n \"frames\": [{\"module\": \"h0\"}]}";
}

INSTANTIATE_TEST_SUITE_P(
    Qvhost, PatchLimits,
    ::testing::Values(
        LimitCase{"Seconds", "{\"seconds\": 600.5,\n \"modules\": {\"h\": {\"library\": \"guikit\", \"id\": \"WB-Hatches-SDK3\"}},"
                             " \"frames\": [{\"module\": \"h\", \"every\": 60}]}",
                  {"--max-seconds", "601"},
                  "limit-Seconds.json:1:13: seconds: 600.5 s is more than the limit of 600 s (--max-seconds raises it)"},
        LimitCase{"Rate", "{\"rate\": 384001,\n \"modules\": {\"h\": {\"library\": \"guikit\", \"id\": \"WB-Hatches-SDK3\"}},"
                          " \"frames\": [{\"module\": \"h\"}]}",
                  {"--max-rate", "768000"},
                  "limit-Rate.json:1:10: rate: 384001 Hz is more than the limit of 384000 Hz (--max-rate raises it)"},
        LimitCase{"Modules", manyModules(257), {"--max-modules", "257"},
                  "limit-Modules.json:1:13: modules: 257 modules is more than the limit of 256 (--max-modules raises it)"},
        // 0.5 s every 0.0004 s: 1250 frames, 250 more than allowed.
        LimitCase{"Frames", "{\"seconds\": 0.5, \"modules\": {\"h\": {\"library\": \"guikit\", \"id\": \"WB-Hatches-SDK3\"}},\n"
                            " \"frames\": [{\"module\": \"h\", \"every\": 0.0004}]}",
                  {"--max-frames", "2000"},
                  "limit-Frames.json:2:38: frames[0].every: frames every 0.0004 s for 0.5 s are more than the limit "
                  "of 1000 frames (--max-frames raises it)"},
        LimitCase{"FramesOfAllSeries", "{\"seconds\": 1, \"modules\": {\"h\": {\"library\": \"guikit\", \"id\": \"WB-Hatches-SDK3\"}},\n"
                                       " \"frames\": [{\"module\": \"h\", \"every\": 0.002},\n"
                                       "            {\"module\": \"h\", \"every\": 0.001, \"name\": \"again\"}]}",
                  {"--max-frames", "2000"},
                  "frames[1].every: frames every 0.001 s for 1 s and the series before it are more than the limit "
                  "of 1000 frames"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Run, CheckWritesNothingAndSaysThePatchIsSound) {
    const std::string out = scratchDir() + "/checked";
    const Ran r = runQvhost({"run", example("meters.json"), "--check", "--out", out});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("the patch is sound; nothing was run or written"), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(out));
}

}  // namespace
