// The probe module of both GUI families, registered as "Probe1" (sub-type 1)
// and "Probe2" (sub-type 2).
#include <new>

#include "abi/factory.h"
#include "gui/gui_base.h"
#include "probe.h"

namespace ovra::probe {
namespace {

int32_t gLive = 0;

template <class Base>
class Probe final : public Base, public IGuiProbe {
public:
    Probe() {
        this->addPin(kFloat, float_, &Probe::onFloat);
        this->addPin(kInt, int_, &Probe::onInt);
        this->addPin(kBool, bool_, &Probe::onBool);
        this->addPin(kText, text_, &Probe::onText);
        this->addPin(kBlob, blob_, &Probe::onBlob);
        this->addPin(kPlain, plain_);
        this->addPin(kFloat, duplicate_, &Probe::onDuplicate);
        this->addPin(kPreset, preset_);
        this->addPin(kThrows, throws_, &Probe::onThrows);
        preset_ = 7.5f;  // no host yet
        ++gLive;
    }
    ~Probe() override { --gLive; }

    int32_t QueryInterface(const Guid* iid, void** out) override {
        if (out != nullptr && isGuid(iid, IID_IGuiProbe)) {
            *out = static_cast<IGuiProbe*>(this);
            AddRef();
            return RC_OK;
        }
        return Base::QueryInterface(iid, out);
    }
    uint32_t AddRef() override { return Base::AddRef(); }
    uint32_t Release() override { return Base::Release(); }

    int32_t callbackRuns(int32_t slot) override { return runs_[slot]; }
    int32_t lastVoice(int32_t slot) override { return voices_[slot]; }
    int32_t rawStore(int32_t slot, int32_t size, const void* data) override {
        return pin(slot).storeBytes(0, size, data) ? 1 : 0;
    }
    int32_t readPin(int32_t slot, int32_t* size, const void** data) override {
        auto read = [&](auto& p) {
            *size = p.byteCount();
            *data = p.bytePointer();
        };
        switch (slot) {
            case kInt: read(int_); break;
            case kBool: read(bool_); break;
            case kThrows: read(throws_); break;
            case kText: read(text_); break;
            case kBlob: read(blob_); break;
            default: read(floatPin(slot)); break;
        }
        return RC_OK;
    }
    int32_t assignFloat(int32_t slot, float v) override {
        if (slot != kFloat && slot != kPlain && slot != kDuplicate && slot != kPreset)
            return RC_FAILED;
        floatPin(slot) = v;
        return RC_OK;
    }
    int32_t assignInt(int32_t slot, int32_t v) override { return assign(slot, kInt, int_, v); }
    int32_t assignBool(int32_t slot, bool v) override { return assign(slot, kBool, bool_, v); }
    int32_t assignText(int32_t slot, const char16_t* text, int32_t length) override {
        return assign(slot, kText, text_, wstring(text, static_cast<size_t>(length)));
    }
    int32_t assignBlob(int32_t slot, const void* data, int32_t size) override {
        return assign(slot, kBlob, blob_, MpBlob(data, size));
    }
    int32_t liveModules() override { return gLive; }

private:
    template <class Pin, class V>
    static int32_t assign(int32_t slot, int32_t expected, Pin& pin, const V& v) {
        if (slot != expected)
            return RC_FAILED;
        pin = v;
        return RC_OK;
    }
    MpGuiPin<float>& floatPin(int32_t slot) {
        return slot == kPlain ? plain_ : slot == kDuplicate ? duplicate_ : slot == kPreset ? preset_ : float_;
    }
    MpGuiPinBase& pin(int32_t slot) {
        MpGuiPinBase* pins[kSlots] = {&float_, &int_, &bool_, &text_, &blob_, &plain_, &duplicate_, &preset_, &throws_};
        return *pins[slot];
    }
    void ran(int32_t slot, int32_t voice = 0) {
        ++runs_[slot];
        voices_[slot] = voice;
    }
    void onFloat() { ran(kFloat); }
    void onInt(int32_t voice) { ran(kInt, voice); }
    void onBool() { ran(kBool); }
    void onText() { ran(kText); }
    void onBlob() { ran(kBlob); }
    void onDuplicate() { ran(kDuplicate); }
    void onThrows() { throw std::bad_alloc(); }

    MpGuiPin<float> float_;
    MpGuiPin<int32_t> int_;
    MpGuiPin<bool> bool_;
    StringGuiPin text_;
    MpGuiPin<MpBlob> blob_;
    MpGuiPin<float> plain_;
    MpGuiPin<float> duplicate_;
    MpGuiPin<float> preset_;
    MpGuiPin<bool> throws_;
    int32_t runs_[kSlots] = {};
    int32_t voices_[kSlots] = {};
};

// A first-family module whose hooks throw, created as the libraries create
// theirs; its pin 0 has no handler.
class Thrower : public MpGuiBase {
public:
    Thrower() { addPin(0, value_); }

protected:
    int32_t onInitialiseGui() override { throw std::bad_alloc(); }
    int32_t onDeliverPinValue(int32_t, int32_t, int32_t, const void*) override { throw 3; }

private:
    MpGuiPin<float> value_;
};

IMpUnknown* makeFirst() { return static_cast<IMpUserInterface*>(new Probe<MpGuiBase>()); }
IMpUnknown* makeSecond() { return static_cast<IMpUserInterface2B*>(new Probe<WithReferenceCount<QvGuiInvisibleBase>>()); }

}  // namespace
}  // namespace ovra::probe

OVRA_REGISTER(ovra::SUBTYPE_GUI_V1, u"Probe1", &ovra::probe::makeFirst);
OVRA_REGISTER(ovra::SUBTYPE_GUI_V2, u"Probe2", &ovra::probe::makeSecond);
OVRA_MODULE(u"Probe1-Throwing", ovra::probe::Thrower);
