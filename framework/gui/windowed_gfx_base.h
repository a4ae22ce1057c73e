// Windowed drawing bases: a first-family GUI module that opens a child window
// of its own inside a parent window the host gives, and paints it when the
// window system asks. [GUI thread: the thread that owns the windows]
//
// While any module of the library has its window open, the library's window
// class "DefaultMpWClass" is registered; the last window to close removes it.
#pragma once

#include "gui/drawing_size.h"
#include "gui/gui_base.h"
#include "platform/window_system.h"

namespace ovra {

class MpGuiWindowsGfxBase : public MpGuiBase, public IMpGraphicsWinGdi {
public:
    MpGuiWindowsGfxBase() = default;
    // A window still open is closed first, so that no window is left pointing
    // at a destroyed module.
    ~MpGuiWindowsGfxBase() override;

    // IMpUnknown, on either interface: the whole object.
    int32_t QueryInterface(const Guid* iid, void** out) override;
    uint32_t AddRef() override { return MpGuiBase::AddRef(); }
    uint32_t Release() override { return MpGuiBase::Release(); }

    // Asks for IMpGuiHost, then IMpWinGdiHost; throws when either is missing.
    int32_t attachHost(IMpUnknown* host) override;

    // IMpGraphicsWinGdi, as the host sees it: nothing the module's hooks
    // throw leaves these entries.
    // measure answers the module's measure hook; RC_FAILED when it throws.
    int32_t measure(GuiSize available, GuiSize* result) final;
    int32_t arrange(const GuiRect* placement) final;
    // Opens the module's window inside parent, at the stored placement. With a
    // window already open, that one is closed first. RC_FAILED, with *window
    // null, when the window system refuses the window or the module's style
    // hook throws.
    int32_t openWindow(WindowHandle parent, WindowHandle* window) final;
    // Destroys the window if one is open; RC_OK either way.
    int32_t closeWindow() final;

    // The size the module wants, given what the host offers; by default the
    // offer, kept within the drawing limits.
    virtual GuiSize measure(GuiSize available);

    // The window's messages, by message; anything not handled here goes to
    // the window system's default procedure.
    virtual win::LRESULT handleWindowMessage(win::HWND window, win::UINT message, win::WPARAM wParam,
                                             win::LPARAM lParam);
    virtual void fillWindowClass(win::WNDCLASSEXW& windowClass);
    // Child and visible by default.
    virtual void getWindowStyle(win::DWORD& style, win::DWORD& extendedStyle);
    virtual int32_t registerWindowClass();
    virtual int32_t unregisterWindowClass();
    virtual int32_t onPaint(win::HDC dc);
    virtual int32_t onLButtonDown(uint32_t flags, GuiPoint point);
    virtual int32_t onLButtonUp(uint32_t flags, GuiPoint point);
    virtual int32_t onPointerMove(uint32_t flags, GuiPoint point);
    virtual int32_t onTimer();

    // For module code. Nothing happens while no window is open.
    void invalidateRect(const GuiRect* rect, int32_t erase);
    bool getCapture() const;
    void setCapture();
    void releaseCapture();

    win::HWND windowHandle() const { return window_; }

    // Windows of this library that are open now.
    static int32_t openWindowCount();

protected:
    win::HWND window_ = nullptr;
    GuiRect placement_{};
    IMpWinGdiHost* winGdiHost_ = nullptr;  // kept, never released, never called

private:
    // The one procedure of the library's window class.
    static win::LRESULT OVRA_WINAPI windowProcedure(win::HWND window, win::UINT message, win::WPARAM wParam,
                                                    win::LPARAM lParam);

    // False once the window system has destroyed window_ on its own (a close
    // message, its parent going): closeWindow then only does the bookkeeping,
    // and never hands the stale handle back to the window system.
    bool windowAlive_ = false;
};

// The windowed base with a reference count of its own and one more host
// interface.
class QvGuiWindowsGfxBase : public MpGuiWindowsGfxBase {
public:
    uint32_t AddRef() override { return ownReferenceCount_.add(); }
    uint32_t Release() override { return ownReferenceCount_.release(this); }

    // Asks for IMpGuiHost, IMpWinGdiHost, then IQvWindowsGfxHost.
    int32_t attachHost(IMpUnknown* host) override;

protected:
    ReferenceCount ownReferenceCount_;
    IQvWindowsGfxHost* windowsGfxHost_ = nullptr;  // kept, never released, never called
};

}  // namespace ovra
