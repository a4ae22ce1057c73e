// Paint time of guikit's drawn modules into a 110 x 20 GDI+ bitmap: every
// paint builds its GDI+ objects afresh, as the modules do.
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "gui_host.h"
#include "library.h"
#include "paint_surface.h"

namespace {

using namespace ovra;

std::unique_ptr<host::Library> openGuikit() {
    std::string error;
    return host::Library::open(std::string(OVRA_PLUGIN_DIR) + "/guikit.qvm", error);
}

void paintLoop(benchmark::State& state, const wstring& id, bool withText) {
    auto lib = openGuikit();
    host::RecordingGuiHost host;
    IMpUnknown* module = nullptr;
    if (!lib || lib->create(id, SUBTYPE_GUI_V1, host.unknown(), &module) != RC_OK || module == nullptr) {
        state.SkipWithError("guikit module not available");
        return;
    }
    auto* gui = host::queryInterface<IMpUserInterface>(module, IID_IMpUserInterface);
    auto* gfx = host::queryInterface<IQvGraphicsComposited>(module, IID_IQvGraphicsComposited);
    gui->initialiseGui();
    const GuiRect placement{0, 20, 0, 110};
    gfx->arrange(&placement);
    if (withText) {
        host::deliverAndSignal(module, 1, host::bytesOf(int32_t{12}));
        host::deliverAndSignal(module, 0, host::bytesOf(3.14159f));
    }
    host::PaintSurface surface(110, 20);
    const DeviceContext dc = surface.beginPaint();
    for (auto _ : state)
        benchmark::DoNotOptimize(gfx->onPaint(dc));
    surface.endPaint();
    gfx->Release();
    gui->Release();
    module->Release();
}

void FloatMeterPaint(benchmark::State& state) { paintLoop(state, u"WB-Meter-Float-SDK3", true); }
void HatchPaint(benchmark::State& state) { paintLoop(state, u"WB-Hatches-SDK3", false); }

BENCHMARK(FloatMeterPaint)->Unit(benchmark::kMicrosecond);
BENCHMARK(HatchPaint)->Unit(benchmark::kMicrosecond);

}  // namespace
