#include "raw_abi.h"

#include <cxxabi.h>

#include <cstdlib>
#include <set>
#include <stdexcept>
#include <typeinfo>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace rawabi {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads `digits` hex digits from text at pos, then expects a hyphen unless
// the group is the last.
uint64_t hexGroup(std::string_view text, size_t& pos, int digits, bool last) {
    uint64_t value = 0;
    for (int i = 0; i < digits; ++i, ++pos) {
        const int d = pos < text.size() ? hexDigit(text[pos]) : -1;
        if (d < 0) throw std::invalid_argument("not an identifier: " + std::string(text));
        value = value << 4 | static_cast<uint64_t>(d);
    }
    if (!last) {
        if (pos >= text.size() || text[pos] != '-') throw std::invalid_argument("not an identifier: " + std::string(text));
        ++pos;
    }
    return value;
}

void putLittleEndian(uint8_t* out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

Guid parseGuid(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
    if (text.size() != 36) throw std::invalid_argument("not an identifier: " + std::string(text));
    Guid id{};
    size_t pos = 0;
    putLittleEndian(id.bytes, hexGroup(text, pos, 8, false), 4);
    putLittleEndian(id.bytes + 4, hexGroup(text, pos, 4, false), 2);
    putLittleEndian(id.bytes + 6, hexGroup(text, pos, 4, false), 2);
    // The last two groups are the eight single bytes, in text order.
    const uint64_t pair = hexGroup(text, pos, 4, false);
    id.bytes[8] = static_cast<uint8_t>(pair >> 8);
    id.bytes[9] = static_cast<uint8_t>(pair);
    const uint64_t six = hexGroup(text, pos, 12, true);
    for (int i = 0; i < 6; ++i) id.bytes[10 + i] = static_cast<uint8_t>(six >> (8 * (5 - i)));
    return id;
}

Guid lastByteFlipped(const Guid& id) {
    Guid other = id;
    other.bytes[15] ^= 0x01;
    return other;
}

std::string guidText(const Guid& id) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string text;
    for (int i = 0; i < 16; ++i) {
        text += kHex[id.bytes[i] >> 4];
        text += kHex[id.bytes[i] & 15];
        if (i != 15) text += ' ';
    }
    return text;
}

namespace iid {
const Guid kUnknown = parseGuid("{00000000-0000-C000-0000-000000000046}");
const Guid kFactory = parseGuid("{9A7904B7-7F7F-4D61-B558-C1A6695BB638}");
const Guid kFactory2 = parseGuid("{91C3D2EE-C701-4F35-91A6-094DC7E05976}");
const Guid kPlugin = parseGuid("{2B0DFC7E-A539-49CD-B72D-32FF9DF0D9E4}");
const Guid kPlugin2 = parseGuid("{1E07E3E8-8118-457F-A63C-D4F282A0F519}");
const Guid kLegacyInitialization = parseGuid("{0B471002-5627-4D46-984E-C0DC79D0AD35}");
const Guid kDspHost = parseGuid("{4F1B532F-3C46-4927-A498-614867425BE7}");
const Guid kDspHostAux = parseGuid("{87CCD426-71D7-414E-A9A6-5ADCA81C7420}");
const Guid kUserInterface = parseGuid("{CACB3203-4A57-4209-9E00-0C4B950457F6}");
const Guid kUserInterface2 = parseGuid("{9CD06775-F5C2-4321-812D-0958153294B8}");
const Guid kUserInterface2B = parseGuid("{21B0EC11-6B66-4B72-928E-77E93A31A628}");
const Guid kGraphicsWinGdi = parseGuid("{76FAC807-0C89-465D-9FAF-49B12D964118}");
const Guid kGraphicsComposited = parseGuid("{0157347B-3FD3-4CEE-947E-88F694349254}");
const Guid kGuiHost = parseGuid("{174F9DDC-1850-40DB-BAF0-E0B41D079645}");
const Guid kGuiHost2 = parseGuid("{DE009D92-E281-4F92-9996-200F49690028}");
const Guid kCompositedGfxHost = parseGuid("{2A3F4D28-52C5-4A31-BF85-B79853265F65}");
const Guid kWinGdiHost = parseGuid("{E52FAA41-42C3-40A6-A11A-E69DB335CE50}");
const Guid kWindowsGfxHost = parseGuid("{B1EFF8C9-9ADC-450B-BCD6-D359CFDC8275}");
}  // namespace iid

