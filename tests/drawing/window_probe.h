// The test-only drawing modules (drawing_fixture.qvm) answer this extra
// identifier with a WindowProbe: through it a test reaches the window system
// inside that library and what the module saw. The library is built against
// the stand-in off Windows (each library carries its own) and against user32
// on Windows, so one test text drives both.
#pragma once

#include <cstdint>

#include "abi/abi.h"

namespace ovra::test {

inline constexpr Guid IID_WindowProbe{0x6D1E0C2A, 0x4B7F, 0x4E11, {0x9C, 0x3D, 0x51, 0x0A, 0x77, 0x2E, 0x90, 0x14}};
inline constexpr Guid IID_ModuleProbe{0x6D1E0C2B, 0x4B7F, 0x4E11, {0x9C, 0x3D, 0x51, 0x0A, 0x77, 0x2E, 0x90, 0x14}};

// One thing a test module's hooks saw.
struct ProbeEvent {
    enum Kind : int32_t {
        Paint,
        LButtonDown,
        LButtonUp,
        PointerMove,
        Timer,
        ContextMenu,      // seen by the window procedure, not a hook
        EraseBackground,  // likewise
        ClassRegistered,
        ClassRemoved,
    };
    Kind kind;
    uint32_t flags;
    GuiPoint point;
    void* dc;
};

struct ProbeRect {
    int32_t left, top, right, bottom;
};

// What the window system tells of one window.
struct ProbeWindow {
    WindowHandle parent;
    uint32_t style;
    uint32_t extendedStyle;
    intptr_t userData;
    ProbeRect placement;     // in the parent's client area; on the screen without a parent
    bool libraryClass;       // of the class "DefaultMpWClass"
    bool libraryInstance;    // made for the fixture library, not the program
    int32_t titleLength;
};

// The record of the library's window class.
struct ProbeClass {
    uint32_t style;
    bool arrowCursor;
    bool icon, background, menu;
    bool procedure;
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
    virtual WindowHandle moduleWindow() = 0;
    virtual int32_t openWindowCount() = 0;
    // Whether "DefaultMpWClass" is registered for the module (library or
    // program) that holds the address, null for the fixture library; fills
    // *out (may be null) when it is.
    virtual bool windowClass(const void* moduleAddress, ProbeClass* out) = 0;

    // A visible top-level window without a frame, of a class of the probe's
    // own, to parent modules.
    virtual WindowHandle createParent(int32_t x, int32_t y, int32_t width, int32_t height) = 0;
    virtual bool destroyWindow(WindowHandle window) = 0;
    virtual bool isWindow(WindowHandle window) = 0;
    virtual bool describe(WindowHandle window, ProbeWindow* out) = 0;
    virtual bool post(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    virtual intptr_t send(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    // Dispatches every waiting message; a WM_QUIT among them is kept for
    // takeQuit. Answers how many were dispatched.
    virtual int32_t pump() = 0;
    // Takes a WM_QUIT, pumped or still waiting, with its code.
    virtual bool takeQuit(int32_t* code) = 0;
    // Gives the window the surface its paints draw on and answers it; null
    // where the window system picks one at each paint.
    virtual void* paintSurface(WindowHandle window) = 0;
    virtual bool invalidateWindow(WindowHandle window) = 0;
    virtual bool updateRect(WindowHandle window, ProbeRect* rect) = 0;
    // A timer of the window with the id 1, or none.
    virtual bool startTimer(WindowHandle window, uint32_t milliseconds) = 0;
    virtual void stopTimer(WindowHandle window) = 0;
    virtual WindowHandle captureWindow() = 0;
    virtual void captureTo(WindowHandle window) = 0;

    // The style the module asks its window to have; 0 keeps the base's.
    virtual void overrideStyle(uint32_t style) = 0;

    // What the module's hooks saw, oldest first.
    virtual int32_t eventCount() = 0;
    virtual ProbeEvent event(int32_t i) = 0;
};

}  // namespace ovra::test
