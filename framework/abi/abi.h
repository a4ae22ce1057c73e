// The contract between a plug-in library and the host that loads it.
//
// Every interface is a table of operations in a fixed order, called as
// virtual member functions. None of them has a virtual destructor: the
// table holds exactly the operations listed, inherited ones first, and the
// slot numbers in the comments ("slot 4") count from 1 the way a host
// compiled elsewhere indexes the table. Results are 32-bit codes; no
// exception and no standard-library type crosses here.
//
// Threads: [audio] is the host's audio thread, [gui] its GUI thread,
// [set-up] whatever thread creates and configures a module before it runs.
// An object relies on being called from one thread at a time; nothing here
// locks. Every entry point accepts any argument a host can pass: a bad one
// gets the answer its comment gives, never a crash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ovra {

// Text on the wire is UTF-16 code units on every platform.
using wchar = char16_t;

// ---------------------------------------------------------------------------
// Interface identifiers: 16 bytes in the Windows GUID layout, compared whole.

struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};
static_assert(sizeof(Guid) == 16);

inline bool operator==(const Guid& a, const Guid& b) { return std::memcmp(&a, &b, sizeof(Guid)) == 0; }

// Null-safe comparison for identifiers handed in by a host. The constants
// below are the identifiers hosts are built against: never edit one.
inline bool isGuid(const Guid* iid, const Guid& known) { return iid != nullptr && *iid == known; }

