// Linux: qvhost's executable defines the watched functions itself, so the
// dynamic linker binds the loaded libraries' calls to these definitions;
// each notes the call and goes on to the C library's own. Under the address
// sanitizer the sanitizer owns the heap: allocations are then seen through
// its allocation hooks instead, and the blocking calls as here.
#include "realtime_watch.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define QVHOST_SANITIZER_HEAP 1
// The sanitizer runtime's own interface (its header is not always installed).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onAllocate)(const volatile void*, size_t),
                                                         void (*onRelease)(const volatile void*));
extern "C" size_t __sanitizer_get_allocated_size(const volatile void* p);
#else
#include <malloc.h>
#endif

namespace {

// Plain thread-local data only: these are read inside malloc.
thread_local bool t_watching = false;
thread_local qvhost::RealtimeRecord t_record;
thread_local bool t_balancing = false;
thread_local qvhost::HeapBalance t_balance;

// The blocks a balance saw made and not yet released, each with the stack
// that made it, in a table of fixed size taken before the balance starts
// (keeping it allocates nothing). Open addressing by the block's address;
// a full table keeps counting but stops remembering.
struct LiveBlock {
    const volatile void* p;  // null: free slot
    uint64_t order;          // which allocation of the balance it was
    void* stack[qvhost::HeapBalance::kDepth];
    int depth;
};
constexpr size_t kLiveSlots = size_t{1} << 14;
thread_local LiveBlock* t_live = nullptr;
thread_local uint64_t t_made = 0;

size_t slotOf(const volatile void* p) {
    return (reinterpret_cast<uintptr_t>(p) >> 4) * 0x9E3779B97F4A7C15ull >> 50;  // 14 bits
}

void remember(const volatile void* p) {
    if (t_live == nullptr || p == nullptr)
        return;
    for (size_t i = 0, s = slotOf(p); i < kLiveSlots; ++i, s = (s + 1) % kLiveSlots)
        if (t_live[s].p == nullptr) {
            t_live[s].p = p;
            t_live[s].order = t_made;
            t_live[s].depth = backtrace(t_live[s].stack, qvhost::HeapBalance::kDepth);
            return;
        }
}

void forget(const volatile void* p) {
    if (t_live == nullptr || p == nullptr)
        return;
    for (size_t i = 0, s = slotOf(p); i < kLiveSlots && t_live[s].p != nullptr; ++i, s = (s + 1) % kLiveSlots)
        if (t_live[s].p == p) {
            // Close the gap so that later probes still find their blocks.
            size_t hole = s;
            for (size_t next = (s + 1) % kLiveSlots; t_live[next].p != nullptr; next = (next + 1) % kLiveSlots) {
                const size_t home = slotOf(t_live[next].p);
                const bool between = hole <= next ? (home > hole && home <= next) : (home > hole || home <= next);
                if (!between) {
                    t_live[hole] = t_live[next];
                    hole = next;
                }
            }
            t_live[hole].p = nullptr;
            return;
        }
}

// A block the allocator handed out (count 1) or took back (count -1).
inline void balance(int64_t count, size_t bytes, const volatile void* p) {
    if (!t_balancing)
        return;
    t_balancing = false;  // backtrace must not count itself
    t_balance.allocations += count;
    t_balance.bytes += count * static_cast<int64_t>(bytes);
    if (count > 0) {
        ++t_made;
        remember(p);
    } else {
        forget(p);
    }
    t_balancing = true;
}

inline void note(const char* function, size_t bytes, bool allocation) {
    if (!t_watching)
        return;
    t_watching = false;  // what follows must not count itself
    qvhost::RealtimeRecord& r = t_record;
    if (r.kept == 0)
        r.depth = backtrace(r.stack, qvhost::RealtimeRecord::kDepth);
    if (r.kept < qvhost::RealtimeRecord::kKept)
        r.first[r.kept++] = {function, bytes, allocation};
    ++r.total;
    t_watching = true;
}

template <class F>
F next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

using MutexLock = int (*)(pthread_mutex_t*);
using Nanosleep = int (*)(const timespec*, timespec*);
using ClockNanosleep = int (*)(clockid_t, int, const timespec*, timespec*);
using Usleep = int (*)(useconds_t);
using Sleep = unsigned (*)(unsigned);
using Open = int (*)(const char*, int, ...);
using Openat = int (*)(int, const char*, int, ...);
using Read = ssize_t (*)(int, void*, size_t);
using Write = ssize_t (*)(int, const void*, size_t);
using Fopen = FILE* (*)(const char*, const char*);

struct Real {
    MutexLock mutexLock = nullptr;
    Nanosleep nanosleep = nullptr;
    ClockNanosleep clockNanosleep = nullptr;
    Usleep usleep = nullptr;
    Sleep sleep = nullptr;
    Open open = nullptr;
    Openat openat = nullptr;
    Read read = nullptr;
    Write write = nullptr;
    Fopen fopen = nullptr;
};
Real g_real;

void resolve() {
    if (g_real.write != nullptr)
        return;
    g_real.mutexLock = next<MutexLock>("pthread_mutex_lock");
    g_real.nanosleep = next<Nanosleep>("nanosleep");
    g_real.clockNanosleep = next<ClockNanosleep>("clock_nanosleep");
    g_real.usleep = next<Usleep>("usleep");
    g_real.sleep = next<Sleep>("sleep");
    g_real.open = next<Open>("open");
    g_real.openat = next<Openat>("openat");
    g_real.read = next<Read>("read");
    g_real.fopen = next<Fopen>("fopen");
    g_real.write = next<Write>("write");
}

#if QVHOST_SANITIZER_HEAP
void onAllocate(const volatile void* p, size_t bytes) {
    note("heap allocation", bytes, true);
    balance(1, bytes, p);
}
void onRelease(const volatile void* p) {
    note("heap release", 0, true);
    balance(-1, __sanitizer_get_allocated_size(p), p);
}
#endif

__attribute__((constructor)) void startWatching() {
    resolve();
    // backtrace() loads its unwinder on first use: not inside a watched call.
    void* warmUp[1];
    backtrace(warmUp, 1);
#if QVHOST_SANITIZER_HEAP
    __sanitizer_install_malloc_and_free_hooks(onAllocate, onRelease);
#endif
}

mode_t modeOf(int flags, va_list args) {
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

// A blocking call, noted, then made by the C library's own function.
template <class F, class... A>
auto blocking(const char* function, F Real::*real, A... args) {
    note(function, 0, false);
    resolve();
    return (g_real.*real)(args...);
}

}  // namespace

namespace qvhost {

bool realtimeWatchAvailable(std::string& why) {
    resolve();
    if (g_real.write == nullptr || g_real.mutexLock == nullptr) {
        why = "the C library's functions cannot be found behind qvhost's own";
        return false;
    }
    return true;
}

void beginRealtimeWatch() {
    resolve();
    t_record = RealtimeRecord{};
    t_watching = true;
}

RealtimeRecord endRealtimeWatch() {
    t_watching = false;
    return t_record;
}

bool heapBalanceAvailable(std::string&) { return true; }

CodePlace placeOf(const void* pc) {
    Dl_info info{};
    if (dladdr(pc, &info) == 0 || info.dli_fname == nullptr)
        return {};
    return {info.dli_fname, reinterpret_cast<uintptr_t>(pc) - reinterpret_cast<uintptr_t>(info.dli_fbase)};
}

void beginHeapBalance() {
    t_balance = HeapBalance{};
    t_made = 0;
    if (t_live == nullptr)
        t_live = static_cast<LiveBlock*>(std::calloc(kLiveSlots, sizeof(LiveBlock)));
    else
        std::memset(t_live, 0, kLiveSlots * sizeof(LiveBlock));
    t_balancing = true;
}

HeapBalance endHeapBalance() {
    t_balancing = false;
    if (t_live != nullptr) {
        const LiveBlock* first = nullptr;
        for (size_t s = 0; s < kLiveSlots; ++s)
            if (t_live[s].p != nullptr && (first == nullptr || t_live[s].order < first->order))
                first = &t_live[s];
        if (first != nullptr) {
            std::copy(first->stack, first->stack + first->depth, t_balance.firstLeftStack);
            t_balance.firstLeftDepth = first->depth;
        }
    }
    return t_balance;
}

RealtimePause::RealtimePause() : was_(t_watching) { t_watching = false; }
RealtimePause::~RealtimePause() { t_watching = was_; }

}  // namespace qvhost

// ---- the heap, when qvhost's own definitions own it

#if !QVHOST_SANITIZER_HEAP
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void* __libc_valloc(size_t);
void* __libc_pvalloc(size_t);
void __libc_free(void*);

}

