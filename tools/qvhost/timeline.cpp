#include "timeline.h"

#include "failure.h"
#include "pin_value.h"

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
        throw Failure("unknown pin name \"" + pinName + "\" for " + moduleId);
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

}  // namespace qvhost
