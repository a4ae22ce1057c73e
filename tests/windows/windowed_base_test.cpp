// The windowed drawing bases on the real window system: the library's window
// class, the child window at the stored placement, and the messages that
// reach the module through the framework's window procedure.
#include <windows.h>

#include <memory>

#include <gtest/gtest.h>

#include "gui_host.h"
#include "plugins.h"
#include "window_probe.h"

namespace ovra {
namespace {

using probe::IWindowProbe;

const wchar_t kClassName[] = L"DefaultMpWClass";
const wchar_t kParentClassName[] = L"OvraTestParent";

// One windowed module from window_probe.qvm with the two interfaces the
// tests drive; the references go back when it goes out of scope.
struct Windowed {
    host::RecordingGuiHost host;
    IMpUnknown* module = nullptr;
    IMpGraphicsWinGdi* gfx = nullptr;
    IWindowProbe* probe = nullptr;
    HWND window = nullptr;  // as openWindow answered it

    ~Windowed() {
        if (probe != nullptr)
            probe->Release();
        if (gfx != nullptr)
            gfx->Release();
        if (module != nullptr)
            module->Release();
    }

    int32_t open(HWND parent) {
        void* out = nullptr;
        const int32_t result = gfx->openWindow(parent, &out);
        window = static_cast<HWND>(out);
        return result;
    }
    void arrange(int32_t top, int32_t bottom, int32_t left, int32_t right) {
        const GuiRect placement{top, bottom, left, right};
        ASSERT_EQ(gfx->arrange(&placement), RC_OK);
    }
};

class WindowedBase : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSEXW parentClass{};
        parentClass.cbSize = sizeof parentClass;
        parentClass.lpfnWndProc = DefWindowProcW;
        parentClass.hInstance = GetModuleHandleW(nullptr);
        parentClass.lpszClassName = kParentClassName;
        RegisterClassExW(&parentClass);
    }

