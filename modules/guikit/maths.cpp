// Maths: functions, rescaling, coordinates, distance and decibels.
//
// Everything is single precision, in a fixed order of operations, with the
// framework's correctly rounded functions rather than the C runtime's, so
// a stored patch computes the same bits on every platform. Infinities and
// NaNs that the arithmetic produces are passed on as values.
#include <cmath>

#include "guikit_module.h"
#include "module_helpers.h"
#include "numeric/numeric.h"

namespace ovra::guikit {

// One of eight functions of x, picked by the selector.
class Wbmathsdk3Gui : public MpGuiBase {
public:
    Wbmathsdk3Gui() {
        addPin(kSelector, selector_, &Wbmathsdk3Gui::evaluate);
        addPin(kFunctionList, functionList_);
        addPin(kX, x_, &Wbmathsdk3Gui::evaluate);
        addPin(kResult, result_);
    }

    int32_t onInitialiseGui() override {
        functionList_ = u"Sin, Cos, aTan, Tan, Tanh, Exp, Log, Log10";
        return RC_OK;
    }

private:
    enum : int32_t { kSelector = 0, kFunctionList = 1, kX = 2, kResult = 3 };

    void evaluate() {
        const float x = x_.value;
        float r;
        switch (selector_.value) {
        case 0: r = numeric::sinf(x); break;
        case 1: r = numeric::cosf(x); break;
        case 2: r = numeric::atanf(x); break;
        case 3: r = numeric::tanf(x); break;
        case 4: r = numeric::tanhf(x); break;
        case 5: r = numeric::expf(x); break;
        case 6: r = numeric::logf(x); break;
        case 7: r = numeric::log10f(x); break;
        default: return;  // an unknown selector leaves the result alone
        }
        result_ = r;
    }

    MpGuiPin<int32_t> selector_;
    StringGuiPin functionList_;
    MpGuiPin<float> x_;
    MpGuiPin<float> result_;
};
OVRA_MODULE(u"WB-MathSDK3", Wbmathsdk3Gui);

// Maps x linearly from the input range to the output range. x enters as it
// is (not relative to the input low), so 0 lands on the output low. A value
// set on either result pin becomes the new x.
class Wbrescalesdk3Gui : public CopyingModule {
    using Self = Wbrescalesdk3Gui;

public:
    Wbrescalesdk3Gui() {
        addPin(kX, x_, &Self::evaluate);
        addPin(kInLow, inLow_, &Self::evaluate);
        addPin(kInHigh, inHigh_, &Self::evaluate);
        addPin(kOutLow, outLow_, &Self::evaluate);
        addPin(kOutHigh, outHigh_, &Self::evaluate);
        // No evaluation follows a copy back: the result becomes x unscaled,
        // and the other result pin shows it.
        addPin(kResult, result_, &Self::copyPin<&Self::result_, &Self::x_, &Self::resultCopy_>);
        addPin(kResultCopy, resultCopy_, &Self::copyPin<&Self::resultCopy_, &Self::x_, &Self::result_>);
    }

    // Only the evaluation: copying the result back here would replace the
    // host's x by the result at every initialisation.
    int32_t onInitialiseGui() override {
        evaluate();
        return RC_OK;
    }

private:
    enum : int32_t { kX = 0, kInLow = 1, kInHigh = 2, kOutLow = 3, kOutHigh = 4, kResult = 5, kResultCopy = 6 };

    void evaluate() {
        const float spanIn = inHigh_.value - inLow_.value;
        const float spanOut = outHigh_.value - outLow_.value;
        float r = 0.0f;
        if (spanIn != 0.0f || spanOut != 0.0f)
            r = spanOut * x_.value / spanIn + outLow_.value;
        result_ = r;
        resultCopy_ = r;
    }

