// The GDI+ objects a module makes while it paints and leaves alive, counted
// where qvhost can see a module's GDI+ calls.
#pragma once

#include <string>

namespace qvhost {

// Whether this platform lets qvhost count them.
bool gdiplusWatched();

// Counts the calling thread's GDI+ creations and deletions from here on.
void beginGdiplusWatch();
// Stops counting; answers the objects made since beginGdiplusWatch and not
// deleted, by kind ("2 brushes, 1 font"), or nothing when there are none.
std::string endGdiplusWatch();

}  // namespace qvhost
