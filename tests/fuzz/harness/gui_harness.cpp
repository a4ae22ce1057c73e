// GUI entry points: creation through either factory operation, attachHost,
// initialiseGui, deliverPinValue and signalPinChange in any order with any
// index, voice, size and bytes, and for drawn modules measure, arrange and
// onPaint.
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "byte_reader.h"
#include "gui_host.h"
#include "harness.h"
#include "paint_target.h"

namespace ovra::fuzz {

namespace {

constexpr size_t kMaxDelivered = 600;
constexpr int kMaxCalls = 48;

bool isResultCode(int32_t rc) { return rc == RC_OK || rc == RC_FAILED || rc == RC_NOT_FOUND; }

// Both families offer the same pin traffic under different table positions.
struct GuiCalls {
    IMpUserInterface* v1 = nullptr;
    IMpUserInterface2B* v2 = nullptr;

    int32_t deliver(int32_t pin, int32_t voice, int32_t size, const void* data) const {
        return v1 != nullptr ? v1->deliverPinValue(pin, voice, size, data) : v2->deliverPinValue(pin, voice, size, data);
    }
    int32_t signal(int32_t pin, int32_t voice) const {
        return v1 != nullptr ? v1->signalPinChange(pin, voice) : v2->signalPinChange(pin, voice);
    }
    IMpUnknown* unknown() const { return v1 != nullptr ? static_cast<IMpUnknown*>(v1) : v2; }
};

// A host that calls back into the module from inside sendPinValue, as a
// host without a message queue would:
// - it carries some sends straight back (a patch cable from an output to one
//   of the module's own inputs), as a copy;
// - it follows a plan read from the input: deliver to a pin (the sending one
//   or another) from the very bytes the module is sending, at that size or
//   shorter, and announce it; announce a pin; or attach itself again;
// - it remembers where each pin's last sent bytes lie, so that the harness
//   can later hand them back (aliasing deliveries). A pin's bytes stay where
//   they are until the pin sends again or the host delivers to it; attaching
//   again forgets them all (a module without a host changes its pins
//   silently).
// Every loop is bounded as a host's own loop guard would bound it: in depth,
// in the number of calls per run and in the size carried. (A text join fed
// its own output doubles its text on every pass: unbounded, that is the
// patch's doing, not the module's.)
class ReentrantGuiHost : public host::RecordingGuiHost {
public:
    static constexpr int kMaxDepth = 6;
    static constexpr int kMaxCarried = 64;
    static constexpr size_t kMaxCarriedBytes = 4096;
    static constexpr size_t kPlanSize = 16;

    struct Sent {
        const void* data;
        int32_t size;
    };

    int32_t fromPin = -100;
    int32_t toPin = -100;
    IMpUnknown* module = nullptr;
    IMpUserInterface2B* v2 = nullptr;  // for attaching again
    uint8_t plan[kPlanSize] = {};
    std::map<int32_t, Sent> lastSent;

    int32_t sendPinValue(int32_t pinIndex, int32_t size, const void* data, int32_t voice) override {
        host::RecordingGuiHost::sendPinValue(pinIndex, size, data, voice);
        lastSent[pinIndex] = Sent{data, size};
        if (module == nullptr || depth_ >= kMaxDepth || carried_ >= kMaxCarried)
            return RC_OK;
        ++depth_;
        // data points at the pin's bytes only until the module changes that
        // pin: the plan reads them first, the loop-back carries a copy.
        const host::Bytes bytes = calls.back().bytes;
        followPlan(pinIndex, size, data);
        if (pinIndex == fromPin && bytes.size() <= kMaxCarriedBytes && carried_ < kMaxCarried) {
            ++carried_;
            deliverAndSignal(toPin, bytes);
        }
        --depth_;
        return RC_OK;
    }

