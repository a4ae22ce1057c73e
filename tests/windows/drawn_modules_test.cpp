// guikit's meters and hatch fill painting through the platform's GDI+ into a
// memory device context, as a host hands them one: a 32-bit DIB section. A
// meter's text is compared with the same text drawn here with the same GDI+
// calls; fills and colours are checked pixel by pixel.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gui_host.h"
#include "platform/gdiplus_owned.h"
#include "plugins.h"

namespace ovra {
namespace {

// Colours as 0xRRGGBB: what a DIB section holds, without its alpha byte.
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kMeterGreen = 0x00FA00;
constexpr uint32_t kHatchGreen = 0x00FF00;
constexpr uint32_t kCanvas = 0x336699;  // what the context held before the paint

// The placement every module gets: 110 x 20 at the origin. The bitmap is
// larger, so that paint outside the placement shows.
constexpr int32_t kWidth = 110, kHeight = 20;
constexpr int32_t kBitmapWidth = 130, kBitmapHeight = 32;

// A top-down 32-bit DIB section selected into a memory device context.
class Canvas {
public:
    explicit Canvas(uint32_t rgb = kCanvas) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kBitmapWidth;
        info.bmiHeader.biHeight = -kBitmapHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        dc_ = CreateCompatibleDC(nullptr);
        if (bitmap_ != nullptr && dc_ != nullptr)
            previous_ = SelectObject(dc_, bitmap_);
        if (bits_ != nullptr)
            std::fill(bits_, bits_ + kBitmapWidth * kBitmapHeight, rgb);
    }
    ~Canvas() {
        if (dc_ != nullptr) {
            if (previous_ != nullptr)
                SelectObject(dc_, previous_);
            DeleteDC(dc_);
        }
        if (bitmap_ != nullptr)
            DeleteObject(bitmap_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool valid() const { return bits_ != nullptr && previous_ != nullptr; }
    HDC dc() const { return dc_; }

    uint32_t at(int32_t x, int32_t y) const {
        GdiFlush();
        return bits_[y * kBitmapWidth + x] & 0xFFFFFF;
    }
    // Every pixel, row by row.
    std::vector<uint32_t> pixels() const {
        std::vector<uint32_t> out;
        for (int32_t y = 0; y < kBitmapHeight; ++y)
            for (int32_t x = 0; x < kBitmapWidth; ++x)
                out.push_back(at(x, y));
        return out;
    }

private:
    HBITMAP bitmap_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    uint32_t* bits_ = nullptr;
};

// A painted bitmap, row by row: the placement at its top left, the rest of
// the bitmap right of and below it.
using Picture = std::vector<uint32_t>;

bool inPlacement(size_t i) { return static_cast<int32_t>(i % kBitmapWidth) < kWidth && static_cast<int32_t>(i / kBitmapWidth) < kHeight; }

// Pixels of the placement.
Picture placed(const Picture& picture) {
    Picture out;
    for (size_t i = 0; i < picture.size(); ++i)
        if (inPlacement(i))
            out.push_back(picture[i]);
    return out;
}

// Pixels outside the placement that no longer hold rgb.
int32_t changedOutside(const Picture& picture, uint32_t rgb) {
    int32_t n = 0;
    for (size_t i = 0; i < picture.size(); ++i)
        n += !inPlacement(i) && picture[i] != rgb;
    return n;
}

int32_t count(const Picture& pixels, uint32_t rgb) {
    return static_cast<int32_t>(std::count(pixels.begin(), pixels.end(), rgb));
}

// Pixels of two pictures that differ visibly: by more than a rounding step in
// some colour channel.
int32_t differing(const Picture& a, const Picture& b) {
    int32_t n = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8) {
            const int d = static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF);
            if (std::abs(d) > 8) {
                ++n;
                break;
            }
        }
    return n;
}

// How far a meter's text may stray from the text drawn here: both come from
// the same rasteriser, so only a few edge pixels.
constexpr int32_t kTextTolerance = kWidth * kHeight / 200;

// A guikit module started as a host starts it: created with the host,
// initialiseGui, arranged at the placement.
class Drawn {
public:
    Drawn(const host::Library& lib, const char16_t* id) {
        if (lib.create(id, SUBTYPE_GUI_V1, host_.unknown(), &object_) != RC_OK || object_ == nullptr)
            return;
        gui_ = host::queryInterface<IMpUserInterface>(object_, IID_IMpUserInterface);
        gfx_ = host::queryInterface<IQvGraphicsComposited>(object_, IID_IQvGraphicsComposited);
        if (gui_ != nullptr)
            gui_->initialiseGui();
        const GuiRect placement{0, kHeight, 0, kWidth};
        if (gfx_ != nullptr)
            gfx_->arrange(&placement);
    }
    ~Drawn() {
        for (IMpUnknown* p : {static_cast<IMpUnknown*>(gfx_), static_cast<IMpUnknown*>(gui_), object_})
            if (p != nullptr)
                p->Release();
    }
    Drawn(const Drawn&) = delete;
    Drawn& operator=(const Drawn&) = delete;

