#include "commands.h"
#include "failure.h"
namespace qvhost {
int runPatch(const RunOptions&) { throw Failure("not yet"); }
int runDemo(const RunOptions&) { throw Failure("not yet"); }
}
