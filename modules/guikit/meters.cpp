// Meters: one value shown as text on a filled background, drawn with GDI+.
// Font, position, colours and anti-aliasing come from pins; every announced
// pin change asks the host to repaint the whole module.
#include <cstdio>
#include <type_traits>

#include "coloured_drawing.h"
#include "guikit_module.h"

namespace ovra::guikit {

namespace {

// Text to GDI+ units; ASCII only.
template <size_t N>
void widen(const char* text, gdip::Char (&out)[N]) {
    size_t i = 0;
    for (; i + 1 < N && text[i] != 0; ++i)
        out[i] = static_cast<gdip::Char>(static_cast<unsigned char>(text[i]));
    out[i] = 0;
}

}  // namespace

// The three meters differ in the value they show and in the float meter's
// decimals pin at index 5, which moves its later pins up by one.
template <class T>
class Meter : public ColouredDrawing {
public:
    static constexpr bool kHasDecimals = std::is_same_v<T, float>;

    // Green text on black until the colour pins are announced.
    Meter() : ColouredDrawing({255, 0, 250, 0, 255, 0, 0, 0}) {
        addPin(kValue, value_, &Meter::onValue);
        addPin(kFontSize, fontSize_, &Meter::onFontSize);
        addPin(kFontStyle, fontStyle_, &Meter::onFontStyle);
        addPin(kTextX, textX_, &Meter::onTextX);
        addPin(kTextY, textY_, &Meter::onTextY);
        if constexpr (kHasDecimals)
            addPin(kDecimals, decimals_, &Meter::onDecimals);
        addPin(kAntiAlias, antiAlias_, &Meter::onAntiAlias);
        addColourPins(kFirstColour);
    }

    GuiSize measure(GuiSize) override { return GuiSize{110, 20}; }

    // Every GDI+ object is made and released within the paint; statuses are
    // not acted upon, a failed step leaves its object null and the rest goes
    // on.
    int32_t onPaint(win::HDC dc) override {
        // Declared in the reverse of the order they are released: the font,
        // the brushes, the graphics (flushed), then the family.
        gdip::Owned<gdip::FontFamily> family;
        gdip::Owned<gdip::Graphics> graphics;
        GdipCreateFromHDC(dc, graphics.out());

        gdip::Owned<gdip::SolidFill> background;
        GdipCreateSolidFill(backgroundColour(), background.out());
        GdipFillRectangleI(graphics.get(), gdip::asBrush(background.get()), 0, 0, placedWidth(), placedHeight());

        gdip::Owned<gdip::SolidFill> textBrush;
        GdipCreateSolidFill(foregroundColour(), textBrush.out());

        GdipCreateFontFamilyFromName(OVRA_GDIP_TEXT("Arial"), nullptr, family.out());
        // No font below one pixel: Windows' GDI+ refuses such a size, but
        // Wine's accepts 0 and draws at a default size. None above
        // kLargestFont either: no meter shows more of such a text than its
        // empty top, and the drawing libraries differ there (libgdiplus
        // overflows its font size and complains, Wine renders glyphs of any
        // size). Text placed farther than kFarthest is never drawn.
        gdip::Owned<gdip::Font> font;
        const bool drawn = fontSize_.value > 0 && fontSize_.value <= kLargestFont && x_ <= kFarthest && y_ <= kFarthest;
        if (family && drawn)
            GdipCreateFont(family.get(), static_cast<float>(fontSize_.value), style_, gdip::UnitPixel, font.out());

        gdip::Char text[kTextRoom];
        makeText(text);

        if (antiAliasState_)
            GdipSetTextRenderingHint(graphics.get(), gdip::TextRenderingHintAntiAlias);

        // Width and height 0: the text starts at (x, y), neither clipped nor
        // wrapped.
        const gdip::RectF layout{x_, y_, 0.0f, 0.0f};
        if (font)
            GdipDrawString(graphics.get(), text, -1, font.get(), &layout, nullptr, gdip::asBrush(textBrush.get()));
        return RC_OK;
    }

private:
    enum : int32_t { kValue = 0, kFontSize = 1, kFontStyle = 2, kTextX = 3, kTextY = 4, kDecimals = 5 };
    // The eight colour components follow the anti-alias pin: the text's,
    // then the background's.
    static constexpr int32_t kAntiAlias = kHasDecimals ? kDecimals + 1 : kDecimals;
    static constexpr int32_t kFirstColour = kAntiAlias + 1;

    // Room for the longest text any value gives (a float of magnitude near
    // 3.4e38 with 15 decimals and a minus sign: 56 characters) and the
    // terminator.
    static constexpr size_t kTextRoom = 57;

    // The largest text, in pixels, and the farthest place a text may start
    // at: beyond it no device context a host makes has a pixel.
    static constexpr int32_t kLargestFont = 1024;
    static constexpr float kFarthest = 32767.0f;

    void makeText(gdip::Char (&text)[kTextRoom]) const {
        char narrow[kTextRoom];
        if constexpr (std::is_same_v<T, bool>) {
            std::snprintf(narrow, sizeof narrow, "%s", value_.value ? "True" : "False");
        } else if constexpr (std::is_same_v<T, int32_t>) {
            std::snprintf(narrow, sizeof narrow, "%d", value_.value);
        } else {
            char format[16];
            std::snprintf(format, sizeof format, "%%.%df", decimalsShown_);
            std::snprintf(narrow, sizeof narrow, format, static_cast<double>(shown_));
        }
        widen(narrow, text);
    }

    void onValue() {
        if constexpr (std::is_same_v<T, float>)
            shown_ = value_.value;
        invalidateRect();
    }
    void onFontSize() { invalidateRect(); }  // read when painting
    void onFontStyle() {
        const int32_t v = fontStyle_.value;
        style_ = (v >= 1 && v <= 4) ? v : 0;
        invalidateRect();
    }
    // Below 0, and a NaN, are taken as 0; an infinity is too far to draw.
    static float placeOf(float v) { return v >= 0.0f ? v : 0.0f; }
    void onTextX() {
        x_ = placeOf(textX_.value);
        invalidateRect();
    }
    void onTextY() {
        y_ = placeOf(textY_.value);
        invalidateRect();
    }
    void onDecimals() {
        const int32_t v = decimals_.value;
        decimalsShown_ = v < 1 ? 1 : (v > 15 ? 15 : v);
        invalidateRect();
    }
    void onAntiAlias() {
        antiAliasState_ = antiAlias_.value;
        invalidateRect();
    }

    MpGuiPin<T> value_;
    MpGuiPin<int32_t> fontSize_;
    MpGuiPin<int32_t> fontStyle_;
    MpGuiPin<float> textX_;
    MpGuiPin<float> textY_;
    MpGuiPin<int32_t> decimals_;  // registered by the float meter only
    MpGuiPin<bool> antiAlias_;

    // Drawing state.
    float shown_ = 0.0f;
    int32_t style_ = 0;
    float x_ = 2.0f;
    float y_ = 2.0f;
    int32_t decimalsShown_ = 2;
    bool antiAliasState_ = false;
};

class WbmeterboolGui : public Meter<bool> {};
class WbmeterintGui : public Meter<int32_t> {};
class WbmeterfloatGui : public Meter<float> {};

OVRA_MODULE(u"WB-Meter-Bool-SDK3", WbmeterboolGui);
OVRA_MODULE(u"WB-Meter-Float-SDK3", WbmeterfloatGui);
OVRA_MODULE(u"WB-Meter-Int-SDK3", WbmeterintGui);

}  // namespace ovra::guikit
