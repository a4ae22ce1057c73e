// Platforms where a library's GDI+ calls go straight to the system's DLL:
// nothing is counted.
#include "gdiplus_watch.h"

namespace qvhost {

bool gdiplusWatched() { return false; }
void beginGdiplusWatch() {}
std::string endGdiplusWatch() { return {}; }

}  // namespace qvhost
