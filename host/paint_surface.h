// A paint surface: a 32-bit ARGB bitmap of a given size that a composited
// module paints into, read back as pixels and saved as PNG, all through GDI+.
//
// What a module receives as its device context: on Windows a GDI device
// context taken from the bitmap's graphics for the length of the paint; with
// libgdiplus the bitmap's graphics object itself, which libgdiplus accepts in
// place of a device context.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "abi/framework_types.h"

namespace ovra::gdip {
struct Bitmap;
struct Graphics;
}  // namespace ovra::gdip

namespace ovra::host {

class PaintSurface {
public:
    // Starts GDI+ for the surface's life; the surface starts transparent
    // black. A size below 1 x 1 or a GDI+ failure gives an invalid surface,
    // which paints nothing and reads back no pixels.
    PaintSurface(int32_t width, int32_t height);
    ~PaintSurface();
    PaintSurface(const PaintSurface&) = delete;
    PaintSurface& operator=(const PaintSurface&) = delete;

    bool valid() const { return graphics_ != nullptr; }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }

    // Fills the whole surface with one colour (0xAARRGGBB).
    void clear(uint32_t argb);

    // Hands the module a device context on the surface and answers onPaint's
    // result; RC_FAILED without calling it when the surface is invalid.
    int32_t paint(IQvGraphicsComposited* module);
    // The same by hand, for code that paints through other calls: the device
    // context is valid until endPaint.
    DeviceContext beginPaint();
    void endPaint();

    // Row by row from the top left, 0xAARRGGBB (not premultiplied); empty
    // when the surface is invalid.
    std::vector<uint32_t> pixels() const;
    uint32_t pixel(int32_t x, int32_t y) const;

    // Writes a PNG file; on failure answers false and says why in error.
    bool savePng(const std::string& path, std::string& error) const;

    // The bitmap's own graphics object, for drawing onto the surface directly.
    gdip::Graphics* graphics() const { return graphics_; }

private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    uintptr_t token_ = 0;
    gdip::Bitmap* bitmap_ = nullptr;
    gdip::Graphics* graphics_ = nullptr;
    void* dc_ = nullptr;
};

}  // namespace ovra::host
