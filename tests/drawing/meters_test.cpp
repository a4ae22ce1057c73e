// guikit's meters and hatch fill through the ABI, painted into a target as a
// host hands it to them (paint_target.h), on either window system. A meter's
// text is checked against the same text drawn here with the same GDI+ calls;
// fills and colours pixel by pixel.
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "paint_target.h"

namespace ovra::test {
namespace {

// Pin indices of the meters; the float meter's decimals pin at 5 shifts the
// later ones by one.
struct MeterPins {
    int32_t value = 0, fontSize = 1, style = 2, x = 3, y = 4;
    int32_t antiAlias, textAlpha, textRed, textGreen, textBlue, backAlpha, backRed, backGreen, backBlue, count;
    constexpr explicit MeterPins(int32_t shift)
        : antiAlias(5 + shift), textAlpha(6 + shift), textRed(7 + shift), textGreen(8 + shift),
          textBlue(9 + shift), backAlpha(10 + shift), backRed(11 + shift), backGreen(12 + shift),
          backBlue(13 + shift), count(14 + shift) {}
};
constexpr MeterPins kBoolPins{0}, kIntPins{0}, kFloatPins{1};
constexpr int32_t kDecimals = 5;

// Hatch pins: line colour 0..3, background 4..7, each alpha, red, green, blue.
enum HatchPin : int32_t { kLineAlpha, kLineRed, kLineGreen, kLineBlue, kBackAlpha, kBackRed, kBackGreen, kBackBlue };
constexpr int32_t kHatchPinCount = 8;

const char16_t kBoolMeter[] = u"WB-Meter-Bool-SDK3";
const char16_t kIntMeter[] = u"WB-Meter-Int-SDK3";
const char16_t kFloatMeter[] = u"WB-Meter-Float-SDK3";
const char16_t kHatches[] = u"WB-Hatches-SDK3";

// Pixels of the cross pattern in a width x height placement at the top left
// of a picture whose rows are `stride` pixels long: lines, gaps between
// them, and pixels that are neither where they should be.
struct CrossCheck {
    int32_t lines = 0, gaps = 0, wrong = 0;
};
CrossCheck checkCross(const Picture& pixels, uint32_t line, uint32_t gap, int32_t width = kWidth,
                      int32_t height = kHeight, int32_t stride = kTargetWidth) {
    CrossCheck out;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t p = pixels[y * stride + x];
            const bool onLine = x % kHatchPeriod == kHatchPhase || y % kHatchPeriod == kHatchPhase;
            if (onLine && p == line)
                ++out.lines;
            else if (!onLine && p == gap)
                ++out.gaps;
            else
                ++out.wrong;
        }
    return out;
}

std::string narrow(const char16_t* id) { return std::string(id, id + std::char_traits<char16_t>::length(id)); }

using MeterTest = DrawingTest;
using HatchTest = DrawingTest;

// Sizes travel by value across the interface, in the platform's calling
// convention.
TEST_F(MeterTest, MeasureAnswers110By20WhateverIsOffered) {
    for (const char16_t* id : {kBoolMeter, kIntMeter, kFloatMeter}) {
        DrawnModule m(*lib_, id);
        ASSERT_TRUE(m.ok());
        for (GuiSize offered : {GuiSize{0, 0}, GuiSize{500, 500}, GuiSize{-7, 3}}) {
            GuiSize result{-1, -1};
            EXPECT_EQ(m.gfx->measure(offered, &result), RC_OK);
            EXPECT_EQ(result.width, 110);
            EXPECT_EQ(result.height, 20);
        }
    }
}

TEST_F(MeterTest, FreshMeterFillsItsPlacementOpaqueBlackAndNothingElse) {
    for (const char16_t* id : {kBoolMeter, kIntMeter, kFloatMeter}) {
        SCOPED_TRACE(narrow(id));
        DrawnModule m(*lib_, id);
        ASSERT_TRUE(m.ok());
        const Picture picture = paintOf(m);
        EXPECT_EQ(countPixels(placed(picture), kBlack), kWidth * kHeight);
        EXPECT_EQ(changedOutside(picture, kCanvas), 0);
    }
}

TEST_F(MeterTest, BoolMeterDrawsFalseAndTrueInGreenAtTwoTwo) {
    DrawnModule m(*lib_, kBoolMeter);
    ASSERT_TRUE(m.ok());
    m.set(kBoolPins.fontSize, int32_t{12});
    const Picture painted = paintOf(m);
    const Picture expected = reference({u"False"});
    EXPECT_GT(countPixels(painted, kMeterGreen), kSolidTextPixels);
    EXPECT_GT(countPixels(expected, kMeterGreen), kSolidTextPixels) << "the reference text left no mark";
    EXPECT_TRUE(showsText(painted, expected));
    EXPECT_TRUE(tellsApart(painted, reference({u"True"})));

    m.set(kBoolPins.value, true);
    EXPECT_TRUE(showsText(paintOf(m), reference({u"True"})));
}

// Each value on a fresh meter at size 12; where a neighbouring text is given,
// the comparison must tell the two apart.
TEST_F(MeterTest, IntAndFloatMetersDrawTheirFormattedValue) {
    constexpr int32_t kKeep = INT32_MIN;
    constexpr float kMax = std::numeric_limits<float>::max();
    struct Case {
        const char16_t* id;
        int32_t decimals;  // float meter only; kKeep leaves the pin alone
        float floatValue;
        int32_t intValue;
        const char16_t* text;
        const char16_t* neighbour;  // or null
    } cases[] = {
        {kIntMeter, kKeep, 0, -42, u"-42", u"42"},  // an ASCII minus
        {kIntMeter, kKeep, 0, INT32_MIN, u"-2147483648", u"-2147483647"},
        {kFloatMeter, kKeep, 3.14159f, 0, u"3.14", u"3.15"},  // two decimals at first
        {kFloatMeter, 2, 3.14159f, 0, u"3.14", nullptr},
        {kFloatMeter, 2, 1.005f, 0, u"1.00", u"1.01"},  // the float nearest 1.005 lies below it
        {kFloatMeter, 1, -0.26f, 0, u"-0.3", u"-0.2"},
        {kFloatMeter, 3, 2.5f, 0, u"2.500", u"2.50"},
        {kFloatMeter, 0, 2.5f, 0, u"2.5", nullptr},  // decimals below 1 count as 1
        {kFloatMeter, 0, 2.25f, 0, u"2.2", u"2.25"},  // ties to even
        {kFloatMeter, -4, 2.5f, 0, u"2.5", nullptr},
        {kFloatMeter, 20, 2.5f, 0, u"2.500000000000000", nullptr},  // and above 15 as 15
        {kFloatMeter, 20, 0.5f, 0, u"0.500000000000000", u"0.50000000000000"},
        {kFloatMeter, 2, std::numeric_limits<float>::infinity(), 0, u"inf", nullptr},
        // The longest text any float gives, 56 characters, fits its room.
        {kFloatMeter, 15, -kMax, 0, u"-340282346638528859811704183484516925440.000000000000000", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(narrow(c.text));
        DrawnModule m(*lib_, c.id);
        ASSERT_TRUE(m.ok());
        m.set(kIntPins.fontSize, int32_t{12});
        if (c.id == kIntMeter) {
            m.set(kIntPins.value, c.intValue);
        } else {
            if (c.decimals != kKeep)
                m.set(kDecimals, c.decimals);
            m.set(kFloatPins.value, c.floatValue);
        }
        const Picture painted = paintOf(m);
        EXPECT_TRUE(showsText(painted, reference({c.text})));
        if (c.neighbour != nullptr) {
            EXPECT_TRUE(tellsApart(painted, reference({c.neighbour})));
        }
    }
}

TEST_F(MeterTest, TextFollowsItsColourStylePositionAndHintFoldingOutOfRangeValues) {
    // Whether the picture differs from the same text drawn plain.
    enum Shows { kEverywhere, kWhereUnderlinesShow, kNowhere };
    struct Case {
        const char* what;
        const char16_t* id;
        int32_t size, value;  // the plain text's size; the int meter's value (the bool meter shows "False")
        std::vector<std::pair<int32_t, int32_t>> ints;
        std::vector<std::pair<int32_t, float>> floats;
        bool antiAlias;
        TextLook look;
        Shows shows;
    } cases[] = {
        {"x -3 draws at 0", kBoolMeter, 14, 0, {}, {{kBoolPins.x, -3.0f}}, false, {.text = u"False", .size = 14, .x = 0},
         kEverywhere},
        {"moved to 30, 7.5", kIntMeter, 12, 123456, {}, {{kIntPins.x, 30.0f}, {kIntPins.y, 7.5f}}, false,
         {.text = u"123456", .x = 30, .y = 7.5f}, kEverywhere},
        {"style 5 is regular", kBoolMeter, 14, 0, {{kBoolPins.style, 5}}, {}, false, {.text = u"False", .size = 14},
         kNowhere},
        {"style 4 is underlined", kBoolMeter, 14, 0, {{kBoolPins.style, 4}}, {}, false,
         {.text = u"False", .size = 14, .style = 4}, kWhereUnderlinesShow},
        {"style 1 is bold", kBoolMeter, 14, 0, {{kBoolPins.style, 1}}, {}, false,
         {.text = u"False", .size = 14, .style = 1}, kEverywhere},
        {"bigger", kIntMeter, 12, 123456, {{kIntPins.fontSize, 16}}, {}, false, {.text = u"123456", .size = 16},
         kEverywhere},
        {"text red 300 is 44", kBoolMeter, 14, 0, {{kBoolPins.textRed, 300}}, {}, false,
         {.text = u"False", .size = 14, .argb = 0xFF2CFA00}, kEverywhere},
        {"text red -1 is 255", kBoolMeter, 14, 0, {{kBoolPins.textRed, -1}}, {}, false,
         {.text = u"False", .size = 14, .argb = 0xFFFFFA00}, kEverywhere},
        {"text blue 300 is 44", kIntMeter, 12, 123456,
         {{kIntPins.textRed, 255}, {kIntPins.textGreen, 0}, {kIntPins.textBlue, 300}}, {}, false,
         {.text = u"123456", .argb = 0xFFFF002C}, kEverywhere},
        {"anti-aliased", kIntMeter, 12, 1234, {}, {}, true, {.text = u"1234", .antiAlias = true}, kNowhere},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DrawnModule m(*lib_, c.id);
        ASSERT_TRUE(m.ok());
        m.set(kIntPins.fontSize, c.size);
        if (c.id == kIntMeter)
            m.set(kIntPins.value, c.value);
        for (auto [pin, v] : c.ints)
            m.set(pin, v);
        for (auto [pin, v] : c.floats)
            m.set(pin, v);
        if (c.antiAlias)
            m.set(kIntPins.antiAlias, true);
        const Picture painted = paintOf(m);
        EXPECT_TRUE(showsText(painted, reference(c.look)));
        if (c.shows == kEverywhere || (c.shows == kWhereUnderlinesShow && kUnderlinesShow)) {
            EXPECT_TRUE(tellsApart(painted, reference({.text = c.look.text, .size = c.size}))) << "the pins changed nothing";
        }
    }
}

TEST_F(MeterTest, BackgroundTakesItsColourFromTheLow8BitsOfEachPin) {
    struct Case {
        int32_t red, green, blue;
        uint32_t argb;
    } cases[] = {
        {200, 100, 50, 0xFFC86432},
        {300, -1, 256, 0xFF2CFF00},  // 300 -> 44, -1 -> 255, 256 -> 0
        {255, 255, 255, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argb);
        DrawnModule m(*lib_, kIntMeter);
        ASSERT_TRUE(m.ok());
        m.set(kIntPins.backRed, c.red).set(kIntPins.backGreen, c.green).set(kIntPins.backBlue, c.blue);
        EXPECT_EQ(countPixels(placed(paintOf(m)), c.argb), kWidth * kHeight);
    }
}

TEST_F(MeterTest, TransparentColoursLeaveWhatWasThere) {
    // Text of alpha 0: the background alone, on each meter kind.
    for (const char16_t* id : {kBoolMeter, kFloatMeter}) {
        SCOPED_TRACE(narrow(id));
        DrawnModule text(*lib_, id);
        ASSERT_TRUE(text.ok());
        text.set(kBoolPins.fontSize, int32_t{12});
        text.set(id == kFloatMeter ? kFloatPins.textAlpha : kBoolPins.textAlpha, int32_t{0});
        EXPECT_EQ(countPixels(placed(paintOf(text)), kBlack), kWidth * kHeight);
    }

    // A background of alpha 0 leaves the target as it was, whatever its
    // colour; 256 has the same low 8 bits as 0.
    DrawnModule background(*lib_, kBoolMeter);
    ASSERT_TRUE(background.ok());
    background.set(kBoolPins.backAlpha, int32_t{0}).set(kBoolPins.backRed, int32_t{255});
    EXPECT_EQ(countPixels(placed(paintOf(background)), kCanvas), kWidth * kHeight);
    background.set(kBoolPins.backAlpha, int32_t{256});
    EXPECT_EQ(countPixels(placed(paintOf(background)), kCanvas), kWidth * kHeight);
}

TEST_F(MeterTest, BackgroundFillsThePlacementSizeFromTheOrigin) {
    DrawnModule m(*lib_, kBoolMeter, GuiRect{5, 15, 40, 70});  // 30 x 10, placed away from 0,0
    ASSERT_TRUE(m.ok());
    const Picture pixels = paintOf(m, kCanvas, 110, 20);
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 110; ++x)
            EXPECT_EQ(pixels[y * 110 + x], (x < 30 && y < 10) ? kBlack : kCanvas) << x << "," << y;
}

TEST_F(MeterTest, EveryAnnouncedPinChangeAsksForOneWholeRepaint) {
    const std::pair<const char16_t*, int32_t> meters[] = {
        {kBoolMeter, kBoolPins.count},
        {kIntMeter, kIntPins.count},
        {kFloatMeter, kFloatPins.count},
    };
    for (const auto& [id, pins] : meters) {
        SCOPED_TRACE(narrow(id));
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

    // The same value delivered again is announced again, and asks again.
    DrawnModule m(*lib_, kFloatMeter);
    ASSERT_TRUE(m.ok());
    m.set(kFloatPins.value, 1.0f).set(kFloatPins.value, 1.0f).set(kFloatPins.backBlue, int32_t{9});
    EXPECT_EQ(m.host.invalidations(), 3u);
    for (const host::GuiCall& call : m.host.calls) {
        if (call.kind == host::GuiCall::Invalidate) {
            EXPECT_FALSE(call.rect.has_value()) << "not the whole meter";
        }
    }
}

TEST_F(MeterTest, UnusablePaintArgumentsPaintNothingAndAnswerOk) {
    DrawnModule m(*lib_, kFloatMeter, GuiRect{INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN});
    ASSERT_TRUE(m.ok());
    m.set(kFloatPins.fontSize, int32_t{12});
    m.set(kFloatPins.x, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(m.gfx->onPaint(nullptr), RC_OK);
    paintOf(m);  // a nonsensical placement and a NaN position do not crash
    for (int32_t size : {std::numeric_limits<int32_t>::max(), -12, 0}) {
        m.set(kFloatPins.fontSize, size);
        paintOf(m);
    }
}

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
        {"size -5", -5, 2, 2, false},
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
        {"y inf", 12, 2, kInf, false},
        {"y inf, size INT_MAX", std::numeric_limits<int32_t>::max(), 2, kInf, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DrawnModule m(*lib_, kFloatMeter);
        ASSERT_TRUE(m.ok());
        m.set(kFloatPins.fontSize, c.size).set(kFloatPins.value, 8.5f).set(kFloatPins.x, c.x).set(kFloatPins.y, c.y);
        StderrCapture err;
        const Picture painted = paintOf(m);
        EXPECT_EQ(err.text(), "");
        if (c.text) {
            const auto place = [](float v) { return v >= 0 ? v : 0.0f; };
            EXPECT_TRUE(showsText(painted, reference({.text = u"8.50", .size = c.size, .x = place(c.x), .y = place(c.y)})));
        } else {
            EXPECT_EQ(countPixels(placed(painted), kBlack), kWidth * kHeight);
        }
    }
}

// Each drawn module starts GDI+ for itself and shuts it down when destroyed;
// on Windows the test holds no start-up of its own while the modules paint.
TEST_F(MeterTest, DestroyingOneMeterLeavesGdiplusToTheOthers) {
    auto first = std::make_unique<DrawnModule>(*lib_, kBoolMeter);
    DrawnModule second(*lib_, kBoolMeter);
    ASSERT_TRUE(first->ok() && second.ok());
    second.set(kBoolPins.fontSize, int32_t{12});
    const Picture before = paintOf(second);
    first.reset();
    const Picture after = paintOf(second);
    EXPECT_EQ(after, before);
    EXPECT_EQ(countPixels(placed(after), kCanvas), 0) << "the background was not filled";
    EXPECT_GT(countPixels(after, kMeterGreen), kSolidTextPixels) << "no text";
    EXPECT_TRUE(showsText(before, reference({u"False"})));
    second.destroy();

    // With every meter gone, a new one starts GDI+ again and paints alike.
    DrawnModule third(*lib_, kBoolMeter);
    ASSERT_TRUE(third.ok());
    third.set(kBoolPins.fontSize, int32_t{12});
    EXPECT_EQ(paintOf(third), before);
    third.destroy();
    {
        DrawnModule last(*lib_, kHatches);
    }
    DrawnModule again(*lib_, kHatches);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(checkCross(paintOf(again), kHatchGreen, kBlack).wrong, 0);
}

TEST_F(HatchTest, MeasureClampsTo15To100) {
    struct Case {
        GuiSize offered, answered;
    } cases[] = {
        {{300, 10}, {100, 15}},
        {{-5, 50}, {15, 50}},
    };
    for (const Case& c : cases) {
        DrawnModule m(*lib_, kHatches);
        ASSERT_TRUE(m.ok());
        GuiSize result{-1, -1};
        EXPECT_EQ(m.gfx->measure(c.offered, &result), RC_OK);
        EXPECT_EQ(result.width, c.answered.width);
        EXPECT_EQ(result.height, c.answered.height);
    }
}

TEST_F(HatchTest, FreshHatchDrawsGreenCrossLinesOnBlackOverThePlacementOnly) {
    struct Case {
        int32_t width, height;              // the placement, at the origin
        int32_t targetWidth, targetHeight;  // larger
    } cases[] = {
        {kWidth, kHeight, kTargetWidth, kTargetHeight},
        {30, 20, 40, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        DrawnModule m(*lib_, kHatches, GuiRect{0, c.height, 0, c.width});
        ASSERT_TRUE(m.ok());
        const Picture pixels = paintOf(m, kCanvas, c.targetWidth, c.targetHeight);
        const CrossCheck cross = checkCross(pixels, kHatchGreen, kBlack, c.width, c.height, c.targetWidth);
        EXPECT_EQ(cross.wrong, 0);
        EXPECT_GT(cross.lines, 0);
        EXPECT_GT(cross.gaps, cross.lines);
        int32_t outside = 0;
        for (int32_t y = 0; y < c.targetHeight; ++y)
            for (int32_t x = 0; x < c.targetWidth; ++x)
                outside += (x >= c.width || y >= c.height) && pixels[y * c.targetWidth + x] != kCanvas;
        EXPECT_EQ(outside, 0);
        // Horizontal and vertical lines: some row and some column are all green.
        bool fullRow = false, fullColumn = false;
        for (int32_t y = 0; y < c.height && !fullRow; ++y) {
            bool all = true;
            for (int32_t x = 0; x < c.width; ++x)
                all = all && pixels[y * c.targetWidth + x] == kHatchGreen;
            fullRow = all;
        }
        for (int32_t x = 0; x < c.width && !fullColumn; ++x) {
            bool all = true;
            for (int32_t y = 0; y < c.height; ++y)
                all = all && pixels[y * c.targetWidth + x] == kHatchGreen;
            fullColumn = all;
        }
        EXPECT_TRUE(fullRow);
        EXPECT_TRUE(fullColumn);
    }
}

TEST_F(HatchTest, ColoursComeFromTheLow8BitsOfItsPins) {
    DrawnModule fresh(*lib_, kHatches);
    ASSERT_TRUE(fresh.ok());
    const Picture freshPicture = paintOf(fresh);

    DrawnModule m(*lib_, kHatches);
    ASSERT_TRUE(m.ok());
    m.set(kLineGreen, int32_t{511});
    EXPECT_EQ(paintOf(m), freshPicture);
    m.set(kLineGreen, int32_t{256});
    EXPECT_EQ(countPixels(placed(paintOf(m)), kBlack), kWidth * kHeight);

    DrawnModule coloured(*lib_, kHatches);
    ASSERT_TRUE(coloured.ok());
    coloured.set(kLineRed, 255).set(kLineGreen, 511).set(kLineBlue, -1);  // 511 -> 255
    coloured.set(kBackRed, 16).set(kBackGreen, 32).set(kBackBlue, 48);
    EXPECT_EQ(checkCross(paintOf(coloured), 0xFFFFFFFF, 0xFF102030).wrong, 0);

    coloured.set(kLineGreen, 256).set(kLineRed, 0).set(kLineBlue, 0);  // 256 -> 0: black lines
    EXPECT_EQ(checkCross(paintOf(coloured), kBlack, 0xFF102030).wrong, 0);
}

TEST_F(HatchTest, TransparentPartsShowWhatLiesUnder) {
    DrawnModule gapless(*lib_, kHatches);
    ASSERT_TRUE(gapless.ok());
    gapless.set(kBackAlpha, int32_t{0});
    const Picture pixels = placed(paintOf(gapless));
    EXPECT_GT(countPixels(pixels, kCanvas), 0);
    EXPECT_GT(countPixels(pixels, kHatchGreen), 0);
    EXPECT_EQ(countPixels(pixels, kCanvas) + countPixels(pixels, kHatchGreen), kWidth * kHeight);
    EXPECT_EQ(checkCross(paintOf(gapless), kHatchGreen, kCanvas).wrong, 0);

    DrawnModule lineless(*lib_, kHatches);
    ASSERT_TRUE(lineless.ok());
    lineless.set(kLineAlpha, int32_t{0});
    const uint32_t underLines = kTargetShowsThroughHatchLines ? kCanvas : kBlack;
    EXPECT_EQ(checkCross(paintOf(lineless), underLines, kBlack).wrong, 0);
}

TEST_F(HatchTest, EveryAnnouncedPinChangeAsksForOneWholeRepaint) {
    DrawnModule m(*lib_, kHatches);
    ASSERT_TRUE(m.ok());
    for (int32_t pin = 0; pin < kHatchPinCount; ++pin) {
        m.host.clear();
        m.set(pin, int32_t{255});
        m.set(pin, int32_t{255});
        EXPECT_EQ(m.host.invalidations(), 2u) << "pin " << pin;
        for (const auto& call : m.host.calls)
            EXPECT_FALSE(call.rect.has_value());
    }
    EXPECT_EQ(host::signalOnly(m.object, kHatchPinCount), RC_FAILED);
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
    DrawnModule meter(*lib_, kFloatMeter);
    meter.set(kFloatPins.fontSize, int32_t{14});
    meter.set(kFloatPins.value, 3.14159f);
    save(meter, "float_meter");
    meter.set(kFloatPins.antiAlias, true);
    meter.set(kFloatPins.style, int32_t{4});
    save(meter, "float_meter_aa_underlined");
    DrawnModule hatch(*lib_, kHatches);
    save(hatch, "hatch");
}

}  // namespace
}  // namespace ovra::test
