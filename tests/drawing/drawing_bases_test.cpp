// The drawing bases, through test modules of drawing_fixture.qvm: the
// windowed ones driven by posting messages to their windows in the library's
// stand-in window system, the composited one through a recording host.
#include <gtest/gtest.h>

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

class Fixture {
public:
    static host::Library& library() {
        static std::unique_ptr<host::Library> lib = loadPlugin("drawing_fixture");
        return *lib;
    }
};

// A test module of the fixture library with its host.
struct Windowed {
    host::RecordingGuiHost host;
    IMpUnknown* object = nullptr;
    IMpGraphicsWinGdi* gfx = nullptr;
    WindowProbe* probe = nullptr;

    explicit Windowed(const wstring& id) {
        if (Fixture::library().create(id, SUBTYPE_GUI_V1, host.unknown(), &object) != RC_OK || object == nullptr)
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
};

// Both windowed bases behave alike.
class WindowedBase : public ::testing::TestWithParam<const char16_t*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(module_.ok());
        parent_ = module_.probe->createParent(0, 0, 300, 200);
        ASSERT_NE(parent_, nullptr);
    }
    void TearDown() override {
        if (module_.ok()) {
            module_.gfx->closeWindow();
            module_.probe->destroyWindow(parent_);
            int32_t code = 0;
            while (module_.probe->takeQuit(&code)) {
            }
        }
    }
    Windowed module_{GetParam()};
    WindowHandle parent_ = nullptr;
};

INSTANTIATE_TEST_SUITE_P(BothKinds, WindowedBase, ::testing::Values(u"Test-Windowed", u"Test-QvWindowed"),
                         [](const auto& info) { return info.index == 0 ? "MpBase" : "QvBase"; });

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

TEST_P(WindowedBase, WindowTakesTheArrangedPlacementInsideItsParent) {
    WindowHandle w = module_.open(parent_);
    ProbeRect r{};
    ASSERT_TRUE(module_.probe->windowRect(w, &r));
    EXPECT_EQ(r.left, 0);  // opened before any arrange: 0 x 0 at (0, 0)
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 0);
    EXPECT_EQ(r.bottom, 0);
    EXPECT_EQ(module_.probe->parentOf(w), parent_);
    EXPECT_EQ(module_.probe->style(w), WS_CHILD | WS_VISIBLE);
    EXPECT_NE(module_.probe->userData(w), 0);
    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
    EXPECT_FALSE(module_.probe->isWindow(w));

    const GuiRect placement{10, 30, 20, 70};  // top, bottom, left, right
    EXPECT_EQ(module_.gfx->arrange(&placement), RC_OK);
    w = module_.open(parent_);
    ASSERT_TRUE(module_.probe->windowRect(w, &r));
    EXPECT_EQ(r.left, 20);
    EXPECT_EQ(r.top, 10);
    EXPECT_EQ(r.right, 70);
    EXPECT_EQ(r.bottom, 30);
}

TEST_P(WindowedBase, ClassLivesFromFirstOpenToLastClose) {
    Windowed other(GetParam());
    ASSERT_TRUE(other.ok());
    EXPECT_FALSE(module_.probe->classRegistered());
    EXPECT_EQ(module_.probe->openWindowCount(), 0);

    module_.open(parent_);
    EXPECT_TRUE(module_.probe->classRegistered());
    other.open(parent_);
    EXPECT_EQ(module_.probe->openWindowCount(), 2);

    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
    EXPECT_TRUE(module_.probe->classRegistered());
    EXPECT_EQ(other.gfx->closeWindow(), RC_OK);
    EXPECT_FALSE(module_.probe->classRegistered());
    EXPECT_EQ(module_.probe->openWindowCount(), 0);

    // Closing again, or without ever opening, changes nothing.
    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
    EXPECT_EQ(module_.probe->openWindowCount(), 0);
}

TEST_P(WindowedBase, OpeningTwiceLeavesOneWindow) {
    WindowHandle first = module_.open(parent_);
    WindowHandle second = module_.open(parent_);
    EXPECT_NE(first, second);
    EXPECT_FALSE(module_.probe->isWindow(first));
    EXPECT_EQ(module_.probe->openWindowCount(), 1);
}

