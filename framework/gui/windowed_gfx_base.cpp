#include "gui/windowed_gfx_base.h"

using namespace ovra::win;

namespace ovra {

namespace {

const WCHAR kWindowClassName[] = OVRA_WIN_TEXT("DefaultMpWClass");

// Windows of this library open now; the class is registered while above 0.
int32_t openWindows = 0;

// The library holding this code, found from an address inside it; its
// reference count is left alone.
HINSTANCE libraryInstance() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&openWindows), &module);
    return module;
}

// Mouse positions travel as two signed 16-bit numbers in lParam.
GuiPoint pointOf(LPARAM lParam) {
    const auto bits = static_cast<uint32_t>(static_cast<uintptr_t>(lParam));
    return GuiPoint{static_cast<int16_t>(bits & 0xFFFF), static_cast<int16_t>((bits >> 16) & 0xFFFF)};
}

uint32_t keyFlagsOf(WPARAM wParam) { return static_cast<uint32_t>(wParam & 0xFFFFFFFFu); }

}  // namespace

int32_t MpGuiWindowsGfxBase::openWindowCount() { return openWindows; }

// One procedure for every windowed module of the library: the module is the
// one named in the window's user-data slot. Messages that come before the
// slot is set go to the default procedure. No exception leaves a module's
// handler through the window system.
LRESULT MpGuiWindowsGfxBase::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* module = reinterpret_cast<MpGuiWindowsGfxBase*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (module == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY && window == module->window_)
        module->windowAlive_ = false;  // the last message the window receives
    return guarded(LRESULT{0}, [&] { return module->handleWindowMessage(window, message, wParam, lParam); });
}

MpGuiWindowsGfxBase::~MpGuiWindowsGfxBase() {
    // Only this base's handlers run from here on: the module's own parts are
    // already gone.
    MpGuiWindowsGfxBase::closeWindow();
}

int32_t MpGuiWindowsGfxBase::QueryInterface(const Guid* iid, void** out) {
    return answerQueryWithDrawing(iid, out, IID_IMpGraphicsWinGdi, static_cast<IMpGraphicsWinGdi*>(this));
}

int32_t MpGuiWindowsGfxBase::attachHost(IMpUnknown* host) {
    return attachHostWithDrawing(host, IID_IMpWinGdiHost, winGdiHost_);
}

int32_t QvGuiWindowsGfxBase::attachHost(IMpUnknown* host) {
    MpGuiWindowsGfxBase::attachHost(host);
    return requireHostInterface(host, IID_IQvWindowsGfxHost, windowsGfxHost_);
}

int32_t MpGuiWindowsGfxBase::measure(GuiSize available, GuiSize* result) {
    return answerMeasure(result, [&] { return measure(available); });
}

GuiSize MpGuiWindowsGfxBase::measure(GuiSize available) { return clampDrawingSize(available); }

int32_t MpGuiWindowsGfxBase::arrange(const GuiRect* placement) { return storePlacement(placement, placement_); }

int32_t MpGuiWindowsGfxBase::openWindow(WindowHandle parent, WindowHandle* window) {
    // A second open would leave the first window behind, still naming this
    // module; the host gets one window per module.
    if (window_ != nullptr)
        closeWindow();

    // A class the module failed to register shows as a refused window below.
    if (openWindows++ == 0)
        guarded(RC_FAILED, [&] { return registerWindowClass(); });
    if (window != nullptr)
        *window = nullptr;

    DWORD style = 0;
    DWORD extendedStyle = 0;
    const bool styled = guarded(false, [&] {
        getWindowStyle(style, extendedStyle);
        return true;
    });
    if (styled)
        window_ = CreateWindowExW(extendedStyle, kWindowClassName, nullptr, style, placement_.left, placement_.top,
                                  spanOf(placement_.left, placement_.right), spanOf(placement_.top, placement_.bottom),
                                  static_cast<HWND>(parent), nullptr, libraryInstance(), nullptr);
    if (window != nullptr)
        *window = window_;
    if (window_ == nullptr) {
        // Nothing was opened: the count and the class go back to how they were.
        if (--openWindows == 0)
            guarded(RC_FAILED, [&] { return unregisterWindowClass(); });
        return RC_FAILED;
    }
    windowAlive_ = true;
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return RC_OK;
}

