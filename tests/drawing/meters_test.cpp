// guikit's meters and hatch fill through the ABI, painted into GDI+ bitmaps.
// A meter's text is checked by drawing the expected text with the same GDI+
// calls onto an identical surface and comparing every pixel.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <cstdlib>
#include <limits>

#include <gtest/gtest.h>

#include "paint_helpers.h"
#include "plugins.h"

namespace ovra::test {
namespace {

constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t kMeterGreen = 0xFF00FA00;  // the meters' initial text colour
constexpr uint32_t kHatchGreen = 0xFF00FF00;
constexpr uint32_t kCanvas = 0xFF336699;  // what a surface held before the paint

// Pin indices that differ between the float meter and the other two.
struct MeterPins {
    int32_t antiAlias, textAlpha, textRed, backgroundAlpha, count;
};
constexpr MeterPins kBoolIntPins{5, 6, 7, 10, 14};
constexpr MeterPins kFloatPins{6, 7, 8, 11, 15};

class DrawingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { lib_ = loadPlugin("guikit").release(); }
    static void TearDownTestSuite() {
        delete lib_;
        lib_ = nullptr;
    }
    static host::Library* lib_;

    // Paints the module into a fresh 110 x 20 surface that held kCanvas.
    static std::vector<uint32_t> paintOf(DrawnModule& m, int32_t w = 110, int32_t h = 20) {
        host::PaintSurface surface(w, h);
        EXPECT_TRUE(surface.valid());
        surface.clear(kCanvas);
        EXPECT_EQ(surface.paint(m.gfx), RC_OK);
        return surface.pixels();
    }

