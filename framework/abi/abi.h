// The contract between a plug-in library and the host that loads it.
//
// Every interface is a table of operations in a fixed order, called as
// virtual member functions. None of them has a virtual destructor: the
// table holds exactly the operations listed, inherited ones first. Results
// are 32-bit codes; no exception and no standard-library type crosses here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace ovra {

// Text on the wire is UTF-16 code units on every platform.
using wchar = char16_t;
using wstring = std::u16string;

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

// Null-safe comparison for identifiers handed in by a host.
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
// Codes.

enum : int32_t { RC_OK = 0, RC_FAILED = -1, RC_NOT_FOUND = -2 };

enum : int32_t { SUBTYPE_DSP = 0, SUBTYPE_GUI_V1 = 1, SUBTYPE_GUI_V2 = 2 };

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
// with valuePointer null.

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
    // Sets *out to null, then to the matching interface of this object (with
    // one AddRef) and answers RC_OK, or answers RC_NOT_FOUND.
    virtual int32_t QueryInterface(const Guid* iid, void** out) = 0;
    virtual uint32_t AddRef() = 0;
    // The last Release destroys the object and answers 0.
    virtual uint32_t Release() = 0;
};

class IMpFactory : public IMpUnknown {
public:
    // [any thread] Creates a module and hands it the host. RC_OK (with *out
    // null when the creation routine made nothing), RC_FAILED when creation
    // threw, RC_NOT_FOUND when (id, subType) is not registered.
    virtual int32_t instantiate(const wchar* id, int32_t subType, IMpUnknown* host, IMpUnknown** out) = 0;
    // Writes the framework version and a NUL-terminated build text of at most
    // maxChars code units.
    virtual int32_t describeBuild(int32_t* version, int32_t maxChars, wchar* text) = 0;
};

class IMpFactory2 : public IMpFactory {
public:
    // As instantiate, without a host.
    virtual int32_t instantiateBare(const wchar* id, int32_t subType, IMpUnknown** out) = 0;
};

// ---------------------------------------------------------------------------
// DSP modules. [audio thread] for processBlock; the rest from the host's
// set-up thread, one call at a time.

class IMpPlugin : public IMpUnknown {
public:
    virtual int32_t activate() = 0;
    // RC_FAILED when the module has no pin with that index.
    virtual int32_t assignPinBuffer(int32_t pinIndex, float* buffer) = 0;
    // Processes sampleCount samples; events arrive in time order, or null.
    virtual void processBlock(int32_t sampleCount, const HostEvent* events) = 0;
    // Passed on unchanged; no module of the system acts on it.
    virtual int32_t deliverMessage(int32_t a, int32_t b, void* c) = 0;
};

class IMpPlugin2 : public IMpUnknown {
public:
    // Asks the host for IMpDspHost and answers that query's result.
    virtual int32_t attachHost(IMpUnknown* host) = 0;
    virtual int32_t activate() = 0;
    virtual int32_t assignPinBuffer(int32_t pinIndex, float* buffer) = 0;
    virtual void processBlock(int32_t sampleCount, const HostEvent* events) = 0;
    virtual int32_t deliverMessage(int32_t a, int32_t b, void* c) = 0;
};

// Framework-internal: never handed out by QueryInterface; the factory finds
// it on a new object by dynamic_cast.
class IoldSchoolInitialisation {
public:
    virtual int32_t attachHost(IMpUnknown* host) = 0;
};

class IMpLegacyInitialization : public IMpUnknown {
public:
    virtual int32_t attachHost(IMpUnknown* host) = 0;
};

// What DSP modules call on the host, on the thread that called them.
class IMpDspHost : public IMpUnknown {
public:
    // The value of a control output, valid from sampleOffset on; the host
    // reads the bytes during the call.
    virtual int32_t publishPinValue(int32_t sampleOffset, int32_t pinIndex, int32_t size, const void* data) = 0;
    virtual int32_t announceStreaming(int32_t sampleOffset, int32_t pinIndex, bool streaming) = 0;
    // After this call the module processes nothing more in the block.
    virtual int32_t offerSleep() = 0;
    virtual int32_t reserved7() = 0;  // never called; holds its place
    // The host writes how many samples must still run before sleeping.
    virtual int32_t fillSleepCountdown(int32_t* countdown) = 0;
    virtual int32_t readSampleRate(float* rate) = 0;
};

