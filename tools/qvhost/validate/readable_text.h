// Text a module controls, made safe for a report: every byte of it can be
// printed and written as JSON.
#pragma once

#include <string>

namespace qvhost {

// Valid UTF-8 passes unchanged. A byte that starts no valid sequence becomes
// "\xNN"; a surrogate written as three bytes (what an unpaired UTF-16
// surrogate turns into) becomes "\uD800".
std::string readable(const std::string& text);

}  // namespace qvhost
