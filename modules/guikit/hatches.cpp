// Hatch fill: a cross-hatch grid in a line colour over a background colour,
// drawn with GDI+ over the module's whole placement.
#include "gui/drawn_gfx_base.h"
#include "platform/gdiplus_owned.h"
#include "guikit_module.h"

namespace ovra::guikit {

class WbhatchesGui : public QvGuiDrawnGfxBase {
public:
    WbhatchesGui() {
        addPin(kLineAlpha, pins_[0], &WbhatchesGui::onComponent<0>);
        addPin(kLineRed, pins_[1], &WbhatchesGui::onComponent<1>);
        addPin(kLineGreen, pins_[2], &WbhatchesGui::onComponent<2>);
        addPin(kLineBlue, pins_[3], &WbhatchesGui::onComponent<3>);
        addPin(kBackgroundAlpha, pins_[4], &WbhatchesGui::onComponent<4>);
        addPin(kBackgroundRed, pins_[5], &WbhatchesGui::onComponent<5>);
        addPin(kBackgroundGreen, pins_[6], &WbhatchesGui::onComponent<6>);
        addPin(kBackgroundBlue, pins_[7], &WbhatchesGui::onComponent<7>);
    }

    int32_t onPaint(win::HDC dc) override {
        gdip::Owned<gdip::Graphics> graphics;
        GdipCreateFromHDC(dc, graphics.out());
        gdip::Owned<gdip::Hatch> brush;
        GdipCreateHatchBrush(gdip::HatchStyleCross, gdip::argbOf(colours_[0], colours_[1], colours_[2], colours_[3]),
                             gdip::argbOf(colours_[4], colours_[5], colours_[6], colours_[7]), brush.out());
        GdipFillRectangleI(graphics.get(), gdip::asBrush(brush.get()), 0, 0, placedWidth(), placedHeight());
        return RC_OK;
    }

private:
    // A component's pin index is also its place in pins_ and colours_.
    enum : int32_t {
        kLineAlpha = 0, kLineRed, kLineGreen, kLineBlue,
        kBackgroundAlpha, kBackgroundRed, kBackgroundGreen, kBackgroundBlue,
    };

    template <int K>
    void onComponent() {
        colours_[K] = pins_[K].value;
        invalidateRect();
    }

    MpGuiPin<int32_t> pins_[8];
    int32_t colours_[8] = {255, 0, 255, 0, 255, 0, 0, 0};  // green lines on black
};

OVRA_MODULE(u"WB-Hatches-SDK3", WbhatchesGui);

}  // namespace ovra::guikit
