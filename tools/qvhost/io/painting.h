// Drawn GUI modules painted off screen, and pictures saved as PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "abi/abi.h"

namespace qvhost {

struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;  // ARGB, row by row from the top

    uint32_t at(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Arranges the module at (0, 0, width, height) and has it paint into a
// bitmap of that size, cleared to `background` first; writes the bitmap as
// PNG when pngPath is given. Throws Failure when the module does not draw,
// its arrange or onPaint answers anything but RC_OK, or the file cannot be
// written.
Picture paintModule(ovra::IMpUnknown* module, int32_t width, int32_t height, uint32_t background = 0xFF000000u,
                    const std::string& pngPath = "");

}  // namespace qvhost
