// libFuzzer entry: every input is text a module under validation gives the
// report (its build text, the reason of a failed check, what it printed,
// what it said when it crashed). Made readable, it must be JSON that reads
// back as itself; valid UTF-8 must pass unchanged.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "validate/readable_text.h"

namespace {

void stop(const char* rule) {
    std::fprintf(stderr, "broken rule: %s\n", rule);
    std::abort();
}

// The input's pieces, split at 0xFF bytes (which no UTF-8 text holds).
std::vector<std::string> piecesOf(const uint8_t* data, size_t size) {
    std::vector<std::string> out(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF)
            out.emplace_back();
        else
            out.back() += static_cast<char>(data[i]);
    }
    out.resize(std::max<size_t>(out.size(), 4));
    return out;
}

bool validUtf8(const std::string& s) {
    try {
        (void)nlohmann::json(s).dump();
        return true;
    } catch (const nlohmann::json::type_error&) {
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto pieces = piecesOf(data, size);
    std::vector<std::string> shown;
    for (const auto& p : pieces) {
        const std::string r = qvhost::readable(p);
        if (qvhost::readable(r) != r)
            stop("readable text changes when made readable again");
        if (validUtf8(p) && r != p)
            stop("valid UTF-8 changed on its way into the report");
        shown.push_back(r);
    }
    const nlohmann::json check{{"name", "load"},    {"status", "FAILED"}, {"detail", shown[0]},
                               {"module", shown[1]}, {"stack", shown[2]},  {"output", shown[3]}};
    const nlohmann::json doc{{"path", "x.qvm"}, {"checks", nlohmann::json::array({check})}};
    for (int indent : {-1, 2}) {
        std::string text;
        try {
            text = doc.dump(indent);  // strict: a byte that is not UTF-8 throws
        } catch (const nlohmann::json::type_error&) {
            stop("readable text is not UTF-8");
        }
        const auto back = nlohmann::json::parse(text, nullptr, false);
        if (back.is_discarded() || back != doc)
            stop("the report does not read back as written");
    }
    return 0;
}