    // The expected picture of a meter: its background, then the text.
    static std::vector<uint32_t> referenceOf(const std::u16string& text, int32_t size, uint32_t colour = kMeterGreen,
                                             float x = 2, float y = 2, int32_t style = 0, bool antiAlias = false) {
        host::PaintSurface surface(110, 20);
        surface.clear(kBlack);
        drawReferenceText(surface, text, size, colour, x, y, style, antiAlias);
        return surface.pixels();
    }
};
host::Library* DrawingTest::lib_ = nullptr;

using MeterTest = DrawingTest;
using HatchTest = DrawingTest;

TEST_F(MeterTest, MeasureAnswers110By20WhateverIsOffered) {
    for (const char16_t* id : {u"WB-Meter-Bool-SDK3", u"WB-Meter-Int-SDK3", u"WB-Meter-Float-SDK3"}) {
        DrawnModule m(*lib_, id);
        ASSERT_TRUE(m.ok());
        for (GuiSize offered : {GuiSize{0, 0}, GuiSize{500, 500}, GuiSize{-7, 3}}) {
            GuiSize result{};
            EXPECT_EQ(m.gfx->measure(offered, &result), RC_OK);
            EXPECT_EQ(result.width, 110);
            EXPECT_EQ(result.height, 20);
        }
    }
}

TEST_F(MeterTest, FreshMeterPaintsOpaqueBlackOnly) {
    DrawnModule m(*lib_, u"WB-Meter-Bool-SDK3");
    ASSERT_TRUE(m.ok());
    const auto pixels = paintOf(m);
    EXPECT_EQ(countPixels(pixels, kBlack), pixels.size());
}

TEST_F(MeterTest, BoolMeterDrawsFalseAndTrueInGreenAtTwoTwo) {
    DrawnModule m(*lib_, u"WB-Meter-Bool-SDK3");
    ASSERT_TRUE(m.ok());
    m.set(1, int32_t{12});
    const auto painted = paintOf(m);
    EXPECT_GT(countPixels(painted, kMeterGreen), 0u);
    EXPECT_EQ(painted, referenceOf(u"False", 12));

    m.set(0, true);
    EXPECT_EQ(paintOf(m), referenceOf(u"True", 12));
}

TEST_F(MeterTest, IntMeterDrawsDecimalWithAsciiMinus) {
    DrawnModule m(*lib_, u"WB-Meter-Int-SDK3");
    ASSERT_TRUE(m.ok());
    m.set(1, int32_t{12});
    m.set(0, int32_t{-42});
    EXPECT_EQ(paintOf(m), referenceOf(u"-42", 12));
    m.set(0, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(paintOf(m), referenceOf(u"-2147483648", 12));
}

struct FloatCase {
    float value;
    int32_t decimals;
    const char16_t* text;
};

TEST_F(MeterTest, FloatMeterFormatsFixedPointWithClampedDecimals) {
    const FloatCase cases[] = {
        {3.14159f, 2, u"3.14"},
        {1.005f, 2, u"1.00"},  // the float nearest 1.005 lies below it
        {-0.26f, 1, u"-0.3"},
        {2.5f, 3, u"2.500"},
        {2.5f, 0, u"2.5"},                 // decimals below 1 count as 1
        {2.5f, 20, u"2.500000000000000"},  // and above 15 as 15
        {2.5f, -4, u"2.5"},
        {std::numeric_limits<float>::infinity(), 2, u"inf"},
    };
    for (const FloatCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value << " with " << c.decimals << " decimals");
        DrawnModule m(*lib_, u"WB-Meter-Float-SDK3");
        ASSERT_TRUE(m.ok());
        m.set(1, int32_t{12});
        m.set(5, c.decimals);
        m.set(0, c.value);
        EXPECT_EQ(paintOf(m), referenceOf(c.text, 12));
    }
}

TEST_F(MeterTest, FloatMeterStartsWithTwoDecimalsAndTellsNeighbouringTextsApart) {
    DrawnModule m(*lib_, u"WB-Meter-Float-SDK3");
    ASSERT_TRUE(m.ok());
    m.set(1, int32_t{12});
    m.set(0, 3.14159f);
    const auto painted = paintOf(m);
    EXPECT_EQ(painted, referenceOf(u"3.14", 12));
    EXPECT_NE(painted, referenceOf(u"3.15", 12));  // the comparison sees one digit
}

TEST_F(MeterTest, LongestFloatTextFitsItsRoom) {
    // The longest text any float gives: 56 characters.
    DrawnModule m(*lib_, u"WB-Meter-Float-SDK3");
    ASSERT_TRUE(m.ok());
    m.set(1, int32_t{12});
    m.set(5, int32_t{15});
    m.set(0, -std::numeric_limits<float>::max());
    EXPECT_EQ(paintOf(m), referenceOf(u"-340282346638528859811704183484516925440.000000000000000", 12));
}

TEST_F(MeterTest, PositionStyleAndColourFoldOutOfRangeValues) {
    struct Case {
        const char* what;
        int32_t pin;
        host::Bytes value;
        float x, y;
        int32_t style;
        uint32_t colour;
    };
    const Case cases[] = {
        {"x -3 draws at 0", 3, host::bytesOf(-3.0f), 0, 2, 0, kMeterGreen},
        {"y 7.5 draws at 7.5", 4, host::bytesOf(7.5f), 2, 7.5f, 0, kMeterGreen},
        {"style 5 is regular", 2, host::bytesOf(int32_t{5}), 2, 2, 0, kMeterGreen},
        {"style 4 is underlined", 2, host::bytesOf(int32_t{4}), 2, 2, 4, kMeterGreen},
        {"style 1 is bold", 2, host::bytesOf(int32_t{1}), 2, 2, 1, kMeterGreen},
        {"text red 300 is 44", kBoolIntPins.textRed, host::bytesOf(int32_t{300}), 2, 2, 0, 0xFF2CFA00},
        {"text red -1 is 255", kBoolIntPins.textRed, host::bytesOf(int32_t{-1}), 2, 2, 0, 0xFFFFFA00},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DrawnModule m(*lib_, u"WB-Meter-Bool-SDK3");
        ASSERT_TRUE(m.ok());
        m.set(1, int32_t{14});
        host::deliverAndSignal(m.object, c.pin, c.value);
        EXPECT_EQ(paintOf(m), referenceOf(u"False", 14, c.colour, c.x, c.y, c.style));
    }
    // Underlined differs from regular: the style reaches the font.
    EXPECT_NE(referenceOf(u"False", 14, kMeterGreen, 2, 2, 4), referenceOf(u"False", 14));
}

TEST_F(MeterTest, AntiAliasedTextUsesTheAntiAliasHint) {
    DrawnModule m(*lib_, u"WB-Meter-Int-SDK3");
    ASSERT_TRUE(m.ok());
    m.set(1, int32_t{12});
    m.set(0, int32_t{1234});
    m.set(kBoolIntPins.antiAlias, true);
    EXPECT_EQ(paintOf(m), referenceOf(u"1234", 12, kMeterGreen, 2, 2, 0, true));
}

TEST_F(MeterTest, TransparentColoursLeaveWhatWasThere) {
    DrawnModule text(*lib_, u"WB-Meter-Float-SDK3");
    ASSERT_TRUE(text.ok());
    text.set(1, int32_t{12});
    text.set(kFloatPins.textAlpha, int32_t{0});
    const auto invisible = paintOf(text);
    EXPECT_EQ(countPixels(invisible, kBlack), invisible.size());

    DrawnModule background(*lib_, u"WB-Meter-Bool-SDK3");
    ASSERT_TRUE(background.ok());
    background.set(kBoolIntPins.backgroundAlpha, int32_t{0});
    const auto untouched = paintOf(background);
    EXPECT_EQ(countPixels(untouched, kCanvas), untouched.size());
}

TEST_F(MeterTest, BackgroundFillsThePlacementSizeFromTheOrigin) {
    DrawnModule m(*lib_, u"WB-Meter-Bool-SDK3", GuiRect{5, 15, 40, 70});  // 30 x 10, placed away from 0,0
    ASSERT_TRUE(m.ok());
    const auto pixels = paintOf(m);
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 110; ++x)
            EXPECT_EQ(pixels[y * 110 + x], (x < 30 && y < 10) ? kBlack : kCanvas) << x << "," << y;
}

