// The stand-in window system: windows are records in a table, messages wait
// in one queue, and nothing is ever shown. Each library carries its own copy,
// as each carries its own framework.
#include "platform/window_system.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <map>
#include <string>

namespace ovra::win {

namespace {

struct ClassRecord {
    WNDCLASSEXW record;
    std::u16string name;  // the record's name pointer is the caller's; this copy is ours
    ATOM atom;
};

using Clock = std::chrono::steady_clock;

struct Timer {
    std::chrono::milliseconds period;
    Clock::time_point due;
};

struct WindowRecord {
    std::u16string className;
    std::u16string title;
    HINSTANCE instance = nullptr;
    WNDPROC procedure = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0, y = 0, width = 0, height = 0;
    HWND parent = nullptr;
    LONG_PTR userData = 0;
    HDC dc = nullptr;
    bool destroying = false;
    bool updatePending = false;
    bool erasePending = false;
    RECT update{};
    std::map<UINT_PTR, Timer> timers{};
};

struct Display {
    std::map<std::pair<std::u16string, HINSTANCE>, ClassRecord> classes;
    std::map<HWND, WindowRecord> windows;
    std::deque<MSG> posted;
    bool quitPosted = false;
    int quitCode = 0;
    HWND capture = nullptr;
    uintptr_t nextHandle = 0x10000;
    ATOM nextAtom = 0xC000;
};

Display& display() {
    static Display d;
    return d;
}

// The class registered under (name, instance), or end(); a null name, or
// one that cannot be copied (out of memory), finds no class.
std::map<std::pair<std::u16string, HINSTANCE>, ClassRecord>::iterator findClass(Display& d, LPCWSTR className,
                                                                                 HINSTANCE instance) {
    if (className == nullptr)
        return d.classes.end();
    try {
        return d.classes.find(std::make_pair(std::u16string(className), instance));
    } catch (...) {
        return d.classes.end();
    }
}

WindowRecord* find(HWND window) {
    auto& windows = display().windows;
    auto it = windows.find(window);
    return it == windows.end() ? nullptr : &it->second;
}

bool isEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT clientRect(const WindowRecord& w) { return RECT{0, 0, std::max(w.width, 0), std::max(w.height, 0)}; }

LRESULT deliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* w = find(window);
    if (w == nullptr || w->procedure == nullptr)
        return 0;
    return w->procedure(window, message, wParam, lParam);
}

bool inFilter(const MSG& m, HWND window, UINT lo, UINT hi) {
    if (window != nullptr && m.hwnd != window)
        return false;
    if (lo == 0 && hi == 0)
        return true;
    return m.message >= lo && m.message <= hi;
}

}  // namespace

ATOM RegisterClassExW(const WNDCLASSEXW* windowClass) {
    if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXW) || windowClass->lpszClassName == nullptr ||
        windowClass->lpfnWndProc == nullptr)
        return 0;
    Display& d = display();
    std::u16string name;
    try {
        name = windowClass->lpszClassName;
    } catch (...) {
        return 0;
    }
    auto key = std::make_pair(name, windowClass->hInstance);
    if (d.classes.count(key) != 0)
        return 0;
    ClassRecord record{*windowClass, name, d.nextAtom};
    try {
        d.classes.emplace(key, record);
    } catch (...) {
        return 0;  // out of memory: no class, as the real call would answer
    }
    ++d.nextAtom;
    return record.atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance) {
    Display& d = display();
    const auto it = findClass(d, className, instance);
    if (it == d.classes.end())
        return FALSE;
    for (const auto& [handle, w] : d.windows)
        if (w.className == it->second.name && w.instance == instance)
            return FALSE;
    d.classes.erase(it);
    return TRUE;
}

BOOL GetClassInfoExW(HINSTANCE instance, LPCWSTR className, WNDCLASSEXW* out) {
    if (out == nullptr)
        return FALSE;
    Display& d = display();
    const auto it = findClass(d, className, instance);
    if (it == d.classes.end())
        return FALSE;
    *out = it->second.record;
    out->lpszClassName = className;
    return TRUE;
}

