#include "audio_file.h"
#include "commands.h"
#include "failure.h"
namespace qvhost {
void writePlot(const std::string&, const std::vector<Signal>&, int32_t, const std::string&, int32_t, int32_t) { throw Failure("plot: not yet"); }
int runPaint(const PaintOptions&) { throw Failure("not yet"); }
int runPatch(const RunOptions&) { throw Failure("not yet"); }
int runDemo(const RunOptions&) { throw Failure("not yet"); }
int runValidate(const ValidateOptions&) { throw Failure("not yet"); }
}
