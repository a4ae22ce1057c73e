// A host's view of the binary contract, written without the framework's
// headers: identifiers parsed from their 8-4-4-4-12 text, operations called by
// their position in an object's table, event records laid out byte by byte,
// and host objects whose tables are arrays of function pointers. Nothing here
// may include a framework header; the conformance test proves the libraries
// against these numbers alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rawabi {

// 16 bytes in the Windows GUID layout: a 32-bit, a 16-bit and a 16-bit
// little-endian field, then eight single bytes.
struct Guid {
    uint8_t bytes[16];
    bool operator==(const Guid& other) const { return std::memcmp(bytes, other.bytes, 16) == 0; }
    bool operator!=(const Guid& other) const { return !(*this == other); }
};

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional). Throws
// std::invalid_argument on anything else, so a typo in a test fails loudly.
Guid parseGuid(std::string_view text);

// The same identifier with its last byte changed.
Guid lastByteFlipped(const Guid& id);

std::string guidText(const Guid& id);

// A loaded plug-in library. Libraries stay loaded until the program ends, as
// a host keeps them while any object of theirs may live.
class Library {
public:
    // The library <name>.qvm of the build's plug-in folder, loaded once.
    // Null (with the reason in error) when it cannot be loaded.
    static Library* get(const std::string& name, std::string& error);
    void* symbol(const char* name) const;
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

private:
    explicit Library(void* handle) : handle_(handle) {}
    void* handle_;
};

// The folder that holds the built libraries and their descriptions.
std::string pluginDir();

// Calls operation number `position` (counted from 1, as the contract numbers
// them) of the table that `object` points to, with `object` as the first
// argument: the member-function convention of x86-64 Linux and Windows.
template <class R, class... Args>
R callSlot(void* object, int position, Args... args) {
    void* const* table = *static_cast<void* const* const*>(object);
    using Function = R (*)(void*, Args...);
    auto function = reinterpret_cast<Function>(table[position - 1]);
    return function(object, args...);
}

// The three operations every interface starts with.
inline int32_t queryInterface(void* object, const Guid& id, void** out) {
    return callSlot<int32_t>(object, 1, static_cast<const void*>(id.bytes), out);
}
inline uint32_t addRef(void* object) { return callSlot<uint32_t>(object, 2); }
inline uint32_t release(void* object) { return callSlot<uint32_t>(object, 3); }

// A HostEvent record as the host lays it out: 40 bytes, little-endian, with
// the fields at the offsets the contract gives.
struct EventRecord {
    alignas(8) uint8_t bytes[40] = {};

    void put32(size_t offset, int32_t value) { std::memcpy(bytes + offset, &value, 4); }
    void putPointer(size_t offset, const void* value) { std::memcpy(bytes + offset, &value, 8); }
};

// Builds a list of event records, linked in the order added.
class EventList {
public:
    // A pin value carried in the record's own 8 bytes (at most 8 bytes).
    EventList& inlineValue(int32_t time, int32_t pin, const void* data, int32_t size);
    // A pin value carried through the record's value pointer.
    EventList& pointedValue(int32_t time, int32_t pin, const void* data, int32_t size);
    EventList& event(int32_t time, int32_t kind, int32_t pin = 0);
    // The first record, or null for an empty list.
    void* head();

private:
    EventRecord& append(int32_t time, int32_t kind, int32_t pin);
    std::vector<std::unique_ptr<EventRecord>> records_;
};

// Written numbers of the contract.
namespace code {
constexpr int32_t kOk = 0, kFailed = -1, kNotFound = -2;
constexpr int32_t kSubtypeDsp = 0, kSubtypeGuiV1 = 1, kSubtypeGuiV2 = 2;
constexpr int32_t kPinValue = 100, kStreamOn = 101, kStreamOff = 102, kPinOther = 103, kStart = 104;
}  // namespace code

// One call a module made into a fake host.
struct HostCall {
    explicit HostCall(std::string op, int32_t t = 0, int32_t p = 0, int32_t v = 0)
        : operation(std::move(op)), time(t), pin(p), voice(v) {}
    std::string operation;  // "publishPinValue", "sendPinValue", ...
    int32_t time = 0;       // sample offset (DSP side)
    int32_t pin = 0;
    int32_t voice = 0;
    bool flag = false;      // streaming state
    std::vector<uint8_t> bytes;
    bool rectIsNull = false;
};

// A host object offering any of the host interfaces, each a sub-object whose
// first word points to a table built position by position. It records every
// call and every query, and counts the references taken on each interface.
class FakeHost {
public:
    FakeHost();
    ~FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    // Answer queries for this identifier (one of the host identifiers known
    // to the fake: the DSP host, its auxiliary interface and the five GUI
    // host interfaces).
    FakeHost& offer(const Guid& id);
    // The pointer a host hands to attachHost: its IMpUnknown.
    void* unknown();

    // References currently held on the interface with this identifier.
    int references(const Guid& id) const;

    std::vector<Guid> queries;
    std::vector<HostCall> calls;
    std::vector<int> unexpectedSlots;  // positions called that nothing should call
    float sampleRate = 48000.0f;
    int32_t countdown = 64;            // written by fillSleepCountdown
    int32_t captureAnswer = 0;

    struct Face;
    // The interface answering this identifier, or null when not offered.
    Face* face(const Guid& id) const;

private:
    std::map<std::string, std::unique_ptr<Face>> faces_;  // by identifier text
    std::unique_ptr<Face> unknown_;
};

// Identifiers as the contract writes them.
namespace iid {
extern const Guid kUnknown, kFactory, kFactory2, kPlugin, kPlugin2, kLegacyInitialization;
extern const Guid kDspHost, kDspHostAux;
extern const Guid kUserInterface, kUserInterface2, kUserInterface2B;
extern const Guid kGraphicsWinGdi, kGraphicsComposited;
extern const Guid kGuiHost, kGuiHost2, kCompositedGfxHost, kWinGdiHost, kWindowsGfxHost;
}  // namespace iid

// Every identifier of the contract's table, with its interface's name.
struct NamedGuid {
    const char* name;
    const Guid* id;
};
const std::vector<NamedGuid>& allIdentifiers();

}  // namespace rawabi
