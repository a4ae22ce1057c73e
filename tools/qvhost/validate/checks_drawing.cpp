// Checks of GUI halves that draw: measuring and painting, after ordinary and
// after hostile values.
#include <algorithm>
#include <cstdio>
#include <limits>

#include "generators.h"
#include "gui_bench.h"
#include "paint_surface.h"
#include "patch/pin_value.h"
#include "gdiplus_watch.h"

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

// The border right of and below the placement, filled with a colour no
// module has a reason to draw: any pixel of it that changes was painted
// outside the module's place.
constexpr uint32_t kGuardColour = 0xFF13579Bu;
constexpr int32_t kBorder = 6;

std::string hex(uint32_t argb) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(argb));
    return text;
}

// A module's drawing interface for the length of a check.
class Drawing {
public:
    explicit Drawing(IMpUnknown* module)
        : gfx_(host::queryInterface<IQvGraphicsComposited>(module, IID_IQvGraphicsComposited)) {
        expect(gfx_ != nullptr, "does not answer IQvGraphicsComposited");
    }
    ~Drawing() { gfx_->Release(); }
    Drawing(const Drawing&) = delete;
    Drawing& operator=(const Drawing&) = delete;

    // Places the module at (0, 0, width, height) and has it paint into a
    // surface with a guard border; answers the pixels of the placement, row
    // by row. arrange and onPaint must answer RC_OK, and with `guarded` the
    // border must stay as it was.
    std::vector<uint32_t> paint(int32_t width, int32_t height, const std::string& after, bool guarded = false) {
        const std::string size = std::to_string(width) + " x " + std::to_string(height);
        const GuiRect placement{0, height, 0, width};
        const int32_t arranged = gfx_->arrange(&placement);
        expect(arranged == RC_OK, "arrange answered " + codeName(arranged) + " for " + size + after);
        host::PaintSurface surface(width + kBorder, height + kBorder);
        expect(surface.valid(), "cannot make a bitmap to paint into (is libgdiplus installed?)");
        surface.clear(kGuardColour);
        beginGdiplusWatch();
        const int32_t painted = surface.paint(gfx_);
        const std::string alive = endGdiplusWatch();
        expect(painted == RC_OK, "onPaint answered " + codeName(painted) + " at " + size + after);
        expect(alive.empty(), "onPaint left GDI+ objects alive at its end: " + alive + " at " + size + after);
        const std::vector<uint32_t> all = surface.pixels();
        const int32_t stride = width + kBorder;
        std::vector<uint32_t> inside;
        inside.reserve(static_cast<size_t>(width) * static_cast<size_t>(height));
        for (int32_t y = 0; y < height + kBorder; ++y)
            for (int32_t x = 0; x < stride; ++x) {
                const uint32_t p = all[static_cast<size_t>(y) * stride + x];
                if (x < width && y < height)
                    inside.push_back(p);
                else if (guarded)
                    expect(p == kGuardColour, "painted outside its placement of " + size + ": first at (" +
                                            std::to_string(x) + ", " + std::to_string(y) + "), " + hex(p) + after);
            }
        return inside;
    }

    void arrange(int32_t width, int32_t height) {
        const GuiRect placement{0, height, 0, width};
        const int32_t arranged = gfx_->arrange(&placement);
        expect(arranged == RC_OK, "arrange answered " + codeName(arranged) + " for " + std::to_string(width) + " x " +
                                      std::to_string(height));
    }

    GuiSize measure(GuiSize offer) {
        GuiSize result{0, 0};
        gfx_->measure(offer, &result);
        return result;
    }

private:
    IQvGraphicsComposited* gfx_;
};

}  // namespace

Outcome checkPaint(CheckContext& ctx) {
    GuiBench g(ctx);
    expectSaneMeasures(g.instance.object, {{0, 0}, {1, 1}, {7, 3}, {333, 17}, {-5, -5}, {100000, 100000}});
    Drawing drawing(g.instance.object);
    // As a host first shows it: at the size it asks for, as created. Here it
    // keeps to its place; at other sizes and with other values, text that
    // runs past the edge is the module's to draw and the host's to clip.
    const GuiSize own = drawing.measure({ctx.half->width > 0 ? ctx.half->width : 100,
                                         ctx.half->height > 0 ? ctx.half->height : 100});
    drawing.paint(std::clamp(own.width, 1, 2048), std::clamp(own.height, 1, 2048), " as created", true);
    const std::pair<int32_t, int32_t> sizes[] = {{1, 1}, {3, 2}, {7, 13}, {110, 20}, {257, 3}, {2, 300}};
    for (const auto& [w, h] : sizes) {
        std::string after;
        drawing.arrange(w, h);
        g.host.clear();
        for (const auto& pin : g.inputs()) {
            const auto v = randomOrdinaryValue(pin.type, ctx.rng);
            host::deliverAndSignal(g.instance.object, pin.index, v);
            after += (after.empty() ? " after " : ", ") + pin.name + " = " + formatValue(pin.type, v);
        }
        // A repaint is asked for within the placement, or for all of it.
        for (const auto& call : g.host.calls)
            if (call.kind == host::GuiCall::Invalidate && call.rect) {
                const GuiRect& r = *call.rect;
                expect(r.left >= 0 && r.top >= 0 && r.right <= w && r.bottom <= h && r.left <= r.right &&
                           r.top <= r.bottom,
                       "invalidateRect asked for left " + std::to_string(r.left) + ", top " + std::to_string(r.top) +
                           ", right " + std::to_string(r.right) + ", bottom " + std::to_string(r.bottom) +
                           ", outside its placement of " + std::to_string(w) + " x " + std::to_string(h) + after);
            }
        // The same pins give the same picture.
        const auto first = drawing.paint(w, h, after);
        const auto second = drawing.paint(w, h, after);
        for (size_t i = 0; i < first.size(); ++i)
            expect(first[i] == second[i], "painted twice with the same pins, the pixel at (" +
                                              std::to_string(static_cast<int32_t>(i) % w) + ", " +
                                              std::to_string(static_cast<int32_t>(i) / w) + ") was " + hex(first[i]) +
                                              ", then " + hex(second[i]) + " (" + std::to_string(w) + " x " +
                                              std::to_string(h) + after + ")");
    }
    return {Status::Passed, "painted inside its place at " + std::to_string(own.width) + " x " +
                                std::to_string(own.height) + ", then at " + std::to_string(std::size(sizes)) +
                                " odd sizes twice each, with the same pixels" +
                                (gdiplusWatched() ? "; every GDI+ object of a paint released by its end" : "")};
}

Outcome checkPaintHostileValues(CheckContext& ctx) {
    GuiBench g(ctx);
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    expectSaneMeasures(g.instance.object, {{kMax, kMax}, {kMin, kMin}, {kMax, 0}, {0, kMin}, {-1, -1}});
    Drawing drawing(g.instance.object);
    size_t painted = 0;
    for (const auto& pin : g.inputs())
        for (const auto& v : hostileValues(pin.type)) {
            host::deliverAndSignal(g.instance.object, pin.index, v.bytes);
            drawing.paint(painted % 2 == 0 ? 1 : 41, painted % 2 == 0 ? 1 : 13,
                          " after " + pin.name + " = " + formatValue(pin.type, v.bytes));
            ++painted;
        }
    return {Status::Passed, "painted after each of " + std::to_string(painted) + " hostile values"};
}

}  // namespace qvhost
