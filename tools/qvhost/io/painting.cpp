#include "painting.h"

#include "failure.h"
#include "library.h"
#include "paint_surface.h"

namespace qvhost {

using namespace ovra;

Picture paintModule(IMpUnknown* module, int32_t width, int32_t height, uint32_t background,
                    const std::string& pngPath) {
    auto* gfx = host::queryInterface<IQvGraphicsComposited>(module, IID_IQvGraphicsComposited);
    if (gfx == nullptr)
        throw Failure("the module does not draw (no IQvGraphicsComposited)");
    const GuiRect placement{0, height, 0, width};
    const int32_t arranged = gfx->arrange(&placement);
    if (arranged != RC_OK) {
        gfx->Release();
        throw Failure("the module's arrange answered " + std::to_string(arranged) + " for " + std::to_string(width) +
                      " x " + std::to_string(height));
    }
    host::PaintSurface surface(width, height);
    if (!surface.valid()) {
        gfx->Release();
        throw Failure("cannot make a " + std::to_string(width) + " x " + std::to_string(height) +
                      " bitmap to paint into (is libgdiplus installed?)");
    }
    surface.clear(background);
    const int32_t painted = surface.paint(gfx);
    gfx->Release();
    if (painted != RC_OK)
        throw Failure("the module's onPaint answered " + std::to_string(painted) + " (it failed to draw)");
    Picture picture{width, height, surface.pixels()};
    std::string error;
    if (!pngPath.empty() && !surface.savePng(pngPath, error))
        throw Failure("cannot write " + pngPath + ": " + error);
    return picture;
}

}  // namespace qvhost
