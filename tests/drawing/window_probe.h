// The test-only drawing modules (drawing_fixture.qvm) answer this extra
// identifier with a WindowProbe: through it a test reaches the window system
// inside that library (each library carries its own) and what the module saw.
#pragma once

#include <cstdint>

#include "abi/abi.h"

namespace ovra::test {

inline constexpr Guid IID_WindowProbe{0x6D1E0C2A, 0x4B7F, 0x4E11, {0x9C, 0x3D, 0x51, 0x0A, 0x77, 0x2E, 0x90, 0x14}};
inline constexpr Guid IID_ModuleProbe{0x6D1E0C2B, 0x4B7F, 0x4E11, {0x9C, 0x3D, 0x51, 0x0A, 0x77, 0x2E, 0x90, 0x14}};

// One thing a test module's handler saw.
struct ProbeEvent {
    enum Kind : int32_t { Paint, LButtonDown, LButtonUp, PointerMove, Timer };
    Kind kind;
    uint32_t flags;
    GuiPoint point;
    void* dc;
};

struct ProbeRect {
    int32_t left, top, right, bottom;
};

// What any test drawing module offers: its own calls, made on demand.
class ModuleProbe : public IMpUnknown {
public:
    virtual void invalidate(const GuiRect* rect, int32_t erase) = 0;
    virtual bool getCapture() = 0;
    virtual void setCapture() = 0;
    virtual void releaseCapture() = 0;
    // From now on every hook the module overrides (measure, paint, pointer,
    // timer, window style, window class) throws instead of answering.
    virtual void throwFromHooks() = 0;
};

// The windowed test modules also answer IID_WindowProbe.
class WindowProbe : public ModuleProbe {
public:
    // The module's window system.
    virtual WindowHandle moduleWindow() = 0;
    virtual int32_t openWindowCount() = 0;
    virtual bool classRegistered() = 0;
    // A top-level window of a class of the probe's own, to parent modules.
    virtual WindowHandle createParent(int32_t x, int32_t y, int32_t width, int32_t height) = 0;
    virtual bool destroyWindow(WindowHandle window) = 0;
    virtual bool isWindow(WindowHandle window) = 0;
    virtual WindowHandle parentOf(WindowHandle window) = 0;
    virtual bool windowRect(WindowHandle window, ProbeRect* rect) = 0;
    virtual intptr_t userData(WindowHandle window) = 0;
    virtual uint32_t style(WindowHandle window) = 0;
    virtual bool post(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    virtual intptr_t send(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    // Dispatches every waiting message (WM_QUIT stays); answers how many.
    virtual int32_t pump() = 0;
    // Takes a posted WM_QUIT, if there is one, with its code.
    virtual bool takeQuit(int32_t* code) = 0;
    virtual int32_t defaultProcedureCount(WindowHandle window, uint32_t message) = 0;
    virtual bool setDeviceContext(WindowHandle window, void* dc) = 0;
    virtual bool updateRect(WindowHandle window, ProbeRect* rect) = 0;
    virtual WindowHandle captureWindow() = 0;

    // The style the module asks its window to have; 0 keeps the base's.
    virtual void overrideStyle(uint32_t style) = 0;

    // What the module's handlers saw, oldest first.
    virtual int32_t eventCount() = 0;
    virtual ProbeEvent event(int32_t i) = 0;
};

}  // namespace ovra::test
