// Redirects mirror two pairs of pins both ways; switches pass input A or B to
// the output as the selector says. Neither changes a value on its way.
#include "guikit_module.h"
#include "module_helpers.h"

namespace ovra::guikit {
namespace {

template <class T>
class Redirect : public CopyingModule {
public:
    Redirect() {
        addPin(kFirstSide1, firstSide1_, &Redirect::copyPin<&Redirect::firstSide1_, &Redirect::firstSide2_>);
        addPin(kFirstSide2, firstSide2_, &Redirect::copyPin<&Redirect::firstSide2_, &Redirect::firstSide1_>);
        addPin(kSecondSide1, secondSide1_, &Redirect::copyPin<&Redirect::secondSide1_, &Redirect::secondSide2_>);
        addPin(kSecondSide2, secondSide2_, &Redirect::copyPin<&Redirect::secondSide2_, &Redirect::secondSide1_>);
    }

private:
    enum : int32_t { kFirstSide1 = 0, kFirstSide2 = 1, kSecondSide1 = 2, kSecondSide2 = 3 };

    PinOf<T> firstSide1_;
    PinOf<T> firstSide2_;
    PinOf<T> secondSide1_;
    PinOf<T> secondSide2_;
};

enum class WriteBack { ToInputA, None };

// A value written to the output from outside is copied to input A, whatever
// the selector holds; the output is not re-evaluated.
template <class T, WriteBack writeBack = WriteBack::ToInputA>
class Switch : public CopyingModule {
public:
    Switch() {
        addPin(kInputA, inputA_, &Switch::select);
        addPin(kInputB, inputB_, &Switch::select);
        addPin(kSelector, selector_, &Switch::select);
        if constexpr (writeBack == WriteBack::ToInputA)
            addPin(kOutput, output_, &Switch::copyPin<&Switch::output_, &Switch::inputA_>);
        else
            addPin(kOutput, output_);
    }

private:
    enum : int32_t { kInputA = 0, kInputB = 1, kSelector = 2, kOutput = 3 };

    void select() { output_ = selector_.value ? inputB_.value : inputA_.value; }

    PinOf<T> inputA_;
    PinOf<T> inputB_;
    MpGuiPin<bool> selector_;
    PinOf<T> output_;
};

}  // namespace

class Wbblobredirsdk3Gui : public Redirect<MpBlob> {};
class Wbboolredirsdk3Gui : public Redirect<bool> {};
class Wbfloatredirsdk3Gui : public Redirect<float> {};
class Wbintredirsdk3Gui : public Redirect<int32_t> {};
class Wbtextredirsdk3Gui : public Redirect<wstring> {};

class Wbblobswitchsdk3Gui : public Switch<MpBlob> {};
class Wbboolswitchsdk3Gui : public Switch<bool> {};
// Float values travel through text pins: any value of even byte size, a
// 4-byte float included, passes bit for bit (so -0.0 and 0.0 differ).
class Wbfloatswitchsdk3Gui : public Switch<wstring> {};
class Wbintswitchsdk3Gui : public Switch<int32_t> {};
class WbtextGui : public Switch<wstring, WriteBack::None> {};

OVRA_MODULE(u"WB-Blob-RedirSDK3", Wbblobredirsdk3Gui);
OVRA_MODULE(u"WB-Blob-SwitchSDK3", Wbblobswitchsdk3Gui);
OVRA_MODULE(u"WB-Bool-RedirSDK3", Wbboolredirsdk3Gui);
OVRA_MODULE(u"WB-Bool-SwitchSDK3", Wbboolswitchsdk3Gui);
OVRA_MODULE(u"WB-Float-RedirSDK3", Wbfloatredirsdk3Gui);
OVRA_MODULE(u"WB-Float-SwitchSDK3", Wbfloatswitchsdk3Gui);
OVRA_MODULE(u"WB-Int-RedirSDK3", Wbintredirsdk3Gui);
OVRA_MODULE(u"WB-Int-SwitchSDK3", Wbintswitchsdk3Gui);
OVRA_MODULE(u"WB-Text-SwitchSDK3", WbtextGui);
OVRA_MODULE(u"WB-Text-RedirSDK3", Wbtextredirsdk3Gui);

}  // namespace ovra::guikit
