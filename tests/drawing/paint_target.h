// The paint target of the drawn-module tests: guikit's modules created
// through the ABI, a bitmap they paint into as a host hands it to them, and
// reference text the test draws itself with the GDI+ calls the meters make.
// One suite runs on both window systems; what differs between them is here.
//
// Off Windows the target is a GDI+ bitmap (host::PaintSurface), whose
// graphics object libgdiplus accepts in place of a device context; the
// module and the reference come from one rasteriser on one bitmap format and
// match pixel for pixel. On Windows it is a 32-bit DIB section selected into
// a memory device context: a paint surface hands modules a device context
// from GdipGetDC there, and under Wine text drawn through it blends its edges
// over other pixels than those the bitmap holds. Text drawn through two
// device contexts may differ by a rounding step at a few edge pixels.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gui_host.h"
#include "library.h"
#include "paint_surface.h"
#include "platform/gdiplus_owned.h"
#include "platform/gdiplus_runtime.h"
#include "plugins.h"

namespace ovra::test {

// Colours as 0xAARRGGBB. A DIB section holds no alpha; its pixels read as
// opaque.
constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t kMeterGreen = 0xFF00FA00;  // the meters' initial text colour
constexpr uint32_t kHatchGreen = 0xFF00FF00;
constexpr uint32_t kCanvas = 0xFF336699;  // what a target held before the paint

// The placement every module gets unless a test says otherwise: 110 x 20 at
// the origin. The target is larger, so that paint outside the placement
// shows.
constexpr int32_t kWidth = 110, kHeight = 20;
constexpr int32_t kTargetWidth = 130, kTargetHeight = 32;

// A painted target, row by row: the placement at its top left, the rest of
// the target right of and below it.
using Picture = std::vector<uint32_t>;

#if defined(_WIN32)

// A top-down 32-bit DIB section selected into a memory device context.
class PaintTarget {
public:
    PaintTarget(int32_t width, int32_t height, uint32_t before) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        dc_ = CreateCompatibleDC(nullptr);
        if (bitmap_ != nullptr && dc_ != nullptr)
            previous_ = SelectObject(dc_, bitmap_);
        if (bits_ != nullptr)
            std::fill(bits_, bits_ + width * height, before & 0xFFFFFF);
    }
    ~PaintTarget() {
        if (dc_ != nullptr) {
            if (previous_ != nullptr)
                SelectObject(dc_, previous_);
            DeleteDC(dc_);
        }
        if (bitmap_ != nullptr)
            DeleteObject(bitmap_);
    }
    PaintTarget(const PaintTarget&) = delete;
    PaintTarget& operator=(const PaintTarget&) = delete;

    bool valid() const { return bits_ != nullptr && previous_ != nullptr; }
    int32_t paint(IQvGraphicsComposited* module) { return module->onPaint(dc_); }
    DeviceContext beginPaint() { return dc_; }
    void endPaint() {}
    Picture pixels() const {
        GdiFlush();
        Picture out(bits_, bits_ + width_ * height_);
        for (uint32_t& p : out)
            p = 0xFF000000 | (p & 0xFFFFFF);
        return out;
    }

private:
    int32_t width_, height_;
    HBITMAP bitmap_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    uint32_t* bits_ = nullptr;
};

#else

class PaintTarget {
public:
    PaintTarget(int32_t width, int32_t height, uint32_t before) : surface_(width, height) { surface_.clear(before); }

    bool valid() const { return surface_.valid(); }
    int32_t paint(IQvGraphicsComposited* module) { return surface_.paint(module); }
    DeviceContext beginPaint() { return surface_.beginPaint(); }
    void endPaint() { surface_.endPaint(); }
    Picture pixels() const { return surface_.pixels(); }

private:
    host::PaintSurface surface_;
};

#endif

// A guikit module with its host, started as the host starts it:
// instantiate, initialiseGui, arrange.
struct DrawnModule {
    host::RecordingGuiHost host;
    IMpUnknown* object = nullptr;
    IMpUserInterface* gui = nullptr;
    IQvGraphicsComposited* gfx = nullptr;

