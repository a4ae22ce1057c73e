#include "timeline.h"

#include <algorithm>
#include <cstdio>

#include "failure.h"
#include "pin_value.h"
#include "io/suggest.h"

namespace qvhost {

TimedSet parseSet(const HalfDescription& half, const std::string& moduleId, const std::string& text,
                  bool allowTime) {
    const auto eq = text.find('=');
    if (eq == std::string::npos || eq == 0)
        throw Failure("'" + text + "' is not PIN=VALUE" + (allowTime ? "[@TIME]" : ""));
    TimedSet set;
    const std::string pinName = text.substr(0, eq);
    std::string value = text.substr(eq + 1);
    if (allowTime) {
        const auto at = value.rfind('@');
        if (at != std::string::npos) {
            set.time = parseSeconds(value.substr(at + 1), "time");
            value.resize(at);
        }
    }
    const auto pin = half.findPin(pinName);
    if (!pin)
        throw Failure(unknownPin(pinName, moduleId, half));
    if (!pin->isInput())
        throw Failure("pin " + pin->name + " of " + moduleId + " is an output; only inputs can be set");
    set.pin = *pin;
    set.bytes = parseValue(pin->type, value, pin->name);
    return set;
}

std::vector<TimedSet> defaultsOf(const HalfDescription& half) {
    std::vector<TimedSet> out;
    for (const auto& pin : half.pins) {
        if (!pin.isInput() || pin.defaultValue.is_null())
            continue;
        out.push_back({0.0, pin, valueFromJson(pin.type, pin.defaultValue, pin.name)});
    }
    return out;
}

std::string unknownPin(const std::string& token, const std::string& owner, const HalfDescription& half,
                       std::vector<std::string> names) {
    const bool number = !token.empty() && std::all_of(token.begin(), token.end(), [](char c) {
        return c >= '0' && c <= '9';
    });
    if (number && half.pins.empty() && !half.growing)
        return "pin index " + token + " is out of range for " + owner + ": it has no pins";
    const size_t last = half.growing ? static_cast<size_t>(half.growing->last) : half.pins.size() - 1;
    if (number)
        return "pin index " + token + " is out of range for " + owner + " (its pins are 0.." + std::to_string(last) +
               "; qvhost info lists them)";
    if (names.empty())
        for (const auto& p : half.pins)
            names.push_back(p.name);
    return "unknown pin name \"" + token + "\" for " + owner + suggestion(token, names, "; qvhost info lists the pins");
}

void noteAfterEnd(const std::string& pin, const std::string& value, double time, double seconds) {
    std::fprintf(stderr, "qvhost: note: %s=%s at %g s lies at or after the end (%g s) and is not applied\n",
                 pin.c_str(), value.c_str(), time, seconds);
}

}  // namespace qvhost
