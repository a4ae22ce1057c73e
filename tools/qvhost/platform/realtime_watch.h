// Watching one thread for calls that have no place on an audio thread: heap
// allocation and release, locks, sleeps and file I/O. Where the platform
// cannot watch, realtimeWatchAvailable says why and nothing is counted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qvhost {

struct RealtimeCall {
    const char* function = "";  // "malloc", "operator new", "pthread_mutex_lock", ...
    size_t bytes = 0;           // for allocations; 0 when unknown or not one
    bool allocation = false;    // heap traffic, as opposed to a blocking call
};

// What one watch saw: the first calls in order, and how many there were.
struct RealtimeRecord {
    static constexpr size_t kKept = 8;
    RealtimeCall first[kKept];
    size_t kept = 0;
    size_t total = 0;
};

bool realtimeWatchAvailable(std::string& why);

// Counts this thread's calls from begin to end. Calls made by qvhost itself
// inside a watch (a recording host's bookkeeping) go inside a RealtimePause.
void beginRealtimeWatch();
RealtimeRecord endRealtimeWatch();

// This thread's heap balance from begin to end: the allocations not released
// by the end, and their bytes (as the allocator sized them). Everything the
// thread does counts, qvhost's own work included, so what qvhost makes in
// between must be gone by the end. Where the platform cannot count,
// heapBalanceAvailable says why and the balance stays 0.
struct HeapBalance {
    int64_t allocations = 0;
    int64_t bytes = 0;
};
bool heapBalanceAvailable(std::string& why);
void beginHeapBalance();
HeapBalance endHeapBalance();

class RealtimePause {
public:
    RealtimePause();
    ~RealtimePause();
    RealtimePause(const RealtimePause&) = delete;
    RealtimePause& operator=(const RealtimePause&) = delete;

private:
    bool was_;
};

}  // namespace qvhost