TEST_P(WindowedBase, RefusedWindowAnswersFailedAndRegistersNothing) {
    WindowHandle w = reinterpret_cast<WindowHandle>(1);
    // A child window needs a parent.
    EXPECT_EQ(module_.gfx->openWindow(nullptr, &w), RC_FAILED);
    EXPECT_EQ(w, nullptr);
    EXPECT_EQ(module_.probe->openWindowCount(), 0);
    EXPECT_FALSE(module_.probe->classRegistered());
    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
}

TEST_P(WindowedBase, DestroyPostsQuitOnlyForAWindowWithoutParent) {
    int32_t code = -1;
    module_.open(parent_);
    module_.gfx->closeWindow();
    EXPECT_FALSE(module_.probe->takeQuit(&code));

    module_.probe->overrideStyle(WS_POPUP | WS_VISIBLE);
    module_.open(nullptr);
    module_.gfx->closeWindow();
    ASSERT_TRUE(module_.probe->takeQuit(&code));
    EXPECT_EQ(code, 0);
}

TEST_P(WindowedBase, CloseMessageDestroysTheWindowAndCloseWindowStillBalances) {
    WindowHandle w = module_.open(parent_);
    EXPECT_TRUE(module_.probe->post(w, WM_CLOSE, 0, 0));
    module_.probe->pump();
    EXPECT_FALSE(module_.probe->isWindow(w));
    EXPECT_TRUE(module_.probe->classRegistered());
    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
    EXPECT_FALSE(module_.probe->classRegistered());
}

TEST_P(WindowedBase, MouseMessagesCarrySignedSixteenBitCoordinates) {
    WindowHandle w = module_.open(parent_);
    const uintptr_t flagsWithHighBits = (uintptr_t{1} << 40) | 0x9;  // only the low 32 bits are flags
    module_.probe->post(w, WM_LBUTTONDOWN, flagsWithHighBits, mousePosition(-5, 7));
    module_.probe->post(w, WM_MOUSEMOVE, 1, mousePosition(32767, -2));
    module_.probe->post(w, WM_LBUTTONUP, 0, mousePosition(-32768, -32768) | (intptr_t{1} << 40));
    module_.probe->pump();
    ASSERT_EQ(module_.probe->eventCount(), 3);

    const ProbeEvent down = module_.probe->event(0), move = module_.probe->event(1), up = module_.probe->event(2);
    EXPECT_EQ(down.kind, ProbeEvent::LButtonDown);
    EXPECT_EQ(down.flags, 9u);
    EXPECT_EQ(down.point.x, -5);
    EXPECT_EQ(down.point.y, 7);
    EXPECT_EQ(move.kind, ProbeEvent::PointerMove);
    EXPECT_EQ(move.point.x, 32767);
    EXPECT_EQ(move.point.y, -2);
    EXPECT_EQ(up.kind, ProbeEvent::LButtonUp);
    EXPECT_EQ(up.point.x, -32768);
    EXPECT_EQ(up.point.y, -32768);
    EXPECT_EQ(module_.probe->defaultProcedureCount(w, WM_LBUTTONDOWN), 0);
}

TEST_P(WindowedBase, UnhandledMessagesGoToTheDefaultProcedure) {
    WindowHandle w = module_.open(parent_);
    module_.probe->post(w, WM_RBUTTONDOWN, 0, mousePosition(3, 4));
    module_.probe->post(w, WM_TIMER, 1, 0);
    module_.probe->pump();
    EXPECT_EQ(module_.probe->defaultProcedureCount(w, WM_RBUTTONDOWN), 1);
    EXPECT_EQ(module_.probe->defaultProcedureCount(w, WM_TIMER), 0);
    ASSERT_EQ(module_.probe->eventCount(), 1);
    EXPECT_EQ(module_.probe->event(0).kind, ProbeEvent::Timer);
    // Handled messages answer 1; the default procedure's answer comes back
    // otherwise.
    EXPECT_EQ(module_.probe->send(w, WM_TIMER, 0, 0), 1);
    EXPECT_EQ(module_.probe->send(w, WM_RBUTTONUP, 0, 0), 0);
}