namespace {
HWND addWindow(LPCWSTR className, LPCWSTR windowName, DWORD style, DWORD exStyle, int x, int y, int width,
               int height, HWND parent, HINSTANCE instance);

// Visible itself and inside visible parents, as a window must be to be painted.
bool shown(HWND window) {
    for (WindowRecord* w = find(window); w != nullptr; w = find(w->parent))
        if ((w->style & WS_VISIBLE) == 0)
            return false;
    return true;
}

// Where a point of the window's client area lies on the screen, in the
// LPARAM packing of mouse messages.
LPARAM onScreen(HWND window, LPARAM clientPoint) {
    RECT area{};
    GetWindowRect(window, &area);
    const auto bits = static_cast<uint32_t>(static_cast<uintptr_t>(clientPoint));
    const int x = static_cast<int16_t>(bits & 0xFFFF) + area.left;
    const int y = static_cast<int16_t>(bits >> 16) + area.top;
    return static_cast<LPARAM>((static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) | static_cast<uint16_t>(x));
}
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter) {
    HWND handle = nullptr;
    try {
        handle = addWindow(className, windowName, style, exStyle, x, y, width, height, parent, instance);
    } catch (...) {
        return nullptr;  // out of memory: no window
    }
    if (handle == nullptr)
        return nullptr;
    CREATESTRUCTW create{parameter, instance, menu, parent, height, width, y, x, static_cast<LONG>(style),
                         windowName, className, exStyle};
    const LPARAM createParam = reinterpret_cast<LPARAM>(&create);
    if (deliver(handle, WM_NCCREATE, 0, createParam) == 0 || deliver(handle, WM_CREATE, 0, createParam) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if (find(handle) == nullptr)
        return nullptr;
    // Shown at once: the background is erased now, the paint waits.
    if (shown(handle)) {
        InvalidateRect(handle, nullptr, FALSE);
        SendMessageW(handle, WM_ERASEBKGND, reinterpret_cast<WPARAM>(find(handle)->dc), 0);
    }
    return find(handle) != nullptr ? handle : nullptr;
}

namespace {
HWND addWindow(LPCWSTR className, LPCWSTR windowName, DWORD style, DWORD exStyle, int x, int y, int width,
               int height, HWND parent, HINSTANCE instance) {
    Display& d = display();
    const auto cls = findClass(d, className, instance);
    if (cls == d.classes.end())
        return nullptr;
    if (parent != nullptr && find(parent) == nullptr)
        return nullptr;
    if ((style & WS_CHILD) != 0 && parent == nullptr)
        return nullptr;

    WindowRecord w{.className = cls->second.name,
                   .title = windowName != nullptr ? windowName : u"",
                   .instance = instance,
                   .procedure = cls->second.record.lpfnWndProc,
                   .style = style,
                   .exStyle = exStyle,
                   .x = x, .y = y, .width = width, .height = height,
                   .parent = parent};
    HWND handle = reinterpret_cast<HWND>(d.nextHandle);
    d.nextHandle += 0x10;
    d.windows.emplace(handle, std::move(w));
    return handle;
}
}  // namespace

BOOL DestroyWindow(HWND window) {
    WindowRecord* w = find(window);
    if (w == nullptr || w->destroying)
        return FALSE;
    w->destroying = true;
    Display& d = display();
    if (d.capture == window) {
        d.capture = nullptr;
        deliver(window, WM_CAPTURECHANGED, 0, 0);
    }
    deliver(window, WM_DESTROY, 0, 0);

    // Children go first; one at a time, since each destruction may change
    // the table.
    for (;;) {
        HWND child = nullptr;
        for (const auto& [handle, record] : d.windows)
            if (record.parent == window && !record.destroying) {
                child = handle;
                break;
            }
        if (child == nullptr)
            break;
        DestroyWindow(child);
    }

    deliver(window, WM_NCDESTROY, 0, 0);
    d.windows.erase(window);
    d.posted.erase(std::remove_if(d.posted.begin(), d.posted.end(), [&](const MSG& m) { return m.hwnd == window; }),
                   d.posted.end());
    if (d.capture == window)
        d.capture = nullptr;
    return TRUE;
}

BOOL IsWindow(HWND window) { return find(window) != nullptr ? TRUE : FALSE; }

HWND GetParent(HWND window) {
    WindowRecord* w = find(window);
    return w != nullptr ? w->parent : nullptr;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    WindowRecord* w = find(window);
    if (w == nullptr || rect == nullptr)
        return FALSE;
    int x = w->x, y = w->y;
    for (WindowRecord* p = find(w->parent); p != nullptr; p = find(p->parent)) {
        x += p->x;
        y += p->y;
    }
    *rect = RECT{x, y, x + w->width, y + w->height};
    return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
    WindowRecord* w = find(window);
    if (w == nullptr || rect == nullptr)
        return FALSE;
    *rect = clientRect(*w);
    return TRUE;
}

LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
    WindowRecord* w = find(window);
    if (w == nullptr)
        return 0;
    LONG_PTR previous = 0;
    switch (index) {
    case GWLP_USERDATA:
        previous = w->userData;
        w->userData = value;
        break;
    case GWL_STYLE:
        previous = static_cast<LONG_PTR>(w->style);
        w->style = static_cast<DWORD>(value);
        break;
    case GWL_EXSTYLE:
        previous = static_cast<LONG_PTR>(w->exStyle);
        w->exStyle = static_cast<DWORD>(value);
        break;
    default:
        break;
    }
    return previous;
}