TEST_F(MeterTest, EveryAnnouncedPinChangeAsksForOneWholeRepaint) {
    const std::pair<const char16_t*, int32_t> meters[] = {
        {u"WB-Meter-Bool-SDK3", kBoolIntPins.count},
        {u"WB-Meter-Int-SDK3", kBoolIntPins.count},
        {u"WB-Meter-Float-SDK3", kFloatPins.count},
    };
    for (const auto& [id, pins] : meters) {
        DrawnModule m(*lib_, id);
        ASSERT_TRUE(m.ok());
        for (int32_t pin = 0; pin < pins; ++pin) {
            SCOPED_TRACE(testing::Message() << "pin " << pin);
            m.host.clear();
            host::deliverOnly(m.object, pin, host::bytesOf(int32_t{0}));
            EXPECT_EQ(m.host.invalidations(), 0u);  // a delivery alone does not repaint
            EXPECT_EQ(host::signalOnly(m.object, pin), RC_OK);
            EXPECT_EQ(host::signalOnly(m.object, pin), RC_OK);  // the same value again
            ASSERT_EQ(m.host.invalidations(), 2u);
            for (const auto& call : m.host.calls)
                EXPECT_FALSE(call.rect.has_value());
            EXPECT_TRUE(m.host.sends().empty());
        }
        EXPECT_EQ(host::signalOnly(m.object, pins), RC_FAILED);
    }
}

TEST_F(MeterTest, DestroyingOneMeterLeavesGdiplusToTheOthers) {
    DrawnModule first(*lib_, u"WB-Meter-Int-SDK3");
    DrawnModule second(*lib_, u"WB-Meter-Int-SDK3");
    ASSERT_TRUE(first.ok() && second.ok());
    second.set(1, int32_t{12});
    second.set(0, int32_t{7});
    const auto before = paintOf(second);
    first.destroy();
    EXPECT_EQ(paintOf(second), before);
    EXPECT_EQ(before, referenceOf(u"7", 12));
    second.destroy();

    // With every meter gone, a new one still starts and paints, and the
    // host's own surfaces still work.
    DrawnModule third(*lib_, u"WB-Meter-Int-SDK3");
    ASSERT_TRUE(third.ok());
    third.set(1, int32_t{12});
    third.set(0, int32_t{7});
    EXPECT_EQ(paintOf(third), before);
}

