// The window services the windowed drawing bases use, under their Windows
// names. On Windows this is user32 and kernel32 itself. Elsewhere there is no
// window system to borrow, so this file declares a small one of our own with
// the same names, types and meanings, and the base's code reads the same on
// both platforms.
//
// Code that calls these writes `using namespace ovra::win;` and the names
// unqualified (on Windows the constants are macros); headers name the types
// as win::HWND and so on.
//
// [GUI thread] Like user32, the stand-in belongs to one thread: every call
// comes from the thread that owns the windows. It keeps no lock.
#pragma once

#if defined(_WIN32)

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// Text handed to the window API: wchar_t literals here.
#define OVRA_WIN_TEXT(s) L##s
#define OVRA_WINAPI CALLBACK

namespace ovra::win {
using ::ATOM;
using ::BOOL;
using ::DWORD;
using ::HCURSOR;
using ::HDC;
using ::HINSTANCE;
using ::HMODULE;
using ::HWND;
using ::LONG_PTR;
using ::LPARAM;
using ::LPCWSTR;
using ::LRESULT;
using ::MSG;
using ::PAINTSTRUCT;
using ::RECT;
using ::UINT;
using ::WCHAR;
using ::WNDCLASSEXW;
using ::WNDPROC;
using ::WPARAM;
}  // namespace ovra::win

#else  // the stand-in

#include <cstdint>

#define OVRA_WIN_TEXT(s) u##s
#define OVRA_WINAPI

namespace ovra::win {

struct HWND__;
struct HINSTANCE__;
struct HCURSOR__;
struct HICON__;
struct HBRUSH__;
struct HMENU__;
struct HDC__;

using HWND = HWND__*;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using HCURSOR = HCURSOR__*;
using HICON = HICON__*;
using HBRUSH = HBRUSH__*;
using HMENU = HMENU__*;
// A device context is whatever the display hands out: here, what a host
// attached to the window with setWindowDeviceContext (for GDI+, a graphics
// object), or null.
using HDC = HDC__*;

using BOOL = int;
using BYTE = uint8_t;
using UINT = uint32_t;
using DWORD = uint32_t;
using LONG = int32_t;
using ATOM = uint16_t;
using WPARAM = uintptr_t;
using UINT_PTR = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using LONG_PTR = intptr_t;
using WCHAR = char16_t;
using LPCWSTR = const WCHAR*;
using LPWSTR = WCHAR*;
using LPVOID = void*;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
struct POINT {
    LONG x;
    LONG y;
};

// The 80-byte extended class record, field for field.
struct WNDCLASSEXW {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
    HICON hIconSm;
};
static_assert(sizeof(WNDCLASSEXW) == 80);

struct CREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

inline constexpr UINT WM_CREATE = 0x0001;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_PAINT = 0x000F;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_ERASEBKGND = 0x0014;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_CONTEXTMENU = 0x007B;
inline constexpr UINT WM_NCCREATE = 0x0081;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_CAPTURECHANGED = 0x0215;

inline constexpr DWORD WS_POPUP = 0x80000000u;
inline constexpr DWORD WS_CHILD = 0x40000000u;
inline constexpr DWORD WS_VISIBLE = 0x10000000u;

inline constexpr UINT CS_VREDRAW = 0x0001;
inline constexpr UINT CS_HREDRAW = 0x0002;

inline constexpr int GWLP_HINSTANCE = -6;
inline constexpr int GWL_STYLE = -16;
inline constexpr int GWL_EXSTYLE = -20;
inline constexpr int GWLP_USERDATA = -21;

inline constexpr UINT USER_TIMER_MINIMUM = 0x0000000A;
inline constexpr UINT USER_TIMER_MAXIMUM = 0x7FFFFFFF;

inline constexpr UINT PM_NOREMOVE = 0;
inline constexpr UINT PM_REMOVE = 1;

inline constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT = 0x2;
inline constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS = 0x4;

// Resource names given as small integers, as the arrow cursor is.
#define MAKEINTRESOURCEW(i) (reinterpret_cast<::ovra::win::LPCWSTR>(static_cast<uintptr_t>(i)))
#define IDC_ARROW MAKEINTRESOURCEW(32512)

// Classes: keyed by name and instance; registering a key twice fails (0), and
// a class cannot be removed while a window of it exists.
ATOM RegisterClassExW(const WNDCLASSEXW* windowClass);
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);
BOOL GetClassInfoExW(HINSTANCE instance, LPCWSTR className, WNDCLASSEXW* out);

// Windows. Creation sends WM_NCCREATE and WM_CREATE through the class's
// procedure and fails (null) for an unknown class, a parent that is not a
// window, or a WS_CHILD window without a parent; a window created visible,
// inside visible parents, has its background erased at once and waits for
// its first paint. Destruction sends WM_DESTROY,
// destroys the children, sends WM_NCDESTROY, and drops the window's posted
// messages and mouse capture. Handles are never reused, so a stale handle is
// simply not a window.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
HWND GetParent(HWND window);
BOOL GetWindowRect(HWND window, RECT* rect);  // in the coordinates of the outermost parent
BOOL GetClientRect(HWND window, RECT* rect);
LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value);  // answers the previous value
LONG_PTR GetWindowLongPtrW(HWND window, int index);
// Copies the class name, cut to fit and ended by a null; answers the length
// copied, 0 for a stale handle.
int GetClassNameW(HWND window, LPWSTR name, int capacity);
int GetWindowTextLengthW(HWND window);

// Messages. The default procedure destroys a window on WM_CLOSE, validates
// it on WM_PAINT, answers a released right button with WM_CONTEXTMENU (the
// window, the point on the screen) and hands a child's WM_CONTEXTMENU to its
// parent.
LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
// Posted messages first, then WM_QUIT once posted, then WM_PAINT for a window
// with a non-empty update area, then WM_TIMER for a timer that is due. Never
// waits.
BOOL PeekMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
LRESULT DispatchMessageW(const MSG* message);

// Painting. BeginPaint first sends WM_ERASEBKGND when an invalidation asked
// for the background to be erased.
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase);

// Timers of a window, delivered as WM_TIMER (wParam the id, lParam 0) once
// each period has passed; only the message form is offered (a procedure is
// refused). A timer set again with its id starts over; the window's
// destruction ends its timers.
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC procedure);
BOOL KillTimer(HWND window, UINT_PTR id);

// Mouse capture; WM_CAPTURECHANGED goes to the window that loses it.
HWND SetCapture(HWND window);
HWND GetCapture();
BOOL ReleaseCapture();

// Cursors: only the standard arrow exists.
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);

// The module (shared library) that holds an address; only the from-address
// form is offered.
BOOL GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE* module);

// What stands in for the display, for hosts and tests; Windows has no such
// calls.
// The device context that BeginPaint hands out for the window.
BOOL setWindowDeviceContext(HWND window, HDC dc);

}  // namespace ovra::win

#endif
