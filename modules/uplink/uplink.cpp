// Modules of the uplink library register themselves next to their classes.
#include "abi/factory.h"