namespace {
// What the C library handed out, counted in the balance.
void* handedOut(void* p) {
    if (p != nullptr)
        balance(1, malloc_usable_size(p), p);
    return p;
}
void takenBack(void* p) {
    if (p != nullptr)
        balance(-1, malloc_usable_size(p), p);
}
}  // namespace

extern "C" {
void* malloc(size_t n) {
    note("malloc", n, true);
    return handedOut(__libc_malloc(n));
}
void* calloc(size_t count, size_t n) {
    note("calloc", count * n, true);
    return handedOut(__libc_calloc(count, n));
}
void* realloc(void* p, size_t n) {
    note("realloc", n, true);
    const size_t before = p != nullptr ? malloc_usable_size(p) : 0;
    void* q = __libc_realloc(p, n);
    if (q != nullptr || n == 0) {  // a failed realloc keeps the old block
        if (p != nullptr)
            balance(-1, before, p);
        handedOut(q);
    }
    return q;
}
void free(void* p) {
    if (p != nullptr)
        note("free", 0, true);
    takenBack(p);
    __libc_free(p);
}
void* memalign(size_t alignment, size_t n) {
    note("memalign", n, true);
    return handedOut(__libc_memalign(alignment, n));
}
void* aligned_alloc(size_t alignment, size_t n) {
    note("aligned_alloc", n, true);
    return handedOut(__libc_memalign(alignment, n));
}
int posix_memalign(void** out, size_t alignment, size_t n) {
    note("posix_memalign", n, true);
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0)
        return 22;  // EINVAL
    void* p = handedOut(__libc_memalign(alignment, n));
    if (p == nullptr)
        return 12;  // ENOMEM
    *out = p;
    return 0;
}
void* valloc(size_t n) {
    note("valloc", n, true);
    return handedOut(__libc_valloc(n));
}
void* pvalloc(size_t n) {
    note("pvalloc", n, true);
    return handedOut(__libc_pvalloc(n));
}
}

