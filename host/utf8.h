// Text between the two encodings that meet at the boundary: UTF-8 on the
// host's side (command lines, files, messages) and UTF-16 code units in the
// ABI (identifiers, pin text, paths on Windows).
#pragma once

#include <string>

#include "abi/framework_types.h"

namespace ovra::host {

// UTF-8 from UTF-16 code units; a lone surrogate is written as its own code.
std::string toUtf8(const wstring& text);
// UTF-16 code units from UTF-8; malformed bytes are taken as they come,
// never read past the end.
wstring fromUtf8(const std::string& text);

}  // namespace ovra::host
