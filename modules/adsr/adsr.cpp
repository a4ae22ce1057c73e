// Modules of the adsr library register themselves next to their classes.
#include "abi/factory.h"
