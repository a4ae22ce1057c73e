// Shared by the drawing tests: guikit's drawn modules created through the
// ABI, and reference text drawn by the test itself with the GDI+ calls the
// meters make.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gui_host.h"
#include "library.h"
#include "paint_surface.h"
#include "platform/gdiplus_owned.h"

namespace ovra::test {

// A guikit module with its host, started as the host starts it:
// instantiate, initialiseGui, arrange.
struct DrawnModule {
    host::RecordingGuiHost host;
    IMpUnknown* object = nullptr;
    IMpUserInterface* gui = nullptr;
    IQvGraphicsComposited* gfx = nullptr;

    DrawnModule(const host::Library& lib, const wstring& id, GuiRect placement = GuiRect{0, 20, 0, 110}) {
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
    void set(int32_t pin, V value) {
        host::deliverAndSignal(object, pin, host::bytesOf(value));
    }
};

// The text of a meter as the meter draws it: Arial of the given pixel size
// and style at (x, y), no string format, with the default or anti-aliased
// text hint.
inline void drawReferenceText(host::PaintSurface& surface, const std::u16string& text, int32_t size, uint32_t argb,
                              float x = 2.0f, float y = 2.0f, int32_t style = 0, bool antiAlias = false) {
    DeviceContext dc = surface.beginPaint();
    {
        // Released in the meters' order: font, brush, graphics, family.
        gdip::Owned<gdip::FontFamily> family;
        gdip::Owned<gdip::Graphics> g;
        GdipCreateFromHDC(dc, g.out());
        gdip::Owned<gdip::SolidFill> brush;
        GdipCreateSolidFill(argb, brush.out());
        GdipCreateFontFamilyFromName(OVRA_GDIP_TEXT("Arial"), nullptr, family.out());
        gdip::Owned<gdip::Font> font;
        GdipCreateFont(family.get(), static_cast<float>(size), style, gdip::UnitPixel, font.out());
        if (antiAlias)
            GdipSetTextRenderingHint(g.get(), gdip::TextRenderingHintAntiAlias);
        const std::basic_string<gdip::Char> units(text.begin(), text.end());
        const gdip::RectF layout{x, y, 0, 0};
        GdipDrawString(g.get(), units.c_str(), -1, font.get(), &layout, nullptr, gdip::asBrush(brush.get()));
    }
    surface.endPaint();
}

inline size_t countPixels(const std::vector<uint32_t>& pixels, uint32_t argb) {
    size_t n = 0;
    for (uint32_t p : pixels)
        n += p == argb;
    return n;
}

}  // namespace ovra::test