    // A delivery replaces the pin's bytes: what it sent before is gone.
    void delivered(int32_t pin) { lastSent.erase(pin); }
    void deliverAndSignal(int32_t pin, const host::Bytes& bytes) {
        delivered(pin);
        host::deliverAndSignal(module, pin, bytes, 0);
    }
    void attachAgain() {
        lastSent.clear();
        if (v2 != nullptr)
            v2->attachHost(unknown());
    }

private:
    void followPlan(int32_t pinIndex, int32_t size, const void* data) {
        if (step_ >= kPlanSize || carried_ >= kMaxCarried)
            return;
        const uint8_t action = plan[step_++];
        const int32_t other = static_cast<int32_t>(action >> 4) - 1;  // -1 .. 14
        switch (action & 7) {
        case 0:
        case 1: {  // the module's own bytes, back to the same pin or another, at a size no larger
            const int32_t pin = (action & 8) != 0 ? pinIndex : other;
            const int32_t shorter = size > 0 ? static_cast<int32_t>((action >> 4) % (size + 1)) : 0;
            const int32_t n = (action & 1) != 0 ? size : shorter;
            ++carried_;
            delivered(pin);
            GuiView(module).deliver(pin, 0, n, data);
            GuiView(module).signal(pin, 0);
            break;
        }
        case 2:
            ++carried_;
            GuiView(module).signal(other, 0);
            break;
        case 3:
            ++carried_;
            attachAgain();
            break;
        default:
            break;
        }
    }

    // Either family's pin traffic through the module's own interface.
    struct GuiView {
        IMpUnknown* module;
        explicit GuiView(IMpUnknown* m) : module(m) {}
        template <class F>
        int32_t call(F&& f) const {
            void* ui = nullptr;
            int32_t r = RC_NOT_FOUND;
            if (module->QueryInterface(&IID_IMpUserInterface, &ui) == RC_OK) {
                r = f(static_cast<IMpUserInterface*>(ui));
                static_cast<IMpUserInterface*>(ui)->Release();
            } else if (module->QueryInterface(&IID_IMpUserInterface2B, &ui) == RC_OK) {
                r = f(static_cast<IMpUserInterface2B*>(ui));
                static_cast<IMpUserInterface2B*>(ui)->Release();
            }
            return r;
        }
        int32_t deliver(int32_t pin, int32_t voice, int32_t size, const void* data) const {
            return call([&](auto* ui) { return ui->deliverPinValue(pin, voice, size, data); });
        }
        int32_t signal(int32_t pin, int32_t voice) const {
            return call([&](auto* ui) { return ui->signalPinChange(pin, voice); });
        }
    };

