// No watch on this platform: the real-time checks report SKIPPED.
#include "realtime_watch.h"

namespace qvhost {

bool realtimeWatchAvailable(std::string& why) {
    why = "this platform has no way to watch a thread's heap and blocking calls";
    return false;
}
void beginRealtimeWatch() {}
RealtimeRecord endRealtimeWatch() { return {}; }
bool heapBalanceAvailable(std::string& why) {
    why = "this platform has no way to count a thread's heap";
    return false;
}
void beginHeapBalance() {}
CodePlace placeOf(const void*) { return {}; }
HeapBalance endHeapBalance() { return {}; }
RealtimePause::RealtimePause() : was_(false) {}
RealtimePause::~RealtimePause() {}

}  // namespace qvhost