TEST_P(WindowedBase, NothingAModuleHookThrowsReachesTheHost) {
    const GuiRect placement{0, 20, 0, 40};
    module_.gfx->arrange(&placement);
    WindowHandle w = module_.open(parent_);
    int surface = 0;
    ASSERT_TRUE(module_.probe->setDeviceContext(w, &surface));
    module_.probe->pump();
    const int32_t before = module_.probe->eventCount();
    module_.probe->throwFromHooks();

    GuiSize size{7, 8};
    EXPECT_EQ(module_.gfx->measure(GuiSize{50, 50}, &size), RC_FAILED);
    EXPECT_EQ(size.width, 7);
    EXPECT_EQ(size.height, 8);
    EXPECT_EQ(module_.gfx->arrange(&placement), RC_OK);

    module_.probe->post(w, WM_LBUTTONDOWN, 0, mousePosition(1, 1));
    module_.probe->post(w, WM_MOUSEMOVE, 0, mousePosition(2, 2));
    module_.probe->post(w, WM_LBUTTONUP, 0, mousePosition(3, 3));
    module_.probe->post(w, WM_TIMER, 1, 0);
    module_.probe->invalidate(nullptr, 0);
    module_.probe->pump();
    EXPECT_EQ(module_.probe->eventCount() - before, 5);  // each hook ran, and threw
    // The throwing paint still ended: nothing is left to repaint.
    ProbeRect r{};
    EXPECT_FALSE(module_.probe->updateRect(w, &r));
    EXPECT_EQ(module_.probe->send(w, WM_TIMER, 0, 0), 0);

    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
    EXPECT_FALSE(module_.probe->isWindow(w));
    EXPECT_EQ(module_.probe->openWindowCount(), 0);
    EXPECT_FALSE(module_.probe->classRegistered());

    // The style hook throws too: no window, and the count stays whole.
    WindowHandle refused = reinterpret_cast<WindowHandle>(1);
    EXPECT_EQ(module_.gfx->openWindow(parent_, &refused), RC_FAILED);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(module_.probe->moduleWindow(), nullptr);
    EXPECT_EQ(module_.probe->openWindowCount(), 0);
    EXPECT_FALSE(module_.probe->classRegistered());
}

TEST_P(WindowedBase, InvalidatedWindowPaintsWithItsDeviceContext) {
    module_.probe->invalidate(nullptr, 1);  // no window yet: nothing happens
    const GuiRect placement{0, 20, 0, 40};
    module_.gfx->arrange(&placement);
    WindowHandle w = module_.open(parent_);
    int surface = 0;
    ASSERT_TRUE(module_.probe->setDeviceContext(w, &surface));
    module_.probe->pump();
    const int32_t before = module_.probe->eventCount();

    const GuiRect part{2, 5, 3, 9};
    module_.probe->invalidate(&part, 0x100);  // only the low byte is the erase flag
    ProbeRect r{};
    ASSERT_TRUE(module_.probe->updateRect(w, &r));
    EXPECT_EQ(r.left, 3);
    EXPECT_EQ(r.top, 2);
    EXPECT_EQ(r.right, 9);
    EXPECT_EQ(r.bottom, 5);
    module_.probe->invalidate(nullptr, 1);
    ASSERT_TRUE(module_.probe->updateRect(w, &r));
    EXPECT_EQ(r.right, 40);
    EXPECT_EQ(r.bottom, 20);

    module_.probe->pump();
    ASSERT_EQ(module_.probe->eventCount(), before + 1);
    const ProbeEvent paint = module_.probe->event(before);
    EXPECT_EQ(paint.kind, ProbeEvent::Paint);
    EXPECT_EQ(paint.dc, &surface);
    EXPECT_FALSE(module_.probe->updateRect(w, &r));  // the paint validated the window
}