    bool ok() const { return gui_ != nullptr && gfx_ != nullptr; }
    IQvGraphicsComposited* gfx() const { return gfx_; }
    host::RecordingGuiHost& host() { return host_; }

    template <class V>
    Drawn& set(int32_t pin, V value) {
        host::deliverAndSignal(object_, pin, host::bytesOf(value));
        return *this;
    }
    // Paints into a fresh canvas that held `before`; answers the whole bitmap.
    Picture paintAll(uint32_t before = kCanvas) {
        Canvas canvas(before);
        EXPECT_TRUE(canvas.valid());
        EXPECT_EQ(gfx_->onPaint(canvas.dc()), RC_OK);
        return canvas.pixels();
    }
    // The same, the placement only.
    Picture paint(uint32_t before = kCanvas) { return placed(paintAll(before)); }

private:
    host::RecordingGuiHost host_;
    IMpUnknown* object_ = nullptr;
    IMpUserInterface* gui_ = nullptr;
    IQvGraphicsComposited* gfx_ = nullptr;
};

// Text as a meter draws it, with the same calls: a solid background over the
// placement, then the text in Arial of the given pixel size and style at
// (x, y) with no string format.
struct TextLook {
    std::wstring text;
    int32_t size = 12;
    uint32_t argb = 0xFF000000 | kMeterGreen;
    float x = 2, y = 2;
    int32_t style = 0;
    bool antiAlias = false;
    uint32_t background = 0xFF000000;
};

// The whole bitmap, as Drawn::paintAll answers it.
Picture reference(const TextLook& look) {
    Canvas canvas;
    {
        // Released in the meters' order: font, brushes, graphics, family.
        gdip::Owned<gdip::FontFamily> family;
        gdip::Owned<gdip::Graphics> g;
        GdipCreateFromHDC(canvas.dc(), g.out());
        gdip::Owned<gdip::SolidFill> back;
        GdipCreateSolidFill(look.background, back.out());
        GdipFillRectangleI(g.get(), gdip::asBrush(back.get()), 0, 0, kWidth, kHeight);
        gdip::Owned<gdip::SolidFill> brush;
        GdipCreateSolidFill(look.argb, brush.out());
        GdipCreateFontFamilyFromName(L"Arial", nullptr, family.out());
        gdip::Owned<gdip::Font> font;
        GdipCreateFont(family.get(), static_cast<float>(look.size), look.style, gdip::UnitPixel, font.out());
        if (look.antiAlias)
            GdipSetTextRenderingHint(g.get(), gdip::TextRenderingHintAntiAlias);
        const gdip::RectF layout{look.x, look.y, 0, 0};
        GdipDrawString(g.get(), look.text.c_str(), -1, font.get(), &layout, nullptr, gdip::asBrush(brush.get()));
    }
    return canvas.pixels();
}

// Pin indices of the meters; the float meter's decimals pin at 5 shifts the
// later ones by one.
struct MeterPins {
    int32_t value = 0, fontSize = 1, style = 2, x = 3, y = 4;
    int32_t antiAlias, textAlpha, textRed, textGreen, textBlue, backAlpha, backRed, backGreen, backBlue;
    constexpr explicit MeterPins(int32_t shift)
        : antiAlias(5 + shift), textAlpha(6 + shift), textRed(7 + shift), textGreen(8 + shift),
          textBlue(9 + shift), backAlpha(10 + shift), backRed(11 + shift), backGreen(12 + shift),
          backBlue(13 + shift) {}
};
constexpr MeterPins kBoolPins{0}, kIntPins{0}, kFloatPins{1};
constexpr int32_t kDecimals = 5;

const char16_t kBoolMeter[] = u"WB-Meter-Bool-SDK3";
const char16_t kIntMeter[] = u"WB-Meter-Int-SDK3";
const char16_t kFloatMeter[] = u"WB-Meter-Float-SDK3";
const char16_t kHatches[] = u"WB-Hatches-SDK3";

class DrawnModules : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        library_ = test::loadPlugin("guikit").release();
        gdip::StartupInput input{1, nullptr, 0, 0};
        GdiplusStartup(&token_, &input, nullptr);
    }
    static void TearDownTestSuite() {
        GdiplusShutdown(token_);
        delete library_;
        library_ = nullptr;
    }

    void SetUp() override {
        ASSERT_NE(library_, nullptr);
        // The meters ask for "Arial" by name; a test run prepares the Wine
        // prefix to offer it (scripts/wine-tests.sh).
        gdip::Owned<gdip::FontFamily> family;
        ASSERT_EQ(GdipCreateFontFamilyFromName(L"Arial", nullptr, family.out()), gdip::Ok)
            << "no font answers to \"Arial\"";
    }

    static host::Library* library_;
    static gdip::Token token_;
};
host::Library* DrawnModules::library_ = nullptr;
gdip::Token DrawnModules::token_ = 0;