const std::vector<NamedGuid>& allIdentifiers() {
    static const std::vector<NamedGuid> all = {
        {"IMpUnknown", &iid::kUnknown},
        {"IMpFactory", &iid::kFactory},
        {"IMpFactory2", &iid::kFactory2},
        {"IMpPlugin", &iid::kPlugin},
        {"IMpPlugin2", &iid::kPlugin2},
        {"IMpLegacyInitialization", &iid::kLegacyInitialization},
        {"IMpDspHost", &iid::kDspHost},
        {"IMpDspHostAux", &iid::kDspHostAux},
        {"IMpUserInterface", &iid::kUserInterface},
        {"IMpUserInterface2", &iid::kUserInterface2},
        {"IMpUserInterface2B", &iid::kUserInterface2B},
        {"IMpGraphicsWinGdi", &iid::kGraphicsWinGdi},
        {"IQvGraphicsComposited", &iid::kGraphicsComposited},
        {"IMpGuiHost", &iid::kGuiHost},
        {"IMpGuiHost2", &iid::kGuiHost2},
        {"IQvCompositedGfxHost", &iid::kCompositedGfxHost},
        {"IMpWinGdiHost", &iid::kWinGdiHost},
        {"IQvWindowsGfxHost", &iid::kWindowsGfxHost},
    };
    return all;
}

// ---------------------------------------------------------------- libraries

std::string pluginDir() {
    const char* dir = std::getenv("OVRA_PLUGIN_DIR");
    return dir != nullptr && *dir != 0 ? dir : OVRA_PLUGIN_DIR;
}

Library* Library::get(const std::string& name, std::string& error) {
    static std::map<std::string, std::unique_ptr<Library>> loaded;
    auto found = loaded.find(name);
    if (found != loaded.end()) return found->second.get();
    const std::string path = pluginDir() + "/" + name + ".qvm";
#ifdef _WIN32
    const std::wstring widePath(path.begin(), path.end());  // the build path is plain ASCII
    void* handle = reinterpret_cast<void*>(LoadLibraryW(widePath.c_str()));
    if (handle == nullptr) error = path + ": LoadLibraryW failed with " + std::to_string(GetLastError());
#else
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) error = dlerror();
#endif
    if (handle == nullptr) return nullptr;
    auto& slot = loaded[name];
    slot.reset(new Library(handle));
    return slot.get();
}

void* Library::symbol(const char* name) const {
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
}

Library::~Library() {
    // Kept loaded on purpose: unloading runs the library's exit handlers,
    // which the program's own exit does as well.
}

// ---------------------------------------------------------------- events

EventRecord& EventList::append(int32_t time, int32_t kind, int32_t pin) {
    records_.push_back(std::make_unique<EventRecord>());
    EventRecord& record = *records_.back();
    record.put32(0, time);
    record.put32(4, kind);
    record.put32(8, pin);
    if (records_.size() > 1) records_[records_.size() - 2]->putPointer(32, &record);
    return record;
}

EventList& EventList::inlineValue(int32_t time, int32_t pin, const void* data, int32_t size) {
    EventRecord& record = append(time, code::kPinValue, pin);
    record.put32(12, size);
    std::memcpy(record.bytes + 16, data, static_cast<size_t>(size));
    return *this;
}

EventList& EventList::pointedValue(int32_t time, int32_t pin, const void* data, int32_t size) {
    EventRecord& record = append(time, code::kPinValue, pin);
    record.put32(12, size);
    record.putPointer(24, data);
    return *this;
}

EventList& EventList::event(int32_t time, int32_t kind, int32_t pin) {
    append(time, kind, pin);
    return *this;
}

void* EventList::head() { return records_.empty() ? nullptr : records_.front()->bytes; }

// ---------------------------------------------------------------- fake host

// One interface of the fake host: the table pointer first, as every
// interface object starts.
struct FakeHost::Face {
    void* const* table;
    FakeHost* host;
    Guid id;
    int references = 0;
};