// Asked for by adsr modules and kept; never called.
class IMpDspHostAux : public IMpUnknown {};

// ---------------------------------------------------------------------------
// GUI modules. [GUI thread]

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

// First family (sub-type 1); host attached by the factory.
class IMpUserInterface : public IMpUnknown {
public:
    virtual int32_t initialiseGui() = 0;
    // Stores the value; runs no callback. RC_FAILED for an unknown index.
    virtual int32_t deliverPinValue(int32_t pinIndex, int32_t voice, int32_t size, const void* data) = 0;
    // Runs the pin's callback, every time. RC_FAILED for an unknown index.
    virtual int32_t signalPinChange(int32_t pinIndex, int32_t voice) = 0;
    virtual int32_t reserved7() = 0;
    virtual int32_t reserved8() = 0;
    virtual int32_t reserved9() = 0;
};

// Second family (sub-type 2); the host calls attachHost itself.
class IMpUserInterface2 : public IMpUnknown {
public:
    // RC_OK when IMpGuiHost2 was obtained, else RC_NOT_FOUND.
    virtual int32_t attachHost(IMpUnknown* host) = 0;
    virtual int32_t reserved5() = 0;
    virtual int32_t deliverPinValue(int32_t pinIndex, int32_t voice, int32_t size, const void* data) = 0;
    virtual int32_t reserved7() = 0;
    virtual int32_t reserved8() = 0;
    virtual int32_t reserved9() = 0;
    virtual int32_t reserved10() = 0;
    virtual int32_t signalPinChange(int32_t pinIndex, int32_t voice) = 0;
};

class IMpUserInterface2B : public IMpUserInterface2 {};

// Window and device-context handles are opaque to the ABI.
using WindowHandle = void*;
using DeviceContext = void*;

class IMpGraphicsWinGdi : public IMpUnknown {
public:
    // Each dimension clamped to 15..100.
    virtual int32_t measure(GuiSize available, GuiSize* result) = 0;
    virtual int32_t arrange(const GuiRect* placement) = 0;
    virtual int32_t openWindow(WindowHandle parent, WindowHandle* window) = 0;
    virtual int32_t closeWindow() = 0;
};

class IQvGraphicsComposited : public IMpUnknown {
public:
    virtual int32_t onPaint(DeviceContext dc) = 0;
    virtual int32_t measure(GuiSize available, GuiSize* result) = 0;
    virtual int32_t arrange(const GuiRect* placement) = 0;
    virtual int32_t reserved7() = 0;
    virtual int32_t reserved8() = 0;
    virtual int32_t reserved9() = 0;
    virtual int32_t reserved10() = 0;
    virtual int32_t reserved11() = 0;
};

// What GUI modules call on the host.
class IMpGuiHost : public IMpUnknown {
public:
    virtual int32_t sendPinValue(int32_t pinIndex, int32_t size, const void* data, int32_t voice) = 0;
};

class IMpGuiHost2 : public IMpUnknown {
public:
    virtual int32_t sendPinValue(int32_t pinIndex, int32_t size, const void* data, int32_t voice) = 0;
};

// Obtained by the windowed drawing bases and kept; never called.
class IMpWinGdiHost : public IMpUnknown {};
class IQvWindowsGfxHost : public IMpUnknown {};

class IQvCompositedGfxHost : public IMpUnknown {
public:
    virtual int32_t setCapture() = 0;
    // The host writes non-zero when the module holds the mouse capture.
    virtual int32_t getCapture(int32_t* captured) = 0;
    virtual int32_t releaseCapture() = 0;
    // Null means the whole module area.
    virtual int32_t invalidateRect(const GuiRect* rect) = 0;
};

// The single export of every library.
using GetFactoryFunction = int32_t (*)(void** factory);

}  // namespace ovra
