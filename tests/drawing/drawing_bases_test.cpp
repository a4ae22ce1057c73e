// The drawing bases' attachment to their host, and the composited base through
// a recording host, with the test modules of drawing_fixture.qvm (the
// windowed bases' window handling is in windowed_base_test.cpp).
#include <gtest/gtest.h>

#include "gui_host.h"
#include "plugins.h"
#include "window_probe.h"

namespace ovra::test {
namespace {

class Fixture {
public:
    static host::Library& library() {
        static std::unique_ptr<host::Library> lib = loadPlugin("drawing_fixture");
        return *lib;
    }
};

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