    DrawnModule(const host::Library& lib, const wstring& id, GuiRect placement = GuiRect{0, kHeight, 0, kWidth}) {
        if (lib.create(id, SUBTYPE_GUI_V1, host.unknown(), &object) != RC_OK || object == nullptr)
            return;
        gui = host::queryInterface<IMpUserInterface>(object, IID_IMpUserInterface);
        gfx = host::queryInterface<IQvGraphicsComposited>(object, IID_IQvGraphicsComposited);
        if (gui != nullptr)
            gui->initialiseGui();
        if (gfx != nullptr)
            gfx->arrange(&placement);
        host.clear();
    }
    ~DrawnModule() { destroy(); }
    DrawnModule(const DrawnModule&) = delete;
    DrawnModule& operator=(const DrawnModule&) = delete;
    void destroy() {
        if (gfx != nullptr)
            gfx->Release();
        if (gui != nullptr)
            gui->Release();
        if (object != nullptr)
            object->Release();
        gfx = nullptr;
        gui = nullptr;
        object = nullptr;
    }
    bool ok() const { return gui != nullptr && gfx != nullptr; }

    template <class V>
    DrawnModule& set(int32_t pin, V value) {
        host::deliverAndSignal(object, pin, host::bytesOf(value));
        return *this;
    }
};

// Paints the module into a fresh target of the given size that held
// `before`; answers the whole target.
inline Picture paintOf(DrawnModule& m, uint32_t before = kCanvas, int32_t width = kTargetWidth,
                       int32_t height = kTargetHeight) {
    PaintTarget target(width, height, before);
    EXPECT_TRUE(target.valid());
    EXPECT_EQ(target.paint(m.gfx), RC_OK);
    return target.pixels();
}

inline bool inPlacement(size_t i) {
    return static_cast<int32_t>(i % kTargetWidth) < kWidth && static_cast<int32_t>(i / kTargetWidth) < kHeight;
}

// Pixels of the default placement in a picture of the default target.
inline Picture placed(const Picture& picture) {
    Picture out;
    for (size_t i = 0; i < picture.size(); ++i)
        if (inPlacement(i))
            out.push_back(picture[i]);
    return out;
}

// Pixels outside the default placement that no longer hold argb.
inline int32_t changedOutside(const Picture& picture, uint32_t argb) {
    int32_t n = 0;
    for (size_t i = 0; i < picture.size(); ++i)
        n += !inPlacement(i) && picture[i] != argb;
    return n;
}

inline int32_t countPixels(const Picture& pixels, uint32_t argb) {
    return static_cast<int32_t>(std::count(pixels.begin(), pixels.end(), argb));
}

// Where GDI+ on Windows (under Wine) and libgdiplus draw alike no longer:
// - kSolidTextPixels: a 12-pixel word leaves more pixels than this in
//   exactly the text colour; Wine draws text solid, libgdiplus smooths its
//   edges even without the anti-alias hint.
// - kUnderlinesShow: whether underlined text looks other than plain text;
//   Wine draws no underline (and its text looks the same with either hint).
// - kHatchPeriod, kHatchPhase: a cross hatch brush draws its lines on every
//   kHatchPeriod-th row and column from kHatchPhase, counted from the
//   placement's origin.
// - kTargetShowsThroughHatchLines: what a hatch line of alpha 0 shows; Wine
//   blends the lines over the target, libgdiplus over the hatch background.
#if defined(_WIN32)
constexpr int32_t kSolidTextPixels = 20;
constexpr bool kUnderlinesShow = false;
constexpr int32_t kHatchPeriod = 8, kHatchPhase = 0;
constexpr bool kTargetShowsThroughHatchLines = true;
#else
constexpr int32_t kSolidTextPixels = 0;
constexpr bool kUnderlinesShow = true;
constexpr int32_t kHatchPeriod = 9, kHatchPhase = 4;
constexpr bool kTargetShowsThroughHatchLines = false;
#endif

