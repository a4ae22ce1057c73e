#include "paint_surface.h"

#include "library.h"

#include "platform/gdiplus_flat.h"
#include "platform/gdiplus_runtime.h"

namespace ovra::host {

PaintSurface::PaintSurface(int32_t width, int32_t height) {
    if (width < 1 || height < 1)
        return;
    if (platform::gdiplusStartup(&token_) != gdip::Ok)
        return;
    gdip::Bitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromScan0(width, height, 0, gdip::PixelFormat32bppARGB, nullptr, &bitmap) != gdip::Ok ||
        bitmap == nullptr)
        return;
    gdip::Graphics* graphics = nullptr;
    if (GdipGetImageGraphicsContext(gdip::asImage(bitmap), &graphics) != gdip::Ok || graphics == nullptr) {
        GdipDisposeImage(gdip::asImage(bitmap));
        return;
    }
    bitmap_ = bitmap;
    graphics_ = graphics;
    width_ = width;
    height_ = height;
    clear(0);
}

PaintSurface::~PaintSurface() {
    endPaint();
    if (graphics_ != nullptr)
        GdipDeleteGraphics(graphics_);
    if (bitmap_ != nullptr)
        GdipDisposeImage(gdip::asImage(bitmap_));
    platform::gdiplusShutdown(token_);
}

void PaintSurface::clear(uint32_t argb) {
    if (graphics_ == nullptr)
        return;
    GdipGraphicsClear(graphics_, argb);
    GdipFlush(graphics_, gdip::FlushIntentionFlush);
}

DeviceContext PaintSurface::beginPaint() {
    if (graphics_ == nullptr)
        return nullptr;
    if (dc_ == nullptr) {
#if defined(_WIN32)
        GdipGetDC(graphics_, &dc_);
#else
        dc_ = graphics_;
#endif
    }
    return dc_;
}

void PaintSurface::endPaint() {
    if (dc_ == nullptr)
        return;
#if defined(_WIN32)
    GdipReleaseDC(graphics_, dc_);
#endif
    dc_ = nullptr;
    GdipFlush(graphics_, gdip::FlushIntentionFlush);
}

int32_t PaintSurface::paint(IQvGraphicsComposited* module) {
    if (module == nullptr || graphics_ == nullptr)
        return RC_FAILED;
    const int32_t result = module->onPaint(beginPaint());
    endPaint();
    return result;
}

std::vector<uint32_t> PaintSurface::pixels() const {
    std::vector<uint32_t> out;
    if (bitmap_ == nullptr)
        return out;
    const gdip::Rect whole{0, 0, width_, height_};
    gdip::BitmapData data{};
    if (GdipBitmapLockBits(bitmap_, &whole, gdip::ImageLockModeRead, gdip::PixelFormat32bppARGB, &data) != gdip::Ok)
        return out;
    out.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_));
    for (int32_t y = 0; y < height_; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(data.Scan0) +
                                                            static_cast<ptrdiff_t>(y) * data.Stride);
        for (int32_t x = 0; x < width_; ++x)
            out[static_cast<size_t>(y) * width_ + x] = row[x];
    }
    GdipBitmapUnlockBits(bitmap_, &data);
    return out;
}

uint32_t PaintSurface::pixel(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return 0;
    const std::vector<uint32_t> all = pixels();
    return all.empty() ? 0 : all[static_cast<size_t>(y) * width_ + x];
}

bool PaintSurface::savePng(const std::string& path, std::string& error) const {
    if (bitmap_ == nullptr) {
        error = "the paint surface has no bitmap";
        return false;
    }
    // GDI+ takes the file name as 16-bit text.
    const wstring utf16 = fromUtf8(path);
    const std::basic_string<gdip::Char> name(utf16.begin(), utf16.end());
    const gdip::Status status =
        GdipSaveImageToFile(gdip::asImage(bitmap_), name.c_str(), &gdip::kPngEncoder, nullptr);
    if (status != gdip::Ok) {
        error = "GDI+ could not write " + path + " (status " + std::to_string(status) + ")";
        return false;
    }
    return true;
}

}  // namespace ovra::host