LONG_PTR GetWindowLongPtrW(HWND window, int index) {
    WindowRecord* w = find(window);
    if (w == nullptr)
        return 0;
    switch (index) {
    case GWLP_USERDATA:
        return w->userData;
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWL_STYLE:
        return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE:
        return static_cast<LONG_PTR>(w->exStyle);
    default:
        return 0;
    }
}

int GetClassNameW(HWND window, LPWSTR name, int capacity) {
    WindowRecord* w = find(window);
    if (w == nullptr || name == nullptr || capacity <= 0)
        return 0;
    const int length = std::min(static_cast<int>(w->className.size()), capacity - 1);
    std::copy_n(w->className.begin(), length, name);
    name[length] = u'\0';
    return length;
}

int GetWindowTextLengthW(HWND window) {
    WindowRecord* w = find(window);
    return w != nullptr ? static_cast<int>(w->title.size()) : 0;
}

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRecord* w = find(window);
    if (w == nullptr)
        return 0;
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_RBUTTONUP:
        SendMessageW(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), onScreen(window, lParam));
        return 0;
    case WM_CONTEXTMENU:
        if ((w->style & WS_CHILD) != 0 && w->parent != nullptr)
            return SendMessageW(w->parent, WM_CONTEXTMENU, wParam, lParam);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps{};
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        return 0;
    }
    default:
        return 0;
    }
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return deliver(window, message, wParam, lParam);
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window != nullptr && find(window) == nullptr)
        return FALSE;
    try {
        display().posted.push_back(MSG{window, message, wParam, lParam, 0, POINT{0, 0}});
    } catch (...) {
        return FALSE;  // the queue is full
    }
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    Display& d = display();
    d.quitPosted = true;
    d.quitCode = exitCode;
}

BOOL PeekMessageW(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (message == nullptr)
        return FALSE;
    Display& d = display();
    const bool remove = (removeFlags & PM_REMOVE) != 0;
    for (auto it = d.posted.begin(); it != d.posted.end(); ++it) {
        if (!inFilter(*it, window, filterMin, filterMax))
            continue;
        *message = *it;
        if (remove)
            d.posted.erase(it);
        return TRUE;
    }
    if (d.quitPosted && window == nullptr) {
        *message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(d.quitCode), 0, 0, POINT{0, 0}};
        if (remove)
            d.quitPosted = false;
        return TRUE;
    }
    for (auto& [handle, w] : d.windows) {
        MSG paint{handle, WM_PAINT, 0, 0, 0, POINT{0, 0}};
        if (w.updatePending && inFilter(paint, window, filterMin, filterMax)) {
            *message = paint;  // stays pending until the window paints
            return TRUE;
        }
    }
    const Clock::time_point now = Clock::now();
    for (auto& [handle, w] : d.windows)
        for (auto& [id, timer] : w.timers) {
            MSG tick{handle, WM_TIMER, id, 0, 0, POINT{0, 0}};
            if (timer.due > now || !inFilter(tick, window, filterMin, filterMax))
                continue;
            *message = tick;
            if (remove)
                timer.due = now + timer.period;
            return TRUE;
        }
    return FALSE;
}

