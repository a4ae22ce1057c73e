// The GDI+ flat functions this project calls, declared once for every
// platform: gdiplus.dll on Windows, libgdiplus (which ships no header)
// elsewhere. Both export the same C names with the same arguments.
//
// Code that includes this should not also include <gdiplus.h>.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#define OVRA_GDIPAPI __stdcall
#else
#define OVRA_GDIPAPI
#endif

namespace ovra::gdip {

// GDI+ text is 16-bit: wchar_t on Windows, a 16-bit unit in libgdiplus.
#if defined(_WIN32)
using Char = wchar_t;
#define OVRA_GDIP_TEXT(s) L##s
#else
using Char = char16_t;
#define OVRA_GDIP_TEXT(s) u##s
#endif
static_assert(sizeof(Char) == 2);

using Status = int32_t;
using ARGB = uint32_t;
using Token = uintptr_t;  // ULONG_PTR

inline constexpr Status Ok = 0;
inline constexpr Status GdiplusNotInitialized = 18;

// Opaque objects.
struct Graphics;
struct Brush;
struct SolidFill;
struct Hatch;
struct FontFamily;
struct FontCollection;
struct Font;
struct StringFormat;
struct Image;
struct Bitmap;
struct Pen;

struct StartupInput {
    uint32_t GdiplusVersion;
    void* DebugEventCallback;
    int32_t SuppressBackgroundThread;  // BOOL
    int32_t SuppressExternalCodecs;    // BOOL
};
struct StartupOutput {
    void* NotificationHook;
    void* NotificationUnhook;
};

struct RectF {
    float X;
    float Y;
    float Width;
    float Height;
};
struct Point {
    int32_t X;
    int32_t Y;
};
struct Rect {
    int32_t X;
    int32_t Y;
    int32_t Width;
    int32_t Height;
};

struct BitmapData {
    uint32_t Width;
    uint32_t Height;
    int32_t Stride;
    int32_t PixelFormat;
    void* Scan0;
    uintptr_t Reserved;
#if !defined(_WIN32)
    // libgdiplus keeps private fields of the lock after these (palette,
    // properties, resolution, flags, offsets) and writes them on lock.
    uint8_t libgdiplusPrivate[128];
#endif
};

struct Clsid {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};

// The PNG encoder, {557CF406-1A04-11D3-9A73-0000F81EF32E}.
inline constexpr Clsid kPngEncoder{0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

inline constexpr int32_t UnitPixel = 2;
inline constexpr int32_t FlushIntentionFlush = 0;
inline constexpr int32_t TextRenderingHintAntiAlias = 4;
inline constexpr int32_t HatchStyleCross = 4;
inline constexpr int32_t SmoothingModeAntiAlias = 4;
inline constexpr int32_t PixelFormat32bppARGB = 0x0026200A;
inline constexpr uint32_t ImageLockModeRead = 1;

// A colour from four components, alpha in the top byte; each component
// contributes its low 8 bits (256 gives 0, -1 gives 255).
inline constexpr ARGB argbOf(int32_t alpha, int32_t red, int32_t green, int32_t blue) {
    return (static_cast<ARGB>(alpha & 0xFF) << 24) | (static_cast<ARGB>(red & 0xFF) << 16) |
           (static_cast<ARGB>(green & 0xFF) << 8) | static_cast<ARGB>(blue & 0xFF);
}

}  // namespace ovra::gdip

extern "C" {

ovra::gdip::Status OVRA_GDIPAPI GdiplusStartup(ovra::gdip::Token* token, const ovra::gdip::StartupInput* input,
                                               ovra::gdip::StartupOutput* output);
void OVRA_GDIPAPI GdiplusShutdown(ovra::gdip::Token token);

ovra::gdip::Status OVRA_GDIPAPI GdipCreateFromHDC(void* hdc, ovra::gdip::Graphics** graphics);
ovra::gdip::Status OVRA_GDIPAPI GdipDeleteGraphics(ovra::gdip::Graphics* graphics);
ovra::gdip::Status OVRA_GDIPAPI GdipFlush(ovra::gdip::Graphics* graphics, int32_t intention);
ovra::gdip::Status OVRA_GDIPAPI GdipGraphicsClear(ovra::gdip::Graphics* graphics, ovra::gdip::ARGB color);
ovra::gdip::Status OVRA_GDIPAPI GdipSetTextRenderingHint(ovra::gdip::Graphics* graphics, int32_t hint);
ovra::gdip::Status OVRA_GDIPAPI GdipGetDC(ovra::gdip::Graphics* graphics, void** hdc);
ovra::gdip::Status OVRA_GDIPAPI GdipReleaseDC(ovra::gdip::Graphics* graphics, void* hdc);

ovra::gdip::Status OVRA_GDIPAPI GdipCreateSolidFill(ovra::gdip::ARGB color, ovra::gdip::SolidFill** brush);
ovra::gdip::Status OVRA_GDIPAPI GdipCreateHatchBrush(int32_t style, ovra::gdip::ARGB foreground,
                                                     ovra::gdip::ARGB background, ovra::gdip::Hatch** brush);
ovra::gdip::Status OVRA_GDIPAPI GdipDeleteBrush(ovra::gdip::Brush* brush);
ovra::gdip::Status OVRA_GDIPAPI GdipFillRectangleI(ovra::gdip::Graphics* graphics, ovra::gdip::Brush* brush, int32_t x,
                                                   int32_t y, int32_t width, int32_t height);

ovra::gdip::Status OVRA_GDIPAPI GdipCreateFontFamilyFromName(const ovra::gdip::Char* name,
                                                             ovra::gdip::FontCollection* collection,
                                                             ovra::gdip::FontFamily** family);
ovra::gdip::Status OVRA_GDIPAPI GdipDeleteFontFamily(ovra::gdip::FontFamily* family);
ovra::gdip::Status OVRA_GDIPAPI GdipCreateFont(const ovra::gdip::FontFamily* family, float emSize, int32_t style,
                                               int32_t unit, ovra::gdip::Font** font);
ovra::gdip::Status OVRA_GDIPAPI GdipDeleteFont(ovra::gdip::Font* font);
ovra::gdip::Status OVRA_GDIPAPI GdipDrawString(ovra::gdip::Graphics* graphics, const ovra::gdip::Char* text,
                                               int32_t length, const ovra::gdip::Font* font,
                                               const ovra::gdip::RectF* layout,
                                               const ovra::gdip::StringFormat* format,
                                               const ovra::gdip::Brush* brush);

ovra::gdip::Status OVRA_GDIPAPI GdipMeasureString(ovra::gdip::Graphics* graphics, const ovra::gdip::Char* text,
                                                  int32_t length, const ovra::gdip::Font* font,
                                                  const ovra::gdip::RectF* layout, const void* format,
                                                  ovra::gdip::RectF* bounds, int32_t* fitted, int32_t* lines);
ovra::gdip::Status OVRA_GDIPAPI GdipSetSmoothingMode(ovra::gdip::Graphics* graphics, int32_t mode);

ovra::gdip::Status OVRA_GDIPAPI GdipCreatePen1(ovra::gdip::ARGB color, float width, int32_t unit, ovra::gdip::Pen** pen);
ovra::gdip::Status OVRA_GDIPAPI GdipDeletePen(ovra::gdip::Pen* pen);
ovra::gdip::Status OVRA_GDIPAPI GdipSetPenDashStyle(ovra::gdip::Pen* pen, int32_t style);
ovra::gdip::Status OVRA_GDIPAPI GdipDrawLineI(ovra::gdip::Graphics* graphics, ovra::gdip::Pen* pen, int32_t x1,
                                              int32_t y1, int32_t x2, int32_t y2);
ovra::gdip::Status OVRA_GDIPAPI GdipDrawLinesI(ovra::gdip::Graphics* graphics, ovra::gdip::Pen* pen,
                                               const ovra::gdip::Point* points, int32_t count);

ovra::gdip::Status OVRA_GDIPAPI GdipCreateBitmapFromScan0(int32_t width, int32_t height, int32_t stride,
                                                          int32_t format, uint8_t* scan0,
                                                          ovra::gdip::Bitmap** bitmap);
ovra::gdip::Status OVRA_GDIPAPI GdipGetImageGraphicsContext(ovra::gdip::Image* image,
                                                            ovra::gdip::Graphics** graphics);
ovra::gdip::Status OVRA_GDIPAPI GdipBitmapLockBits(ovra::gdip::Bitmap* bitmap, const ovra::gdip::Rect* rect,
                                                   uint32_t flags, int32_t format, ovra::gdip::BitmapData* data);
ovra::gdip::Status OVRA_GDIPAPI GdipBitmapUnlockBits(ovra::gdip::Bitmap* bitmap, ovra::gdip::BitmapData* data);
ovra::gdip::Status OVRA_GDIPAPI GdipSaveImageToFile(ovra::gdip::Image* image, const ovra::gdip::Char* file,
                                                    const ovra::gdip::Clsid* encoder, const void* parameters);
ovra::gdip::Status OVRA_GDIPAPI GdipDisposeImage(ovra::gdip::Image* image);

}  // extern "C"

namespace ovra::gdip {

// GDI+ objects of one kind are passed where their base kind is asked for.
inline Brush* asBrush(SolidFill* b) { return reinterpret_cast<Brush*>(b); }
inline Brush* asBrush(Hatch* b) { return reinterpret_cast<Brush*>(b); }
inline Image* asImage(Bitmap* b) { return reinterpret_cast<Image*>(b); }

}  // namespace ovra::gdip