    int depth_ = 0;
    int carried_ = 0;
    size_t step_ = 0;
};

// The bytes of one delivery; data points at exactly size bytes, or is null.
struct Delivery {
    std::vector<uint8_t> bytes;
    int32_t size = 0;
    const void* data = nullptr;
};

Delivery readDelivery(ByteReader& r) {
    Delivery d;
    switch (r.below(10)) {
    case 0:  // nothing
        break;
    case 1:
    case 2: {  // a float or an int
        d.bytes.resize(4);
        if (r.flag()) {
            const float f = r.oddFloat();
            std::memcpy(d.bytes.data(), &f, 4);
        } else {
            const int32_t v = r.oddInt();
            std::memcpy(d.bytes.data(), &v, 4);
        }
        break;
    }
    case 3:  // a bool byte, any value
        d.bytes.push_back(r.byte());
        break;
    case 4:  // a negative size
        d.bytes.resize(4);
        d.size = -1 - static_cast<int32_t>(r.u32() & 0x7FFFFFFF);
        d.data = d.bytes.data();
        return d;
    case 5:  // a size with no bytes behind it
        d.size = 1 + static_cast<int32_t>(r.below(64));
        d.data = nullptr;
        return d;
    default: {  // any bytes: text, blobs, odd lengths
        d.bytes.resize(r.below(kMaxDelivered));
        r.take(d.bytes.data(), d.bytes.size());
        break;
    }
    }
    d.size = static_cast<int32_t>(d.bytes.size());
    d.data = d.bytes.empty() ? (r.flag() ? nullptr : reinterpret_cast<const void*>(&d)) : d.bytes.data();
    return d;
}

GuiSize readSize(ByteReader& r) { return GuiSize{r.oddInt(), r.oddInt()}; }

GuiRect readRect(ByteReader& r) {
    if (r.flag())
        return GuiRect{0, static_cast<int32_t>(r.below(120)), 0, static_cast<int32_t>(r.below(120))};
    return GuiRect{r.oddInt(), r.oddInt(), r.oddInt(), r.oddInt()};
}

// Whatever size is offered, a drawn module asks for a small, positive one
// (the base clamps to 15..100; the meters answer a fixed 110 x 20).
void checkMeasured(const char* entry, GuiSize result) {
    if (result.width < 1 || result.width > 110 || result.height < 1 || result.height > 110)
        violated(entry, "measure writes a size that is not small and positive",
                 std::to_string(result.width) + " x " + std::to_string(result.height));
}

void checkSends(const host::RecordingGuiHost& h, size_t from) {
    for (size_t i = from; i < h.calls.size(); ++i) {
        const auto& c = h.calls[i];
        if (c.kind == host::GuiCall::Send && c.voice != 0)
            violated("sendPinValue", "a module sends with a voice other than 0");
    }
}

}  // namespace

void runGuiInput(const uint8_t* data, size_t size) {
    ByteReader r(data, size);
    static const std::vector<ModuleEntry> modules = guiModules();
    const ModuleEntry& entry = modules[r.below(modules.size())];
    host::Library& lib = library(entry.library);

    ReentrantGuiHost h;
    const uint8_t config = r.byte();
    if ((config & 0x1F) == 0) {  // one host in thirty-two lacks an interface
        h.answersGuiHost = (config & 0x20) != 0;
        h.answersGuiHost2 = (config & 0x40) != 0;
        h.answersComposited = (config & 0x80) != 0;
    }

    IMpUnknown* made = nullptr;
    const int mode = static_cast<int>(r.below(3));
    const int32_t rc = mode == 0   ? lib.create(entry.id, entry.subType, h.unknown(), &made)
                       : mode == 1 ? lib.createBare(entry.id, entry.subType, &made)
                                   : lib.create(entry.id, entry.subType, nullptr, &made);
    if (!isResultCode(rc) || (rc == RC_OK) != (made != nullptr))
        violated("instantiate", "a result other than RC_OK with a module, or a failure with one");
    if (rc != RC_OK) {
        // Only a first-family module refuses a host that lacks its interfaces.
        if (entry.subType != SUBTYPE_GUI_V1 || mode == 1 || (mode == 0 && h.answersGuiHost && h.answersComposited))
            violated("instantiate", "a registered GUI module was not created", host::toUtf8(entry.id));
        return;
    }

    GuiCalls gui;
    gui.v1 = host::queryInterface<IMpUserInterface>(made, IID_IMpUserInterface);
    gui.v2 = host::queryInterface<IMpUserInterface2B>(made, IID_IMpUserInterface2B);
    if ((gui.v1 == nullptr) == (gui.v2 == nullptr))
        violated("QueryInterface", "a GUI module answers neither or both GUI families");
    auto* composited = host::queryInterface<IQvGraphicsComposited>(made, IID_IQvGraphicsComposited);
    auto* windowed = host::queryInterface<IMpGraphicsWinGdi>(made, IID_IMpGraphicsWinGdi);
    made->Release();
    if (gui.v2 != nullptr && r.below(4) != 0) {
        h.lastSent.clear();
        const int32_t attached = gui.v2->attachHost(r.below(8) == 0 ? nullptr : h.unknown());
        if (attached != RC_OK && attached != RC_NOT_FOUND)
            violated("attachHost", "answers a code other than RC_OK or RC_NOT_FOUND");
    }

    h.module = gui.unknown();
    h.v2 = gui.v2;
    if (r.below(4) == 0) {  // one run in four has its output looped back
        h.fromPin = r.pinIndex();
        h.toPin = r.pinIndex();
    }
    if (r.below(2) == 0)  // one run in two calls back in from sendPinValue
        r.take(h.plan, sizeof h.plan);

    PaintTarget surface;
    for (int call = 0; call < kMaxCalls && !r.empty(); ++call) {
        const size_t from = h.calls.size();
        const uint8_t op = r.byte();
        int32_t result = RC_OK;
        if (op < 20 && !h.lastSent.empty()) {
            // The bytes a pin last sent, handed back to it or to another pin,
            // at their size or shorter.
            auto it = h.lastSent.begin();
            std::advance(it, static_cast<long>(r.below(h.lastSent.size())));
            const ReentrantGuiHost::Sent sentBytes = it->second;
            const int32_t pin = r.flag() ? it->first : r.pinIndex();
            const int32_t size = sentBytes.size > 0 && r.flag()
                                     ? static_cast<int32_t>(r.below(static_cast<size_t>(sentBytes.size) + 1))
                                     : sentBytes.size;
            h.delivered(pin);
            result = gui.deliver(pin, 0, size, sentBytes.data);
            if (isResultCode(result) && r.flag())
                result = gui.signal(pin, 0);
        } else if (op < 90) {
            const int32_t pin = r.pinIndex(), voice = r.below(4) == 0 ? r.oddInt() : 0;
            const Delivery d = readDelivery(r);
            h.delivered(pin);
            result = gui.deliver(pin, voice, d.size, d.data);
        } else if (op < 170) {
            const int32_t pin = r.pinIndex(), voice = r.below(4) == 0 ? r.oddInt() : 0;
            result = gui.signal(pin, voice);
        } else if (op < 190) {
            const int32_t pin = r.pinIndex();
            const Delivery d = readDelivery(r);
            h.delivered(pin);
            result = gui.deliver(pin, 0, d.size, d.data);
            if (isResultCode(result))
                result = gui.signal(pin, 0);
        } else if (op < 200) {
            if (gui.v1 != nullptr)
                result = gui.v1->initialiseGui();
        } else if (op < 215) {
            const GuiSize available = readSize(r);
            GuiSize out{-7, -7};
            const bool toNull = r.below(8) == 0;
            if (composited != nullptr) {
                result = composited->measure(available, toNull ? nullptr : &out);
                if (!toNull)
                    checkMeasured("measure", out);
            }
            if (windowed != nullptr) {
                out = {-7, -7};
                result = windowed->measure(available, toNull ? nullptr : &out);
                if (!toNull)
                    checkMeasured("measure", out);
            }
        } else if (op < 230) {
            const GuiRect rect = readRect(r);
            const bool toNull = r.below(8) == 0;
            if (composited != nullptr)
                result = composited->arrange(toNull ? nullptr : &rect);
            if (windowed != nullptr)
                result = windowed->arrange(toNull ? nullptr : &rect);
        } else if (op < 245) {
            if (composited != nullptr)
                result = r.below(8) == 0 ? composited->onPaint(nullptr) : surface.paint(composited);
        } else {
            // The operations no module overrides keep their fixed answers.
            if (gui.v1 != nullptr && (gui.v1->reserved7() != RC_OK || gui.v1->reserved8() != RC_OK ||
                                      gui.v1->reserved9() != RC_OK))
                violated("IMpUserInterface", "an unused operation does not answer RC_OK");
            if (gui.v2 != nullptr && (gui.v2->reserved5() != RC_OK || gui.v2->reserved7() != RC_FAILED ||
                                      gui.v2->reserved10() != RC_FAILED))
                violated("IMpUserInterface2B", "an unused operation changed its answer");
            void* out = reinterpret_cast<void*>(1);
            Guid iid{};
            r.take(&iid, sizeof iid);
            if (gui.unknown()->QueryInterface(&iid, &out) == RC_OK)
                static_cast<IMpUnknown*>(out)->Release();
            else if (out != nullptr)
                violated("QueryInterface", "a refused query leaves a pointer behind");
        }
        if (!isResultCode(result))
            violated("GUI entry point", "answers a code outside RC_OK, RC_FAILED, RC_NOT_FOUND",
                     std::to_string(result));
        checkSends(h, from);
    }

    if (composited != nullptr)
        composited->Release();
    if (windowed != nullptr)
        windowed->Release();
    if (gui.unknown()->Release() != 0)
        violated("Release", "the last Release does not destroy the module");
}

}  // namespace ovra::fuzz
