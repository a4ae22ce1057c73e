// Hatch fill: a cross-hatch grid in a line colour over a background colour,
// drawn with GDI+ over the module's whole placement.
#include "coloured_drawing.h"
#include "guikit_module.h"

namespace ovra::guikit {

class WbhatchesGui : public ColouredDrawing {
public:
    // Green lines on black until the colour pins are announced.
    WbhatchesGui() : ColouredDrawing({255, 0, 255, 0, 255, 0, 0, 0}) { addColourPins(kLineAlpha); }

    int32_t onPaint(win::HDC dc) override {
        gdip::Owned<gdip::Graphics> graphics;
        GdipCreateFromHDC(dc, graphics.out());
        gdip::Owned<gdip::Hatch> brush;
        GdipCreateHatchBrush(gdip::HatchStyleCross, foregroundColour(), backgroundColour(), brush.out());
        GdipFillRectangleI(graphics.get(), gdip::asBrush(brush.get()), 0, 0, placedWidth(), placedHeight());
        return RC_OK;
    }

private:
    // The line's alpha, red, green and blue on pins 0 to 3, the background's
    // on 4 to 7.
    enum : int32_t { kLineAlpha = 0 };
};

OVRA_MODULE(u"WB-Hatches-SDK3", WbhatchesGui);

}  // namespace ovra::guikit
