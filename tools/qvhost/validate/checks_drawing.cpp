// Checks of GUI halves that draw: measuring and painting, after ordinary and
// after hostile values.
#include <limits>

#include "generators.h"
#include "gui_bench.h"
#include "painting.h"

namespace qvhost {

using namespace ovra;

namespace {

void expectSaneMeasures(IMpUnknown* module, const std::vector<GuiSize>& offers) {
    auto* gfx = host::queryInterface<IQvGraphicsComposited>(module, IID_IQvGraphicsComposited);
    expect(gfx != nullptr, "does not answer IQvGraphicsComposited");
    for (const auto& offer : offers) {
        GuiSize result{-77, -77};
        const int32_t rc = gfx->measure(offer, &result);
        if (rc != RC_OK || result.width < 0 || result.height < 0 || result.width >= 100000 ||
            result.height >= 100000) {
            gfx->Release();
            fail("measure answered " + codeName(rc) + " and " + std::to_string(result.width) + " x " +
                 std::to_string(result.height) + " for an offer of " + std::to_string(offer.width) + " x " +
                 std::to_string(offer.height));
        }
    }
    gfx->Release();
}

}  // namespace

Outcome checkPaint(CheckContext& ctx) {
    GuiBench g(ctx);
    expectSaneMeasures(g.instance.object, {{0, 0}, {1, 1}, {7, 3}, {333, 17}, {-5, -5}, {100000, 100000}});
    const std::pair<int32_t, int32_t> sizes[] = {{1, 1}, {3, 2}, {7, 13}, {110, 20}, {257, 3}, {2, 300}};
    for (const auto& [w, h] : sizes) {
        for (const auto& pin : g.inputs())
            host::deliverAndSignal(g.instance.object, pin.index, randomOrdinaryValue(pin.type, ctx.rng));
        paintModule(g.instance.object, w, h);
    }
    return {Status::Passed, "measured and painted at " + std::to_string(std::size(sizes)) + " odd sizes"};
}

Outcome checkPaintHostileValues(CheckContext& ctx) {
    GuiBench g(ctx);
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    expectSaneMeasures(g.instance.object, {{kMax, kMax}, {kMin, kMin}, {kMax, 0}, {0, kMin}, {-1, -1}});
    size_t painted = 0;
    for (const auto& pin : g.inputs())
        for (const auto& v : hostileValues(pin.type)) {
            host::deliverAndSignal(g.instance.object, pin.index, v.bytes);
            paintModule(g.instance.object, painted % 2 == 0 ? 1 : 41, painted % 2 == 0 ? 1 : 13);
            ++painted;
        }
    return {Status::Passed, "painted after each of " + std::to_string(painted) + " hostile values"};
}

}  // namespace qvhost
