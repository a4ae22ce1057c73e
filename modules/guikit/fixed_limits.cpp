// Fixed values hand the value set on the module to their output; limiters keep
// a value between two limits and mirror it between two pins.
#include "guikit_module.h"
#include "module_helpers.h"

namespace ovra::guikit {
namespace {

template <class T>
class Fixed : public CopyingModule {
public:
    Fixed() {
        addPin(kValue, value_, &Fixed::copyPin<&Fixed::value_, &Fixed::output_>);
        addPin(kOutput, output_);
    }

private:
    enum : int32_t { kValue = 0, kOutput = 1 };

    MpGuiPin<T> value_;
    MpGuiPin<T> output_;
};

// The upper limit is applied first, so inverted limits give the lower one.
// Both tests are strict, and a NaN value or limit fails them: it is passed on
// unclamped. Changing a limit re-checks nothing until a value is announced.
template <class T>
class Limiter : public MpGuiBase {
public:
    Limiter() {
        addPin(kSide1, side1_, &Limiter::onSide1);
        addPin(kUpper, upper_);
        addPin(kLower, lower_);
        addPin(kSide2, side2_, &Limiter::onSide2);
    }

private:
    enum : int32_t { kSide1 = 0, kUpper = 1, kLower = 2, kSide2 = 3 };

    void onSide1() { limit(side1_, side2_); }
    void onSide2() { limit(side2_, side1_); }

    // The corrected value goes back to the announced pin before the other
    // side receives it.
    void limit(MpGuiPin<T>& announced, MpGuiPin<T>& other) {
        if (announced.value > upper_.value)
            announced = upper_.value;
        if (lower_.value > announced.value)
            announced = lower_.value;
        other = announced.value;
    }

    MpGuiPin<T> side1_;
    MpGuiPin<T> upper_;
    MpGuiPin<T> lower_;
    MpGuiPin<T> side2_;
};

}  // namespace

class WbfixedboolGui : public Fixed<bool> {};
class WbfixedfloatGui : public Fixed<float> {};
class WbfixedintGui : public Fixed<int32_t> {};
class Wbfloatlimitsdk3Gui : public Limiter<float> {};
class Wbintlimitsdk3Gui : public Limiter<int32_t> {};

OVRA_MODULE(u"WB-Fixed-Bool-SDK3", WbfixedboolGui);
OVRA_MODULE(u"WB-Fixed-Float-SDK3", WbfixedfloatGui);
OVRA_MODULE(u"WB-Fixed-Int-SDK3", WbfixedintGui);
OVRA_MODULE(u"WB-Float-LimitSDK3", Wbfloatlimitsdk3Gui);
OVRA_MODULE(u"WB-Int-LimitSDK3", Wbintlimitsdk3Gui);

}  // namespace ovra::guikit
