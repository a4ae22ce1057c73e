// A drawn module painted in two colours, each set on four pins: alpha, red,
// green and blue of the foreground, then the background's. An announced
// component is kept for painting and asks the host to repaint; a component
// delivered but not announced is not painted. [GUI thread]
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "gui/drawn_gfx_base.h"
#include "platform/gdiplus_owned.h"

namespace ovra::guikit {

class ColouredDrawing : public QvGuiDrawnGfxBase {
protected:
    static constexpr int32_t kColourPins = 8;

    // The components painted until their pins are announced, in pin order.
    explicit ColouredDrawing(const int32_t (&initial)[kColourPins]) {
        for (int32_t k = 0; k < kColourPins; ++k)
            colours_[k] = initial[k];
    }

    // Registers the eight component pins at first, first + 1, ..., first + 7.
    void addColourPins(int32_t first) { addColourPins(first, std::make_index_sequence<kColourPins>()); }

    gdip::ARGB foregroundColour() const { return colourFrom(0); }
    gdip::ARGB backgroundColour() const { return colourFrom(4); }

private:
    template <size_t... K>
    void addColourPins(int32_t first, std::index_sequence<K...>) {
        (addPin(first + static_cast<int32_t>(K), pins_[K], &ColouredDrawing::onColour<K>), ...);
    }

    template <size_t K>
    void onColour() {
        colours_[K] = pins_[K].value;
        invalidateRect();
    }

    gdip::ARGB colourFrom(int32_t alpha) const {
        return gdip::argbOf(colours_[alpha], colours_[alpha + 1], colours_[alpha + 2], colours_[alpha + 3]);
    }

    MpGuiPin<int32_t> pins_[kColourPins];
    int32_t colours_[kColourPins];
};

}  // namespace ovra::guikit