// Sizes travel by value across the interface, in the platform's calling
// convention.
TEST_F(DrawnModules, MetersMeasure110By20AndTheHatchClampsTo15To100) {
    struct Case {
        const char16_t* id;
        GuiSize offered, answered;
    } cases[] = {
        {kBoolMeter, {0, 0}, {110, 20}},
        {kFloatMeter, {500, 500}, {110, 20}},
        {kHatches, {300, 10}, {100, 15}},
        {kHatches, {-5, 50}, {15, 50}},
    };
    for (const Case& c : cases) {
        Drawn drawn(*library_, c.id);
        ASSERT_TRUE(drawn.ok());
        GuiSize answered{-1, -1};
        EXPECT_EQ(drawn.gfx()->measure(c.offered, &answered), RC_OK);
        EXPECT_EQ(answered.width, c.answered.width);
        EXPECT_EQ(answered.height, c.answered.height);
    }
}

TEST_F(DrawnModules, FreshMeterFillsItsPlacementOpaqueBlackAndNothingElse) {
    for (const char16_t* id : {kBoolMeter, kIntMeter, kFloatMeter}) {
        SCOPED_TRACE(std::string(id, id + std::char_traits<char16_t>::length(id)));
        Drawn meter(*library_, id);
        ASSERT_TRUE(meter.ok());
        const Picture picture = meter.paintAll(kCanvas);
        EXPECT_EQ(count(placed(picture), kBlack), kWidth * kHeight);
        EXPECT_EQ(changedOutside(picture, kCanvas), 0);
    }
}

TEST_F(DrawnModules, MeterBackgroundTakesItsColourFromTheLow8BitsOfEachPin) {
    struct Case {
        int32_t red, green, blue;
        uint32_t rgb;
    } cases[] = {
        {200, 100, 50, 0xC86432},
        {300, -1, 256, 0x2CFF00},  // 300 -> 44, -1 -> 255, 256 -> 0
        {255, 255, 255, 0xFFFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rgb);
        Drawn meter(*library_, kIntMeter);
        ASSERT_TRUE(meter.ok());
        meter.set(kIntPins.backRed, c.red).set(kIntPins.backGreen, c.green).set(kIntPins.backBlue, c.blue);
        EXPECT_EQ(count(meter.paint(), c.rgb), kWidth * kHeight);
    }
}

