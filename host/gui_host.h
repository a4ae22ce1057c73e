// A GUI-side host for tests and tools: answers the GUI host interfaces,
// records every call, and can wire a module's pin to another module's pin
// (deliver, then signal), as the real host carries values along a patch.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "abi/framework_types.h"
#include "values.h"

namespace ovra::host {

class RecordingGuiHost;

// One value carried along a wire: sent on fromPin of the module behind `from`,
// delivered to toPin of `to`.
struct GuiDelivery {
    const RecordingGuiHost* from = nullptr;
    int32_t fromPin = 0;
    IMpUnknown* to = nullptr;
    int32_t toPin = 0;
};

// Wired GUI modules may feed each other in a ring. A ring that settles
// (each module sends only what changed) ends by itself; one whose value keeps
// changing would nest deliveries without end. A delivery nested deeper than
// kMaxGuiDeliveryDepth is therefore not made, and the chain that led to it is
// kept in the hosts' GuiDeliveries until the host takes it.
inline constexpr int kMaxGuiDeliveryDepth = 64;

// The deliveries under way along the wires of GUI hosts, and the first chain
// that was cut. The hosts of modules wired to each other share one
// (RecordingGuiHost::shareDeliveries), so that a ring through several modules
// counts as one chain.
class GuiDeliveries {
public:
    // The chain of the first delivery cut since the last call, outermost
    // first, and forgets it; empty when no delivery was cut.
    std::vector<GuiDelivery> takeCut();

private:
    friend class RecordingGuiHost;
    std::vector<GuiDelivery> underWay_;  // outermost first
    std::vector<GuiDelivery> cut_;
    // Set from a cut until the outermost send returns: the rest of that chain
    // is not delivered either, or a ring that fans out would still take for ever.
    bool unwinding_ = false;
};
// The repeating part of a cut chain: the deliveries of one turn round the ring.
std::vector<GuiDelivery> ringOf(const std::vector<GuiDelivery>& chain);

struct GuiCall {
    enum Kind { Query, Send, Invalidate, SetCapture, GetCapture, ReleaseCapture };
    Kind kind;
    int32_t pinIndex = 0;
    Bytes bytes{};                    // Send
    int32_t voice = 0;                // Send
    std::optional<GuiRect> rect{};    // Invalidate: nullopt for the whole area
    Guid iid{};                       // Query
};

// One host object per module: sendPinValue does not say which module sends.
class RecordingGuiHost : public IMpGuiHost,
                         public IMpGuiHost2,
                         public IQvCompositedGfxHost,
                         public IMpWinGdiHost,
                         public IQvWindowsGfxHost {
public:
    // Which interfaces the host answers; all by default.
    bool answersGuiHost = true;
    bool answersGuiHost2 = true;
    bool answersComposited = true;
    bool answersWinGdi = true;
    bool answersWindowsGfx = true;
    int32_t captured = 0;  // what getCapture writes

    // Virtual for the hosts derived from this one, deleted through it. The
    // destructor's entries follow the interfaces' slots in the table, so a
    // module sees the same table as before.
    virtual ~RecordingGuiHost() = default;

    std::vector<GuiCall> calls;
    // The deliveries this host's wires count in: its own, unless shared with
    // the hosts of the modules it is wired to.
    GuiDeliveries& deliveries() { return *deliveries_; }
    void shareDeliveries(std::shared_ptr<GuiDeliveries> shared) { deliveries_ = std::move(shared); }
    // Called on every sendPinValue after it is recorded and carried along the
    // wires, e.g. to turn GUI values into events for a DSP half.
    std::function<void(int32_t pin, const Bytes&)> onSend;

    int32_t QueryInterface(const Guid* iid, void** out) override;
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    int32_t sendPinValue(int32_t pinIndex, int32_t size, const void* data, int32_t voice) override;
    int32_t setCapture() override;
    int32_t getCapture(int32_t* captured) override;
    int32_t releaseCapture() override;
    int32_t invalidateRect(const GuiRect* rect) override;

    // The host pointer to hand to instantiate or attachHost.
    IMpUnknown* unknown() { return static_cast<IMpGuiHost*>(this); }

    // Every value sent on fromPin is delivered to toPin of target and then
    // announced there (either GUI family).
    void wire(int32_t fromPin, IMpUnknown* target, int32_t toPin);

    // Recorded sends, in order (optionally of one pin only).
    std::vector<GuiCall> sends(std::optional<int32_t> pin = std::nullopt) const;
    size_t invalidations() const;
    void clear() { calls.clear(); }

private:
    std::multimap<int32_t, std::pair<IMpUnknown*, int32_t>> wires_;
    std::shared_ptr<GuiDeliveries> deliveries_ = std::make_shared<GuiDeliveries>();
};

// Hands a value to a GUI module of either family: deliverPinValue, then
// signalPinChange. Answers the first non-OK code, or RC_OK.
int32_t deliverAndSignal(IMpUnknown* module, int32_t pin, const Bytes& bytes, int32_t voice = 0);
int32_t deliverOnly(IMpUnknown* module, int32_t pin, const Bytes& bytes, int32_t voice = 0);
int32_t signalOnly(IMpUnknown* module, int32_t pin, int32_t voice = 0);

// Second family: the host's own attachHost call. RC_NOT_FOUND for a module
// without IMpUserInterface2.
int32_t attachGuiHost(IMpUnknown* module, IMpUnknown* host);

// A GUI module created from a library; releases its reference when destroyed.
class GuiModule {
public:
    explicit GuiModule(IMpUnknown* created) : module_(created) {}  // takes the reference
    ~GuiModule() {
        if (module_ != nullptr)
            module_->Release();
    }
    GuiModule(const GuiModule&) = delete;
    GuiModule& operator=(const GuiModule&) = delete;

    IMpUnknown* get() const { return module_; }
    explicit operator bool() const { return module_ != nullptr; }
    int32_t attach(RecordingGuiHost& host) { return attachGuiHost(module_, host.unknown()); }
    int32_t deliverAndSignal(int32_t pin, const Bytes& bytes, int32_t voice = 0) {
        return host::deliverAndSignal(module_, pin, bytes, voice);
    }

private:
    IMpUnknown* module_;
};

}  // namespace ovra::host
