// The two families of GUI module bases. [GUI thread]
//
// First family (sub-type 1): MpGuiBase answers IMpUserInterface and receives
// its host from the factory. Second family (sub-type 2): MpGuiBase2 answers
// IMpUserInterface2 and IMpUserInterface2B and receives its host when the
// host calls attachHost.
#pragma once

#include <cstddef>
#include <map>
#include <type_traits>
#include <memory>

#include "abi/factory.h"
#include "abi/framework_types.h"
#include "abi/guarded.h"
#include "abi/object_identity.h"
#include "gui/gui_pins.h"

namespace ovra {

// The one text the framework itself throws: the factory turns it into
// RC_FAILED.
inline constexpr const char* kHostInterfacesNotSupported = "host Interfaces not supported";

// The callback of a pin: void Module::handler() or void Module::handler(int32_t
// voice), converted to a member of the family's interface I. A null handler
// makes no callback.
template <class I, class Module>
std::unique_ptr<IGuiPinCallbackImpl> makePinCallback(I* module, void (Module::*method)()) {
    if (method == nullptr)
        return nullptr;
    return std::make_unique<IGuiPinCallback<I>>(module, static_cast<void (I::*)()>(method));
}
template <class I, class Module>
std::unique_ptr<IGuiPinCallbackImpl> makePinCallback(I* module, void (Module::*method)(int32_t)) {
    if (method == nullptr)
        return nullptr;
    return std::make_unique<IGuiPinCallbackIndexed<I>>(module, static_cast<void (I::*)(int32_t)>(method));
}

// The pin owner of a family whose modules are reached through interface I.
template <class I>
class GuiPinRegistry : public GuiPinOwner {
protected:
    // Registers a pin (a member of the module) under an index, with an
    // optional handler run by signalPinChange: void Module::handler() or
    // void Module::handler(int32_t voice). An index already taken keeps its
    // first pin. A null handler makes no callback.
    void addPin(int32_t index, MpGuiPinBase& pin) { registerPin(index, pin, nullptr); }
    void addPin(int32_t index, MpGuiPinBase& pin, std::nullptr_t) { registerPin(index, pin, nullptr); }
    template <class Module, class... Voice>
    void addPin(int32_t index, MpGuiPinBase& pin, void (Module::*method)(Voice...)) {
        I* module = static_cast<Module*>(this);
        registerPin(index, pin, makePinCallback<I>(module, method));
    }
};

// The entries a host calls are final: each catches whatever module code
// throws and answers RC_FAILED, and reaches the module through the hook of
// the same name with "on" in front. The hooks come after the interface's
// operations in the table, which a host indexes by position.
class MpGuiBase_base : public IMpUserInterface,
                       public IoldSchoolInitialisation,
                       public GuiPinRegistry<IMpUserInterface> {
public:
    int32_t QueryInterface(const Guid* iid, void** out) override;
    // Called once after creation: onInitialiseGui's answer.
    int32_t initialiseGui() final {
        return guarded(RC_FAILED, [&] { return onInitialiseGui(); });
    }
    // onDeliverPinValue's answer: RC_FAILED for an unknown index, unreadable
    // bytes, or a value that cannot be stored (the pin keeps its value).
    int32_t deliverPinValue(int32_t pinIndex, int32_t voice, int32_t size, const void* data) final {
        return guarded(RC_FAILED, [&] { return onDeliverPinValue(pinIndex, voice, size, data); });
    }
    // Runs the pin's handler; RC_FAILED for an unknown index or a handler
    // that throws.
    int32_t signalPinChange(int32_t pinIndex, int32_t voice) final {
        return guarded(RC_FAILED, [&] { return announcePinChange(pinIndex, voice); });
    }
    // Unused. Not final: the composited base's own interface has operations
    // of the same names, which answer RC_OK as these do, and one definition
    // there stands for both.
    int32_t reserved7() override { return RC_OK; }
    int32_t reserved8() override { return RC_OK; }
    int32_t reserved9() override { return RC_OK; }

    // Asks for IMpGuiHost; throws when the host has none.
    int32_t attachHost(IMpUnknown* host) override;
    int32_t sendPinValue(int32_t pinIndex, int32_t size, const void* data, int32_t voice) override;

    virtual ~MpGuiBase_base() = default;

protected:
    // The module's initial outputs (sending them); drawn modules start their
    // graphics here. By default nothing: RC_OK.
    virtual int32_t onInitialiseGui() { return RC_OK; }
    // Stores the value in the pin of that index, runs no handler and sends
    // nothing. A module that overrides it calls this one to store.
    virtual int32_t onDeliverPinValue(int32_t pinIndex, int32_t voice, int32_t size, const void* data) {
        return storePinValue(pinIndex, voice, size, data);
    }

    // Asks the host for one interface; throws when it answers none.
    template <class I>
    int32_t requireHostInterface(IMpUnknown* host, const Guid& iid, I*& out) {
        out = nullptr;
        int32_t result = RC_NOT_FOUND;
        if (host != nullptr)
            result = host->QueryInterface(&iid, reinterpret_cast<void**>(&out));
        if (out == nullptr)
            throw kHostInterfacesNotSupported;
        return result;
    }

    // A drawn module's QueryInterface: its drawing interface, then the user
    // interface's answers.
    int32_t answerQueryWithDrawing(const Guid* iid, void** out, const Guid& drawingIid, IMpUnknown* drawing) {
        if (answerQuery(iid, out, {{&drawingIid, drawing}}) == RC_OK)
            return RC_OK;
        return MpGuiBase_base::QueryInterface(iid, out);
    }
    // A drawn module's attachHost: IMpGuiHost, then the host of its drawing
    // interface; throws when either is missing.
    template <class I>
    int32_t attachHostWithDrawing(IMpUnknown* host, const Guid& drawingHostIid, I*& drawingHost) {
        MpGuiBase_base::attachHost(host);
        return requireHostInterface(host, drawingHostIid, drawingHost);
    }

    IMpGuiHost* host_ = nullptr;  // kept for the module's life, never released
};

// The reference counting every GUI module class carries: the first family's
// base has it, a second-family module class wraps its base in it.
template <class Base>
class WithReferenceCount : public Base {
public:
    uint32_t AddRef() override { return referenceCount_.add(); }
    uint32_t Release() override { return referenceCount_.release(this); }

protected:
    ReferenceCount referenceCount_;
};

class MpGuiBase : public WithReferenceCount<MpGuiBase_base> {};

// Every operation is defined in the class, so that the class has no key
// function: a library compiles it only when one of its modules derives from
// it, and a library of first-family modules carries none of it. The entries
// are final and have no hooks: module code runs only in pin handlers, and
// the entries catch whatever they throw.
class MpGuiBase2 : public IMpUserInterface2B, public GuiPinRegistry<IMpUserInterface2> {
public:
    int32_t QueryInterface(const Guid* iid, void** out) override {
        IMpUserInterface2B* self = this;
        return answerQuery(iid, out, {{&IID_IMpUserInterface2, self}, {&IID_IMpUserInterface2B, self}, {&IID_IMpUnknown, self}});
    }
    // RC_OK with IMpGuiHost2 obtained, else RC_NOT_FOUND (and no host).
    int32_t attachHost(IMpUnknown* host) final {
        host_ = nullptr;
        if (host != nullptr)
            host->QueryInterface(&IID_IMpGuiHost2, reinterpret_cast<void**>(&host_));
        return host_ != nullptr ? RC_OK : RC_NOT_FOUND;
    }
    int32_t reserved5() final { return RC_OK; }
    int32_t deliverPinValue(int32_t pinIndex, int32_t voice, int32_t size, const void* data) final {
        return guarded(RC_FAILED, [&] { return storePinValue(pinIndex, voice, size, data); });
    }
    int32_t reserved7() final { return RC_FAILED; }
    int32_t reserved8() final { return RC_FAILED; }
    int32_t reserved9() final { return RC_FAILED; }
    int32_t reserved10() final { return RC_FAILED; }
    int32_t signalPinChange(int32_t pinIndex, int32_t voice) final {
        return guarded(RC_FAILED, [&] { return announcePinChange(pinIndex, voice); });
    }

    int32_t sendPinValue(int32_t pinIndex, int32_t size, const void* data, int32_t voice) final {
        if (host_ == nullptr)
            return RC_FAILED;  // not attached: the pin keeps its value, nothing is sent
        return host_->sendPinValue(pinIndex, size, data, voice);
    }

    virtual ~MpGuiBase2() = default;

protected:
    IMpGuiHost2* host_ = nullptr;  // kept for the module's life, never released
};

// A second-family module that draws nothing.
class QvGuiInvisibleBase : public MpGuiBase2 {};

}  // namespace ovra
