// The windowed drawing bases, through the windowed test modules of
// drawing_fixture.qvm and their probe. The same cases run against the
// library's stand-in window system off Windows and against user32 on Windows
// (under Wine in the cross build), so passing on both shows the stand-in
// behaves as the real window system does wherever a module could tell.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "gui_host.h"
#include "platform/window_system.h"
#include "plugins.h"
#include "window_probe.h"

namespace ovra::test {
namespace {

using namespace ovra::win;

// lParam of a mouse message: x in the low 16 bits, y in the next 16.
intptr_t mousePosition(int16_t x, int16_t y) {
    return static_cast<intptr_t>((static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) | static_cast<uint16_t>(x));
}

constexpr uint32_t kNoParentNotify = 0x00000004;  // an extended style the window system may add to children

// An address inside the test program, to name the program to the probe.
const int programAnchor = 0;

host::Library& fixtureLibrary() {
    static std::unique_ptr<host::Library> lib = loadPlugin("drawing_fixture");
    return *lib;
}

const char16_t* const kKinds[] = {u"Test-Windowed", u"Test-QvWindowed"};

// A windowed test module with its host, and the events it saw up to the
// last settle.
struct Windowed {
    host::RecordingGuiHost host;
    IMpUnknown* object = nullptr;
    IMpGraphicsWinGdi* gfx = nullptr;
    WindowProbe* probe = nullptr;
    int32_t settled = 0;

    explicit Windowed(const char16_t* id) {
        if (fixtureLibrary().create(id, SUBTYPE_GUI_V1, host.unknown(), &object) != RC_OK || object == nullptr)
            return;
        gfx = host::queryInterface<IMpGraphicsWinGdi>(object, IID_IMpGraphicsWinGdi);
        probe = host::queryInterface<WindowProbe>(object, IID_WindowProbe);
    }
    ~Windowed() { destroy(); }
    void destroy() {
        if (probe != nullptr)
            probe->Release();
        if (gfx != nullptr)
            gfx->Release();
        if (object != nullptr)
            object->Release();
        probe = nullptr;
        gfx = nullptr;
        object = nullptr;
    }
    bool ok() const { return gfx != nullptr && probe != nullptr; }

    WindowHandle open(WindowHandle parent) {
        WindowHandle w = nullptr;
        EXPECT_EQ(gfx->openWindow(parent, &w), RC_OK);
        EXPECT_EQ(w, probe->moduleWindow());
        return w;
    }
    void arrange(int32_t top, int32_t bottom, int32_t left, int32_t right) {
        const GuiRect placement{top, bottom, left, right};
        EXPECT_EQ(gfx->arrange(&placement), RC_OK);
    }
    // Dispatches what the window system has queued (a new window's first
    // paint, among others); later checks look at what comes after.
    void settle() {
        probe->pump();
        settled = probe->eventCount();
    }
    std::vector<ProbeEvent> eventsSinceSettled() const {
        std::vector<ProbeEvent> out;
        for (int32_t i = settled; i < probe->eventCount(); ++i)
            out.push_back(probe->event(i));
        return out;
    }
    int32_t count(ProbeEvent::Kind kind) const {
        int32_t n = 0;
        for (int32_t i = 0; i < probe->eventCount(); ++i)
            n += probe->event(i).kind == kind ? 1 : 0;
        return n;
    }
    bool classRegistered() const { return probe->windowClass(nullptr, nullptr); }
    ProbeWindow describe(WindowHandle w) const {
        ProbeWindow d{};
        EXPECT_TRUE(probe->describe(w, &d));
        return d;
    }
};

void expectRect(const ProbeRect& r, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

// Both windowed bases behave alike; the parameter is the module's base.
class WindowedBase : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        ASSERT_TRUE(module_.ok());
        // Away from the screen's corner, so that placements show they are
        // the parent's.
        parent_ = module_.probe->createParent(30, 40, 300, 200);
        ASSERT_NE(parent_, nullptr);
        module_.settle();
    }
    void TearDown() override {
        if (!module_.ok())
            return;
        module_.gfx->closeWindow();
        module_.probe->destroyWindow(parent_);
        module_.probe->pump();
        int32_t code = 0;
        while (module_.probe->takeQuit(&code)) {
        }
    }
    const char16_t* kind() const { return kKinds[GetParam()]; }
    const char16_t* otherKind() const { return kKinds[1 - GetParam()]; }

