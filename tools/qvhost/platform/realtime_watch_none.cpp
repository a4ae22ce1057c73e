// No watch on this platform: the real-time checks report SKIPPED.
#include "realtime_watch.h"

namespace qvhost {

bool realtimeWatchAvailable(std::string& why) {
    why = "this platform has no way to watch a thread's heap and blocking calls";
    return false;
}
void beginRealtimeWatch() {}
RealtimeRecord endRealtimeWatch() { return {}; }
RealtimePause::RealtimePause() : was_(false) {}
RealtimePause::~RealtimePause() {}

}  // namespace qvhost
