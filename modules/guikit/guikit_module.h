// What every guikit module shares: its registration as a first-family GUI
// module (guikit registers under sub-type 1 only) and the GUI bases.
#pragma once

#include "abi/factory.h"
#include "gui/gui_base.h"

namespace ovra::guikit {

// guikit's registration routine: the sub-type is always SUBTYPE_GUI_V1.
inline int32_t registerModule(const wchar* id, ModuleMaker create) {
    return enrolModule(SUBTYPE_GUI_V1, id, create);
}

}  // namespace ovra::guikit

// Registers a module class under its identifier while the library loads:
//   GUIKIT_REGISTER(u"WB-MathSDK3", Wbmathsdk3Gui);
#define GUIKIT_REGISTER(id, Class)                                               \
    [[maybe_unused]] static const int32_t OVRA_CONCAT(guikitRegistration_, __LINE__) = \
        ::ovra::guikit::registerModule((id), &::ovra::makeGuiModule<Class>)