    void SetUp() override {
        library_ = test::loadPlugin("window_probe");
        ASSERT_NE(library_, nullptr);
        instance_ = GetModuleHandleW(L"window_probe.qvm");
        ASSERT_NE(instance_, nullptr);
        parent_ = CreateWindowExW(0, kParentClassName, L"parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 30, 30, 400,
                                  300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
        pump();
    }

    void TearDown() override {
        // Modules before the library, whose code they run.
        modules_.clear();
        if (parent_ != nullptr)
            DestroyWindow(parent_);
        pump();
        library_.reset();
    }

    Windowed& create(const char16_t* id) {
        auto windowed = std::make_unique<Windowed>();
        IMpUnknown* module = nullptr;
        EXPECT_EQ(library_->create(id, SUBTYPE_GUI_V1, windowed->host.unknown(), &module), RC_OK);
        windowed->module = module;
        if (module != nullptr) {
            windowed->gfx = host::queryInterface<IMpGraphicsWinGdi>(module, IID_IMpGraphicsWinGdi);
            windowed->probe = host::queryInterface<IWindowProbe>(module, probe::IID_IWindowProbe);
        }
        EXPECT_NE(windowed->gfx, nullptr);
        EXPECT_NE(windowed->probe, nullptr);
        modules_.push_back(std::move(windowed));
        return *modules_.back();
    }

    // Releases one module (and with it, perhaps, its window).
    void destroy(Windowed& windowed) {
        std::erase_if(modules_, [&](const auto& m) { return m.get() == &windowed; });
    }

    bool classExists() const {
        WNDCLASSEXW record{};
        record.cbSize = sizeof record;
        return GetClassInfoExW(instance_, kClassName, &record) != 0;
    }

    // Dispatches everything queued for this thread; answers whether a quit
    // message was among it, and with which code.
    bool pump(WPARAM* quitCode = nullptr) {
        bool quit = false;
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                if (quitCode != nullptr)
                    *quitCode = message.wParam;
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        return quit;
    }

    std::unique_ptr<host::Library> library_;
    HINSTANCE instance_ = nullptr;
    HWND parent_ = nullptr;
    std::vector<std::unique_ptr<Windowed>> modules_;
};

TEST_F(WindowedBase, ClassIsRegisteredOnceForTwoModulesAndRemovedAfterTheLastClose) {
    Windowed& first = create(probe::kWindowProbe);
    Windowed& second = create(probe::kWindowProbeQv);
    EXPECT_FALSE(classExists());

    ASSERT_EQ(first.open(parent_), RC_OK);
    EXPECT_TRUE(classExists());
    ASSERT_EQ(second.open(parent_), RC_OK);
    EXPECT_EQ(first.probe->openWindows(), 2);
    EXPECT_EQ(first.probe->seen(probe::kClassRegistered).count + second.probe->seen(probe::kClassRegistered).count, 1);

    EXPECT_EQ(first.gfx->closeWindow(), RC_OK);
    EXPECT_TRUE(classExists()) << "removed while a window of the class is still open";
    EXPECT_TRUE(IsWindow(second.window));

    EXPECT_EQ(second.gfx->closeWindow(), RC_OK);
    EXPECT_FALSE(classExists());
    EXPECT_EQ(first.probe->openWindows(), 0);
    EXPECT_EQ(second.probe->seen(probe::kClassRemoved).count, 1);

    // The next window registers it again.
    ASSERT_EQ(first.open(parent_), RC_OK);
    EXPECT_TRUE(classExists());
    EXPECT_EQ(first.gfx->closeWindow(), RC_OK);
    EXPECT_FALSE(classExists());
}

TEST_F(WindowedBase, ClassNamesTheLibraryTheArrowCursorAndRedrawOnResize) {
    Windowed& windowed = create(probe::kWindowProbe);
    ASSERT_EQ(windowed.open(parent_), RC_OK);

    WNDCLASSEXW record{};
    record.cbSize = sizeof record;
    ASSERT_NE(GetClassInfoExW(instance_, kClassName, &record), 0);
    EXPECT_EQ(record.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(record.hCursor, LoadCursorW(nullptr, IDC_ARROW));
    EXPECT_EQ(record.hIcon, nullptr);
    EXPECT_EQ(record.hbrBackground, nullptr);
    EXPECT_EQ(record.lpszMenuName, nullptr);
    EXPECT_NE(record.lpfnWndProc, nullptr);
    // The class belongs to the library, not to the program that loaded it.
    EXPECT_EQ(GetClassInfoExW(GetModuleHandleW(nullptr), kClassName, &record), 0);
}

TEST_F(WindowedBase, OpenWindowCreatesAVisibleChildOfTheParentAtThePlacement) {
    Windowed& windowed = create(probe::kWindowProbe);
    windowed.arrange(/*top*/ 10, /*bottom*/ 40, /*left*/ 20, /*right*/ 70);
    ASSERT_EQ(windowed.open(parent_), RC_OK);
    ASSERT_TRUE(IsWindow(windowed.window));

    EXPECT_EQ(GetParent(windowed.window), parent_);
    const LONG_PTR style = GetWindowLongPtrW(windowed.window, GWL_STYLE);
    EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
    EXPECT_EQ(GetWindowLongPtrW(windowed.window, GWL_EXSTYLE) & ~WS_EX_NOPARENTNOTIFY, 0);
    EXPECT_EQ(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(windowed.window, GWLP_HINSTANCE)), instance_);
    EXPECT_NE(GetWindowLongPtrW(windowed.window, GWLP_USERDATA), 0) << "the module is not named in the window";

    wchar_t className[64] = {};
    GetClassNameW(windowed.window, className, 64);
    EXPECT_STREQ(className, kClassName);
    wchar_t title[16] = {L'x'};
    EXPECT_EQ(GetWindowTextW(windowed.window, title, 16), 0);

    RECT area{};
    GetWindowRect(windowed.window, &area);
    MapWindowPoints(HWND_DESKTOP, parent_, reinterpret_cast<POINT*>(&area), 2);
    EXPECT_EQ(area.left, 20);
    EXPECT_EQ(area.top, 10);
    EXPECT_EQ(area.right, 70);
    EXPECT_EQ(area.bottom, 40);
}

TEST_F(WindowedBase, OpenWindowBeforeArrangeCreatesAnEmptyWindowAtTheParentsOrigin) {
    Windowed& windowed = create(probe::kWindowProbe);
    ASSERT_EQ(windowed.open(parent_), RC_OK);
    ASSERT_TRUE(IsWindow(windowed.window));

    RECT area{};
    GetWindowRect(windowed.window, &area);
    MapWindowPoints(HWND_DESKTOP, parent_, reinterpret_cast<POINT*>(&area), 2);
    EXPECT_EQ(area.left, 0);
    EXPECT_EQ(area.top, 0);
    EXPECT_EQ(area.right - area.left, 0);
    EXPECT_EQ(area.bottom - area.top, 0);
}

TEST_F(WindowedBase, PaintMessagesReachOnPaintWithADeviceContext) {
    Windowed& windowed = create(probe::kWindowProbe);
    windowed.arrange(0, 50, 0, 80);
    ASSERT_EQ(windowed.open(parent_), RC_OK);
    pump();
    const int32_t before = windowed.probe->seen(probe::kPaint).count;

    ASSERT_TRUE(PostMessageW(windowed.window, WM_PAINT, 0, 0));
    pump();
    EXPECT_EQ(windowed.probe->seen(probe::kPaint).count, before + 1);

    // The module's own request for a repaint, carried out by the window system.
    windowed.probe->invalidate();
    UpdateWindow(windowed.window);
    EXPECT_EQ(windowed.probe->seen(probe::kPaint).count, before + 2);
    EXPECT_EQ(windowed.probe->seen(probe::kPaintWithDc).count, windowed.probe->seen(probe::kPaint).count);
}

TEST_F(WindowedBase, MouseMessagesReachTheirHandlersWithSignedPositions) {
    Windowed& windowed = create(probe::kWindowProbe);
    windowed.arrange(0, 50, 0, 80);
    ASSERT_EQ(windowed.open(parent_), RC_OK);

    struct Case {
        UINT message;
        probe::Event event;
        WPARAM keys;
        int16_t x, y;
    } cases[] = {
        {WM_LBUTTONDOWN, probe::kLButtonDown, MK_LBUTTON, 12, 34},
        {WM_LBUTTONUP, probe::kLButtonUp, MK_SHIFT, -3, 7},
        {WM_MOUSEMOVE, probe::kPointerMove, MK_LBUTTON | MK_CONTROL, 5, -32768},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const LPARAM position = MAKELPARAM(static_cast<uint16_t>(c.x), static_cast<uint16_t>(c.y));
        EXPECT_EQ(SendMessageW(windowed.window, c.message, c.keys, position), 1);
        const probe::Seen seen = windowed.probe->seen(c.event);
        EXPECT_EQ(seen.count, 1);
        EXPECT_EQ(seen.flags, c.keys);
        EXPECT_EQ(seen.point.x, c.x);
        EXPECT_EQ(seen.point.y, c.y);
    }
}

TEST_F(WindowedBase, RightButtonGoesToTheDefaultProcedure) {
    Windowed& windowed = create(probe::kWindowProbe);
    windowed.arrange(0, 50, 0, 80);
    ASSERT_EQ(windowed.open(parent_), RC_OK);

    // The default procedure answers a released right button with a context
    // menu request to the same window; the module's handlers see nothing.
    SendMessageW(windowed.window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(4, 5));
    SendMessageW(windowed.window, WM_RBUTTONUP, 0, MAKELPARAM(4, 5));
    EXPECT_EQ(windowed.probe->seen(probe::kContextMenu).count, 1);
    EXPECT_EQ(windowed.probe->seen(probe::kLButtonDown).count, 0);
    EXPECT_EQ(windowed.probe->seen(probe::kLButtonUp).count, 0);
}

TEST_F(WindowedBase, TimerMessagesReachOnTimer) {
    Windowed& windowed = create(probe::kWindowProbe);
    ASSERT_EQ(windowed.open(parent_), RC_OK);
    ASSERT_NE(SetTimer(windowed.window, 1, 10, nullptr), 0u);
    const ULONGLONG deadline = GetTickCount64() + 5000;
    while (windowed.probe->seen(probe::kTimer).count == 0 && GetTickCount64() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        pump();
    }
    KillTimer(windowed.window, 1);
    EXPECT_GE(windowed.probe->seen(probe::kTimer).count, 1);
}

TEST_F(WindowedBase, CaptureFollowsSetAndRelease) {
    Windowed& windowed = create(probe::kWindowProbe);
    windowed.probe->takeCapture();  // no window yet: nothing to capture with
    EXPECT_EQ(windowed.probe->hasCapture(), 0);

    windowed.arrange(0, 50, 0, 80);
    ASSERT_EQ(windowed.open(parent_), RC_OK);
    EXPECT_EQ(windowed.probe->hasCapture(), 0);
    windowed.probe->takeCapture();
    EXPECT_EQ(GetCapture(), windowed.window);
    EXPECT_EQ(windowed.probe->hasCapture(), 1);

    // Capture taken by another window is not the module's.
    SetCapture(parent_);
    EXPECT_EQ(windowed.probe->hasCapture(), 0);
    windowed.probe->takeCapture();
    EXPECT_EQ(windowed.probe->hasCapture(), 1);

    windowed.probe->giveBackCapture();
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(windowed.probe->hasCapture(), 0);
}

TEST_F(WindowedBase, CloseMessageDestroysTheWindowAndCloseWindowStillBalancesTheCount) {
    Windowed& windowed = create(probe::kWindowProbe);
    ASSERT_EQ(windowed.open(parent_), RC_OK);
    EXPECT_EQ(SendMessageW(windowed.window, WM_CLOSE, 0, 0), 1);
    EXPECT_FALSE(IsWindow(windowed.window));
    EXPECT_TRUE(classExists());

    EXPECT_EQ(windowed.gfx->closeWindow(), RC_OK);
    EXPECT_EQ(windowed.probe->openWindows(), 0);
    EXPECT_FALSE(classExists());
    // Closing again changes nothing.
    EXPECT_EQ(windowed.gfx->closeWindow(), RC_OK);
    EXPECT_EQ(windowed.probe->openWindows(), 0);
}

TEST_F(WindowedBase, WindowDestroyedWithItsParentLeavesCloseWindowOnlyTheBookkeeping) {
    Windowed& windowed = create(probe::kWindowProbe);
    ASSERT_EQ(windowed.open(parent_), RC_OK);
    DestroyWindow(parent_);
    parent_ = nullptr;
    EXPECT_FALSE(IsWindow(windowed.window));
    EXPECT_TRUE(classExists());

    // A window made now may reuse the handle; closeWindow must leave it be.
    const HWND stranger = CreateWindowExW(0, kParentClassName, L"stranger", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50,
                                          nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    EXPECT_EQ(windowed.gfx->closeWindow(), RC_OK);
    EXPECT_TRUE(IsWindow(stranger));
    EXPECT_EQ(windowed.probe->openWindows(), 0);
    EXPECT_FALSE(classExists());
    DestroyWindow(stranger);
}

TEST_F(WindowedBase, OnlyAWindowWithoutParentPostsTheQuitMessage) {
    Windowed& child = create(probe::kWindowProbe);
    ASSERT_EQ(child.open(parent_), RC_OK);
    EXPECT_EQ(child.gfx->closeWindow(), RC_OK);
    EXPECT_FALSE(pump());

    Windowed& topLevel = create(probe::kWindowProbe);
    topLevel.probe->makeTopLevel();
    topLevel.arrange(0, 40, 0, 40);
    ASSERT_EQ(topLevel.open(nullptr), RC_OK);
    ASSERT_TRUE(IsWindow(topLevel.window));
    EXPECT_EQ(GetParent(topLevel.window), nullptr);
    EXPECT_EQ(topLevel.gfx->closeWindow(), RC_OK);
    WPARAM code = 99;
    EXPECT_TRUE(pump(&code));
    EXPECT_EQ(code, 0u);
}

TEST_F(WindowedBase, ReleasingAModuleWithItsWindowOpenClosesTheWindow) {
    Windowed& windowed = create(probe::kWindowProbe);
    ASSERT_EQ(windowed.open(parent_), RC_OK);
    const HWND window = windowed.window;
    destroy(windowed);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(classExists());
    // Messages for the parent no longer reach the destroyed module.
    RedrawWindow(parent_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pump();
}

}  // namespace
}  // namespace ovra
