// Where exceptions stop. Every entry point a host (or the window system)
// calls runs its work through guarded, so that nothing a module's code
// throws, an exhausted allocator included, crosses the ABI: the host gets
// the entry's failure answer instead, and the module stays usable.
#pragma once

#include <type_traits>

namespace ovra {

// Answers what body answers, or failure when body throws anything at all.
template <class Body>
std::invoke_result_t<Body&> guarded(std::invoke_result_t<Body&> failure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

// For the entries that answer nothing (processBlock): a body that throws
// ends where it stands.
template <class Body>
void guarded(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

}  // namespace ovra
