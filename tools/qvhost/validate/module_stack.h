// Where in a module a watched call came from: the frames of the call's stack
// that lie in the module's library, named from the library's symbol table.
#pragma once

#include <string>

#include "realtime_watch.h"

namespace qvhost {

// "keepAnother <- Hoarder::write <- MpBase2::processBlock", innermost first,
// at most six frames; a frame without a name shows as its address in the
// file. Empty when the platform gave no stack or no frame is the module's.
std::string moduleStack(void* const* stack, int depth, const std::string& libraryPath);
std::string moduleStack(const RealtimeRecord& record, const std::string& libraryPath);

}  // namespace qvhost
