// Modules of the guikit library register themselves next to their classes.
#include "abi/factory.h"
