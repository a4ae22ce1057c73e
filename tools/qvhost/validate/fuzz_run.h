// validate --fuzz: random sessions with one seed after another for a while.
#pragma once

#include "validate.h"

namespace qvhost {

// Runs until options.fuzz seconds have passed or a run fails; 0 when none
// failed, 1 after printing the failing seed and the command that repeats it.
int fuzzFor(const ValidateOptions& options);

}  // namespace qvhost
