// validate's report as JUnit XML, the file CI systems read: one test suite
// per library, one test case per check (and module half), failures with
// their message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue.h"

namespace qvhost {

struct JunitCase {
    std::string name;     // "EX-Slew (dsp) dsp-blocks", or the check's name
    Status status = Status::Passed;
    std::string detail;   // valid UTF-8
    std::string more;     // a stack, what the module wrote, the rerun command
    double seconds = 0;
};

struct JunitSuite {
    std::string library;  // its path
    std::vector<JunitCase> cases;
};

// warningsFail: a warning is reported as a failure (--warnings-as-errors);
// otherwise it passes, its text under system-out.
std::string junitXml(const std::vector<JunitSuite>& suites, bool warningsFail, uint64_t seed, int strictness);

}  // namespace qvhost
