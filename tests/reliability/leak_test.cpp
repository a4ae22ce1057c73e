// Every module of every library created, driven through a short scenario and
// released. The reference counts are checked in every build; under the asan
// preset LeakSanitizer also checks, after each module, that nothing the
// module allocated is left unreachable.
#include <cctype>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "dsp_host.h"
#include "gui_host.h"
#include "harness.h"
#include "paint_target.h"

#if defined(__SANITIZE_ADDRESS__)
#define OVRA_LEAK_CHECKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OVRA_LEAK_CHECKS 1
#endif
#endif
#if OVRA_LEAK_CHECKS
#include <sanitizer/lsan_interface.h>
#endif

namespace {

using namespace ovra;
using namespace ovra::host;
using ovra::fuzz::ModuleEntry;

// Nothing allocated so far is unreachable (suppressed library internals aside).
void expectNoLeak(const ModuleEntry& m) {
#if OVRA_LEAK_CHECKS
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "leak after " << toUtf8(m.id) << " (" << m.library << ")";
#else
    (void)m;
#endif
}

// A text longer than fits inline, so that it travels by pointer and is stored
// on the heap.
const wstring kLongText = u"a text long enough to live on the heap, not inline";

void driveDsp(const ModuleEntry& m) {
    RecordingDspHost h;
    {
        IMpUnknown* made = nullptr;
        ASSERT_EQ(fuzz::library(m.library).create(m.id, m.subType, h.unknown(), &made), RC_OK);
        DspModule module(made, h);
        ASSERT_NE(module.plugin(), nullptr);
        for (int32_t pin = 0; pin < 4; ++pin)
            module.buffer(pin);
        module.process(16, EventList().start());
        EventList values;
        values.value(0, 0, 0.5f).value(0, 1, int32_t{3}).value(2, 2, true).value(3, 0, kLongText);
        values.value(4, 1, kLongText).streamOn(5, 1).streamOn(5, 2);
        module.process(64, values);
        module.process(64, EventList().streamOff(0, 1).streamOff(0, 2).value(8, 3, 1.0f));
        module.process(4096);
    }
    EXPECT_EQ(h.references, 1) << "a released module still holds its host";
}

void driveGui(const ModuleEntry& m) {
    RecordingGuiHost h;
    IMpUnknown* made = nullptr;
    ASSERT_EQ(fuzz::library(m.library).create(m.id, m.subType, h.unknown(), &made), RC_OK);
    ASSERT_NE(made, nullptr);
    if (auto* v2 = queryInterface<IMpUserInterface2B>(made, IID_IMpUserInterface2B)) {
        v2->attachHost(h.unknown());
        v2->Release();
    }
    if (auto* v1 = queryInterface<IMpUserInterface>(made, IID_IMpUserInterface)) {
        v1->initialiseGui();
        v1->Release();
    }
    // Every pin, every kind of value: long texts and blobs allocate, a high
    // index grows the modules with a growing input list.
    for (int32_t pin = 0; pin < 12; ++pin) {
        deliverAndSignal(made, pin, bytesOf(kLongText));
        deliverAndSignal(made, pin, bytesOf(2.5f));
        deliverAndSignal(made, pin, bytesOf(kLongText + kLongText));
        deliverAndSignal(made, pin, Bytes{1});
    }
    deliverAndSignal(made, 40, bytesOf(kLongText));
    if (auto* drawn = queryInterface<IQvGraphicsComposited>(made, IID_IQvGraphicsComposited)) {
        fuzz::PaintTarget surface;
        GuiSize size{};
        drawn->measure(GuiSize{80, 40}, &size);
        const GuiRect rect{0, 40, 0, 80};
        drawn->arrange(&rect);
        EXPECT_EQ(surface.paint(drawn), RC_OK);
        drawn->onPaint(nullptr);
        drawn->Release();
    }
    EXPECT_EQ(made->Release(), 0u);
}

class EveryModule : public testing::TestWithParam<ModuleEntry> {};

TEST_P(EveryModule, ReleasesEverythingItTook) {
    const ModuleEntry& m = GetParam();
    if (m.subType == SUBTYPE_DSP)
        driveDsp(m);
    else
        driveGui(m);
    expectNoLeak(m);
}

// A creation that fails half-way (a first-family module refused by a host
// without its interface) gives the half-made module back.
class EveryFirstFamilyModule : public testing::TestWithParam<ModuleEntry> {};

TEST_P(EveryFirstFamilyModule, FailedAttachmentLeavesNothingBehind) {
    const ModuleEntry& m = GetParam();
    RecordingGuiHost h;
    h.answersGuiHost = false;
    IMpUnknown* made = reinterpret_cast<IMpUnknown*>(1);
    EXPECT_EQ(fuzz::library(m.library).create(m.id, m.subType, h.unknown(), &made), RC_FAILED);
    EXPECT_EQ(made, nullptr);
    expectNoLeak(m);
}

std::vector<ModuleEntry> firstFamily() {
    std::vector<ModuleEntry> out;
    for (const auto& m : fuzz::allModules())
        if (m.subType == SUBTYPE_GUI_V1)
            out.push_back(m);
    return out;
}

std::string nameOf(const testing::TestParamInfo<ModuleEntry>& info) {
    std::string name = std::string(info.param.library) + "_" + std::to_string(info.param.subType) + "_";
    for (char c : toUtf8(info.param.id))
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Libraries, EveryModule, testing::ValuesIn(fuzz::allModules()), nameOf);
INSTANTIATE_TEST_SUITE_P(Libraries, EveryFirstFamilyModule, testing::ValuesIn(firstFamily()), nameOf);

#if OVRA_LEAK_CHECKS
// The check above would see a leak: one made on purpose is reported, and then
// given back so that the process ends clean. Its address is kept scrambled,
// where the leak scan cannot recognise it, and it is made on another thread so
// that no stale copy stays on this thread's stack.
TEST(LeakCheck, SeesAnUnreachableAllocation) {
    constexpr uintptr_t kScramble = 0x5A5A5A5A5A5A5A5Au;
    uintptr_t scrambled = 0;
    std::thread([&] { scrambled = reinterpret_cast<uintptr_t>(new int[64]) ^ kScramble; }).join();
    EXPECT_NE(__lsan_do_recoverable_leak_check(), 0);
    delete[] reinterpret_cast<int*>(scrambled ^ kScramble);
}
#endif

}  // namespace