int32_t MpGuiWindowsGfxBase::closeWindow() {
    if (window_ == nullptr)
        return RC_OK;
    // The window may already be gone (closed by its own close message, or
    // with its parent); then only the bookkeeping remains.
    if (windowAlive_)
        DestroyWindow(window_);
    windowAlive_ = false;
    window_ = nullptr;
    if (openWindows-- == 1)
        guarded(RC_FAILED, [&] { return unregisterWindowClass(); });
    return RC_OK;
}

void MpGuiWindowsGfxBase::fillWindowClass(WNDCLASSEXW& windowClass) {
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &windowProcedure;
    windowClass.hInstance = libraryInstance();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kWindowClassName;
}

void MpGuiWindowsGfxBase::getWindowStyle(DWORD& style, DWORD&) { style = WS_CHILD | WS_VISIBLE; }

int32_t MpGuiWindowsGfxBase::registerWindowClass() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(WNDCLASSEXW);
    fillWindowClass(windowClass);
    RegisterClassExW(&windowClass);
    return RC_OK;
}

int32_t MpGuiWindowsGfxBase::unregisterWindowClass() {
    UnregisterClassW(kWindowClassName, libraryInstance());
    return RC_OK;
}

LRESULT MpGuiWindowsGfxBase::handleWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        if (GetParent(window) == nullptr)
            PostQuitMessage(0);
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(window, &paint);
        // The paint always ends, or the window would be repainted for ever.
        guarded(RC_FAILED, [&] { return onPaint(dc); });
        EndPaint(window, &paint);
        return 1;
    }
    case WM_CLOSE:
        DestroyWindow(window);
        return 1;
    case WM_TIMER:
        onTimer();
        return 1;
    case WM_MOUSEMOVE:
        onPointerMove(keyFlagsOf(wParam), pointOf(lParam));
        return 1;
    case WM_LBUTTONDOWN:
        onLButtonDown(keyFlagsOf(wParam), pointOf(lParam));
        return 1;
    case WM_LBUTTONUP:
        onLButtonUp(keyFlagsOf(wParam), pointOf(lParam));
        return 1;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

int32_t MpGuiWindowsGfxBase::onPaint(HDC) { return RC_OK; }
int32_t MpGuiWindowsGfxBase::onLButtonDown(uint32_t, GuiPoint) { return RC_OK; }
int32_t MpGuiWindowsGfxBase::onLButtonUp(uint32_t, GuiPoint) { return RC_OK; }
int32_t MpGuiWindowsGfxBase::onPointerMove(uint32_t, GuiPoint) { return RC_OK; }
int32_t MpGuiWindowsGfxBase::onTimer() { return RC_OK; }

void MpGuiWindowsGfxBase::invalidateRect(const GuiRect* rect, int32_t erase) {
    if (window_ == nullptr)
        return;
    const BOOL eraseFlag = erase & 0xFF;
    if (rect == nullptr) {
        InvalidateRect(window_, nullptr, eraseFlag);
        return;
    }
    RECT area{};
    area.left = rect->left;
    area.top = rect->top;
    area.right = rect->right;
    area.bottom = rect->bottom;
    InvalidateRect(window_, &area, eraseFlag);
}

bool MpGuiWindowsGfxBase::getCapture() const {
    // Without a window the module holds nothing, even while no window at all
    // holds the capture.
    return window_ != nullptr && GetCapture() == window_;
}

void MpGuiWindowsGfxBase::setCapture() {
    if (window_ != nullptr)
        SetCapture(window_);
}

void MpGuiWindowsGfxBase::releaseCapture() { ReleaseCapture(); }

}  // namespace ovra
