// "EX-LevelBar": a drawn GUI module (sub-type 1) that shows a value from 0 to
// 1 as a horizontal bar, with ticks at the quarters, painted with GDI+ into
// the device context the host hands it.
#include <cmath>

#include "abi/factory.h"
#include "gui/drawn_gfx_base.h"
#include "platform/gdiplus_owned.h"

namespace example {

using namespace ovra;

class LevelBarGui : public QvGuiDrawnGfxBase {
public:
    enum : int32_t { kValue, kBarColour, kBackground };

    LevelBarGui() {
        addPin(kValue, value_, &LevelBarGui::repaint);
        addPin(kBarColour, barColour_, &LevelBarGui::repaint);
        addPin(kBackground, background_, &LevelBarGui::repaint);
        barColour_.value = 0x30C060;   // initial values, before the host's
        background_.value = 0x202020;
    }


    GuiSize measure(GuiSize) override { return GuiSize{100, 20}; }

    // Every GDI+ object is made and released within the paint. A step that
    // fails leaves its object null and draws nothing.
    int32_t onPaint(win::HDC dc) override {
        const int32_t width = placedWidth();
        const int32_t height = placedHeight();
        gdip::Owned<gdip::Graphics> graphics;
        if (GdipCreateFromHDC(dc, graphics.out()) != gdip::Ok || !graphics)
            return RC_OK;
        fill(graphics.get(), rgb(background_.value), 0, 0, width, height);
        fill(graphics.get(), rgb(barColour_.value), 0, 0, barWidth(width), height);
        for (int32_t quarter = 1; quarter < 4; ++quarter)
            fill(graphics.get(), 0x80FFFFFF, width * quarter / 4, height - height / 4, 1, height / 4);
        return RC_OK;
    }

private:
    // The value clamped to 0..1 (a NaN shows an empty bar), in pixels.
    int32_t barWidth(int32_t width) const {
        const float v = value_.value;
        const float shown = v > 1.0f ? 1.0f : (v > 0.0f ? v : 0.0f);
        return static_cast<int32_t>(std::lround(shown * static_cast<float>(width)));
    }

    // 0xRRGGBB from a pin, fully opaque.
    static gdip::ARGB rgb(int32_t colour) { return 0xFF000000u | (static_cast<uint32_t>(colour) & 0xFFFFFFu); }

    static void fill(gdip::Graphics* graphics, gdip::ARGB colour, int32_t x, int32_t y, int32_t w, int32_t h) {
        if (w <= 0 || h <= 0)
            return;
        gdip::Owned<gdip::SolidFill> brush;
        if (GdipCreateSolidFill(colour, brush.out()) != gdip::Ok || !brush)
            return;
        GdipFillRectangleI(graphics, gdip::asBrush(brush.get()), x, y, w, h);
    }

    // Whatever changed, the host repaints the whole module.
    void repaint() { invalidateRect(); }

    MpGuiPin<float> value_;
    MpGuiPin<int32_t> barColour_;
    MpGuiPin<int32_t> background_;
};

OVRA_MODULE(u"EX-LevelBar", LevelBarGui);

}  // namespace example
