// Linux: qvhost's executable defines the GDI+ functions that make and
// delete objects and exports them, so the dynamic linker binds a loaded
// library's calls to these definitions; each notes the object and goes on
// to libgdiplus's own. qvhost's own painting passes through them as well,
// uncounted outside a watch.
#include "gdiplus_watch.h"

#include <dlfcn.h>

#include <map>

#include "platform/gdiplus_flat.h"

namespace {

using namespace ovra;
using gdip::Status;

thread_local bool t_watching = false;
thread_local std::map<const void*, const char*>* t_live = nullptr;

template <class F>
F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// The call that made an object into `out` answered `s`; a made object is
// noted as a `kind`. Answers `s`.
template <class T>
Status made(Status s, T** out, const char* kind) {
    if (!t_watching || s != gdip::Ok || out == nullptr || *out == nullptr || t_live == nullptr)
        return s;
    t_watching = false;  // the map's own allocation is no call of the module's
    (*t_live)[*out] = kind;
    t_watching = true;
    return s;
}

// Notes that `object` is about to be deleted. Answers it, for the call that
// deletes it.
template <class T>
T* gone(T* object) {
    if (!t_watching || t_live == nullptr)
        return object;
    t_watching = false;
    t_live->erase(object);
    t_watching = true;
    return object;
}

}  // namespace

// Each definition goes on to libgdiplus's own function of its name, found on
// the first call.
#define QVHOST_NEXT(name) static const auto real = next<decltype(&name)>(#name)

extern "C" {

Status OVRA_GDIPAPI GdipCreateFromHDC(void* hdc, gdip::Graphics** graphics) {
    QVHOST_NEXT(GdipCreateFromHDC);
    return made(real(hdc, graphics), graphics, "graphics");
}
Status OVRA_GDIPAPI GdipGetImageGraphicsContext(gdip::Image* image, gdip::Graphics** graphics) {
    QVHOST_NEXT(GdipGetImageGraphicsContext);
    return made(real(image, graphics), graphics, "graphics");
}
Status OVRA_GDIPAPI GdipDeleteGraphics(gdip::Graphics* graphics) {
    QVHOST_NEXT(GdipDeleteGraphics);
    return real(gone(graphics));
}
Status OVRA_GDIPAPI GdipCreateSolidFill(gdip::ARGB color, gdip::SolidFill** brush) {
    QVHOST_NEXT(GdipCreateSolidFill);
    return made(real(color, brush), brush, "brush");
}
Status OVRA_GDIPAPI GdipCreateHatchBrush(int32_t style, gdip::ARGB foreground, gdip::ARGB background,
                                         gdip::Hatch** brush) {
    QVHOST_NEXT(GdipCreateHatchBrush);
    return made(real(style, foreground, background, brush), brush, "brush");
}
Status OVRA_GDIPAPI GdipDeleteBrush(gdip::Brush* brush) {
    QVHOST_NEXT(GdipDeleteBrush);
    return real(gone(brush));
}
Status OVRA_GDIPAPI GdipCreateFontFamilyFromName(const gdip::Char* name, gdip::FontCollection* collection,
                                                 gdip::FontFamily** family) {
    QVHOST_NEXT(GdipCreateFontFamilyFromName);
    return made(real(name, collection, family), family, "font family");
}
Status OVRA_GDIPAPI GdipDeleteFontFamily(gdip::FontFamily* family) {
    QVHOST_NEXT(GdipDeleteFontFamily);
    return real(gone(family));
}
Status OVRA_GDIPAPI GdipCreateFont(const gdip::FontFamily* family, float emSize, int32_t style, int32_t unit,
                                   gdip::Font** font) {
    QVHOST_NEXT(GdipCreateFont);
    return made(real(family, emSize, style, unit, font), font, "font");
}
Status OVRA_GDIPAPI GdipDeleteFont(gdip::Font* font) {
    QVHOST_NEXT(GdipDeleteFont);
    return real(gone(font));
}
Status OVRA_GDIPAPI GdipCreatePen1(gdip::ARGB color, float width, int32_t unit, gdip::Pen** pen) {
    QVHOST_NEXT(GdipCreatePen1);
    return made(real(color, width, unit, pen), pen, "pen");
}
Status OVRA_GDIPAPI GdipDeletePen(gdip::Pen* pen) {
    QVHOST_NEXT(GdipDeletePen);
    return real(gone(pen));
}
Status OVRA_GDIPAPI GdipCreateBitmapFromScan0(int32_t width, int32_t height, int32_t stride, int32_t format,
                                              uint8_t* scan0, gdip::Bitmap** bitmap) {
    QVHOST_NEXT(GdipCreateBitmapFromScan0);
    return made(real(width, height, stride, format, scan0, bitmap), bitmap, "image");
}
Status OVRA_GDIPAPI GdipDisposeImage(gdip::Image* image) {
    QVHOST_NEXT(GdipDisposeImage);
    return real(gone(image));
}

}  // extern "C"

namespace qvhost {

bool gdiplusWatched() { return true; }

void beginGdiplusWatch() {
    if (t_live == nullptr)
        t_live = new std::map<const void*, const char*>();  // one per painting thread, kept
    t_live->clear();
    t_watching = true;
}

std::string endGdiplusWatch() {
    t_watching = false;
    if (t_live == nullptr || t_live->empty())
        return {};
    std::map<std::string, size_t> byKind;
    for (const auto& [object, kind] : *t_live)
        ++byKind[kind];
    t_live->clear();
    std::string out;
    for (const auto& [kind, n] : byKind) {
        const std::string plural = kind == "graphics" ? kind
                                   : kind == "font family" ? "font families"
                                   : kind == "brush"       ? "brushes"
                                                           : kind + "s";
        out += (out.empty() ? "" : ", ") + std::to_string(n) + " " + (n == 1 ? kind : plural);
    }
    return out;
}

}  // namespace qvhost
