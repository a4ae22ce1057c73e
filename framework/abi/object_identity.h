// What every object of the system does alike through IMpUnknown: one count
// of references on the whole object, and one table of the interfaces it
// answers for.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "abi/abi.h"

namespace ovra {

// 1 at construction; whichever interface AddRef and Release come through,
// they count here. The last release destroys the holder through its virtual
// destructor and answers 0.
class ReferenceCount {
public:
    uint32_t add() { return static_cast<uint32_t>(++count_); }
    template <class Holder>
    uint32_t release(Holder* holder) {
        if (--count_ > 0)
            return static_cast<uint32_t>(count_);
        delete holder;
        return 0;
    }
    int32_t value() const { return count_; }

private:
    int32_t count_ = 1;
};

// One interface an object answers for: its identifier and the pointer handed
// out for it.
struct InterfaceEntry {
    const Guid* iid;
    IMpUnknown* pointer;
};

// QueryInterface over an object's table: *out null first; on a match the
// entry's pointer, one reference added, RC_OK; otherwise RC_NOT_FOUND. A null
// out answers RC_NOT_FOUND.
inline int32_t answerQuery(const Guid* iid, void** out, std::initializer_list<InterfaceEntry> table) {
    if (out == nullptr)
        return RC_NOT_FOUND;
    *out = nullptr;
    for (const InterfaceEntry& entry : table) {
        if (isGuid(iid, *entry.iid)) {
            *out = entry.pointer;
            entry.pointer->AddRef();
            return RC_OK;
        }
    }
    return RC_NOT_FOUND;
}

}  // namespace ovra
