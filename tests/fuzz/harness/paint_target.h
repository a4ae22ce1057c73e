// Where the GUI harness lets drawn modules paint: a small bitmap, made once
// per process (starting GDI+ for every input would dominate the run) and
// cleared before every paint.
#pragma once

#include "abi/abi.h"
#include "paint_surface.h"

namespace ovra::fuzz {

class PaintTarget {
public:
    // Paints the module into the bitmap and answers onPaint's result.
    int32_t paint(IQvGraphicsComposited* module) {
        host::PaintSurface& s = surface();
        s.clear(0xFF000000u);
        return s.paint(module);
    }

private:
    static host::PaintSurface& surface() {
        static auto* shared = new host::PaintSurface(64, 48);  // kept for the process
        return *shared;
    }
};

}  // namespace ovra::fuzz
