// Drawn-module base: a composited module that paints with GDI+. Each instance
// starts GDI+ for itself when the host initialises it and stops it when the
// module is destroyed, so a drawn module holds only its pins and its picture.
// [GUI thread]
#pragma once

#include "gui/composited_gfx_base.h"
#include "platform/gdiplus_runtime.h"

namespace ovra {

class QvGuiDrawnGfxBase : public QvGuiCompositedGfxBase {
protected:
    // GDI+'s status is not acted upon: a module whose start-up failed paints
    // nothing, as its GDI+ calls fail. A module that overrides it calls this
    // one first.
    int32_t onInitialiseGui() override {
        gdiplus_.start();
        return RC_OK;
    }

private:
    platform::GdiplusSession gdiplus_;  // stopped when the module goes
};

}  // namespace ovra
