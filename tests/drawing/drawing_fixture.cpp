// A test-only library of drawing modules that draw nothing: one on each
// drawing base, each answering a probe through which tests drive the
// library's window system and see what the module's handlers received. The
// probe calls the window system by its Windows names, so the same code asks
// the stand-in off Windows and user32 on Windows.
#include <stdexcept>
#include <string_view>
#include <vector>

#include "abi/factory.h"
#include "gui/composited_gfx_base.h"
#include "gui/windowed_gfx_base.h"
#include "window_probe.h"

using namespace ovra::win;

namespace ovra::test {
namespace {

const WCHAR kParentClass[] = OVRA_WIN_TEXT("ProbeParent");
const WCHAR kModuleClass[] = OVRA_WIN_TEXT("DefaultMpWClass");
int anchor;
// The code of a WM_QUIT taken while pumping, -1 for none; the queue, and so
// this, belongs to the thread, not to one module.
int32_t pumpedQuit = -1;

HINSTANCE thisLibrary() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&anchor), &module);
    return module;
}

HWND handleOf(WindowHandle w) { return static_cast<HWND>(w); }

template <class Base>
class ProbedWindowed final : public Base {
public:
    int32_t QueryInterface(const Guid* iid, void** out) override {
        if (out != nullptr && (isGuid(iid, IID_WindowProbe) || isGuid(iid, IID_ModuleProbe))) {
            *out = static_cast<WindowProbe*>(&probe_);
            this->AddRef();
            return RC_OK;
        }
        return Base::QueryInterface(iid, out);
    }

    GuiSize measure(GuiSize available) override {
        throwIfAsked();
        return Base::measure(available);
    }
    void getWindowStyle(DWORD& style, DWORD& extendedStyle) override {
        throwIfAsked();
        Base::getWindowStyle(style, extendedStyle);
        if (styleOverride_ != 0)
            style = styleOverride_;
    }
    int32_t registerWindowClass() override {
        record(ProbeEvent::ClassRegistered, 0, {});
        return Base::registerWindowClass();
    }
    // Throws after the work, so that no class outlives the test.
    int32_t unregisterWindowClass() override {
        Base::unregisterWindowClass();
        return record(ProbeEvent::ClassRemoved, 0, {});
    }
    LRESULT handleWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
        if (window == this->windowHandle() && message == WM_CONTEXTMENU)
            events_.push_back(ProbeEvent{ProbeEvent::ContextMenu, 0, {}, nullptr});
        if (window == this->windowHandle() && message == WM_ERASEBKGND)
            events_.push_back(ProbeEvent{ProbeEvent::EraseBackground, 0, {}, reinterpret_cast<void*>(wParam)});
        return Base::handleWindowMessage(window, message, wParam, lParam);
    }
    int32_t onPaint(HDC dc) override { return record(ProbeEvent::Paint, 0, {}, dc); }
    int32_t onLButtonDown(uint32_t flags, GuiPoint p) override { return record(ProbeEvent::LButtonDown, flags, p); }
    int32_t onLButtonUp(uint32_t flags, GuiPoint p) override { return record(ProbeEvent::LButtonUp, flags, p); }
    int32_t onPointerMove(uint32_t flags, GuiPoint p) override { return record(ProbeEvent::PointerMove, flags, p); }
    int32_t onTimer() override { return record(ProbeEvent::Timer, 0, {}); }