namespace {
void* allocate(const char* function, size_t n) {
    note(function, n, true);
    for (;;) {
        if (void* p = handedOut(__libc_malloc(n == 0 ? 1 : n)))
            return p;
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr)
            throw std::bad_alloc();
        handler();
    }
}
void* allocateAligned(const char* function, size_t n, std::align_val_t alignment) {
    note(function, n, true);
    if (void* p = handedOut(__libc_memalign(static_cast<size_t>(alignment), n == 0 ? 1 : n)))
        return p;
    throw std::bad_alloc();
}
void release(const char* function, void* p) {
    if (p != nullptr)
        note(function, 0, true);
    takenBack(p);
    __libc_free(p);
}
}  // namespace

void* operator new(size_t n) { return allocate("operator new", n); }
void* operator new[](size_t n) { return allocate("operator new[]", n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    try {
        return allocate("operator new", n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t n, const std::nothrow_t&) noexcept {
    try {
        return allocate("operator new[]", n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(size_t n, std::align_val_t a) { return allocateAligned("operator new", n, a); }
void* operator new[](size_t n, std::align_val_t a) { return allocateAligned("operator new[]", n, a); }
void* operator new(size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    try {
        return allocateAligned("operator new", n, a);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    try {
        return allocateAligned("operator new[]", n, a);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept { release("operator delete", p); }
void operator delete[](void* p) noexcept { release("operator delete[]", p); }
void operator delete(void* p, size_t) noexcept { release("operator delete", p); }
void operator delete[](void* p, size_t) noexcept { release("operator delete[]", p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release("operator delete", p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release("operator delete[]", p); }
void operator delete(void* p, std::align_val_t) noexcept { release("operator delete", p); }
void operator delete[](void* p, std::align_val_t) noexcept { release("operator delete[]", p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { release("operator delete", p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { release("operator delete[]", p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { release("operator delete", p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { release("operator delete[]", p); }
#endif

// ---- blocking calls

extern "C" {
int pthread_mutex_lock(pthread_mutex_t* m) { return blocking("pthread_mutex_lock", &Real::mutexLock, m); }
int nanosleep(const timespec* t, timespec* left) { return blocking("nanosleep", &Real::nanosleep, t, left); }
int clock_nanosleep(clockid_t clock, int flags, const timespec* t, timespec* left) {
    return blocking("clock_nanosleep", &Real::clockNanosleep, clock, flags, t, left);
}
int usleep(useconds_t us) { return blocking("usleep", &Real::usleep, us); }
unsigned sleep(unsigned s) { return blocking("sleep", &Real::sleep, s); }
int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    return blocking("open", &Real::open, path, flags, mode);
}
int openat(int dir, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeOf(flags, args);
    va_end(args);
    return blocking("openat", &Real::openat, dir, path, flags, mode);
}
ssize_t read(int fd, void* buffer, size_t n) { return blocking("read", &Real::read, fd, buffer, n); }
ssize_t write(int fd, const void* buffer, size_t n) { return blocking("write", &Real::write, fd, buffer, n); }
FILE* fopen(const char* path, const char* mode) { return blocking("fopen", &Real::fopen, path, mode); }

// Where off_t has 64 bits, the C library's open64 and fopen64 are open and
// fopen under second names; so are qvhost's.
static_assert(sizeof(off_t) == sizeof(off64_t));
int open64(const char* path, int flags, ...) __attribute__((alias("open")));
FILE* fopen64(const char* path, const char* mode) __attribute__((alias("fopen")));
}
