// Leaks: a half created, attached, run (or given values and painted) and
// released many times must leave the heap as it found it. One warm-up life
// first lets a library fill what it fills once (a table, a cache of fonts);
// every life after it must balance to the byte.
#include "checks.h"
#include "dsp_plan.h"
#include "generators.h"
#include "gui_bench.h"
#include "module_stack.h"
#include "paint_surface.h"
#include "io/suggest.h"
#include "gdiplus_watch.h"
#include "realtime_watch.h"

namespace qvhost {

using namespace ovra;

namespace {

// One life of the half: everything qvhost makes for it is gone at the end.
// Every life gets the same values (from the same seed), so that what a
// library keeps per value it has seen (a glyph cache) is filled by the
// warm-up.
void oneLife(CheckContext& ctx, uint64_t seed) {
    const auto& half = *ctx.half;
    std::mt19937_64 rng(seed);
    if (half.dsp) {
        DspBench bench(ctx, 48000, largestPlannedBlock(ctx));
        for (const auto& block : planBlocks(ctx, rng, 8))
            runBlock(bench, half, block);
        return;
    }
    GuiBench g(ctx);
    for (const auto& pin : g.inputs())
        host::deliverAndSignal(g.instance.object, pin.index, randomOrdinaryValue(pin.type, rng));
    if (!half.draws)
        return;
    auto* gfx = host::queryInterface<IQvGraphicsComposited>(g.instance.object, IID_IQvGraphicsComposited);
    if (gfx == nullptr)
        return;
    const GuiRect placement{0, 40, 0, 80};
    gfx->arrange(&placement);
    host::PaintSurface surface(80, 40);
    if (surface.valid())
        surface.paint(gfx);
    gfx->Release();
}

}  // namespace

Outcome checkLeaks(CheckContext& ctx) {
    std::string why;
    if (!heapBalanceAvailable(why))
        return {Status::Skipped, why};
    const uint64_t seed = ctx.rng();
    oneLife(ctx, seed);
    const int lives = ctx.rounds(20);
    beginGdiplusWatch();
    beginHeapBalance();
    for (int i = 0; i < lives; ++i)
        oneLife(ctx, seed);
    const HeapBalance left = endHeapBalance();
    const std::string gdiplusAlive = endGdiplusWatch();
    expect(gdiplusAlive.empty(), counted(static_cast<size_t>(lives), "life", "lives") +
                                     " left GDI+ objects never deleted: " + gdiplusAlive);
    const std::string where = moduleStack(left.firstLeftStack, left.firstLeftDepth, ctx.path);
    expect(left.allocations <= 0 && left.bytes <= 0,
           counted(static_cast<size_t>(lives), "life", "lives") + " (created, attached, " +
               (ctx.half->dsp ? "run" : ctx.half->draws ? "given a value on every input, painted" : "given a value on every input") + ", released) left " +
               counted(static_cast<size_t>(std::max<int64_t>(left.allocations, 0)), "allocation") + " of " +
               counted(static_cast<size_t>(std::max<int64_t>(left.bytes, 0)), "byte") + " unreleased, about " +
               std::to_string(left.bytes / lives) + " bytes per instance" +
               (where.empty() ? "" : "; the first made in " + where));
    return {Status::Passed, counted(static_cast<size_t>(lives), "life", "lives") + " after a warm-up: the heap balances"};
}

}  // namespace qvhost
