#include "dsp/mp_base.h"

#include "dsp/dsp_pins.h"

namespace ovra {

namespace {
// A value whose bytes cannot be read is ignored, as if it never came.
bool isReadable(const HostEvent& e) {
    if (e.kind != EV_PIN_VALUE)
        return true;
    if (e.valueSize < 0)
        return false;
    return e.valuePointer != nullptr || e.valueSize <= static_cast<int32_t>(sizeof(e.inlineValue));
}

bool isPinEvent(const HostEvent& e) { return e.kind >= EV_PIN_VALUE && e.kind <= EV_PIN_OTHER; }
}  // namespace

// ---------------------------------------------------------------------------
// MpPluginBase

MpPluginBase::~MpPluginBase() {
    pins_.clear();
    directPins_.clear();
    if (host_ != nullptr)
        host_->Release();
#if OVRA_LEGACY_INIT
    if (hostAux_ != nullptr)
        hostAux_->Release();
#endif
}

int32_t MpPluginBase::QueryInterface(const Guid* iid, void** out) {
    IMpPlugin* first = this;
    return answerQuery(iid, out, {
        {&IID_IMpPlugin2, static_cast<IMpPlugin2*>(this)},
        {&IID_IMpPlugin, first},
        {&IID_IMpUnknown, first},
#if OVRA_LEGACY_INIT
        {&IID_IMpLegacyInitialization, static_cast<IMpLegacyInitialization*>(this)},
#endif
    });
}

uint32_t MpPluginBase::AddRef() { return referenceCount_.add(); }

uint32_t MpPluginBase::Release() { return referenceCount_.release(this); }

int32_t MpPluginBase::attachHost(IMpUnknown* host) {
    return guarded(RC_FAILED, [&] { return onAttachHost(host); });
}

int32_t MpPluginBase::onAttachHost(IMpUnknown* host) {
    // A second attachment replaces the first. The new host is asked before
    // the old references are given back: when both are the same object, the
    // module's reference may be the one that keeps it alive.
    IMpDspHost* fresh = nullptr;
    int32_t result = RC_NOT_FOUND;
#if OVRA_LEGACY_INIT
    IMpDspHostAux* freshAux = nullptr;
    if (host != nullptr)
        host->QueryInterface(&IID_IMpDspHostAux, reinterpret_cast<void**>(&freshAux));
#endif
    if (host != nullptr)
        result = host->QueryInterface(&IID_IMpDspHost, reinterpret_cast<void**>(&fresh));
#if OVRA_LEGACY_INIT
    if (hostAux_ != nullptr)
        hostAux_->Release();
    hostAux_ = freshAux;
#endif
    if (host_ != nullptr)
        host_->Release();
    host_ = fresh;
    return result;
}

int32_t MpPluginBase::assignPinBuffer(int32_t pinIndex, float* buffer) {
    MpPinBase* pin = findPin(pinIndex);
    if (pin == nullptr)
        return RC_FAILED;
    return guarded(RC_FAILED, [&] {
        pin->bindBuffer(buffer);
        return RC_OK;
    });
}

// One hook behind both interfaces' entries: a module overriding it receives
// the calls made through either.
int32_t MpPluginBase::deliverMessage(int32_t a, int32_t b, void* c) {
    return guarded(RC_FAILED, [&] { return onDeliverMessage(a, b, c); });
}

void MpPluginBase::onEngineStart() {
    for (auto& [index, pin] : pins_)
        if (pin->directionCode() == DIRECTION_OUT)
            pin->announceInitial();
}

void MpPluginBase::addPin(int32_t pinIndex, MpPinBase& pin, PinCallback callback) {
    if (callback == nullptr && pin.directionCode() == DIRECTION_IN)
        pin.defaultNotifier(callback);
    pin.attach(pinIndex, this, callback);
    if (!pins_.emplace(pinIndex, &pin).second)
        return;  // the first pin keeps the index
    if (pinIndex >= 0 && pinIndex < kDirectPins) {
        if (directPins_.size() <= static_cast<size_t>(pinIndex))
            directPins_.resize(static_cast<size_t>(pinIndex) + 1, nullptr);
        directPins_[static_cast<size_t>(pinIndex)] = &pin;
    }
}

void MpPluginBase::addPin(MpPinBase& pin, PinCallback callback) {
    const int32_t next = pins_.empty() ? 0 : pins_.rbegin()->first + 1;
    addPin(next, pin, callback);
}

MpPinBase* MpPluginBase::findPin(int32_t pinIndex) const {
    if (pinIndex >= 0 && pinIndex < kDirectPins)
        return static_cast<size_t>(pinIndex) < directPins_.size() ? directPins_[static_cast<size_t>(pinIndex)] : nullptr;
    auto it = pins_.find(pinIndex);
    return it == pins_.end() ? nullptr : it->second;
}

// ---------------------------------------------------------------------------
// MpBase2

MpBase2::MpBase2() : currentRoutine_(&MpBase2::sleepDispatch), moduleRoutine_(&MpBase2::doNothing) {}

// A module or pin that runs out of memory (a text value too large to store,
// say) ends the block where it stands.
//
// A host may hand in a block from inside a call the module makes during
// another block (publishPinValue, announceStreaming): the outer block then
// goes on from where it stood.
void MpBase2::processBlock(int32_t sampleCount, const HostEvent* events) {
    const int32_t outerPosition = blockPosition_;
    const bool outerMayRequestSleep = mayRequestSleep_;
    guarded([&] { walkBlock(sampleCount, events); });
    blockPosition_ = outerPosition;
    mayRequestSleep_ = outerMayRequestSleep;
}

void MpBase2::walkBlock(int32_t sampleCount, const HostEvent* events) {
    const int32_t n = sampleCount < 0 ? 0 : sampleCount;
    blockPosition_ = 0;
    if (events == nullptr) {
        run(currentRoutine_, n);
        return;
    }
    // Offsets outside the contract are held inside the block: one before the
    // block position counts as the block position, one past the end as the end.
    auto offsetOf = [&](const HostEvent& e) {
        if (e.sampleOffset < blockPosition_)
            return blockPosition_;
        return e.sampleOffset > n ? n : e.sampleOffset;
    };
    // Events past the block's end belong to no sample of it, whatever the
    // block's length (an empty block included).
    auto pastEnd = [&](const HostEvent& e) { return e.sampleOffset > n; };
    int32_t remaining = n;
    const HostEvent* e = events;
    while (e != nullptr && !pastEnd(*e)) {
        const int32_t gap = offsetOf(*e) - blockPosition_;
        if (gap > 0) {
            mayRequestSleep_ = false;
            run(currentRoutine_, gap);
            mayRequestSleep_ = true;
            if (gap == remaining)
                return;  // events at the block's very end belong to no sample of it
            blockPosition_ += gap;
            remaining -= gap;
        }
        const HostEvent* end = e->nextEvent;
        while (end != nullptr && !pastEnd(*end) && offsetOf(*end) == blockPosition_)
            end = end->nextEvent;
        deliverGroup(e, end);
        e = end;
    }
    run(currentRoutine_, remaining);
}

// Simultaneous events reach the pins in three passes, with one
// onPinsChanged between the second and the third. A group cut short (out of
// memory) still runs its third pass, so that no pin reports a change past
// its group.
void MpBase2::deliverGroup(const HostEvent* first, const HostEvent* end) {
    try {
        bool valuesChanged = false;
        for (const HostEvent* e = first; e != end; e = e->nextEvent) {
            if (!isReadable(*e))
                continue;
            if (e->kind == EV_PIN_VALUE || e->kind == EV_STREAM_ON || e->kind == EV_STREAM_OFF)
                valuesChanged = true;
            if (isPinEvent(*e))
                if (MpPinBase* pin = findPin(e->pinIndex))
                    pin->eventPassOne(*e);
        }
        for (const HostEvent* e = first; e != end; e = e->nextEvent) {
            if (!isReadable(*e))
                continue;
            if (isPinEvent(*e)) {
                if (MpPinBase* pin = findPin(e->pinIndex))
                    pin->eventPassTwo(*e);
            } else if (e->kind == EV_START) {
                onEngineStart();
            }
        }
        if (valuesChanged)
            onPinsChanged();
    } catch (...) {
        endGroup(first, end);
        throw;
    }
    endGroup(first, end);
}

void MpBase2::endGroup(const HostEvent* first, const HostEvent* end) {
    for (const HostEvent* e = first; e != end; e = e->nextEvent) {
        if (!isReadable(*e))
            continue;
        if (isPinEvent(*e))
            if (MpPinBase* pin = findPin(e->pinIndex))
                pin->eventPassThree(*e);
    }
}

void MpBase2::onPinStreamChange(bool streaming) {
    streamingPinCount_ += streaming ? 1 : -1;
    if (streamingPinCount_ != 0 && sleepMode_ != 1)
        currentRoutine_ = moduleRoutine_;
    else
        currentRoutine_ = &MpBase2::sleepDispatch;
}

void MpBase2::selectProcessRoutine(ProcessRoutine routine) {
    if (routine == nullptr)
        routine = &MpBase2::doNothing;  // a routine is always callable
    // Member-routine comparison covers the routine and the object adjustment.
    if (currentRoutine_ == moduleRoutine_)
        currentRoutine_ = routine;
    moduleRoutine_ = routine;
}

void MpBase2::setSleepMode(bool mayEverSleep) {
    if (mayEverSleep) {
        sleepMode_ = 1;
        currentRoutine_ = &MpBase2::sleepDispatch;
    } else {
        sleepMode_ = 0;
    }
}

// Runs the module routine until the countdown is used up, then offers the
// host to sleep (never in a sub-block that ends before an event).
void MpBase2::sleepDispatch(int32_t sampleCount) {
    const int32_t savedPosition = blockPosition_;
    int32_t k = sampleCount;
    for (;;) {
        const bool canSleep = sleepMode_ == -1 ? streamingPinCount_ == 0 : sleepMode_ == 1;
        if (!canSleep) {
            currentRoutine_ = moduleRoutine_;
            if (k > 0)
                run(moduleRoutine_, k);
            break;
        }
        if (sleepCountdown_ <= 0) {
            if (mayRequestSleep_) {
                if (host_ != nullptr)
                    host_->offerSleep();
                break;
            }
            sleepCountdown_ = k;
        }
        if (k == 0)
            break;
        const int32_t m = sleepCountdown_ < k ? sleepCountdown_ : k;
        sleepCountdown_ -= m;
        k -= m;
        run(moduleRoutine_, m);
        blockPosition_ += m;
    }
    blockPosition_ = savedPosition;
}

// ---------------------------------------------------------------------------
// Audio pins

void AudioInPin::eventPassOne(const HostEvent& event) {
    if (event.kind != EV_STREAM_ON && event.kind != EV_STREAM_OFF)
        return;
    changedNow = true;
    const bool streaming = event.kind == EV_STREAM_ON;
    if (streaming != streamingFlag) {
        streamingFlag = streaming;
        module_->onPinStreamChange(streaming);
    }
    if (!streamingFlag)
        module_->runAtLeastOneMoreSample();
}

void AudioOutPin::setOutputStreaming(bool streaming, int32_t sampleOffset) {
    if (module_ == nullptr)
        return;
    const int32_t time = sampleOffset == -1 ? blockPosition() : sampleOffset;
    if (streaming != streamingFlag) {
        streamingFlag = streaming;
        module_->onPinStreamChange(streaming);
    }
    IMpDspHost* h = host();
    if (h == nullptr)
        return;
    if (!streamingFlag)
        module_->refillSleepCountdown();
    h->announceStreaming(time, pinIndex_, streamingFlag);
}

}  // namespace ovra