LRESULT DispatchMessageW(const MSG* message) {
    if (message == nullptr || message->hwnd == nullptr)
        return 0;
    return deliver(message->hwnd, message->message, message->wParam, message->lParam);
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    WindowRecord* w = find(window);
    if (w == nullptr || paint == nullptr)
        return nullptr;
    *paint = PAINTSTRUCT{};
    const HDC dc = w->dc;
    const bool erase = w->erasePending;
    paint->hdc = dc;
    paint->rcPaint = w->updatePending ? w->update : RECT{};
    w->updatePending = false;
    w->erasePending = false;
    w->update = RECT{};
    // The window erases its own background, or the painter is told it is
    // still to be erased.
    if (erase)
        paint->fErase = SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0 ? TRUE : FALSE;
    return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT*) { return find(window) != nullptr ? TRUE : FALSE; }

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    WindowRecord* w = find(window);
    if (w == nullptr)
        return FALSE;
    const RECT client = clientRect(*w);
    RECT area = client;
    if (rect != nullptr)
        area = RECT{std::max(rect->left, client.left), std::max(rect->top, client.top),
                    std::min(rect->right, client.right), std::min(rect->bottom, client.bottom)};
    if (isEmpty(area))
        return TRUE;
    if (w->updatePending)
        area = RECT{std::min(area.left, w->update.left), std::min(area.top, w->update.top),
                    std::max(area.right, w->update.right), std::max(area.bottom, w->update.bottom)};
    w->update = area;
    w->updatePending = true;
    w->erasePending = w->erasePending || erase != FALSE;
    return TRUE;
}

BOOL GetUpdateRect(HWND window, RECT* rect, BOOL) {
    WindowRecord* w = find(window);
    if (w == nullptr)
        return FALSE;
    if (rect != nullptr)
        *rect = w->updatePending ? w->update : RECT{};
    return w->updatePending ? TRUE : FALSE;
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC procedure) {
    WindowRecord* w = find(window);
    if (w == nullptr || procedure != nullptr)
        return 0;
    const std::chrono::milliseconds period{std::clamp<UINT>(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM)};
    try {
        w->timers[id] = Timer{period, Clock::now() + period};
    } catch (...) {
        return 0;
    }
    return id != 0 ? id : 1;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    WindowRecord* w = find(window);
    return w != nullptr && w->timers.erase(id) != 0 ? TRUE : FALSE;
}

HWND SetCapture(HWND window) {
    Display& d = display();
    HWND previous = d.capture;
    if (find(window) == nullptr)
        return previous;
    d.capture = window;
    if (previous != nullptr && previous != window)
        deliver(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
    return previous;
}

HWND GetCapture() { return display().capture; }

BOOL ReleaseCapture() {
    Display& d = display();
    HWND previous = d.capture;
    d.capture = nullptr;
    if (previous != nullptr)
        deliver(previous, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    static int arrow;
    if (instance == nullptr && name == IDC_ARROW)
        return reinterpret_cast<HCURSOR>(&arrow);
    return nullptr;
}

BOOL GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE* module) {
    if (module == nullptr)
        return FALSE;
    *module = nullptr;
    if ((flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) == 0 || moduleName == nullptr)
        return FALSE;
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(moduleName), &info) == 0 || info.dli_fbase == nullptr)
        return FALSE;
    *module = static_cast<HMODULE>(info.dli_fbase);
    return TRUE;
}

BOOL setWindowDeviceContext(HWND window, HDC dc) {
    WindowRecord* w = find(window);
    if (w == nullptr)
        return FALSE;
    w->dc = dc;
    return TRUE;
}

}  // namespace ovra::win
