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

// What one watch saw: the first calls in order, how many there were, and
// the return addresses that led to the first one, innermost first (none
// where the platform gives no stack).
struct RealtimeRecord {
    static constexpr size_t kKept = 8;
    static constexpr int kDepth = 32;
    RealtimeCall first[kKept];
    size_t kept = 0;
    size_t total = 0;
    void* stack[kDepth] = {};
    int depth = 0;
};

// A code address as a place in a loaded file: the file's path and the
// address as the file numbers it (relative to where it was loaded); an empty
// path where the platform cannot say.
struct CodePlace {
    std::string file;
    uintptr_t address = 0;
};
CodePlace placeOf(const void* pc);

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
    // The return addresses that made the first allocation still unreleased
    // at the end, innermost first (none where the platform gives no stack).
    static constexpr int kDepth = 16;
    void* firstLeftStack[kDepth] = {};
    int firstLeftDepth = 0;
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
