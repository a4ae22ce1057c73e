// The converters' per-sample work against the plainest loop over the same
// buffer, and one GUI value's round trip, all through the libraries' ABI with
// hosts that only count what they are told.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "compare_publish.h"
#include "library.h"

using namespace ovra;

namespace {

constexpr int32_t kBlock = 1024;

class CountingDspHost final : public IMpDspHost {
public:
    int64_t published = 0;
    int32_t QueryInterface(const Guid* iid, void** out) override {
        *out = isGuid(iid, IID_IMpDspHost) || isGuid(iid, IID_IMpUnknown) ? static_cast<IMpDspHost*>(this) : nullptr;
        return *out != nullptr ? RC_OK : RC_NOT_FOUND;
    }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    // Out of line, so that the bare loop below cannot inline it behind a
    // guessed type: both loops make a real call.
    [[gnu::noinline]] int32_t publishPinValue(int32_t, int32_t, int32_t, const void*) override {
        ++published;
        return RC_OK;
    }
    int32_t announceStreaming(int32_t, int32_t, bool) override { return RC_OK; }
    int32_t offerSleep() override { return RC_OK; }
    int32_t reserved7() override { return RC_OK; }
    int32_t fillSleepCountdown(int32_t* countdown) override {
        *countdown = 0;
        return RC_OK;
    }
    int32_t readSampleRate(float* rate) override {
        *rate = 48000.0f;
        return RC_OK;
    }
};

class CountingGuiHost final : public IMpGuiHost2 {
public:
    int64_t sent = 0;
    int32_t QueryInterface(const Guid* iid, void** out) override {
        *out = isGuid(iid, IID_IMpGuiHost2) || isGuid(iid, IID_IMpUnknown) ? static_cast<IMpGuiHost2*>(this) : nullptr;
        return *out != nullptr ? RC_OK : RC_NOT_FOUND;
    }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    int32_t sendPinValue(int32_t, int32_t, const void*, int32_t) override {
        ++sent;
        return RC_OK;
    }
};

std::unique_ptr<host::Library> load(const char* name) {
    const char* dir = std::getenv("OVRA_PLUGIN_DIR");
    std::string error;
    auto lib = host::Library::open(std::string(dir != nullptr ? dir : OVRA_PLUGIN_DIR) + "/" + name + ".qvm", error);
    if (!lib)
        std::abort();
    return lib;
}

HostEvent event(int32_t kind, int32_t pin, float value = 0.0f) {
    HostEvent e{};
    e.kind = kind;
    e.pinIndex = pin;
    if (kind == EV_PIN_VALUE) {
        e.valueSize = 4;
        std::memcpy(e.inlineValue, &value, 4);
    }
    return e;
}

// A DSP module created and started with the given events (linked in order).
IMpPlugin2* startDsp(const host::Library& lib, const char16_t* id, CountingDspHost& host, float* buffer,
                     std::vector<HostEvent> events) {
    IMpUnknown* made = nullptr;
    lib.create(id, SUBTYPE_DSP, &host, &made);
    void* out = nullptr;
    made->QueryInterface(&IID_IMpPlugin2, &out);
    made->Release();
    auto* plugin = static_cast<IMpPlugin2*>(out);
    plugin->assignPinBuffer(1, buffer);
    for (size_t i = 0; i + 1 < events.size(); ++i)
        events[i].nextEvent = &events[i + 1];
    plugin->processBlock(kBlock, events.data());
    return plugin;
}

// Every sample differs (in float and in int), or all are the same.
std::vector<float> signal(bool changing) {
    std::vector<float> s(kBlock, 0.5f);
    if (changing)
        for (int32_t i = 0; i < kBlock; ++i)
            s[i] = static_cast<float>(i % 512) * 0.125f - 32.0f;
    return s;
}

void voltToGui(benchmark::State& state, const char* library, const char16_t* id) {
    auto lib = load(library);
    CountingDspHost host;
    std::vector<float> samples = signal(state.range(0) != 0);
    IMpPlugin2* plugin = startDsp(*lib, id, host, samples.data(), {event(EV_START, 0), event(EV_STREAM_ON, 1)});
    for (auto _ : state)
        plugin->processBlock(kBlock, nullptr);
    state.SetItemsProcessed(state.iterations() * kBlock);
    state.counters["updates/block"] = benchmark::Counter(static_cast<double>(host.published) / (state.iterations() + 1));
    plugin->Release();
}

// /before loads uplink_before.qvm, the converters as they were before their
// loop was tightened, built from the old source into the same run.
void BM_VoltToGuiFloat(benchmark::State& state, const char* library) {
    voltToGui(state, library, u"ZVR_Volt2GUIFloat");
}
void BM_VoltToGuiInt(benchmark::State& state, const char* library) { voltToGui(state, library, u"ZVR_Volt2GUIInt"); }

// The plainest loop over the same buffer: each sample read once.
void BM_BareRead(benchmark::State& state) {
    std::vector<float> samples = signal(state.range(0) != 0);
    for (auto _ : state) {
        for (float s : samples)
            benchmark::DoNotOptimize(s);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

// The bound of the float converter whose value changes: read each sample as
// volts, compare the reading with the last one as the converter does (a NaN
// is no change) and, when it differs, make the same host call with the same
// arguments (position, pin 0, 4 bytes, the held value). The loop lives in a
// library of its own (bound/), as the converter's does.
void BM_BoundComparePublish(benchmark::State& state) {
    CountingDspHost host;
    std::vector<float> samples = signal(state.range(0) != 0);
    float last = 0.0f;
    for (auto _ : state) {
        ovraBenchComparePublish(&host, samples.data(), kBlock, &last);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

// The same loop inside this program: its calls stay within one binary,
// which no plug-in's can, and they cost about a nanosecond less here.
void BM_BareComparePublish(benchmark::State& state) {
    CountingDspHost counting;
    IMpDspHost* host = &counting;
    benchmark::DoNotOptimize(host);  // a call through the table, as the module makes it
    std::vector<float> samples = signal(state.range(0) != 0);
    float last = 0.0f;
    for (auto _ : state) {
        for (int32_t i = 0; i < kBlock; ++i) {
            const float v = samples[i] * 10.0f;
            if ((v < last) | (v > last)) {
                last = v;
                host->publishPinValue(i, 0, 4, &last);
            }
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

BENCHMARK_CAPTURE(BM_VoltToGuiFloat, before, "uplink_before")->ArgName("changing")->Arg(1)->Arg(0);
BENCHMARK_CAPTURE(BM_VoltToGuiFloat, after, "uplink")->ArgName("changing")->Arg(1)->Arg(0);
BENCHMARK_CAPTURE(BM_VoltToGuiInt, before, "uplink_before")->ArgName("changing")->Arg(1)->Arg(0);
BENCHMARK_CAPTURE(BM_VoltToGuiInt, after, "uplink")->ArgName("changing")->Arg(1)->Arg(0);
BENCHMARK(BM_BoundComparePublish)->ArgName("changing")->Arg(1)->Arg(0);
BENCHMARK(BM_BareComparePublish)->ArgName("changing")->Arg(1)->Arg(0);
BENCHMARK(BM_BareRead)->ArgName("changing")->Arg(1)->Arg(0);

void BM_GuiToVoltFloat(benchmark::State& state) {
    auto lib = load("downlink");
    CountingDspHost host;
    std::vector<float> out(kBlock);
    IMpPlugin2* plugin =
        startDsp(*lib, u"ZVR_GUIFloat2Volt", host, out.data(), {event(EV_START, 0), event(EV_PIN_VALUE, 0, 3.0f)});
    for (auto _ : state) {
        plugin->processBlock(kBlock, nullptr);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
    plugin->Release();
}

void BM_StdFill(benchmark::State& state) {
    std::vector<float> out(kBlock);
    float value = 3.0f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(value);
        std::fill(out.begin(), out.end(), value * 0.1f);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}

BENCHMARK(BM_GuiToVoltFloat);
BENCHMARK(BM_StdFill);

// deliverPinValue + signalPinChange on downlink's GUI pin 1, whose callback
// assigns pin 0, which sends: one value in, one value out.
void BM_GuiPinRoundTrip(benchmark::State& state) {
    auto lib = load("downlink");
    CountingGuiHost host;
    IMpUnknown* made = nullptr;
    lib->createBare(u"ZVR_GUIFloat2Float", SUBTYPE_GUI_V2, &made);
    void* out = nullptr;
    made->QueryInterface(&IID_IMpUserInterface2, &out);
    made->Release();
    auto* gui = static_cast<IMpUserInterface2*>(out);
    gui->attachHost(&host);
    const float values[2] = {1.0f, 2.0f};
    int i = 0;
    for (auto _ : state) {
        gui->deliverPinValue(1, 0, 4, &values[i]);
        gui->signalPinChange(1, 0);
        i ^= 1;
    }
    if (host.sent != static_cast<int64_t>(state.iterations()))
        state.SkipWithError("a round trip did not send");
    gui->Release();
}

BENCHMARK(BM_GuiPinRoundTrip);

}  // namespace
