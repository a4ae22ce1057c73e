// What every guikit module shares: the GUI bases and the registration.
// Every guikit module is of the first family, so OVRA_MODULE registers each
// under sub-type 1, the library's only sub-type.
#pragma once

#include "abi/factory.h"
#include "gui/gui_base.h"