private:
    // The event is recorded first, so that a test sees the hook ran.
    int32_t record(ProbeEvent::Kind kind, uint32_t flags, GuiPoint p, void* dc = nullptr) {
        events_.push_back(ProbeEvent{kind, flags, p, dc});
        throwIfAsked();
        return RC_OK;
    }
    void throwIfAsked() const {
        if (throwing_)
            throw std::runtime_error("module hook failed");
    }

    class Probe final : public WindowProbe {
    public:
        explicit Probe(ProbedWindowed& m) : m_(m) {}
        int32_t QueryInterface(const Guid* iid, void** out) override { return m_.QueryInterface(iid, out); }
        uint32_t AddRef() override { return m_.AddRef(); }
        uint32_t Release() override { return m_.Release(); }

        void invalidate(const GuiRect* rect, int32_t erase) override { m_.invalidateRect(rect, erase); }
        bool getCapture() override { return m_.getCapture(); }
        void setCapture() override { m_.setCapture(); }
        void releaseCapture() override { m_.releaseCapture(); }
        void throwFromHooks() override { m_.throwing_ = true; }

        WindowHandle moduleWindow() override { return m_.windowHandle(); }
        int32_t openWindowCount() override { return MpGuiWindowsGfxBase::openWindowCount(); }
        bool windowClass(const void* moduleAddress, ProbeClass* out) override {
            HINSTANCE instance = thisLibrary();
            if (moduleAddress != nullptr &&
                GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   static_cast<LPCWSTR>(moduleAddress), &instance) == 0)
                return false;
            WNDCLASSEXW info{};
            info.cbSize = sizeof info;
            if (GetClassInfoExW(instance, kModuleClass, &info) == 0)
                return false;
            if (out != nullptr)
                *out = ProbeClass{info.style,
                                  info.hCursor != nullptr && info.hCursor == LoadCursorW(nullptr, IDC_ARROW),
                                  info.hIcon != nullptr,
                                  info.hbrBackground != nullptr,
                                  info.lpszMenuName != nullptr,
                                  info.lpfnWndProc != nullptr};
            return true;
        }
        WindowHandle createParent(int32_t x, int32_t y, int32_t width, int32_t height) override {
            WNDCLASSEXW parentClass{};
            parentClass.cbSize = sizeof parentClass;
            parentClass.lpfnWndProc = &DefWindowProcW;
            parentClass.hInstance = thisLibrary();
            parentClass.lpszClassName = kParentClass;
            RegisterClassExW(&parentClass);  // fails harmlessly once registered
            // Without a frame, the window's origin is its client area's.
            return CreateWindowExW(0, kParentClass, nullptr, WS_POPUP | WS_VISIBLE, x, y, width, height, nullptr,
                                   nullptr, thisLibrary(), nullptr);
        }
        bool destroyWindow(WindowHandle w) override { return DestroyWindow(handleOf(w)) != 0; }
        bool isWindow(WindowHandle w) override { return IsWindow(handleOf(w)) != 0; }
        bool describe(WindowHandle w, ProbeWindow* out) override {
            const HWND window = handleOf(w);
            RECT area{};
            if (GetWindowRect(window, &area) == 0)
                return false;
            const HWND parent = GetParent(window);
            RECT origin{};
            if (parent != nullptr)
                GetWindowRect(parent, &origin);
            WCHAR className[64] = {};
            GetClassNameW(window, className, 64);
            *out = ProbeWindow{
                parent,
                static_cast<uint32_t>(GetWindowLongPtrW(window, GWL_STYLE)),
                static_cast<uint32_t>(GetWindowLongPtrW(window, GWL_EXSTYLE)),
                GetWindowLongPtrW(window, GWLP_USERDATA),
                ProbeRect{area.left - origin.left, area.top - origin.top, area.right - origin.left,
                          area.bottom - origin.top},
                std::basic_string_view<WCHAR>(className) == kModuleClass,
                reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE)) == thisLibrary(),
                GetWindowTextLengthW(window)};
            return true;
        }
        bool post(WindowHandle w, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
            return PostMessageW(handleOf(w), message, wParam, lParam) != 0;
        }
        intptr_t send(WindowHandle w, uint32_t message, uintptr_t wParam, intptr_t lParam) override {
            return SendMessageW(handleOf(w), message, wParam, lParam);
        }
        int32_t pump() override {
            int32_t n = 0;
            MSG msg{};
            // A window that never validates would repaint for ever; stop well
            // before that.
            while (n < 1000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != 0) {
                if (msg.message == WM_QUIT) {
                    pumpedQuit = static_cast<int32_t>(msg.wParam);
                    continue;
                }
                DispatchMessageW(&msg);
                ++n;
            }
            return n;
        }
        bool takeQuit(int32_t* code) override {
            MSG msg{};
            if (pumpedQuit >= 0) {
                *code = pumpedQuit;
                pumpedQuit = -1;
                return true;
            }
            if (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) == 0 || msg.message != WM_QUIT)
                return false;
            *code = static_cast<int32_t>(msg.wParam);
            return true;
        }
        void* paintSurface(WindowHandle w) override {
#if defined(_WIN32)
            (void)w;
            return nullptr;  // BeginPaint hands out the window's own device context
#else
            // What a host attaches to the stand-in's windows.
            static int surface;
            return setWindowDeviceContext(handleOf(w), reinterpret_cast<HDC>(&surface)) != 0 ? &surface : nullptr;
#endif
        }
        bool invalidateWindow(WindowHandle w) override { return InvalidateRect(handleOf(w), nullptr, TRUE) != 0; }
        bool updateRect(WindowHandle w, ProbeRect* out) override {
            RECT r{};
            const bool pending = GetUpdateRect(handleOf(w), &r, FALSE) != 0;
            *out = ProbeRect{r.left, r.top, r.right, r.bottom};
            return pending;
        }
        bool startTimer(WindowHandle w, uint32_t milliseconds) override {
            return SetTimer(handleOf(w), 1, milliseconds, nullptr) != 0;
        }
        void stopTimer(WindowHandle w) override { KillTimer(handleOf(w), 1); }
        WindowHandle captureWindow() override { return GetCapture(); }
        void captureTo(WindowHandle w) override { SetCapture(handleOf(w)); }
        void overrideStyle(uint32_t style) override { m_.styleOverride_ = style; }
        int32_t eventCount() override { return static_cast<int32_t>(m_.events_.size()); }
        ProbeEvent event(int32_t i) override { return m_.events_.at(static_cast<size_t>(i)); }

    private:
        ProbedWindowed& m_;
    };

    Probe probe_{*this};
    std::vector<ProbeEvent> events_;
    DWORD styleOverride_ = 0;
    bool throwing_ = false;
};