TEST_F(MeterTest, UnusablePaintArgumentsPaintNothingAndAnswerOk) {
    DrawnModule m(*lib_, u"WB-Meter-Float-SDK3", GuiRect{INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN});
    ASSERT_TRUE(m.ok());
    m.set(1, int32_t{12});
    m.set(3, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(m.gfx->onPaint(nullptr), RC_OK);
    paintOf(m);  // a nonsensical placement and a NaN position do not crash
    for (int32_t size : {std::numeric_limits<int32_t>::max(), -12, 0}) {
        m.set(1, size);
        paintOf(m);
    }
}

// What the drawing library prints on stderr while a test paints: libgdiplus
// and Pango report a value they cannot use there, never to the caller.
class StderrCapture {
public:
    StderrCapture() : file_(std::tmpfile()) {
        std::fflush(stderr);
        saved_ = dup(2);
        dup2(fileno(file_), 2);
    }
    ~StderrCapture() {
        restore();
        std::fclose(file_);
    }
    std::string text() {
        restore();
        std::string out;
        std::rewind(file_);
        for (int c; (c = std::fgetc(file_)) != EOF;)
            out += static_cast<char>(c);
        return out;
    }

private:
    void restore() {
        if (saved_ < 0)
            return;
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
    }
    std::FILE* file_;
    int saved_ = -1;
};

// Extreme font sizes and positions: text where both drawing libraries draw
// it alike, the background alone where the meter refuses it, and not a word
// from the drawing library either way.
TEST_F(MeterTest, ExtremeFontSizesAndPositionsDrawTheSameOrNothingAndSayNothing) {
    constexpr float kMax = std::numeric_limits<float>::max(), kInf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* what;
        int32_t size;
        float x, y;
        bool text;  // drawn at (max(x, 0), max(y, 0)), NaN as 0
    } cases[] = {
        {"size 1", 1, 2, 2, true},
        {"size 0", 0, 2, 2, false},
        {"size -1", -1, 2, 2, false},
        {"size INT_MIN", std::numeric_limits<int32_t>::min(), 2, 2, false},
        {"size 1024", 1024, 2, 2, true},
        {"size 1025", 1025, 2, 2, false},
        {"size 2^24", 1 << 24, 2, 2, false},
        {"size INT_MAX", std::numeric_limits<int32_t>::max(), 2, 2, false},
        {"x -FLT_MAX", 12, -kMax, 2, true},
        {"x -inf", 12, -kInf, 2, true},
        {"x NaN", 12, nan, 2, true},
        {"y NaN", 12, 2, nan, true},
        {"y -FLT_MAX", 12, 2, -kMax, true},
        {"x 32767", 12, 32767, 2, true},
        {"x 32768", 12, 32768, 2, false},
        {"x FLT_MAX", 12, kMax, 2, false},
        {"y FLT_MAX", 12, 2, kMax, false},
        {"x inf", 12, kInf, 2, false},
        {"y inf, size INT_MAX", std::numeric_limits<int32_t>::max(), 2, kInf, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DrawnModule m(*lib_, u"WB-Meter-Float-SDK3");
        ASSERT_TRUE(m.ok());
        m.set(1, c.size);
        m.set(0, 8.5f);
        m.set(3, c.x);
        m.set(4, c.y);
        StderrCapture err;
        const auto painted = paintOf(m);
        EXPECT_EQ(err.text(), "");
        if (c.text) {
            const auto place = [](float v) { return v >= 0 ? v : 0.0f; };
            EXPECT_EQ(painted, referenceOf(u"8.50", c.size, kMeterGreen, place(c.x), place(c.y)));
        } else {
            EXPECT_EQ(countPixels(painted, kBlack), painted.size());
        }
    }
}

TEST_F(HatchTest, MeasureClampsTo15To100) {
    DrawnModule m(*lib_, u"WB-Hatches-SDK3");
    ASSERT_TRUE(m.ok());
    GuiSize result{};
    EXPECT_EQ(m.gfx->measure(GuiSize{300, 10}, &result), RC_OK);
    EXPECT_EQ(result.width, 100);
    EXPECT_EQ(result.height, 15);
}

TEST_F(HatchTest, FreshHatchIsGreenCrossOnBlackOverThePlacement) {
    DrawnModule m(*lib_, u"WB-Hatches-SDK3", GuiRect{0, 20, 0, 30});
    ASSERT_TRUE(m.ok());
    const auto pixels = paintOf(m, 40, 30);
    size_t green = 0, black = 0;
    bool fullRow = false, fullColumn = false;
    for (int32_t y = 0; y < 30; ++y)
        for (int32_t x = 0; x < 40; ++x) {
            const uint32_t p = pixels[y * 40 + x];
            if (x >= 30 || y >= 20) {
                EXPECT_EQ(p, kCanvas) << x << "," << y;
                continue;
            }
            EXPECT_TRUE(p == kHatchGreen || p == kBlack) << std::hex << p << " at " << std::dec << x << "," << y;
            green += p == kHatchGreen;
            black += p == kBlack;
        }
    // Horizontal and vertical lines: some row and some column are all green.
    for (int32_t y = 0; y < 20 && !fullRow; ++y) {
        bool all = true;
        for (int32_t x = 0; x < 30; ++x)
            all = all && pixels[y * 40 + x] == kHatchGreen;
        fullRow = all;
    }
    for (int32_t x = 0; x < 30 && !fullColumn; ++x) {
        bool all = true;
        for (int32_t y = 0; y < 20; ++y)
            all = all && pixels[y * 40 + x] == kHatchGreen;
        fullColumn = all;
    }
    EXPECT_GT(green, 0u);
    EXPECT_GT(black, green);
    EXPECT_TRUE(fullRow);
    EXPECT_TRUE(fullColumn);
}

TEST_F(HatchTest, ComponentsUseTheirLowEightBits) {
    DrawnModule fresh(*lib_, u"WB-Hatches-SDK3");
    ASSERT_TRUE(fresh.ok());
    const auto reference = paintOf(fresh);

    DrawnModule m(*lib_, u"WB-Hatches-SDK3");
    ASSERT_TRUE(m.ok());
    m.set(2, int32_t{511});
    EXPECT_EQ(paintOf(m), reference);
    m.set(2, int32_t{256});
    const auto noGreen = paintOf(m);
    EXPECT_EQ(countPixels(noGreen, kBlack), noGreen.size());
}

TEST_F(HatchTest, TransparentBackgroundShowsTheSurfaceBetweenLines) {
    DrawnModule m(*lib_, u"WB-Hatches-SDK3");
    ASSERT_TRUE(m.ok());
    m.set(4, int32_t{0});
    const auto pixels = paintOf(m);
    EXPECT_GT(countPixels(pixels, kCanvas), 0u);
    EXPECT_GT(countPixels(pixels, kHatchGreen), 0u);
    EXPECT_EQ(countPixels(pixels, kCanvas) + countPixels(pixels, kHatchGreen), pixels.size());

    m.set(4, int32_t{255});
    m.set(0, int32_t{0});  // lines hidden
    const auto hidden = paintOf(m);
    EXPECT_EQ(countPixels(hidden, kBlack), hidden.size());
}

TEST_F(HatchTest, EveryAnnouncedPinChangeAsksForOneWholeRepaint) {
    DrawnModule m(*lib_, u"WB-Hatches-SDK3");
    ASSERT_TRUE(m.ok());
    for (int32_t pin = 0; pin < 8; ++pin) {
        m.host.clear();
        m.set(pin, int32_t{255});
        m.set(pin, int32_t{255});
        EXPECT_EQ(m.host.invalidations(), 2u) << "pin " << pin;
        for (const auto& call : m.host.calls)
            EXPECT_FALSE(call.rect.has_value());
    }
    EXPECT_EQ(host::signalOnly(m.object, 8), RC_FAILED);
}

// Not a check: writes what the modules paint, for a person to look at, when
// OVRA_DRAWING_PNG_DIR names a folder.
TEST_F(DrawingTest, WritesPicturesWhenAsked) {
    const char* dir = std::getenv("OVRA_DRAWING_PNG_DIR");
    if (dir == nullptr || *dir == 0)
        GTEST_SKIP() << "OVRA_DRAWING_PNG_DIR not set";
    auto save = [&](DrawnModule& m, const std::string& name) {
        host::PaintSurface surface(110, 20);
        surface.clear(kCanvas);
        surface.paint(m.gfx);
        std::string error;
        EXPECT_TRUE(surface.savePng(std::string(dir) + "/" + name + ".png", error)) << error;
    };
    DrawnModule meter(*lib_, u"WB-Meter-Float-SDK3");
    meter.set(1, int32_t{14});
    meter.set(0, 3.14159f);
    save(meter, "float_meter");
    meter.set(6, true);
    meter.set(2, int32_t{4});
    save(meter, "float_meter_aa_underlined");
    DrawnModule hatch(*lib_, u"WB-Hatches-SDK3");
    save(hatch, "hatch");
}

}  // namespace
}  // namespace ovra::test