TEST_F(DrawnModules, TransparentMeterBackgroundLeavesTheContextAsItWas) {
    Drawn meter(*library_, kBoolMeter);
    ASSERT_TRUE(meter.ok());
    meter.set(kBoolPins.backAlpha, 0).set(kBoolPins.backRed, 255);
    EXPECT_EQ(count(meter.paint(kCanvas), kCanvas), kWidth * kHeight);
    // 256 has the same low 8 bits as 0.
    meter.set(kBoolPins.backAlpha, 256);
    EXPECT_EQ(count(meter.paint(kCanvas), kCanvas), kWidth * kHeight);
}

TEST_F(DrawnModules, BoolMeterDrawsFalseThenTrueInGreenAtTwoTwo) {
    Drawn meter(*library_, kBoolMeter);
    ASSERT_TRUE(meter.ok());
    meter.set(kBoolPins.fontSize, 12);
    const Picture painted = meter.paintAll();
    const Picture expected = reference({L"False"});
    EXPECT_GT(count(expected, kMeterGreen), 20) << "the reference text left no mark";
    EXPECT_LE(differing(painted, expected), kTextTolerance);
    EXPECT_GT(differing(painted, reference({L"True"})), kTextTolerance) << "the comparison tells no text apart";

    meter.set(kBoolPins.value, true);
    EXPECT_LE(differing(meter.paintAll(), reference({L"True"})), kTextTolerance);
}

TEST_F(DrawnModules, IntAndFloatMetersDrawTheirFormattedValue) {
    constexpr int32_t kKeep = INT32_MIN;
    struct Case {
        const char16_t* id;
        int32_t decimals;  // float meter only; kKeep leaves the pin alone
        float floatValue;
        int32_t intValue;
        const wchar_t* text;
        const wchar_t* neighbour;  // a text the comparison must tell apart
    } cases[] = {
        {kIntMeter, kKeep, 0, -42, L"-42", L"42"},
        {kIntMeter, kKeep, 0, INT32_MIN, L"-2147483648", L"-2147483647"},
        {kFloatMeter, kKeep, 3.14159f, 0, L"3.14", L"3.15"},  // two decimals at first
        {kFloatMeter, 2, 1.005f, 0, L"1.00", L"1.01"},        // the float lies below 1.005
        {kFloatMeter, 0, 2.25f, 0, L"2.2", L"2.25"},          // one decimal at least; ties to even
        {kFloatMeter, 1, -0.26f, 0, L"-0.3", L"-0.2"},
        {kFloatMeter, 3, 2.5f, 0, L"2.500", L"2.50"},
        {kFloatMeter, 20, 0.5f, 0, L"0.500000000000000", L"0.50000000000000"},  // 15 decimals at most
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::wstring(c.text).size());
        Drawn meter(*library_, c.id);
        ASSERT_TRUE(meter.ok());
        meter.set(kIntPins.fontSize, 12);
        if (c.id == kIntMeter) {
            meter.set(kIntPins.value, c.intValue);
        } else {
            if (c.decimals != kKeep)
                meter.set(kDecimals, c.decimals);
            meter.set(kFloatPins.value, c.floatValue);
        }
        const Picture painted = meter.paintAll();
        EXPECT_LE(differing(painted, reference({c.text})), kTextTolerance);
        EXPECT_GT(differing(painted, reference({c.neighbour})), kTextTolerance);
    }
}