TEST_P(WindowedBase, CaptureIsHeldOnlyThroughAnOpenWindow) {
    EXPECT_FALSE(module_.probe->getCapture());  // no window, and no window holds the capture
    module_.probe->setCapture();
    EXPECT_EQ(module_.probe->captureWindow(), nullptr);

    WindowHandle w = module_.open(parent_);
    module_.probe->setCapture();
    EXPECT_EQ(module_.probe->captureWindow(), w);
    EXPECT_TRUE(module_.probe->getCapture());
    module_.probe->releaseCapture();
    EXPECT_FALSE(module_.probe->getCapture());
    EXPECT_EQ(module_.probe->captureWindow(), nullptr);
}

TEST_P(WindowedBase, DestroyingAModuleClosesItsWindow) {
    Windowed doomed(GetParam());
    ASSERT_TRUE(doomed.ok());
    WindowHandle w = doomed.open(parent_);
    module_.open(parent_);
    doomed.destroy();
    EXPECT_FALSE(module_.probe->isWindow(w));
    EXPECT_EQ(module_.probe->openWindowCount(), 1);
    // Messages for the vanished window reach nobody.
    EXPECT_FALSE(module_.probe->post(w, WM_LBUTTONDOWN, 0, 0));
    module_.gfx->closeWindow();
    EXPECT_FALSE(module_.probe->classRegistered());
}

