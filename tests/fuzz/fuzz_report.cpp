// libFuzzer entry: every input is text a module under validation gives the
// report: its build text, the reason of a failed check, what it printed
// when it crashed, and lines on its standard output that a checking child
// shares with the step lines it sends its parent. The report must stay
// JSON that reads back, and no module text may pass for a step.
#include <cstdlib>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "report.h"

namespace {

void stop(const char* rule) {
    std::fprintf(stderr, "broken rule: %s\n", rule);
    std::abort();
}

// The input's pieces, split at 0xFF bytes; absent pieces are empty.
std::vector<std::string> piecesOf(const uint8_t* data, size_t size) {
    std::vector<std::string> out(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF)
            out.emplace_back();
        else
            out.back() += static_cast<char>(data[i]);
    }
    out.resize(std::max<size_t>(out.size(), 5));
    return out;
}

bool validUtf8(const std::string& s) {
    try {
        (void)qvhost::Json(s).dump();
        return true;
    } catch (const qvhost::Json::type_error&) {
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qvhost;
    const auto pieces = piecesOf(data, size);
    Result r;
    r.name = "load";
    r.outcome = {static_cast<Status>(size % 5), pieces[0]};
    r.module = pieces[1];
    r.half = "GUI";
    r.stack = pieces[2];
    const Json doc{{"path", pieces[3]}, {"checks", Json::array({resultJson(r)})}};
    for (int indent : {-1, 2}) {
        const Json back = Json::parse(jsonText(doc, indent), nullptr, false);
        if (back.is_discarded())
            stop("the report does not read back as JSON");
        if (validUtf8(pieces[0]) && back["checks"][0]["detail"].get<std::string>() != pieces[0])
            stop("a UTF-8 detail changed on its way through the report");
    }

    // The step line a child writes reads back as the same step.
    const StepLine line{size, r.outcome, 0.25};
    const auto read = readStepLine(stepLineText(line));
    if (!read || read->step != line.step || read->outcome.status != line.outcome.status || read->seconds != 0.25)
        stop("a step line does not read back");
    if (validUtf8(pieces[0]) && read->outcome.detail != pieces[0])
        stop("a UTF-8 detail changed on its way through a step line");
    // Anything else read as a step names a status the report knows.
    if (const auto other = readStepLine(pieces[4]))
        if (static_cast<int>(other->outcome.status) < 0 || static_cast<int>(other->outcome.status) > 4)
            stop("a module's line read as a step with a status out of range");
    return 0;
}
