// Where the GUI harness lets drawn modules paint: a small bitmap.
#pragma once

#include "abi/abi.h"

namespace ovra::fuzz {

class PaintTarget {
public:
    // The device context handed to onPaint; null while no surface exists.
    DeviceContext context() { return nullptr; }
};

}  // namespace ovra::fuzz