TEST_F(DrawnModules, MeterTextFollowsItsColourStylePositionAndHint) {
    struct Case {
        const char* what;
        std::vector<std::pair<int32_t, int32_t>> ints;
        std::vector<std::pair<int32_t, float>> floats;
        bool antiAlias;
        TextLook look;
        // Whether the picture differs from plain text here. Wine's GDI+
        // draws no underline, and its text looks the same with either hint.
        bool showsOnWine;
    } cases[] = {
        {"colour", {{kIntPins.textRed, 255}, {kIntPins.textGreen, 0}, {kIntPins.textBlue, 300}}, {}, false,
         {.text = L"123456", .argb = 0xFFFF002C}, true},
        {"bold", {{kIntPins.style, 1}}, {}, false, {.text = L"123456", .style = 1}, true},
        {"underlined", {{kIntPins.style, 4}}, {}, false, {.text = L"123456", .style = 4}, false},
        {"style 5 is regular", {{kIntPins.style, 5}}, {}, false, {.text = L"123456"}, false},
        {"bigger", {{kIntPins.fontSize, 16}}, {}, false, {.text = L"123456", .size = 16}, true},
        {"moved", {}, {{kIntPins.x, 30.0f}, {kIntPins.y, 7.5f}}, false, {.text = L"123456", .x = 30, .y = 7.5f},
         true},
        {"negative x is 0", {}, {{kIntPins.x, -3.0f}}, false, {.text = L"123456", .x = 0}, true},
        {"anti-aliased", {}, {}, true, {.text = L"123456", .antiAlias = true}, false},
    };
    const TextLook plain{.text = L"123456"};
    const Picture plainPicture = reference(plain);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Drawn meter(*library_, kIntMeter);
        ASSERT_TRUE(meter.ok());
        meter.set(kIntPins.fontSize, 12).set(kIntPins.value, 123456);
        for (auto [pin, v] : c.ints)
            meter.set(pin, v);
        for (auto [pin, v] : c.floats)
            meter.set(pin, v);
        if (c.antiAlias)
            meter.set(kIntPins.antiAlias, true);
        const Picture painted = meter.paintAll();
        EXPECT_LE(differing(painted, reference(c.look)), kTextTolerance);
        if (c.showsOnWine) {
            EXPECT_GT(differing(painted, plainPicture), kTextTolerance) << "the pins changed nothing";
        }
    }
}

TEST_F(DrawnModules, MeterWithInvisibleOrNoTextPaintsOnlyTheBackground) {
    Drawn hidden(*library_, kBoolMeter);
    ASSERT_TRUE(hidden.ok());
    hidden.set(kBoolPins.fontSize, 12).set(kBoolPins.textAlpha, 0);
    EXPECT_EQ(count(hidden.paint(), kBlack), kWidth * kHeight);

    Drawn unsized(*library_, kFloatMeter);
    ASSERT_TRUE(unsized.ok());
    unsized.set(kFloatPins.fontSize, -5).set(kFloatPins.value, 8.5f);
    EXPECT_EQ(count(unsized.paint(), kBlack), kWidth * kHeight);
}

// Extreme font sizes and positions: text where the drawing library can
// draw it as on Linux, the background alone where the meter refuses it.
TEST_F(DrawnModules, MeterExtremesDrawAsOnLinuxOrNotAtAll) {
    constexpr float kMax = std::numeric_limits<float>::max(), kInf = std::numeric_limits<float>::infinity();
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
        {"size 1025", 1025, 2, 2, false},
        {"size 2^24", 1 << 24, 2, 2, false},
        {"size INT_MAX", std::numeric_limits<int32_t>::max(), 2, 2, false},
        {"x -FLT_MAX", 12, -kMax, 2, true},
        {"x -inf", 12, -kInf, 2, true},
        {"x NaN", 12, std::nanf(""), 2, true},
        {"y NaN", 12, 2, std::nanf(""), true},
        {"x FLT_MAX", 12, kMax, 2, false},
        {"y inf", 12, 2, kInf, false},
        {"x 32768", 12, 32768, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Drawn meter(*library_, kFloatMeter);
        ASSERT_TRUE(meter.ok());
        meter.set(kFloatPins.fontSize, c.size).set(kFloatPins.value, 8.5f).set(kFloatPins.x, c.x).set(kFloatPins.y, c.y);
        const Picture painted = meter.paintAll();
        if (c.text) {
            const auto place = [](float v) { return v >= 0 ? v : 0.0f; };
            EXPECT_LE(differing(painted, reference({.text = L"8.50", .size = c.size, .x = place(c.x), .y = place(c.y)})),
                      kTextTolerance);
        } else {
            EXPECT_EQ(count(placed(painted), kBlack), kWidth * kHeight);
        }
    }
}

TEST_F(DrawnModules, EveryPinChangeAsksForOneRepaintOfTheWholeMeter) {
    Drawn meter(*library_, kFloatMeter);
    ASSERT_TRUE(meter.ok());
    meter.host().clear();
    meter.set(kFloatPins.value, 1.0f).set(kFloatPins.value, 1.0f).set(kFloatPins.backBlue, 9);
    EXPECT_EQ(meter.host().invalidations(), 3u);
    for (const host::GuiCall& call : meter.host().calls) {
        if (call.kind == host::GuiCall::Invalidate) {
            EXPECT_FALSE(call.rect.has_value()) << "not the whole meter";
        }
    }
}

