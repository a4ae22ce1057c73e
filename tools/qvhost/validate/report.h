// What validate writes for machines: each check of the report as JSON, and
// the line a checking child streams to its parent per step. The text in them
// comes from the module under test (its build text, its exceptions, what it
// printed when it crashed), so it may be anything.
#pragma once

#include <optional>
#include <string>

#include "catalogue.h"

namespace qvhost {

struct Result {
    std::string name;
    std::string module;
    std::string half;
    Outcome outcome;
    std::string stack;  // CRASHED: what the child said on stderr
    double seconds = 0;
};

// One check of the report.
Json resultJson(const Result& r);

// A document as text; bytes that are not UTF-8 become U+FFFD, so that a
// module's text never stops the report. indent < 0: one line.
std::string jsonText(const Json& doc, int indent = -1);

// A child's line for one finished step, without its mark, and the parent's
// reading of it: nullopt for a line that is not one (a module may print
// anything on the same stream).
struct StepLine {
    size_t step = 0;
    Outcome outcome;
    double seconds = 0;
};
std::string stepLineText(const StepLine& line);
std::optional<StepLine> readStepLine(const std::string& text);

}  // namespace qvhost