    Windowed module_{kKinds[GetParam()]};
    WindowHandle parent_ = nullptr;
};

INSTANTIATE_TEST_SUITE_P(BothKinds, WindowedBase, ::testing::Values(0, 1),
                         [](const auto& info) { return info.param == 0 ? "MpBase" : "QvBase"; });

TEST_P(WindowedBase, MeasureClampsEachDimensionTo15To100) {
    const std::pair<GuiSize, GuiSize> cases[] = {
        {{0, 500}, {15, 100}}, {{-5, 50}, {15, 50}}, {{100, 15}, {100, 15}}, {{101, 14}, {100, 15}}};
    for (const auto& [offered, expected] : cases) {
        GuiSize result{};
        EXPECT_EQ(module_.gfx->measure(offered, &result), RC_OK);
        EXPECT_EQ(result.width, expected.width);
        EXPECT_EQ(result.height, expected.height);
    }
}

TEST_P(WindowedBase, WindowIsAVisibleChildOfTheLibraryClassAtTheArrangedPlacement) {
    // Opened before any arrange: 0 x 0 at the parent's origin.
    WindowHandle w = module_.open(parent_);
    ProbeWindow d = module_.describe(w);
    expectRect(d.placement, 0, 0, 0, 0);
    EXPECT_EQ(d.parent, parent_);
    EXPECT_EQ(d.style, WS_CHILD | WS_VISIBLE);
    EXPECT_EQ(d.extendedStyle & ~kNoParentNotify, 0u);
    EXPECT_NE(d.userData, 0) << "the module is not named in the window";
    EXPECT_TRUE(d.libraryClass);
    EXPECT_TRUE(d.libraryInstance);
    EXPECT_EQ(d.titleLength, 0);
    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
    EXPECT_FALSE(module_.probe->isWindow(w));

    module_.arrange(/*top*/ 10, /*bottom*/ 30, /*left*/ 20, /*right*/ 70);
    w = module_.open(parent_);
    d = module_.describe(w);
    expectRect(d.placement, 20, 10, 70, 30);
    EXPECT_EQ(d.parent, parent_);
}

TEST_P(WindowedBase, ClassLivesFromFirstOpenToLastCloseAcrossBothBases) {
    Windowed other(otherKind());
    ASSERT_TRUE(other.ok());
    EXPECT_FALSE(module_.classRegistered());
    EXPECT_EQ(module_.probe->openWindowCount(), 0);

    module_.open(parent_);
    EXPECT_TRUE(module_.classRegistered());
    other.open(parent_);
    EXPECT_EQ(module_.probe->openWindowCount(), 2);
    EXPECT_EQ(module_.count(ProbeEvent::ClassRegistered) + other.count(ProbeEvent::ClassRegistered), 1);

    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
    EXPECT_TRUE(module_.classRegistered()) << "removed while a window of the class is still open";
    EXPECT_TRUE(module_.probe->isWindow(other.probe->moduleWindow()));
    EXPECT_EQ(other.gfx->closeWindow(), RC_OK);
    EXPECT_FALSE(module_.classRegistered());
    EXPECT_EQ(module_.probe->openWindowCount(), 0);
    EXPECT_EQ(module_.count(ProbeEvent::ClassRemoved), 0);
    EXPECT_EQ(other.count(ProbeEvent::ClassRemoved), 1);

    // Closing again, or without ever opening, changes nothing.
    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
    EXPECT_EQ(module_.probe->openWindowCount(), 0);

    // The next window registers it again.
    module_.open(parent_);
    EXPECT_TRUE(module_.classRegistered());
    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
    EXPECT_FALSE(module_.classRegistered());
}

TEST_P(WindowedBase, ClassRecordBelongsToTheLibraryWithTheArrowCursorAndRedrawOnResize) {
    module_.open(parent_);
    ProbeClass c{};
    ASSERT_TRUE(module_.probe->windowClass(nullptr, &c));
    EXPECT_EQ(c.style, CS_HREDRAW | CS_VREDRAW);
    EXPECT_TRUE(c.arrowCursor);
    EXPECT_FALSE(c.icon);
    EXPECT_FALSE(c.background);
    EXPECT_FALSE(c.menu);
    EXPECT_TRUE(c.procedure);
    // Not the program that loaded the library.
    EXPECT_FALSE(module_.probe->windowClass(&programAnchor, nullptr));
}

TEST_P(WindowedBase, OpeningTwiceLeavesOneWindow) {
    WindowHandle first = module_.open(parent_);
    WindowHandle second = module_.open(parent_);
    EXPECT_NE(first, second);
    EXPECT_FALSE(module_.probe->isWindow(first));
    EXPECT_TRUE(module_.probe->isWindow(second));
    EXPECT_EQ(module_.probe->openWindowCount(), 1);
}

TEST_P(WindowedBase, RefusedWindowAnswersFailedAndRegistersNothing) {
    WindowHandle w = reinterpret_cast<WindowHandle>(1);
    // A child window needs a parent.
    EXPECT_EQ(module_.gfx->openWindow(nullptr, &w), RC_FAILED);
    EXPECT_EQ(w, nullptr);
    EXPECT_EQ(module_.probe->moduleWindow(), nullptr);
    EXPECT_EQ(module_.probe->openWindowCount(), 0);
    EXPECT_FALSE(module_.classRegistered());
    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
}

TEST_P(WindowedBase, DestroyPostsQuitOnlyForAWindowWithoutParent) {
    int32_t code = -1;
    module_.open(parent_);
    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
    module_.probe->pump();
    EXPECT_FALSE(module_.probe->takeQuit(&code));

    module_.probe->overrideStyle(WS_POPUP | WS_VISIBLE);
    module_.arrange(0, 40, 0, 40);
    WindowHandle w = module_.open(nullptr);
    ASSERT_TRUE(module_.probe->isWindow(w));
    EXPECT_EQ(module_.describe(w).parent, nullptr);
    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
    module_.probe->pump();
    ASSERT_TRUE(module_.probe->takeQuit(&code));
    EXPECT_EQ(code, 0);
}

TEST_P(WindowedBase, CloseMessageDestroysTheWindowAndCloseWindowStillBalances) {
    WindowHandle w = module_.open(parent_);
    EXPECT_EQ(module_.probe->send(w, WM_CLOSE, 0, 0), 1);
    EXPECT_FALSE(module_.probe->isWindow(w));
    EXPECT_TRUE(module_.classRegistered());
    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
    EXPECT_EQ(module_.probe->openWindowCount(), 0);
    EXPECT_FALSE(module_.classRegistered());

    // Posted, the same.
    w = module_.open(parent_);
    EXPECT_TRUE(module_.probe->post(w, WM_CLOSE, 0, 0));
    module_.probe->pump();
    EXPECT_FALSE(module_.probe->isWindow(w));
    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
    EXPECT_FALSE(module_.classRegistered());
}

TEST_P(WindowedBase, MouseMessagesReachTheirHandlersWithSignedSixteenBitPositions) {
    module_.arrange(0, 50, 0, 80);
    WindowHandle w = module_.open(parent_);
    module_.settle();

    struct Case {
        uint32_t message;
        ProbeEvent::Kind kind;
        uintptr_t keys;
        intptr_t position;
        uint32_t flags;
        int32_t x, y;
    };
    const uintptr_t highBits = uintptr_t{1} << 40;  // only the low 32 bits of wParam are flags
    const Case cases[] = {
        {WM_LBUTTONDOWN, ProbeEvent::LButtonDown, 0x1, mousePosition(12, 34), 0x1, 12, 34},
        {WM_LBUTTONUP, ProbeEvent::LButtonUp, 0x4, mousePosition(-3, 7), 0x4, -3, 7},
        {WM_MOUSEMOVE, ProbeEvent::PointerMove, 0x9, mousePosition(5, -32768), 0x9, 5, -32768},
        {WM_MOUSEMOVE, ProbeEvent::PointerMove, 0x1, mousePosition(32767, -2), 0x1, 32767, -2},
        // Only the low 32 bits of lParam carry the position.
        {WM_LBUTTONUP, ProbeEvent::LButtonUp, highBits | 0x9, mousePosition(-32768, -32768) | (intptr_t{1} << 40), 0x9,
         -32768, -32768},
    };
    // Sent, each is handled at once (answer 1); posted, each arrives alike.
    for (const bool posted : {false, true}) {
        for (const Case& c : cases) {
            if (posted)
                EXPECT_TRUE(module_.probe->post(w, c.message, c.keys, c.position));
            else
                EXPECT_EQ(module_.probe->send(w, c.message, c.keys, c.position), 1);
        }
        module_.probe->pump();
        const std::vector<ProbeEvent> seen = module_.eventsSinceSettled();
        ASSERT_EQ(seen.size(), std::size(cases)) << (posted ? "posted" : "sent");
        for (size_t i = 0; i < seen.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(seen[i].kind, cases[i].kind);
            EXPECT_EQ(seen[i].flags, cases[i].flags);
            EXPECT_EQ(seen[i].point.x, cases[i].x);
            EXPECT_EQ(seen[i].point.y, cases[i].y);
        }
        module_.settle();
    }
}

TEST_P(WindowedBase, RightButtonGoesToTheDefaultProcedureTimerToOnTimer) {
    module_.arrange(0, 50, 0, 80);
    WindowHandle w = module_.open(parent_);
    module_.settle();

    // The default procedure answers a released right button with a context
    // menu request to the same window; no handler of the module sees the
    // buttons, and the default procedure's answer comes back.
    EXPECT_EQ(module_.probe->send(w, WM_RBUTTONDOWN, 0x2, mousePosition(4, 5)), 0);
    EXPECT_EQ(module_.probe->send(w, WM_RBUTTONUP, 0, mousePosition(4, 5)), 0);
    module_.probe->post(w, WM_TIMER, 1, 0);
    module_.probe->pump();
    std::vector<ProbeEvent> seen = module_.eventsSinceSettled();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].kind, ProbeEvent::ContextMenu);
    EXPECT_EQ(seen[1].kind, ProbeEvent::Timer);

    // Handled messages answer 1.
    EXPECT_EQ(module_.probe->send(w, WM_TIMER, 0, 0), 1);
    EXPECT_EQ(module_.count(ProbeEvent::Timer), 2);
}