TEST_P(WindowedBase, DestroyingTheParentLeavesCloseWindowBalanced) {
    WindowHandle w = module_.open(parent_);
    module_.probe->destroyWindow(parent_);
    EXPECT_FALSE(module_.probe->isWindow(w));
    EXPECT_EQ(module_.gfx->closeWindow(), RC_OK);
    EXPECT_FALSE(module_.probe->classRegistered());
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

struct AttachCase {
    const char16_t* id;
    std::vector<Guid> asked;
};

TEST(DrawingBaseAttach, EachBaseAsksForItsHostInterfacesInOrder) {
    const AttachCase cases[] = {
        {u"Test-Windowed", {IID_IMpGuiHost, IID_IMpWinGdiHost}},
        {u"Test-QvWindowed", {IID_IMpGuiHost, IID_IMpWinGdiHost, IID_IQvWindowsGfxHost}},
        {u"Test-Composited", {IID_IMpGuiHost, IID_IQvCompositedGfxHost}},
    };
    for (const AttachCase& c : cases) {
        host::RecordingGuiHost host;
        IMpUnknown* object = nullptr;
        ASSERT_EQ(Fixture::library().create(c.id, SUBTYPE_GUI_V1, host.unknown(), &object), RC_OK);
        std::vector<Guid> asked;
        for (const auto& call : host.calls)
            if (call.kind == host::GuiCall::Query)
                asked.push_back(call.iid);
        EXPECT_EQ(asked.size(), c.asked.size());
        for (size_t i = 0; i < asked.size() && i < c.asked.size(); ++i)
            EXPECT_TRUE(asked[i] == c.asked[i]) << "query " << i;
        object->Release();

        // Each interface asked for is required: without the last one the
        // creation fails.
        host::RecordingGuiHost lacking;
        lacking.answersWinGdi = c.asked.back() == IID_IMpWinGdiHost ? false : lacking.answersWinGdi;
        lacking.answersWindowsGfx = c.asked.back() == IID_IQvWindowsGfxHost ? false : lacking.answersWindowsGfx;
        lacking.answersComposited = c.asked.back() == IID_IQvCompositedGfxHost ? false : lacking.answersComposited;
        object = reinterpret_cast<IMpUnknown*>(1);
        EXPECT_EQ(Fixture::library().create(c.id, SUBTYPE_GUI_V1, lacking.unknown(), &object), RC_FAILED);
    }
}

// The composited base forwards to the host.
struct Composited {
    host::RecordingGuiHost host;
    IMpUnknown* object = nullptr;
    IQvGraphicsComposited* gfx = nullptr;
    ModuleProbe* probe = nullptr;
    explicit Composited(bool attach = true) {
        if (attach)
            Fixture::library().create(u"Test-Composited", SUBTYPE_GUI_V1, host.unknown(), &object);
        else
            Fixture::library().createBare(u"Test-Composited", SUBTYPE_GUI_V1, &object);
        if (object == nullptr)
            return;
        gfx = host::queryInterface<IQvGraphicsComposited>(object, IID_IQvGraphicsComposited);
        probe = host::queryInterface<ModuleProbe>(object, IID_ModuleProbe);
        host.clear();
    }
    ~Composited() {
        if (probe != nullptr)
            probe->Release();
        if (gfx != nullptr)
            gfx->Release();
        if (object != nullptr)
            object->Release();
    }
};

TEST(CompositedBase, RepaintAndCaptureGoToTheHost) {
    Composited m;
    ASSERT_NE(m.probe, nullptr);
    m.probe->invalidate(nullptr, 0);
    const GuiRect part{1, 2, 3, 4};
    m.probe->invalidate(&part, 0);
    m.probe->setCapture();
    m.host.captured = 0;
    EXPECT_FALSE(m.probe->getCapture());
    m.host.captured = 7;
    EXPECT_TRUE(m.probe->getCapture());
    m.probe->releaseCapture();

    using K = host::GuiCall;
    const std::vector<K::Kind> expected{K::Invalidate, K::Invalidate, K::SetCapture,
                                        K::GetCapture, K::GetCapture, K::ReleaseCapture};
    ASSERT_EQ(m.host.calls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(m.host.calls[i].kind, expected[i]) << i;
    EXPECT_FALSE(m.host.calls[0].rect.has_value());
    ASSERT_TRUE(m.host.calls[1].rect.has_value());
    EXPECT_EQ(m.host.calls[1].rect->top, 1);
    EXPECT_EQ(m.host.calls[1].rect->right, 4);
}

TEST(CompositedBase, DefaultsPaintNothingAndClampTheSize) {
    Composited m;
    ASSERT_NE(m.gfx, nullptr);
    GuiSize size{};
    EXPECT_EQ(m.gfx->measure(GuiSize{300, 10}, &size), RC_OK);
    EXPECT_EQ(size.width, 100);
    EXPECT_EQ(size.height, 15);
    EXPECT_EQ(m.gfx->measure(GuiSize{1, 1}, nullptr), RC_FAILED);
    EXPECT_EQ(m.gfx->onPaint(nullptr), RC_OK);
    EXPECT_EQ(m.gfx->arrange(nullptr), RC_FAILED);
    EXPECT_EQ(m.gfx->reserved7(), RC_OK);
    EXPECT_EQ(m.gfx->reserved11(), RC_OK);
    void* windowed = reinterpret_cast<void*>(1);
    EXPECT_EQ(m.gfx->QueryInterface(&IID_IMpGraphicsWinGdi, &windowed), RC_NOT_FOUND);
    EXPECT_EQ(windowed, nullptr);
}

TEST(CompositedBase, NothingAModuleHookThrowsReachesTheHost) {
    Composited m;
    ASSERT_NE(m.probe, nullptr);
    m.probe->throwFromHooks();
    GuiSize size{7, 8};
    EXPECT_EQ(m.gfx->measure(GuiSize{50, 50}, &size), RC_FAILED);
    EXPECT_EQ(size.width, 7);
    EXPECT_EQ(size.height, 8);
    int surface = 0;
    EXPECT_EQ(m.gfx->onPaint(&surface), RC_FAILED);
    const GuiRect placement{0, 20, 0, 40};
    EXPECT_EQ(m.gfx->arrange(&placement), RC_OK);
}

TEST(CompositedBase, WithoutAHostItsCallsDoNothing) {
    Composited m(false);
    ASSERT_NE(m.probe, nullptr);
    m.probe->invalidate(nullptr, 0);
    m.probe->setCapture();
    EXPECT_FALSE(m.probe->getCapture());
    m.probe->releaseCapture();
    EXPECT_TRUE(m.host.calls.empty());
}

}  // namespace
}  // namespace ovra::test
