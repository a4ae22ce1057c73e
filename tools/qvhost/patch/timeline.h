// Pin values at points in time, as given with --set or in a patch.
#pragma once

#include <string>
#include <vector>

#include "io/description.h"
#include "values.h"

namespace qvhost {

struct TimedSet {
    double time = 0;  // seconds
    PinDescription pin;
    ovra::host::Bytes bytes;  // the value on the wire (audio: a float level)
};

// "PIN=VALUE" or "PIN=VALUE@TIME"; PIN is a name or an index of the half.
TimedSet parseSet(const HalfDescription& half, const std::string& moduleId, const std::string& text,
                  bool allowTime);

// Every input of the half at its described default, at time 0.
std::vector<TimedSet> defaultsOf(const HalfDescription& half);

// Why `token` names no pin of `half` (of module `owner`), with the way
// forward: the valid index range for a number, the nearest of `names` (the
// half's pin names when empty) for a name.
std::string unknownPin(const std::string& token, const std::string& owner, const HalfDescription& half,
                       std::vector<std::string> names = {});

// The note for a value set at or after the end of a run, which is not
// applied; one line on stderr.
void noteAfterEnd(const std::string& pin, const std::string& value, double time, double seconds);

}  // namespace qvhost