TEST_P(WindowedBase, WindowTimerReachesOnTimerUntilStopped) {
    WindowHandle w = module_.open(parent_);
    ASSERT_TRUE(module_.probe->startTimer(w, 10));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (module_.count(ProbeEvent::Timer) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        module_.probe->pump();
    }
    EXPECT_GE(module_.count(ProbeEvent::Timer), 1);

    module_.probe->stopTimer(w);
    module_.probe->pump();
    const int32_t ticks = module_.count(ProbeEvent::Timer);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    module_.probe->pump();
    EXPECT_EQ(module_.count(ProbeEvent::Timer), ticks);

    // The window's end ends its timer too.
    ASSERT_TRUE(module_.probe->startTimer(w, 10));
    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    module_.probe->pump();
    EXPECT_EQ(module_.count(ProbeEvent::Timer), ticks);
}

TEST_P(WindowedBase, NothingAModuleHookThrowsReachesTheHost) {
    module_.arrange(0, 20, 0, 40);
    WindowHandle w = module_.open(parent_);
    module_.probe->paintSurface(w);
    module_.settle();
    module_.probe->throwFromHooks();

    GuiSize size{7, 8};
    EXPECT_EQ(module_.gfx->measure(GuiSize{50, 50}, &size), RC_FAILED);
    EXPECT_EQ(size.width, 7);
    EXPECT_EQ(size.height, 8);
    const GuiRect placement{0, 20, 0, 40};
    EXPECT_EQ(module_.gfx->arrange(&placement), RC_OK);

    module_.probe->post(w, WM_LBUTTONDOWN, 0, mousePosition(1, 1));
    module_.probe->post(w, WM_MOUSEMOVE, 0, mousePosition(2, 2));
    module_.probe->post(w, WM_LBUTTONUP, 0, mousePosition(3, 3));
    module_.probe->post(w, WM_TIMER, 1, 0);
    module_.probe->invalidate(nullptr, 0);
    module_.probe->pump();
    EXPECT_EQ(module_.eventsSinceSettled().size(), 5u);  // each hook ran, and threw
    // The throwing paint still ended: nothing is left to repaint.
    ProbeRect r{};
    EXPECT_FALSE(module_.probe->updateRect(w, &r));
    EXPECT_EQ(module_.probe->send(w, WM_TIMER, 0, 0), 0);

    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
    EXPECT_FALSE(module_.probe->isWindow(w));
    EXPECT_EQ(module_.probe->openWindowCount(), 0);
    EXPECT_FALSE(module_.classRegistered());

    // The class and style hooks throw too: no window, and the count stays
    // whole.
    WindowHandle refused = reinterpret_cast<WindowHandle>(1);
    EXPECT_EQ(module_.gfx->openWindow(parent_, &refused), RC_FAILED);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(module_.probe->moduleWindow(), nullptr);
    EXPECT_EQ(module_.probe->openWindowCount(), 0);
    EXPECT_FALSE(module_.classRegistered());
}

