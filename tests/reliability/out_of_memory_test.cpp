// Running out of memory inside a module must not throw into the host: no
// exception crosses the ABI. Allocations of a large size fail on demand here
// (this executable replaces operator new, which the libraries it loads use
// too). The sanitizer builds keep their own allocator, and a Windows DLL
// carries its own runtime: both skip these cases.
#include <cstdlib>
#include <limits>
#include <new>
#include <vector>

#include <gtest/gtest.h>

#include "dsp_host.h"
#include "gui_host.h"
#include "harness.h"

#if defined(__SANITIZE_ADDRESS__) || defined(_WIN32)
#define OVRA_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OVRA_OWN_ALLOCATOR 1
#endif
#endif

namespace {
// Allocations of this many bytes or more fail while set.
size_t gFailFrom = std::numeric_limits<size_t>::max();
}  // namespace

#if !OVRA_OWN_ALLOCATOR
void* operator new(size_t size) {
    if (size >= gFailFrom)
        throw std::bad_alloc();
    if (void* p = std::malloc(size > 0 ? size : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
#endif

namespace {

using namespace ovra;
using namespace ovra::host;

constexpr size_t kLimit = 1 << 20;

// Large allocations fail within the scope.
struct MemoryRunsOut {
    MemoryRunsOut() { gFailFrom = kLimit; }
    ~MemoryRunsOut() { gFailFrom = std::numeric_limits<size_t>::max(); }
};

class OutOfMemory : public testing::Test {
protected:
    void SetUp() override {
#if OVRA_OWN_ALLOCATOR
        GTEST_SKIP() << "the libraries do not allocate through this executable's operator new";
#endif
    }
};

TEST_F(OutOfMemory, TextTooLargeToStoreLeavesProcessBlockQuietly) {
    RecordingDspHost h;
    IMpUnknown* made = nullptr;
    ASSERT_EQ(fuzz::library("downlink").create(u"ZVR_GUIText2Text", SUBTYPE_DSP, h.unknown(), &made), RC_OK);
    DspModule module(made, h);
    const std::vector<uint8_t> text(kLimit + 2, 'a');
    {
        MemoryRunsOut out;
        EventList events;
        events.add(0, EV_PIN_VALUE, 0, static_cast<int32_t>(text.size()), text.data());
        EXPECT_NO_THROW(module.process(16, events));
    }
    // The module goes on with the next block.
    module.process(16, EventList().value(0, 0, wstring(u"ok")));
    ASSERT_FALSE(h.callsOf(DspCall::Publish).empty());
    EXPECT_EQ(textOf(h.callsOf(DspCall::Publish).back().bytes), u"ok");
}

// A value stored before memory ran out in the same group is not passed on at
// a later group that brings nothing for it.
TEST_F(OutOfMemory, ValueOfAFailedGroupIsNotPublishedLater) {
    RecordingDspHost h;
    IMpUnknown* made = nullptr;
    ASSERT_EQ(fuzz::library("downlink").create(u"ZVR_GUIText2Text", SUBTYPE_DSP, h.unknown(), &made), RC_OK);
    DspModule module(made, h);
    const std::vector<uint8_t> text(kLimit + 2, 'a');
    {
        MemoryRunsOut out;
        EventList events;
        events.value(0, 0, wstring(u"new"));
        events.add(0, EV_PIN_VALUE, 0, static_cast<int32_t>(text.size()), text.data());
        EXPECT_NO_THROW(module.process(16, events));
    }
    h.clear();
    EventList unrelated;
    unrelated.add(0, EV_PIN_VALUE, 7, 0);  // a pin the module lacks: the group still counts as a change
    module.process(16, unrelated);
    EXPECT_TRUE(h.callsOf(DspCall::Publish).empty());
}

TEST_F(OutOfMemory, TextTooLargeToStoreFailsTheDeliveryAndKeepsTheOldValue) {
    RecordingGuiHost h;
    IMpUnknown* made = nullptr;
    ASSERT_EQ(fuzz::library("downlink").createBare(u"ZVR_GUIText2Text", SUBTYPE_GUI_V2, &made), RC_OK);
    auto* gui = queryInterface<IMpUserInterface2B>(made, IID_IMpUserInterface2B);
    made->Release();
    gui->attachHost(h.unknown());
    const Bytes old = bytesOf(wstring(u"old"));
    gui->deliverPinValue(1, 0, static_cast<int32_t>(old.size()), old.data());
    const std::vector<uint8_t> text(kLimit + 2, 'a');
    {
        MemoryRunsOut out;
        int32_t rc = RC_OK;
        EXPECT_NO_THROW(rc = gui->deliverPinValue(1, 0, static_cast<int32_t>(text.size()), text.data()));
        EXPECT_EQ(rc, RC_FAILED);
    }
    gui->signalPinChange(1, 0);
    ASSERT_EQ(h.sends(0).size(), 1u);
    EXPECT_EQ(h.sends(0)[0].bytes, old);
    gui->Release();
}

TEST_F(OutOfMemory, JoinTooLargeToBuildFailsTheDeliveryQuietly) {
    RecordingGuiHost h;
    IMpUnknown* made = nullptr;
    ASSERT_EQ(fuzz::library("guikit").create(u"WB-Text-AppendSDK3", SUBTYPE_GUI_V1, h.unknown(), &made), RC_OK);
    auto* gui = queryInterface<IMpUserInterface>(made, IID_IMpUserInterface);
    made->Release();
    const std::vector<uint8_t> half(kLimit / 2 + 2, 'a');  // each fits, both joined do not
    const int32_t size = static_cast<int32_t>(half.size());
    {
        MemoryRunsOut out;
        int32_t first = RC_OK, second = RC_OK, init = RC_OK;
        EXPECT_NO_THROW(first = gui->deliverPinValue(2, 0, size, half.data()));
        EXPECT_NO_THROW(second = gui->deliverPinValue(3, 0, size, half.data()));
        EXPECT_NO_THROW(init = gui->initialiseGui());
        EXPECT_EQ(first, RC_OK);
        EXPECT_EQ(second, RC_FAILED);
        EXPECT_EQ(init, RC_FAILED);
    }
    EXPECT_EQ(gui->Release(), 0u);
}

}  // namespace
