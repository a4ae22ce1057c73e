// Logic gates on bool and int32 pins. An int32 input counts as true when it
// is greater than 0; an int32 output is written as 1 or 0.
#include "growing_inputs.h"
#include "guikit_module.h"

namespace ovra::guikit {
namespace {

bool truthOf(bool v) { return v; }
bool truthOf(int32_t v) { return v > 0; }

template <class T>
T valueOf(bool truth) {
    return static_cast<T>(truth ? 1 : 0);
}

// Forces an int32 pin into 0..1 and sends the corrected value back.
void correctToLogic(MpGuiPin<int32_t>& pin) {
    if (pin.value < 0)
        pin = 0;
    else if (pin.value > 1)
        pin = 1;
}

struct All {
    static bool combine(bool input, bool sofar) { return input && sofar; }
};
struct Any {
    static bool combine(bool input, bool sofar) { return input || sofar; }
};

// AND and OR over input 1 and every further input; evaluates from
// initialiseGui on.
template <class T, class Combine>
class GrowingGate : public GrowingInputs<MpGuiPin<T>> {
public:
    GrowingGate() {
        this->addPin(kOutputPin, output_);
        this->addPin(kFirstInputPin, input1_, &GrowingGate::evaluate);
    }

    void evaluate() override {
        bool r = truthOf(input1_.value);
        this->forEachFurtherInput([&](const T& v) { r = Combine::combine(truthOf(v), r); });
        output_ = valueOf<T>(r);
    }

private:
    MpGuiPin<T> output_;
    MpGuiPin<T> input1_;
};

// Two inputs, each evaluating when announced. A correcting gate first forces
// the announced input into 0..1; the other input stays as its own last
// handler left it.
template <class T, bool (*Rule)(T, T), bool Corrects = false>
class TwoInputGate : public MpGuiBase {
public:
    TwoInputGate() {
        addPin(kInputA, inputA_, &TwoInputGate::onInputA);
        addPin(kInputB, inputB_, &TwoInputGate::onInputB);
        addPin(kOutput, output_);
    }

private:
    enum : int32_t { kInputA = 0, kInputB = 1, kOutput = 2 };

    void onInputA() { evaluate(inputA_); }
    void onInputB() { evaluate(inputB_); }

    void evaluate(MpGuiPin<T>& announced) {
        if constexpr (Corrects)
            correctToLogic(announced);
        output_ = valueOf<T>(Rule(inputA_.value, inputB_.value));
    }

    MpGuiPin<T> inputA_;
    MpGuiPin<T> inputB_;
    MpGuiPin<T> output_;
};

bool nandB(bool a, bool b) { return !(a && b); }
bool norB(bool a, bool b) { return !(a || b); }
bool xnorB(bool a, bool b) { return a == b; }
bool xorB(bool a, bool b) { return a != b; }

// The int32 gates compare the stored values, so an uncorrected input of 7
// differs from 1 in XNOR and XOR.
bool nandI(int32_t a, int32_t b) { return a < 1 || b < 1; }
bool norI(int32_t a, int32_t b) { return !truthOf(a) && !truthOf(b); }
bool xnorI(int32_t a, int32_t b) { return a == b; }
bool xorI(int32_t a, int32_t b) { return a != b; }

}  // namespace

class Wblogicgatebandsdk3Gui : public GrowingGate<bool, All> {};
class Wblogicgatebnandsdk3Gui : public TwoInputGate<bool, nandB> {};
class Wblogicgatebnorsdk3Gui : public TwoInputGate<bool, norB> {};
class Wblogicgateborsdk3Gui : public GrowingGate<bool, Any> {};
class Wblogicgatebxnorsdk3Gui : public TwoInputGate<bool, xnorB> {};
class Wblogicgatebxorsdk3Gui : public TwoInputGate<bool, xorB> {};
class Wblogicgateiandsdk3Gui : public GrowingGate<int32_t, All> {};
class Wblogicgateinandsdk3Gui : public TwoInputGate<int32_t, nandI> {};
class Wblogicgateinorsdk3Gui : public TwoInputGate<int32_t, norI, true> {};
class Wblogicgateiorsdk3Gui : public GrowingGate<int32_t, Any> {};
class Wblogicgateixnorsdk3Gui : public TwoInputGate<int32_t, xnorI, true> {};
class Wblogicgateixorsdk3Gui : public TwoInputGate<int32_t, xorI, true> {};

// NOT: each pin is the other's input and output. The announced pin is first
// forced into 0..1 (sent back when corrected, as the correcting gates do),
// then the other pin is set to its opposite, sent only when it changes.
class Wblogicgatenotsdk3Gui : public MpGuiBase {
public:
    Wblogicgatenotsdk3Gui() {
        addPin(kPinA, pinA_, &Wblogicgatenotsdk3Gui::onPinA);
        addPin(kPinB, pinB_, &Wblogicgatenotsdk3Gui::onPinB);
    }

private:
    enum : int32_t { kPinA = 0, kPinB = 1 };

    void onPinA() { invert(pinA_, pinB_); }
    void onPinB() { invert(pinB_, pinA_); }

    static void invert(MpGuiPin<int32_t>& announced, MpGuiPin<int32_t>& other) {
        correctToLogic(announced);
        other = 1 - announced.value;
    }

    MpGuiPin<int32_t> pinA_;
    MpGuiPin<int32_t> pinB_;
};

OVRA_MODULE(u"WB-LogicGateB-AND-SDK3", Wblogicgatebandsdk3Gui);
OVRA_MODULE(u"WB-LogicGateB-NAND-SDK3", Wblogicgatebnandsdk3Gui);
OVRA_MODULE(u"WB-LogicGateB-NOR-SDK3", Wblogicgatebnorsdk3Gui);
OVRA_MODULE(u"WB-LogicGateB-OR-SDK3", Wblogicgateborsdk3Gui);
OVRA_MODULE(u"WB-LogicGateB-XNOR-SDK3", Wblogicgatebxnorsdk3Gui);
OVRA_MODULE(u"WB-LogicGateB-XOR-SDK3", Wblogicgatebxorsdk3Gui);
OVRA_MODULE(u"WB-LogicGateI-AND-SDK3", Wblogicgateiandsdk3Gui);
OVRA_MODULE(u"WB-LogicGateI-NAND-SDK3", Wblogicgateinandsdk3Gui);
OVRA_MODULE(u"WB-LogicGateI-NOR-SDK3", Wblogicgateinorsdk3Gui);
OVRA_MODULE(u"WB-LogicGateI-OR-SDK3", Wblogicgateiorsdk3Gui);
OVRA_MODULE(u"WB-LogicGateI-XNOR-SDK3", Wblogicgateixnorsdk3Gui);
OVRA_MODULE(u"WB-LogicGateI-XOR-SDK3", Wblogicgateixorsdk3Gui);
OVRA_MODULE(u"WB-LogicGateI-NOT-SDK3", Wblogicgatenotsdk3Gui);

}  // namespace ovra::guikit