// Hatch pins: line colour 0..3, background 4..7, each alpha, red, green, blue.
enum HatchPin : int32_t { kLineAlpha, kLineRed, kLineGreen, kLineBlue, kBackAlpha, kBackRed, kBackGreen, kBackBlue };

// Pixels of the cross pattern that are not the line colour, and line pixels
// that are not in the pattern's rows and columns, each 8 apart.
struct CrossCheck {
    int32_t lines = 0, gaps = 0, wrong = 0;
};
CrossCheck checkCross(const Picture& pixels, uint32_t line, uint32_t gap) {
    CrossCheck out;
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x) {
            const uint32_t p = pixels[y * kWidth + x];
            const bool onLine = x % 8 == 0 || y % 8 == 0;
            if (onLine && p == line)
                ++out.lines;
            else if (!onLine && p == gap)
                ++out.gaps;
            else
                ++out.wrong;
        }
    return out;
}

TEST_F(DrawnModules, FreshHatchDrawsGreenCrossLinesOnBlackOverThePlacementOnly) {
    Drawn hatch(*library_, kHatches);
    ASSERT_TRUE(hatch.ok());
    const Picture picture = hatch.paintAll(kCanvas);
    const CrossCheck cross = checkCross(placed(picture), kHatchGreen, kBlack);
    EXPECT_EQ(cross.wrong, 0);
    EXPECT_GT(cross.lines, 0);
    EXPECT_GT(cross.gaps, 0);
    EXPECT_EQ(changedOutside(picture, kCanvas), 0);
}

TEST_F(DrawnModules, HatchColoursComeFromItsPins) {
    Drawn hatch(*library_, kHatches);
    ASSERT_TRUE(hatch.ok());
    hatch.set(kLineRed, 255).set(kLineGreen, 511).set(kLineBlue, -1);  // 511 -> 255
    hatch.set(kBackRed, 16).set(kBackGreen, 32).set(kBackBlue, 48);
    EXPECT_EQ(checkCross(hatch.paint(), 0xFFFFFF, 0x102030).wrong, 0);

    hatch.set(kLineGreen, 256).set(kLineRed, 0).set(kLineBlue, 0);  // 256 -> 0: black lines
    EXPECT_EQ(checkCross(hatch.paint(), kBlack, 0x102030).wrong, 0);
}

TEST_F(DrawnModules, TransparentHatchPartsShowWhatTheContextHeld) {
    Drawn gapless(*library_, kHatches);
    ASSERT_TRUE(gapless.ok());
    gapless.set(kBackAlpha, 0);
    EXPECT_EQ(checkCross(gapless.paint(kCanvas), kHatchGreen, kCanvas).wrong, 0);

    Drawn lineless(*library_, kHatches);
    ASSERT_TRUE(lineless.ok());
    lineless.set(kLineAlpha, 0);
    EXPECT_EQ(checkCross(lineless.paint(kCanvas), kCanvas, kBlack).wrong, 0);
}

// Each drawn module starts GDI+ for itself and shuts it down when destroyed;
// the test holds no start-up of its own here.
TEST(DrawnModuleGdiplus, DestroyingOneMeterLeavesGdiplusToTheOthers) {
    auto library = test::loadPlugin("guikit");
    ASSERT_NE(library, nullptr);
    auto first = std::make_unique<Drawn>(*library, kBoolMeter);
    Drawn second(*library, kBoolMeter);
    ASSERT_TRUE(first->ok() && second.ok());
    second.set(kBoolPins.fontSize, 12);
    first.reset();

    const Picture painted = second.paint();
    EXPECT_EQ(count(painted, kCanvas), 0) << "the background was not filled";
    EXPECT_GT(count(painted, kMeterGreen), 20) << "no text";

    // With every meter gone, the next one starts GDI+ again.
    {
        Drawn last(*library, kHatches);
    }
    Drawn again(*library, kHatches);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(checkCross(again.paint(), kHatchGreen, kBlack).wrong, 0);
}

}  // namespace
}  // namespace ovra
