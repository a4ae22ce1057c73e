// What the drawing bases answer to measure.
#pragma once

#include <cstdint>

#include "abi/abi.h"
#include "abi/guarded.h"

namespace ovra {

// Each dimension of an offered size clamped to 15..100 (signed).
inline GuiSize clampDrawingSize(GuiSize available) {
    auto clamp = [](int32_t v) { return v > 100 ? 100 : (v < 15 ? 15 : v); };
    return GuiSize{clamp(available.width), clamp(available.height)};
}

// to - from, the width or height of a placement; a difference beyond the
// int32 range saturates instead of wrapping.
inline int32_t spanOf(int32_t from, int32_t to) {
    const int64_t d = static_cast<int64_t>(to) - from;
    return d > INT32_MAX ? INT32_MAX : (d < INT32_MIN ? INT32_MIN : static_cast<int32_t>(d));
}

// measure as the host calls it: the module's wanted size, computed by
// wanted(), is written to result; RC_FAILED for a null result or when the
// module throws, with result untouched.
template <class Wanted>
int32_t answerMeasure(GuiSize* result, Wanted&& wanted) {
    if (result == nullptr)
        return RC_FAILED;
    return guarded(RC_FAILED, [&] {
        *result = wanted();
        return RC_OK;
    });
}

// arrange as the host calls it: the placement is kept; RC_FAILED for a null
// one, which leaves the previous placement.
inline int32_t storePlacement(const GuiRect* placement, GuiRect& stored) {
    if (placement == nullptr)
        return RC_FAILED;
    stored = *placement;
    return RC_OK;
}

}  // namespace ovra