TEST_P(WindowedBase, WindowPaintsWhenShownAndWhenInvalidatedWithItsDeviceContext) {
    module_.probe->invalidate(nullptr, 1);  // no window yet: nothing happens
    module_.arrange(0, 20, 0, 40);
    WindowHandle w = module_.open(parent_);
    void* const surface = module_.probe->paintSurface(w);
    auto expectPaintedOnItsSurface = [&](const ProbeEvent& e) {
        EXPECT_EQ(e.kind, ProbeEvent::Paint);
        EXPECT_NE(e.dc, nullptr);
        if (surface != nullptr) {
            EXPECT_EQ(e.dc, surface);
        }
    };

    // A window shown inside a shown parent asks for its first paint; its
    // background was erased as it was shown, before the module had the
    // window.
    module_.settle();
    EXPECT_EQ(module_.count(ProbeEvent::EraseBackground), 0);
    EXPECT_EQ(module_.count(ProbeEvent::Paint), 1);
    ProbeRect r{};
    EXPECT_FALSE(module_.probe->updateRect(w, &r));

    const GuiRect part{2, 5, 3, 9};
    module_.probe->invalidate(&part, 0x100);  // only the low byte is the erase flag
    ASSERT_TRUE(module_.probe->updateRect(w, &r));
    expectRect(r, 3, 2, 9, 5);
    module_.probe->pump();
    EXPECT_FALSE(module_.probe->updateRect(w, &r));  // the paint validated the window

    // Requests add up until the paint.
    module_.probe->invalidate(&part, 0);
    module_.probe->invalidate(nullptr, 1);
    ASSERT_TRUE(module_.probe->updateRect(w, &r));
    expectRect(r, 0, 0, 40, 20);
    module_.probe->pump();
    EXPECT_FALSE(module_.probe->updateRect(w, &r));

    // A paint message posted by anyone paints too.
    EXPECT_TRUE(module_.probe->post(w, WM_PAINT, 0, 0));
    module_.probe->pump();
    const std::vector<ProbeEvent> seen = module_.eventsSinceSettled();
    ASSERT_EQ(seen.size(), 4u);
    expectPaintedOnItsSurface(seen[0]);
    EXPECT_EQ(seen[1].kind, ProbeEvent::EraseBackground);
    expectPaintedOnItsSurface(seen[2]);
    expectPaintedOnItsSurface(seen[3]);
}