// Text as a meter draws it, with the same calls: a solid background over the
// placement, then the text in Arial of the given pixel size and style at
// (x, y) with no string format.
struct TextLook {
    std::u16string text;
    int32_t size = 12;
    uint32_t argb = kMeterGreen;
    float x = 2, y = 2;
    int32_t style = 0;
    bool antiAlias = false;
    uint32_t background = kBlack;
};

// The whole default target that held kCanvas, as paintOf answers it.
inline Picture reference(const TextLook& look) {
    PaintTarget target(kTargetWidth, kTargetHeight, kCanvas);
    platform::GdiplusSession session;  // the test's own drawing, not the module's
    session.start();
    const DeviceContext dc = target.beginPaint();
    {
        // Released in the meters' order: font, brushes, graphics, family.
        gdip::Owned<gdip::FontFamily> family;
        gdip::Owned<gdip::Graphics> g;
        GdipCreateFromHDC(dc, g.out());
        gdip::Owned<gdip::SolidFill> back;
        GdipCreateSolidFill(look.background, back.out());
        GdipFillRectangleI(g.get(), gdip::asBrush(back.get()), 0, 0, kWidth, kHeight);
        gdip::Owned<gdip::SolidFill> brush;
        GdipCreateSolidFill(look.argb, brush.out());
        GdipCreateFontFamilyFromName(OVRA_GDIP_TEXT("Arial"), nullptr, family.out());
        gdip::Owned<gdip::Font> font;
        GdipCreateFont(family.get(), static_cast<float>(look.size), look.style, gdip::UnitPixel, font.out());
        if (look.antiAlias)
            GdipSetTextRenderingHint(g.get(), gdip::TextRenderingHintAntiAlias);
        const std::basic_string<gdip::Char> units(look.text.begin(), look.text.end());
        const gdip::RectF layout{look.x, look.y, 0, 0};
        GdipDrawString(g.get(), units.c_str(), -1, font.get(), &layout, nullptr, gdip::asBrush(brush.get()));
    }
    target.endPaint();
    return target.pixels();
}

// Pixels of two pictures that differ visibly: by more than a rounding step in
// some colour channel.
inline int32_t differing(const Picture& a, const Picture& b) {
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

// How far a meter's text may stray from the text drawn here on Windows: both
// come from the same rasteriser, so only a few edge pixels.
constexpr int32_t kTextTolerance = kWidth * kHeight / 200;

// Whether a painted meter shows the text of the reference: every pixel alike
// off Windows, all but a few edge pixels on Windows.
inline testing::AssertionResult showsText(const Picture& painted, const Picture& expected) {
#if defined(_WIN32)
    const int32_t n = differing(painted, expected);
    if (n <= kTextTolerance)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << n << " pixels differ visibly, more than " << kTextTolerance;
#else
    if (painted == expected)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << differing(painted, expected) << " pixels differ visibly, "
                                       << painted.size() << " compared";
#endif
}

// Whether the comparison tells the two pictures apart.
inline testing::AssertionResult tellsApart(const Picture& a, const Picture& b) {
    if (showsText(a, b))
        return testing::AssertionFailure() << "the pictures pass for the same text";
    return testing::AssertionSuccess();
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
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
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

// guikit loaded once for the suite.
class DrawingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { lib_ = loadPlugin("guikit").release(); }
    static void TearDownTestSuite() {
        delete lib_;
        lib_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(lib_, nullptr);
        // The meters ask for "Arial" by name; fontconfig offers a font of
        // its metrics off Windows, and a test run prepares the Wine prefix
        // to offer one (scripts/wine-tests.sh).
        platform::GdiplusSession session;
        ASSERT_EQ(session.start(), gdip::Ok);
        gdip::Owned<gdip::FontFamily> family;
        ASSERT_EQ(GdipCreateFontFamilyFromName(OVRA_GDIP_TEXT("Arial"), nullptr, family.out()), gdip::Ok)
            << "no font answers to \"Arial\"";
    }
    static inline host::Library* lib_ = nullptr;
};

}  // namespace ovra::test
