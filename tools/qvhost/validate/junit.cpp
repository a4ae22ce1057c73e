#include "junit.h"

#include <cstdio>
#include <filesystem>

namespace qvhost {

const char* statusName(Status s) {
    switch (s) {
    case Status::Passed: return "PASSED";
    case Status::Failed: return "FAILED";
    case Status::Warning: return "WARNING";
    case Status::Skipped: return "SKIPPED";
    default: return "CRASHED";
    }
}

namespace {

// Text as XML 1.0 character data or attribute value: markup escaped, and
// the control characters XML cannot hold written as \xNN.
std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
                out += hex;
            } else {
                out += c;
            }
        }
    }
    return out;
}

std::string seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", s);
    return text;
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

}  // namespace

std::string junitXml(const std::vector<JunitSuite>& suites, bool warningsFail, uint64_t seed, int strictness) {
    auto failing = [&](Status s) { return s == Status::Failed || (warningsFail && s == Status::Warning); };
    size_t tests = 0, failures = 0, errors = 0, skipped = 0;
    double total = 0;
    std::string body;
    for (const auto& suite : suites) {
        size_t f = 0, e = 0, k = 0;
        double time = 0;
        std::string cases;
        const std::u8string stem =
            std::filesystem::path(std::u8string(suite.library.begin(), suite.library.end())).stem().u8string();
        const std::string classname(stem.begin(), stem.end());
        for (const auto& c : suite.cases) {
            time += c.seconds;
            cases += "    <testcase classname=\"" + escaped(classname) + "\" name=\"" + escaped(c.name) + "\" time=\"" +
                     seconds(c.seconds) + "\"";
            const std::string text = escaped(c.detail + (c.more.empty() ? "" : "\n" + c.more));
            if (failing(c.status)) {
                ++f;
                cases += ">\n      <failure message=\"" + escaped(firstLine(c.detail)) + "\" type=\"" +
                         statusName(c.status) + "\">" + text + "</failure>\n    </testcase>\n";
            } else if (c.status == Status::Crashed) {
                ++e;
                cases += ">\n      <error message=\"" + escaped(firstLine(c.detail)) + "\" type=\"CRASHED\">" + text +
                         "</error>\n    </testcase>\n";
            } else if (c.status == Status::Skipped) {
                ++k;
                cases += ">\n      <skipped message=\"" + escaped(firstLine(c.detail)) + "\"/>\n    </testcase>\n";
            } else if (!c.detail.empty()) {
                cases += ">\n      <system-out>" + std::string(statusName(c.status)) + ": " + text +
                         "</system-out>\n    </testcase>\n";
            } else {
                cases += "/>\n";
            }
        }
        body += "  <testsuite name=\"" + escaped(suite.library) + "\" tests=\"" + std::to_string(suite.cases.size()) +
                "\" failures=\"" + std::to_string(f) + "\" errors=\"" + std::to_string(e) + "\" skipped=\"" +
                std::to_string(k) + "\" time=\"" + seconds(time) + "\">\n    <properties>\n" +
                "      <property name=\"seed\" value=\"" + std::to_string(seed) + "\"/>\n" +
                "      <property name=\"strictness\" value=\"" + std::to_string(strictness) + "\"/>\n" +
                "    </properties>\n" + cases + "  </testsuite>\n";
        tests += suite.cases.size();
        failures += f;
        errors += e;
        skipped += k;
        total += time;
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"qvhost validate\" tests=\"" +
           std::to_string(tests) + "\" failures=\"" + std::to_string(failures) + "\" errors=\"" +
           std::to_string(errors) + "\" skipped=\"" + std::to_string(skipped) + "\" time=\"" + seconds(total) +
           "\">\n" + body + "</testsuites>\n";
}

}  // namespace qvhost