inline constexpr Guid IID_IMpUnknown{0x00000000, 0x0000, 0xC000, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr Guid IID_IMpFactory{0x9A7904B7, 0x7F7F, 0x4D61, {0xB5, 0x58, 0xC1, 0xA6, 0x69, 0x5B, 0xB6, 0x38}};
inline constexpr Guid IID_IMpFactory2{0x91C3D2EE, 0xC701, 0x4F35, {0x91, 0xA6, 0x09, 0x4D, 0xC7, 0xE0, 0x59, 0x76}};
inline constexpr Guid IID_IMpPlugin{0x2B0DFC7E, 0xA539, 0x49CD, {0xB7, 0x2D, 0x32, 0xFF, 0x9D, 0xF0, 0xD9, 0xE4}};
inline constexpr Guid IID_IMpPlugin2{0x1E07E3E8, 0x8118, 0x457F, {0xA6, 0x3C, 0xD4, 0xF2, 0x82, 0xA0, 0xF5, 0x19}};
inline constexpr Guid IID_IMpLegacyInitialization{0x0B471002, 0x5627, 0x4D46, {0x98, 0x4E, 0xC0, 0xDC, 0x79, 0xD0, 0xAD, 0x35}};
inline constexpr Guid IID_IMpDspHost{0x4F1B532F, 0x3C46, 0x4927, {0xA4, 0x98, 0x61, 0x48, 0x67, 0x42, 0x5B, 0xE7}};
inline constexpr Guid IID_IMpDspHostAux{0x87CCD426, 0x71D7, 0x414E, {0xA9, 0xA6, 0x5A, 0xDC, 0xA8, 0x1C, 0x74, 0x20}};
inline constexpr Guid IID_IMpUserInterface{0xCACB3203, 0x4A57, 0x4209, {0x9E, 0x00, 0x0C, 0x4B, 0x95, 0x04, 0x57, 0xF6}};
inline constexpr Guid IID_IMpUserInterface2{0x9CD06775, 0xF5C2, 0x4321, {0x81, 0x2D, 0x09, 0x58, 0x15, 0x32, 0x94, 0xB8}};
inline constexpr Guid IID_IMpUserInterface2B{0x21B0EC11, 0x6B66, 0x4B72, {0x92, 0x8E, 0x77, 0xE9, 0x3A, 0x31, 0xA6, 0x28}};
inline constexpr Guid IID_IMpGraphicsWinGdi{0x76FAC807, 0x0C89, 0x465D, {0x9F, 0xAF, 0x49, 0xB1, 0x2D, 0x96, 0x41, 0x18}};
inline constexpr Guid IID_IQvGraphicsComposited{0x0157347B, 0x3FD3, 0x4CEE, {0x94, 0x7E, 0x88, 0xF6, 0x94, 0x34, 0x92, 0x54}};
inline constexpr Guid IID_IMpGuiHost{0x174F9DDC, 0x1850, 0x40DB, {0xBA, 0xF0, 0xE0, 0xB4, 0x1D, 0x07, 0x96, 0x45}};
inline constexpr Guid IID_IMpGuiHost2{0xDE009D92, 0xE281, 0x4F92, {0x99, 0x96, 0x20, 0x0F, 0x49, 0x69, 0x00, 0x28}};
inline constexpr Guid IID_IQvCompositedGfxHost{0x2A3F4D28, 0x52C5, 0x4A31, {0xBF, 0x85, 0xB7, 0x98, 0x53, 0x26, 0x5F, 0x65}};
inline constexpr Guid IID_IMpWinGdiHost{0xE52FAA41, 0x42C3, 0x40A6, {0xA1, 0x1A, 0xE6, 0x9D, 0xB3, 0x35, 0xCE, 0x50}};
inline constexpr Guid IID_IQvWindowsGfxHost{0xB1EFF8C9, 0x9ADC, 0x450B, {0xBC, 0xD6, 0xD3, 0x59, 0xCF, 0xDC, 0x82, 0x75}};

// ---------------------------------------------------------------------------
// Codes. Every operation answers one of the three result codes; a host may
// rely on nothing else.

enum : int32_t { RC_OK = 0, RC_FAILED = -1, RC_NOT_FOUND = -2 };

// The second half of a module's registry key: which half the factory makes.
enum : int32_t { SUBTYPE_DSP = 0, SUBTYPE_GUI_V1 = 1, SUBTYPE_GUI_V2 = 2 };

// How a pin reports its type. On the wire: text is UTF-16 code units without
// a terminator (size = 2 x length), bool 1 byte (or 4 as an int, non-zero =
// true), float and int 4 bytes little-endian, blob its bytes, audio none.

enum : int32_t {
    DATATYPE_TEXT = 1,
    DATATYPE_BOOL = 4,
    DATATYPE_AUDIO = 5,
    DATATYPE_FLOAT = 6,
    DATATYPE_INT = 8,
    DATATYPE_BLOB = 10,
};

enum : int32_t { DIRECTION_IN = 0, DIRECTION_OUT = 1 };

enum : int32_t {
    EV_PIN_VALUE = 100,   // a control input receives valueSize bytes
    EV_STREAM_ON = 101,   // an audio input starts changing from sample to sample
    EV_STREAM_OFF = 102,  // an audio input holds a constant value
    EV_PIN_OTHER = 103,   // routed to the pin; no pin class acts on it
    EV_START = 104,       // the graph starts: outputs send their initial state
};

// ---------------------------------------------------------------------------
// The event record the host hands to processBlock: a singly linked list in
// ascending sampleOffset. Values of up to 8 bytes may travel in inlineValue
// with valuePointer null. The host owns the list and the value bytes; they
// are valid only during that processBlock call, and a module copies what it
// keeps. Offsets before the block count as 0; offsets at or beyond its end
// are not delivered in that block, except that a block of 0 samples
// delivers the events at offset 0; unknown kinds and pins are skipped.

struct HostEvent {
    int32_t sampleOffset;
    int32_t kind;
    int32_t pinIndex;
    int32_t valueSize;
    uint8_t inlineValue[8];
    const void* valuePointer;
    HostEvent* nextEvent;
};
static_assert(offsetof(HostEvent, sampleOffset) == 0);
static_assert(offsetof(HostEvent, kind) == 4);
static_assert(offsetof(HostEvent, pinIndex) == 8);
static_assert(offsetof(HostEvent, valueSize) == 12);
static_assert(offsetof(HostEvent, inlineValue) == 16);
static_assert(offsetof(HostEvent, valuePointer) == 24);
static_assert(offsetof(HostEvent, nextEvent) == 32);
static_assert(sizeof(HostEvent) == 40);

// ---------------------------------------------------------------------------
// Base and factory.

class IMpUnknown {
public:
    // Slot 1, [any thread the object is called on]. Sets *out to null, then to
    // the matching interface of this object (with one AddRef) and answers
    // RC_OK, or answers RC_NOT_FOUND. A query on any interface answers for the
    // whole object; IMpUnknown gives the object's first interface. A null iid
    // or out answers RC_NOT_FOUND and touches nothing else.
    virtual int32_t QueryInterface(const Guid* iid, void** out) = 0;
    // Slot 2. Adds one reference to the whole object; answers the new count.
    virtual uint32_t AddRef() = 0;
    // Slot 3. Drops one reference; the last Release destroys the object and
    // answers 0, after which no pointer into it may be used. The factory does
    // not count: both answer 1 and it lives until the library unloads.
    virtual uint32_t Release() = 0;
};

class IMpFactory : public IMpUnknown {
public:
    // Slot 4, [set-up or gui]. Creates a module and hands it the host. id is a
    // NUL-terminated identifier the factory reads during the call and does not
    // keep. RC_OK (with *out null when the creation routine made nothing),
    // RC_FAILED when creation threw or out is null, RC_NOT_FOUND when
    // (id, subType) is not registered or id is null. The caller owns the one
    // reference *out starts with; on failure *out stays null and nothing
    // is left behind.
    virtual int32_t instantiate(const wchar* id, int32_t subType, IMpUnknown* host, IMpUnknown** out) = 0;
    // Slot 5, [any thread]. Writes the framework version (30800) and a
    // NUL-terminated build text of at most maxChars code units, cut to fit.
    // A null pointer or maxChars <= 0 leaves that output alone; answers RC_OK.
    virtual int32_t describeBuild(int32_t* version, int32_t maxChars, wchar* text) = 0;
};

class IMpFactory2 : public IMpFactory {
public:
    // Slot 6, [set-up or gui]. As instantiate, without a host: DSP halves get
    // theirs from attachHost, second-family GUI halves from their attachHost;
    // first-family GUI modules stay without one and send nothing.
    virtual int32_t instantiateBare(const wchar* id, int32_t subType, IMpUnknown** out) = 0;
};

// ---------------------------------------------------------------------------
// DSP modules: one object with the table pointers IMpPlugin (its first, also
// its IMpUnknown), IMpPlugin2 and, in modules set up the legacy way,
// IMpLegacyInitialization; all count on one count. processBlock runs on
// [audio]; the rest on [set-up], before or between blocks, never during one.

class IMpPlugin : public IMpUnknown {
public:
    // Slot 4. Answers RC_OK; the framework does nothing here.
    virtual int32_t activate() = 0;
    // Slot 5. Gives an audio pin its buffer of 32-bit samples, which the host
    // owns and keeps valid, at least a block long, until it assigns another.
    // A null buffer reads as silence and writes nowhere. RC_FAILED when the
    // module has no pin with that index (no side effect), else RC_OK.
    virtual int32_t assignPinBuffer(int32_t pinIndex, float* buffer) = 0;
    // Slot 6, [audio]. Processes sampleCount samples (0 or less: an empty
    // block); events arrive in time order, or null (see HostEvent). Calls back
    // into IMpDspHost during the call only. Allocates nothing, except a text
    // pin storing a longer value. May end early by calling offerSleep.
    virtual void processBlock(int32_t sampleCount, const HostEvent* events) = 0;
    // Slot 7. Passed on unchanged to the module; no module of the system acts
    // on it, so it answers 0. It and IMpPlugin2's entry reach the same
    // handler, so a module receives calls made through both.
    virtual int32_t deliverMessage(int32_t a, int32_t b, void* c) = 0;
};

class IMpPlugin2 : public IMpUnknown {
public:
    // Slot 4, [set-up]. Asks host for IMpDspHost (a module set up the
    // legacy way first asks for IMpDspHostAux) and keeps one reference, released when the module is
    // destroyed; answers that query's result. A null or interface-less host
    // answers RC_NOT_FOUND and the module runs without one, publishing
    // nothing. Attaching again takes the new host first, then gives the old
    // one back, so re-attaching the same host is safe.
    virtual int32_t attachHost(IMpUnknown* host) = 0;
    // Slots 5 to 8: as the IMpPlugin operations of the same names.
    virtual int32_t activate() = 0;
    virtual int32_t assignPinBuffer(int32_t pinIndex, float* buffer) = 0;
    virtual void processBlock(int32_t sampleCount, const HostEvent* events) = 0;
    virtual int32_t deliverMessage(int32_t a, int32_t b, void* c) = 0;
};

// Modules set up the legacy way only: their fourth table pointer.
class IMpLegacyInitialization : public IMpUnknown {
public:
    // Slot 4, [set-up]. As IMpPlugin2::attachHost.
    virtual int32_t attachHost(IMpUnknown* host) = 0;
};

// What DSP modules call on the host: only during processBlock (and attachHost
// and the last Release for the reference), on the thread that called them.
// Results are ignored. Positions are always inside the current block.
class IMpDspHost : public IMpUnknown {
public:
    // Slot 4. The value of a control output (pin's wire encoding, size bytes),
    // valid from sampleOffset on. The bytes belong to the module: the host
    // reads them during the call and must copy what it keeps.
    virtual int32_t publishPinValue(int32_t sampleOffset, int32_t pinIndex, int32_t size, const void* data) = 0;
    // Slot 5. An audio output starts (true) or stops (false) changing from
    // sample to sample at sampleOffset. A stop always comes right after a
    // fillSleepCountdown call.
    virtual int32_t announceStreaming(int32_t sampleOffset, int32_t pinIndex, bool streaming) = 0;
    // Slot 6. The module may sleep; after this call it processes nothing more
    // in the block.
    virtual int32_t offerSleep() = 0;
    // Slot 7. Never called; holds its place in the table.
    virtual int32_t reserved7() = 0;
    // Slot 8. The host writes how many samples must still run before the
    // module may sleep (a value it leaves unwritten counts as 0).
    virtual int32_t fillSleepCountdown(int32_t* countdown) = 0;
    // Slot 9. The host writes the sample rate in samples per second; a module
    // may ask whenever it needs it and copes with 0, NaN or an unwritten rate.
    virtual int32_t readSampleRate(float* rate) = 0;
};

// Asked for by modules set up the legacy way and kept; never called and never released.
class IMpDspHostAux : public IMpUnknown {};

// ---------------------------------------------------------------------------
// GUI modules: everything on [gui]. Both families answer IMpUnknown with their
// GUI interface pointer and count on one count. The unused slots keep the
// answers that hosts built against each family expect: RC_OK in the first
// family and in IQvGraphicsComposited, RC_FAILED in slots 7 to 10 of the
// second family; no module overrides them.

struct GuiSize {
    int32_t width;
    int32_t height;
};
struct GuiRect {
    int32_t top;
    int32_t bottom;
    int32_t left;
    int32_t right;
};
struct GuiPoint {
    int32_t x;
    int32_t y;
};

// First family (sub-type 1); the factory's instantiate attaches the
// host, which must answer IMpGuiHost.
class IMpUserInterface : public IMpUnknown {
public:
    // Slot 4. Called once after creation; the module computes its initial
    // outputs (sending them) and drawn modules start GDI+. RC_OK.
    virtual int32_t initialiseGui() = 0;
    // Slot 5. Stores the value (size bytes in the pin's wire encoding, copied
    // during the call; voice unused); runs no callback and sends nothing.
    // RC_FAILED for an unknown index, a negative size, or null data with a
    // size above 0: the pin keeps its value.
    virtual int32_t deliverPinValue(int32_t pinIndex, int32_t voice, int32_t size, const void* data) = 0;
    // Slot 6. Runs the pin's callback, every time, on the value it holds; the
    // callback may send values (re-entering the host). RC_FAILED for an
    // unknown index.
    virtual int32_t signalPinChange(int32_t pinIndex, int32_t voice) = 0;
    // Slots 7 to 9. Unused; hold their places and answer RC_OK.
    virtual int32_t reserved7() = 0;
    virtual int32_t reserved8() = 0;
    virtual int32_t reserved9() = 0;
};

// Second family (sub-type 2: GUI halves that draw nothing and keep no host
// of their own from creation); the host calls attachHost itself,
// instantiate does not.
class IMpUserInterface2 : public IMpUnknown {
public:
    // Slot 4. Asks host for IMpGuiHost2 and keeps it without a reference:
    // RC_OK when obtained, else RC_NOT_FOUND and the module sends nothing.
    virtual int32_t attachHost(IMpUnknown* host) = 0;
    // Slot 5. Unused; holds its place and answers RC_OK.
    virtual int32_t reserved5() = 0;
    // Slot 6. As IMpUserInterface::deliverPinValue.
    virtual int32_t deliverPinValue(int32_t pinIndex, int32_t voice, int32_t size, const void* data) = 0;
    // Slots 7 to 10. Unused; hold their places and answer RC_FAILED.
    virtual int32_t reserved7() = 0;
    virtual int32_t reserved8() = 0;
    virtual int32_t reserved9() = 0;
    virtual int32_t reserved10() = 0;
    // Slot 11. As IMpUserInterface::signalPinChange.
    virtual int32_t signalPinChange(int32_t pinIndex, int32_t voice) = 0;
};

// The same table under a second identifier; both answer the same pointer.
class IMpUserInterface2B : public IMpUserInterface2 {};

// Window and device-context handles are opaque to the ABI.
using WindowHandle = void*;
using DeviceContext = void*;

// Drawn modules that open a child window of their own (the framework has a
// base for them; no registered module uses it yet). The module owns its window from
// openWindow to closeWindow; the window class "DefaultMpWClass" exists while
// any window of the library is open.
class IMpGraphicsWinGdi : public IMpUnknown {
public:
    // Slot 4. Writes available with each dimension clamped to 15..100.
    // RC_FAILED for a null result.
    virtual int32_t measure(GuiSize available, GuiSize* result) = 0;
    // Slot 5. Copies the placement (any values); RC_FAILED for null.
    virtual int32_t arrange(const GuiRect* placement) = 0;
    // Slot 6. Creates the child window at the stored placement inside parent
    // and writes its handle (null when creation failed). RC_OK.
    virtual int32_t openWindow(WindowHandle parent, WindowHandle* window) = 0;
    // Slot 7. Destroys the window if one is open. RC_OK.
    virtual int32_t closeWindow() = 0;
};

// Drawn modules that paint into a surface the host owns.
class IQvGraphicsComposited : public IMpUnknown {
public:
    // Slot 4. Paints the module into dc, a device context the host owns and
    // keeps valid for the call only (a null dc paints nothing). RC_OK.
    virtual int32_t onPaint(DeviceContext dc) = 0;
    // Slots 5 and 6. As IMpGraphicsWinGdi's measure and arrange; a module
    // with a size of its own answers it from measure.
    virtual int32_t measure(GuiSize available, GuiSize* result) = 0;
    virtual int32_t arrange(const GuiRect* placement) = 0;
    // Slots 7 to 11. Unused; hold their places and answer RC_OK.
    virtual int32_t reserved7() = 0;
    virtual int32_t reserved8() = 0;
    virtual int32_t reserved9() = 0;
    virtual int32_t reserved10() = 0;
    virtual int32_t reserved11() = 0;
};

// What GUI modules call on the host, on [gui], from inside the host's own
// calls into them (a callback, initialiseGui, a paint). Results are ignored.
// GUI modules keep these pointers for their life without a reference.
class IMpGuiHost : public IMpUnknown {
public:
    // Slot 4. A pin's new value (wire encoding, size bytes; voice always 0).
    // The bytes belong to the module and are valid during the call only: the
    // host copies them. The host may deliver values back into the module from
    // inside this call.
    virtual int32_t sendPinValue(int32_t pinIndex, int32_t size, const void* data, int32_t voice) = 0;
};

// Second-family modules' host: as IMpGuiHost.
class IMpGuiHost2 : public IMpUnknown {
public:
    // Slot 4. As IMpGuiHost::sendPinValue.
    virtual int32_t sendPinValue(int32_t pinIndex, int32_t size, const void* data, int32_t voice) = 0;
};

// Obtained by the windowed drawing bases and kept; never called.
class IMpWinGdiHost : public IMpUnknown {};
class IQvWindowsGfxHost : public IMpUnknown {};

// Composited modules' host, asked for after IMpGuiHost.
class IQvCompositedGfxHost : public IMpUnknown {
public:
    // Slot 4. The module takes the mouse capture.
    virtual int32_t setCapture() = 0;
    // Slot 5. The host writes non-zero when the module holds the capture.
    virtual int32_t getCapture(int32_t* captured) = 0;
    // Slot 6. The module gives the capture back.
    virtual int32_t releaseCapture() = 0;
    // Slot 7. Asks for a repaint of rect (read during the call); null means
    // the whole module area. Drawn modules call it when a shown value changes.
    virtual int32_t invalidateRect(const GuiRect* rect) = 0;
};

// The single export of every library, MP_GetFactory: writes the factory's
// IMpUnknown pointer, the same on every call, and answers RC_OK (a null out
// answers RC_NOT_FOUND). The factory lives until the
// library unloads; module objects the host still holds then are its own.
using GetFactoryFunction = int32_t (*)(void** factory);

}  // namespace ovra
