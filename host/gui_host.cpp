#include "gui_host.h"

namespace ovra::host {

std::vector<GuiDelivery> GuiDeliveries::takeCut() {
    std::vector<GuiDelivery> out;
    out.swap(cut_);
    return out;
}

std::vector<GuiDelivery> ringOf(const std::vector<GuiDelivery>& chain) {
    if (chain.empty())
        return {};
    // The last delivery repeats an earlier one; what lies between is the ring.
    const GuiDelivery& last = chain.back();
    for (size_t i = chain.size() - 1; i-- > 0;)
        if (chain[i].to == last.to && chain[i].toPin == last.toPin && chain[i].from == last.from &&
            chain[i].fromPin == last.fromPin)
            return std::vector<GuiDelivery>(chain.begin() + static_cast<std::ptrdiff_t>(i) + 1, chain.end());
    return chain;
}

int32_t RecordingGuiHost::QueryInterface(const Guid* iid, void** out) {
    GuiCall call{GuiCall::Query};
    if (iid != nullptr)
        call.iid = *iid;
    calls.push_back(call);
    if (out == nullptr)
        return RC_NOT_FOUND;
    *out = nullptr;
    if (isGuid(iid, IID_IMpUnknown) || (answersGuiHost && isGuid(iid, IID_IMpGuiHost)))
        *out = static_cast<IMpGuiHost*>(this);
    else if (answersGuiHost2 && isGuid(iid, IID_IMpGuiHost2))
        *out = static_cast<IMpGuiHost2*>(this);
    else if (answersComposited && isGuid(iid, IID_IQvCompositedGfxHost))
        *out = static_cast<IQvCompositedGfxHost*>(this);
    else if (answersWinGdi && isGuid(iid, IID_IMpWinGdiHost))
        *out = static_cast<IMpWinGdiHost*>(this);
    else if (answersWindowsGfx && isGuid(iid, IID_IQvWindowsGfxHost))
        *out = static_cast<IQvWindowsGfxHost*>(this);
    else
        return RC_NOT_FOUND;
    return RC_OK;
}

int32_t RecordingGuiHost::sendPinValue(int32_t pinIndex, int32_t size, const void* data, int32_t voice) {
    GuiCall call{GuiCall::Send, pinIndex, bytesOf(data, size)};
    call.voice = voice;
    calls.push_back(call);
    int32_t result = RC_OK;
    auto range = wires_.equal_range(pinIndex);
    GuiDeliveries& d = *deliveries_;
    for (auto it = range.first; it != range.second; ++it) {
        d.underWay_.push_back({this, pinIndex, it->second.first, it->second.second});
        if (d.unwinding_ || d.underWay_.size() > static_cast<size_t>(kMaxGuiDeliveryDepth)) {
            if (!d.unwinding_ && d.cut_.empty())
                d.cut_ = d.underWay_;
            d.unwinding_ = true;
            result = RC_FAILED;
        } else {
            deliverAndSignal(it->second.first, it->second.second, call.bytes, voice);
        }
        d.underWay_.pop_back();
    }
    if (d.underWay_.empty())
        d.unwinding_ = false;
    if (onSend)
        onSend(pinIndex, call.bytes);
    return result;
}

int32_t RecordingGuiHost::setCapture() {
    calls.push_back({GuiCall::SetCapture});
    return RC_OK;
}

int32_t RecordingGuiHost::getCapture(int32_t* value) {
    calls.push_back({GuiCall::GetCapture});
    if (value != nullptr)
        *value = captured;
    return RC_OK;
}

int32_t RecordingGuiHost::releaseCapture() {
    calls.push_back({GuiCall::ReleaseCapture});
    return RC_OK;
}

int32_t RecordingGuiHost::invalidateRect(const GuiRect* rect) {
    GuiCall call{GuiCall::Invalidate};
    if (rect != nullptr)
        call.rect = *rect;
    calls.push_back(call);
    return RC_OK;
}

void RecordingGuiHost::wire(int32_t fromPin, IMpUnknown* target, int32_t toPin) {
    wires_.emplace(fromPin, std::make_pair(target, toPin));
}

std::vector<GuiCall> RecordingGuiHost::sends(std::optional<int32_t> pin) const {
    std::vector<GuiCall> out;
    for (const auto& c : calls)
        if (c.kind == GuiCall::Send && (!pin || c.pinIndex == *pin))
            out.push_back(c);
    return out;
}

size_t RecordingGuiHost::invalidations() const {
    size_t n = 0;
    for (const auto& c : calls)
        n += c.kind == GuiCall::Invalidate;
    return n;
}

namespace {
// The module's GUI interface of whichever family it belongs to.
template <class Fn>
int32_t withGui(IMpUnknown* module, Fn fn) {
    if (module == nullptr)
        return RC_NOT_FOUND;
    void* out = nullptr;
    if (module->QueryInterface(&IID_IMpUserInterface, &out) == RC_OK) {
        auto* gui = static_cast<IMpUserInterface*>(out);
        const int32_t r = fn(gui);
        gui->Release();
        return r;
    }
    if (module->QueryInterface(&IID_IMpUserInterface2, &out) == RC_OK) {
        auto* gui = static_cast<IMpUserInterface2*>(out);
        const int32_t r = fn(gui);
        gui->Release();
        return r;
    }
    return RC_NOT_FOUND;
}
}  // namespace

int32_t deliverOnly(IMpUnknown* module, int32_t pin, const Bytes& bytes, int32_t voice) {
    return withGui(module, [&](auto* gui) {
        return gui->deliverPinValue(pin, voice, static_cast<int32_t>(bytes.size()), bytes.data());
    });
}

int32_t signalOnly(IMpUnknown* module, int32_t pin, int32_t voice) {
    return withGui(module, [&](auto* gui) { return gui->signalPinChange(pin, voice); });
}

int32_t deliverAndSignal(IMpUnknown* module, int32_t pin, const Bytes& bytes, int32_t voice) {
    const int32_t r = deliverOnly(module, pin, bytes, voice);
    if (r != RC_OK)
        return r;
    return signalOnly(module, pin, voice);
}

}  // namespace ovra::host

namespace ovra::host {

int32_t attachGuiHost(IMpUnknown* module, IMpUnknown* host) {
    void* out = nullptr;
    if (module == nullptr || module->QueryInterface(&IID_IMpUserInterface2, &out) != RC_OK)
        return RC_NOT_FOUND;
    auto* gui = static_cast<IMpUserInterface2*>(out);
    const int32_t r = gui->attachHost(host);
    gui->Release();
    return r;
}

}  // namespace ovra::host