class ProbedComposited final : public QvGuiCompositedGfxBase {
public:
    int32_t QueryInterface(const Guid* iid, void** out) override {
        if (out != nullptr && isGuid(iid, IID_ModuleProbe)) {
            *out = static_cast<ModuleProbe*>(&probe_);
            AddRef();
            return RC_OK;
        }
        return QvGuiCompositedGfxBase::QueryInterface(iid, out);
    }

    GuiSize measure(GuiSize available) override {
        if (throwing_)
            throw 17;  // not even a std::exception
        return QvGuiCompositedGfxBase::measure(available);
    }
    int32_t onPaint(HDC dc) override {
        if (throwing_)
            throw std::runtime_error("paint failed");
        return QvGuiCompositedGfxBase::onPaint(dc);
    }

private:
    class Probe final : public ModuleProbe {
    public:
        explicit Probe(ProbedComposited& m) : m_(m) {}
        int32_t QueryInterface(const Guid* iid, void** out) override { return m_.QueryInterface(iid, out); }
        uint32_t AddRef() override { return m_.AddRef(); }
        uint32_t Release() override { return m_.Release(); }
        void invalidate(const GuiRect* rect, int32_t) override { m_.invalidateRect(rect); }
        bool getCapture() override { return m_.getCapture(); }
        void setCapture() override { m_.setCapture(); }
        void releaseCapture() override { m_.releaseCapture(); }
        void throwFromHooks() override { m_.throwing_ = true; }

    private:
        ProbedComposited& m_;
    };
    Probe probe_{*this};
    bool throwing_ = false;
};

template <class Module>
IMpUnknown* make() {
    return static_cast<IMpUserInterface*>(new Module());
}

}  // namespace
}  // namespace ovra::test

OVRA_REGISTER(ovra::SUBTYPE_GUI_V1, u"Test-Windowed", &ovra::test::make<ovra::test::ProbedWindowed<ovra::MpGuiWindowsGfxBase>>);
OVRA_REGISTER(ovra::SUBTYPE_GUI_V1, u"Test-QvWindowed", &ovra::test::make<ovra::test::ProbedWindowed<ovra::QvGuiWindowsGfxBase>>);
OVRA_REGISTER(ovra::SUBTYPE_GUI_V1, u"Test-Composited", &ovra::test::make<ovra::test::ProbedComposited>);
