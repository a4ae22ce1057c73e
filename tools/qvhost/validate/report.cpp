#include "report.h"

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

Json resultJson(const Result& r) {
    Json c{{"name", r.name}, {"status", statusName(r.outcome.status)}, {"detail", r.outcome.detail}};
    if (!r.module.empty()) {
        c["module"] = r.module;
        c["half"] = r.half;
    }
    if (!r.stack.empty())
        c["stack"] = r.stack;
    return c;
}

std::string jsonText(const Json& doc, int indent) {
    return doc.dump(indent, ' ', false, Json::error_handler_t::replace);
}

std::string stepLineText(const StepLine& line) {
    return jsonText(Json{{"step", line.step}, {"status", static_cast<int>(line.outcome.status)},
                         {"detail", line.outcome.detail}, {"seconds", line.seconds}});
}

std::optional<StepLine> readStepLine(const std::string& text) {
    const Json j = Json::parse(text, nullptr, false);
    if (!j.is_object())
        return std::nullopt;
    const auto step = j.find("step"), status = j.find("status"), detail = j.find("detail"), seconds = j.find("seconds");
    if (step == j.end() || !step->is_number_unsigned() || status == j.end() || !status->is_number_integer() ||
        detail == j.end() || !detail->is_string() || seconds == j.end() || !seconds->is_number())
        return std::nullopt;
    const auto code = status->get<int64_t>();
    if (code < static_cast<int>(Status::Passed) || code > static_cast<int>(Status::Crashed))
        return std::nullopt;
    return StepLine{step->get<size_t>(), {static_cast<Status>(code), detail->get<std::string>()},
                    seconds->get<double>()};
}

}  // namespace qvhost
