// Pin values as the user writes them (command line, patch files) and as
// they travel on the wire.
#pragma once

#include <string>

#include "io/description.h"
#include "values.h"

namespace qvhost {

using ovra::host::Bytes;

// Text to wire bytes for a pin of the given type; throws Failure naming the
// pin when the text is not a value of that type. Audio pins take a float.
Bytes parseValue(int32_t type, const std::string& text, const std::string& pinName);
Bytes valueFromJson(int32_t type, const Json& value, const std::string& pinName);

// A constant audio level from text or JSON.
float audioLevel(const std::string& text, const std::string& pinName);

// Wire bytes back to text, for reports.
std::string formatValue(int32_t type, const Bytes& bytes);

// 'text' in single quotes, for messages.
std::string quoted(const std::string& text);

// A time in seconds from text ("0.25", "250ms", "1.5s").
double parseSeconds(const std::string& text, const std::string& what);

}  // namespace qvhost
