// A child process that crashes says where, on stderr, before it dies.
#pragma once

namespace qvhost {

// From here on a fatal signal or exception writes its name and, where the
// platform can give one, a short stack to stderr; the process then ends as
// it would have.
void reportCrashesOnStderr();

}  // namespace qvhost
