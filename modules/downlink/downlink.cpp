// Modules of the downlink library register themselves next to their classes.
#include "abi/factory.h"