TEST_P(WindowedBase, CaptureIsHeldOnlyThroughTheModulesOpenWindow) {
    EXPECT_FALSE(module_.probe->getCapture());  // no window, and no window holds the capture
    module_.probe->setCapture();
    EXPECT_EQ(module_.probe->captureWindow(), nullptr);

    module_.arrange(0, 50, 0, 80);
    WindowHandle w = module_.open(parent_);
    EXPECT_FALSE(module_.probe->getCapture());
    module_.probe->setCapture();
    EXPECT_EQ(module_.probe->captureWindow(), w);
    EXPECT_TRUE(module_.probe->getCapture());

    // Capture taken by another window is not the module's.
    module_.probe->captureTo(parent_);
    EXPECT_FALSE(module_.probe->getCapture());
    module_.probe->setCapture();
    EXPECT_TRUE(module_.probe->getCapture());

    module_.probe->releaseCapture();
    EXPECT_FALSE(module_.probe->getCapture());
    EXPECT_EQ(module_.probe->captureWindow(), nullptr);
}

TEST_P(WindowedBase, ReleasingAModuleWithItsWindowOpenClosesTheWindow) {
    Windowed doomed(kind());
    ASSERT_TRUE(doomed.ok());
    WindowHandle w = doomed.open(parent_);
    module_.open(parent_);
    doomed.destroy();
    EXPECT_FALSE(module_.probe->isWindow(w));
    EXPECT_EQ(module_.probe->openWindowCount(), 1);
    // Messages for the vanished window reach nobody, and repainting the
    // parent reaches no destroyed module.
    EXPECT_FALSE(module_.probe->post(w, WM_LBUTTONDOWN, 0, 0));
    EXPECT_TRUE(module_.probe->invalidateWindow(parent_));
    module_.probe->pump();
    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
    EXPECT_FALSE(module_.classRegistered());
}

