// The DSP module base: interfaces, pins, the event walk and sleeping.
//
// [audio thread] processBlock and everything it calls; the other entry
// points come from the host's set-up thread, never at the same time.
#pragma once

#include <map>
#include <vector>

#include "abi/factory.h"
#include "abi/framework_types.h"
#include "abi/guarded.h"
#include "abi/object_identity.h"

#ifndef OVRA_LEGACY_INIT
#define OVRA_LEGACY_INIT 0
#endif

namespace ovra {

class MpBase2;
class MpPinBase;

// A module routine taking the event that reached a pin.
using PinCallback = void (MpBase2::*)(const HostEvent*);
// A module routine processing a run of samples from the block position on.
using ProcessRoutine = void (MpBase2::*)(int32_t sampleCount);

// The entries a host calls are the framework's own and final: each catches
// whatever module code throws, answers the host the entry's failure answer,
// and reaches the module through a hook below. A module never overrides an
// entry; it overrides the hook of the same name with "on" in front.
class MpPluginBase : public IMpPlugin,
                     public IMpPlugin2,
                     public IoldSchoolInitialisation
#if OVRA_LEGACY_INIT
    ,
                     public IMpLegacyInitialization
#endif
{
public:
    MpPluginBase() = default;
    MpPluginBase(const MpPluginBase&) = delete;
    MpPluginBase& operator=(const MpPluginBase&) = delete;

    // IMpUnknown, through every interface of the object.
    int32_t QueryInterface(const Guid* iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;

    // [set-up] IMpPlugin2, IMpLegacyInitialization and the factory's
    // attachment: onAttachHost's answer; RC_FAILED when it throws.
    int32_t attachHost(IMpUnknown* host) final;
    // [set-up] RC_OK; the framework does nothing here.
    int32_t activate() final { return RC_OK; }
    // [set-up] RC_FAILED for an index no pin has, with no side effect.
    int32_t assignPinBuffer(int32_t pinIndex, float* buffer) final;
    // [set-up] Through either interface: onDeliverMessage's answer; RC_FAILED
    // when it throws.
    int32_t deliverMessage(int32_t a, int32_t b, void* c) final;

    virtual ~MpPluginBase();

    // Hooks for module code.
    virtual void onPinsChanged() {}
    virtual void onPinStreamChange(bool streaming) = 0;
    virtual void onEngineStart();

    // What pins and modules read.
    IMpDspHost* host() const { return host_; }
    int32_t blockPosition() const { return blockPosition_; }
    int32_t sleepCountdown() const { return sleepCountdown_; }
    // Every registered pin by index, for the library's pin table.
    const std::map<int32_t, MpPinBase*>& registeredPins() const { return pins_; }

    // A module that must act at sample `offset` of the current run (a stage
    // that ends inside it) does it here: pin reads, sends and streaming
    // announcements made by `action` land at that sample.
    template <class Action>
    void atSample(int32_t offset, Action&& action) {
        const int32_t position = blockPosition_;
        blockPosition_ = position + offset;
        action();
        blockPosition_ = position;
    }

    // For the audio pins: an input that stops streaming makes the module run
    // at least one more sample before it may sleep; an output that stops
    // asks the host for a fresh countdown.
    void runAtLeastOneMoreSample() {
        if (sleepCountdown_ <= 0)
            sleepCountdown_ = 1;
    }
    void refillSleepCountdown() {
        if (host_ != nullptr)
            host_->fillSleepCountdown(&sleepCountdown_);
    }

protected:
    // Asks host for IMpDspHost (a module set up the legacy way first for
    // IMpDspHostAux) and keeps one reference; answers that query's result.
    // A module that overrides it calls this one.
    virtual int32_t onAttachHost(IMpUnknown* host);
    // The three arguments as the host passed them; no module of the system
    // acts on them, and the framework answers 0.
    virtual int32_t onDeliverMessage(int32_t, int32_t, void*) { return 0; }

    // Registers a pin under an index; a taken index keeps its first pin.
    void addPin(int32_t pinIndex, MpPinBase& pin, PinCallback callback = nullptr);
    // Registers a pin under the next free index (0 for the first).
    void addPin(MpPinBase& pin, PinCallback callback = nullptr);
    MpPinBase* findPin(int32_t pinIndex) const;

private:
    // The event walk and the sleep dispatcher are the base's own.
    friend class MpBase2;

    ReferenceCount referenceCount_;
    IMpDspHost* host_ = nullptr;
#if OVRA_LEGACY_INIT
    IMpDspHostAux* hostAux_ = nullptr;
#endif
    std::map<int32_t, MpPinBase*> pins_;
    // The pins under small indexes again, for lookups in the event walk
    // without a tree search; filled only while pins are registered.
    static constexpr int32_t kDirectPins = 256;
    std::vector<MpPinBase*> directPins_;
    int32_t blockPosition_ = 0;
    int32_t sleepCountdown_ = 0;
    int32_t streamingPinCount_ = 0;
    int32_t sleepMode_ = -1;  // -1 decide by streaming pins, 1 may sleep, 0 never
    bool mayRequestSleep_ = true;
};

class MpBase2 : public MpPluginBase {
public:
    MpBase2();

    // [audio] Both interfaces' processBlock. Whatever a hook, pin or routine
    // throws ends the block where it stands; the next block starts afresh.
    void processBlock(int32_t sampleCount, const HostEvent* events) final;
    void onPinStreamChange(bool streaming) override;

    // The module's own sample loop. The current routine follows it only when
    // the two were the same routine.
    void selectProcessRoutine(ProcessRoutine routine);
    template <class Module>
    void selectProcessRoutine(void (Module::*routine)(int32_t)) {
        selectProcessRoutine(static_cast<ProcessRoutine>(routine));
    }
    bool isModuleRoutine(ProcessRoutine routine) const { return moduleRoutine_ == routine; }
    template <class Module>
    bool isModuleRoutine(void (Module::*routine)(int32_t)) const {
        return isModuleRoutine(static_cast<ProcessRoutine>(routine));
    }

    void setSleepMode(bool mayEverSleep);

protected:
    template <class Module>
    void addPin(int32_t pinIndex, MpPinBase& pin, void (Module::*callback)(const HostEvent*)) {
        MpPluginBase::addPin(pinIndex, pin, static_cast<PinCallback>(callback));
    }
    using MpPluginBase::addPin;

private:
    void sleepDispatch(int32_t sampleCount);
    void doNothing(int32_t) {}
    void run(ProcessRoutine routine, int32_t sampleCount) { (this->*routine)(sampleCount); }
    void walkBlock(int32_t sampleCount, const HostEvent* events);
    void deliverGroup(const HostEvent* first, const HostEvent* end);
    void endGroup(const HostEvent* first, const HostEvent* end);  // the third pass

    ProcessRoutine currentRoutine_;
    ProcessRoutine moduleRoutine_;
};

}  // namespace ovra