    MpGuiPin<float> x_;
    MpGuiPin<float> inLow_;
    MpGuiPin<float> inHigh_;
    MpGuiPin<float> outLow_;
    MpGuiPin<float> outHigh_;
    MpGuiPin<float> result_;
    MpGuiPin<float> resultCopy_;
};
OVRA_MODULE(u"WB-RescaleSDK3", Wbrescalesdk3Gui);

// Cartesian to polar and back; angles in degrees. Mode 0 gives angles in
// -180..180, mode 1 (and above) in 0..360.
class Wbcart2polarsdk3Gui : public MpGuiBase {
public:
    Wbcart2polarsdk3Gui() {
        addPin(kMode, mode_, &Wbcart2polarsdk3Gui::toPolar);
        addPin(kModeList, modeList_);
        addPin(kX, x_, &Wbcart2polarsdk3Gui::toPolar);
        addPin(kY, y_, &Wbcart2polarsdk3Gui::toPolar);
        addPin(kRadius, radius_, &Wbcart2polarsdk3Gui::toCartesian);
        addPin(kAngle, angle_, &Wbcart2polarsdk3Gui::toCartesian);
    }

    int32_t onInitialiseGui() override {
        modeList_ = u"180,360";
        return RC_OK;
    }

private:
    enum : int32_t { kMode = 0, kModeList = 1, kX = 2, kY = 3, kRadius = 4, kAngle = 5 };
    static constexpr float kPi = 3.14159265358979323846f;

    void toPolar() {
        const float x = x_.value;
        const float y = y_.value;
        const float radius = numeric::sqrtf(y * y + x * x);
        const bool fullTurn = mode_.value >= 1;
        float angle = numeric::atan2f(y, x) * 180.0f / kPi;
        if (fullTurn && angle < 0.0f)
            angle = angle + 360.0f;
        angle_ = angle;
        radius_ = radius;
    }
    void toCartesian() {
        const float t = kPi * angle_.value / 180.0f;
        x_ = numeric::cosf(t) * radius_.value;
        y_ = numeric::sinf(t) * radius_.value;
    }

    MpGuiPin<int32_t> mode_;
    StringGuiPin modeList_;
    MpGuiPin<float> x_;
    MpGuiPin<float> y_;
    MpGuiPin<float> radius_;
    MpGuiPin<float> angle_;
};
OVRA_MODULE(u"WB-Cart2PolarSDK3", Wbcart2polarsdk3Gui);

class Wb3ddistancesdk3Gui : public MpGuiBase {
public:
    Wb3ddistancesdk3Gui() {
        addPin(kX, x_, &Wb3ddistancesdk3Gui::evaluate);
        addPin(kY, y_, &Wb3ddistancesdk3Gui::evaluate);
        addPin(kZ, z_, &Wb3ddistancesdk3Gui::evaluate);
        addPin(kDistance, distance_);
    }

private:
    enum : int32_t { kX = 0, kY = 1, kZ = 2, kDistance = 3 };

    // Two roots, the plane first: the rounding is part of the result.
    void evaluate() {
        const float d = numeric::sqrtf(x_.value * x_.value + y_.value * y_.value);
        distance_ = numeric::sqrtf(d * d + z_.value * z_.value);
    }

    MpGuiPin<float> x_;
    MpGuiPin<float> y_;
    MpGuiPin<float> z_;
    MpGuiPin<float> distance_;
};
OVRA_MODULE(u"WB-3DdistanceSDK3", Wb3ddistancesdk3Gui);

// Voltage ratio to decibels and back.
class Wbvolts2dbGui : public MpGuiBase {
public:
    Wbvolts2dbGui() {
        addPin(kVoltage, voltage_, &Wbvolts2dbGui::toDecibels);
        addPin(kReference, reference_, &Wbvolts2dbGui::toDecibels);
        addPin(kLevel, level_, &Wbvolts2dbGui::toVoltage);
    }

private:
    enum : int32_t { kVoltage = 0, kReference = 1, kLevel = 2 };

    // Keeps the logarithm finite for zero and negative voltages (a NaN
    // passes, the comparison being false).
    static constexpr float kFloor = 1e-6f;
    static float floored(float v) { return v < kFloor ? kFloor : v; }

    void toDecibels() { level_ = 20.0f * numeric::log10f(floored(voltage_.value) / floored(reference_.value)); }
    // A level of exactly 0 dB counts as the floor, so the voltage lands a
    // step above the reference.
    void toVoltage() {
        float l = level_.value;
        if (l == 0.0f)
            l = kFloor;
        voltage_ = numeric::exp10f(l / 20.0f) * reference_.value;
    }

    MpGuiPin<float> voltage_;
    MpGuiPin<float> reference_;
    MpGuiPin<float> level_;
};
OVRA_MODULE(u"WB-Volts2dBSDK3", Wbvolts2dbGui);

}  // namespace ovra::guikit