TEST_P(WindowedBase, WindowDestroyedWithItsParentLeavesCloseWindowOnlyTheBookkeeping) {
    WindowHandle w = module_.open(parent_);
    EXPECT_TRUE(module_.probe->destroyWindow(parent_));
    EXPECT_FALSE(module_.probe->isWindow(w));
    EXPECT_TRUE(module_.classRegistered());

    // A window made now may reuse the handle; closeWindow must leave it be.
    parent_ = module_.probe->createParent(0, 0, 50, 50);
    ASSERT_NE(parent_, nullptr);
    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
    EXPECT_TRUE(module_.probe->isWindow(parent_));
    EXPECT_EQ(module_.probe->openWindowCount(), 0);
    EXPECT_FALSE(module_.classRegistered());
}

TEST_P(WindowedBase, DrawingInterfaceSharesTheModulesIdentity) {
    IMpUserInterface* gui = host::queryInterface<IMpUserInterface>(module_.gfx, IID_IMpUserInterface);
    ASSERT_NE(gui, nullptr);
    void* composited = reinterpret_cast<void*>(1);
    EXPECT_EQ(module_.gfx->QueryInterface(&IID_IQvGraphicsComposited, &composited), RC_NOT_FOUND);
    EXPECT_EQ(composited, nullptr);
    // One count for the object: three holders now (object, gfx, gui) plus
    // the probe.
    EXPECT_EQ(module_.gfx->AddRef(), 5u);
    EXPECT_EQ(gui->Release(), 4u);
    EXPECT_EQ(module_.object->Release(), 3u);
    module_.object->AddRef();
    gui->Release();
}

}  // namespace
}  // namespace ovra::test
