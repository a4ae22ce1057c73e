// A test-only window into the modules of window_probe.qvm: windowed GUI
// modules built on the real user32, which count what reaches them.
#pragma once

#include "abi/abi.h"

namespace ovra::probe {

inline constexpr Guid IID_IWindowProbe{0x3C81E5A2, 0x7D40, 0x4F6B, {0xA1, 0x5E, 0x92, 0x0B, 0x6C, 0x3D, 0x48, 0xE7}};

// "WindowProbe" is built on MpGuiWindowsGfxBase, "WindowProbeQv" on
// QvGuiWindowsGfxBase; both are first-family modules (sub-type 1).
inline constexpr char16_t kWindowProbe[] = u"WindowProbe";
inline constexpr char16_t kWindowProbeQv[] = u"WindowProbeQv";

// What the probe saw of one kind of message.
struct Seen {
    int32_t count;
    uint32_t flags;  // key flags of the last mouse message
    GuiPoint point;  // position of the last mouse message
};

enum Event : int32_t {
    kPaint,          // onPaint
    kPaintWithDc,    // onPaint with a device context that is not null
    kLButtonDown,
    kLButtonUp,
    kPointerMove,
    kTimer,
    kContextMenu,    // what the default procedure makes of a right button
    kClassRegistered,
    kClassRemoved,
    kEvents,
};

class IWindowProbe : public IMpUnknown {
public:
    virtual Seen seen(int32_t event) = 0;
    // The base's operations for module code.
    virtual void invalidate() = 0;
    virtual int32_t hasCapture() = 0;
    virtual void takeCapture() = 0;
    virtual void giveBackCapture() = 0;
    // Open windows of the library, as the base counts them.
    virtual int32_t openWindows() = 0;
    // A window without WS_CHILD, for opening without a parent.
    virtual void makeTopLevel() = 0;
};

}  // namespace ovra::probe