namespace {

using Face = FakeHost::Face;
constexpr int kTableSize = 16;
using Table = void* [kTableSize];

void record(Face* self, HostCall call) { self->host->calls.push_back(std::move(call)); }

std::vector<uint8_t> copyBytes(const void* data, int32_t size) {
    if (data == nullptr || size <= 0) return {};
    const auto* p = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(p, p + size);
}

uint32_t hostAddRef(Face* self) { return static_cast<uint32_t>(++self->references); }
uint32_t hostRelease(Face* self) { return static_cast<uint32_t>(--self->references); }

// Positions 1 to 3: IMpUnknown.
int32_t hostQueryInterface(Face* self, const uint8_t* id, void** out);

// A position that nothing in the libraries should call.
template <int Position>
int32_t unexpected(Face* self) {
    self->host->unexpectedSlots.push_back(Position);
    return 0;
}

// IMpDspHost, positions 4 to 9.
int32_t publishPinValue(Face* self, int32_t time, int32_t pin, int32_t size, const void* data) {
    HostCall call{"publishPinValue", time, pin};
    call.bytes = copyBytes(data, size);
    record(self, call);
    return 0;
}
int32_t announceStreaming(Face* self, int32_t time, int32_t pin, bool streaming) {
    HostCall call{"announceStreaming", time, pin};
    call.flag = streaming;
    record(self, call);
    return 0;
}
int32_t offerSleep(Face* self) {
    record(self, HostCall{"offerSleep"});
    return 0;
}
int32_t fillSleepCountdown(Face* self, int32_t* countdown) {
    record(self, HostCall{"fillSleepCountdown"});
    *countdown = self->host->countdown;
    return 0;
}
int32_t readSampleRate(Face* self, float* rate) {
    record(self, HostCall{"readSampleRate"});
    *rate = self->host->sampleRate;
    return 0;
}

// IMpGuiHost and IMpGuiHost2, position 4.
int32_t sendPinValue(Face* self, int32_t pin, int32_t size, const void* data, int32_t voice) {
    HostCall call{"sendPinValue", 0, pin, voice};
    call.bytes = copyBytes(data, size);
    record(self, call);
    return 0;
}

// IQvCompositedGfxHost, positions 4 to 7.
int32_t takeCapture(Face* self) {
    record(self, HostCall{"captureAt4"});
    return 0;
}
int32_t getCapture(Face* self, int32_t* held) {
    record(self, HostCall{"getCapture"});
    *held = self->host->captureAnswer;
    return 0;
}
int32_t giveCapture(Face* self) {
    record(self, HostCall{"captureAt6"});
    return 0;
}
int32_t invalidateRect(Face* self, const int32_t* rect) {
    HostCall call{"invalidateRect"};
    call.rectIsNull = rect == nullptr;
    record(self, call);
    return 0;
}

// A table whose every position from 4 on is unexpected; the interfaces
// then fill in the positions they define.
template <int... Positions>
struct Unexpected {
    static void fill(Table& table) { ((table[Positions - 1] = reinterpret_cast<void*>(&unexpected<Positions>)), ...); }
};

// A host interface's table, with the two words that the Itanium C++ ABI
// keeps in front of a table: the offset to the whole object and its
// run-time type. A library built with the undefined-behaviour sanitizer
// checks, on each call, that the object it calls is of the interface type it
// calls through; the fake host's interfaces therefore carry the run-time
// type of the interface as the contract names it, ovra::<interface>, derived
// from ovra::IMpUnknown. Positions are unaffected: position 1 is the first
// word after the prefix.
struct TypedTable {
    intptr_t offsetToTop = 0;
    const std::type_info* type = nullptr;
    Table slots = {};
};

std::string mangledOvraName(const std::string& name) { return "N4ovra" + std::to_string(name.size()) + name + "E"; }

const __cxxabiv1::__class_type_info& unknownType() {
    static const std::string name = mangledOvraName("IMpUnknown");
    static const __cxxabiv1::__class_type_info type(name.c_str());
    return type;
}

const std::type_info* interfaceType(const std::string& interfaceName) {
    if (interfaceName == "IMpUnknown") return &unknownType();
    static std::map<std::string, std::pair<std::unique_ptr<std::string>, std::unique_ptr<__cxxabiv1::__si_class_type_info>>> types;
    auto& entry = types[interfaceName];
    if (!entry.second) {
        entry.first = std::make_unique<std::string>(mangledOvraName(interfaceName));
        entry.second = std::make_unique<__cxxabiv1::__si_class_type_info>(entry.first->c_str(), &unknownType());
    }
    return entry.second.get();
}

// Fills in the positions of each interface the fake host offers.
void fillPositions(const std::string& interfaceName, Table& table) {
    Unexpected<4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16>::fill(table);
    table[0] = reinterpret_cast<void*>(&hostQueryInterface);
    table[1] = reinterpret_cast<void*>(&hostAddRef);
    table[2] = reinterpret_cast<void*>(&hostRelease);
    if (interfaceName == "IMpDspHost") {
        table[3] = reinterpret_cast<void*>(&publishPinValue);
        table[4] = reinterpret_cast<void*>(&announceStreaming);
        table[5] = reinterpret_cast<void*>(&offerSleep);
        // Position 7 holds its place and is never called.
        table[7] = reinterpret_cast<void*>(&fillSleepCountdown);
        table[8] = reinterpret_cast<void*>(&readSampleRate);
    } else if (interfaceName == "IMpGuiHost" || interfaceName == "IMpGuiHost2") {
        table[3] = reinterpret_cast<void*>(&sendPinValue);
    } else if (interfaceName == "IQvCompositedGfxHost") {
        table[3] = reinterpret_cast<void*>(&takeCapture);
        table[4] = reinterpret_cast<void*>(&getCapture);
        table[5] = reinterpret_cast<void*>(&giveCapture);
        table[6] = reinterpret_cast<void*>(&invalidateRect);
    }
    // IMpUnknown, the auxiliary DSP host and the two window hosts have only
    // the three positions of IMpUnknown: they are obtained and never called.
}

std::string hostInterfaceName(const Guid& id) {
    for (const NamedGuid& named : allIdentifiers())
        if (*named.id == id) return named.name;
    throw std::invalid_argument("not an identifier of the contract: " + guidText(id));
}

void* const* tableFor(const Guid& id) {
    static const std::set<std::string> hostInterfaces = {"IMpUnknown",   "IMpDspHost",           "IMpDspHostAux",
                                                         "IMpGuiHost",   "IMpGuiHost2",          "IQvCompositedGfxHost",
                                                         "IMpWinGdiHost", "IQvWindowsGfxHost"};
    const std::string name = hostInterfaceName(id);
    if (hostInterfaces.count(name) == 0) throw std::invalid_argument(name + " is not a host interface");
    static std::map<std::string, std::unique_ptr<TypedTable>> tables;
    auto& table = tables[name];
    if (!table) {
        table = std::make_unique<TypedTable>();
        table->type = interfaceType(name);
        fillPositions(name, table->slots);
    }
    return table->slots;
}

}  // namespace

FakeHost::FakeHost() : unknown_(new Face{tableFor(iid::kUnknown), this, iid::kUnknown}) {}
FakeHost::~FakeHost() = default;

FakeHost& FakeHost::offer(const Guid& id) {
    faces_[guidText(id)].reset(new Face{tableFor(id), this, id});
    return *this;
}

void* FakeHost::unknown() { return unknown_.get(); }

FakeHost::Face* FakeHost::face(const Guid& id) const {
    if (id == iid::kUnknown) return unknown_.get();
    auto found = faces_.find(guidText(id));
    return found == faces_.end() ? nullptr : found->second.get();
}

int FakeHost::references(const Guid& id) const {
    const Face* f = face(id);
    return f == nullptr ? 0 : f->references;
}

namespace {

int32_t hostQueryInterface(Face* self, const uint8_t* id, void** out) {
    Guid asked;
    std::memcpy(asked.bytes, id, 16);
    FakeHost& host = *self->host;
    host.queries.push_back(asked);
    *out = nullptr;
    Face* found = host.face(asked);
    if (found == nullptr) return code::kNotFound;
    ++found->references;
    *out = found;
    return code::kOk;
}

}  // namespace

}  // namespace rawabi
