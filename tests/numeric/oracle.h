// The correctly rounded single-precision functions, computed by MPFR: the
// independent truth that the framework's maths is checked against.
// MPFR rounds each result once, to 24 bits, in the float exponent range
// (subnormals included); NaN results come back as a quiet NaN.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include <mpfr.h>

namespace ovra::oracle {

enum class Function { kSin, kCos, kTan, kAtan, kTanh, kExp, kExp10, kLog, kLog10 };

inline constexpr Function kFunctions[] = {Function::kSin,  Function::kCos,   Function::kTan,
                                          Function::kAtan, Function::kTanh,  Function::kExp,
                                          Function::kExp10, Function::kLog, Function::kLog10};

inline const char* nameOf(Function f) {
    switch (f) {
    case Function::kSin: return "sinf";
    case Function::kCos: return "cosf";
    case Function::kTan: return "tanf";
    case Function::kAtan: return "atanf";
    case Function::kTanh: return "tanhf";
    case Function::kExp: return "expf";
    case Function::kExp10: return "exp10f";
    case Function::kLog: return "logf";
    case Function::kLog10: return "log10f";
    }
    return "?";
}

// One MPFR context per thread: two variables at float precision and the
// float exponent range (MPFR's exponents count from a mantissa in
// [1/2, 1): 2^-149 = 2^-148 / 2, the largest finite float is below 2^128).
class Oracle {
public:
    Oracle() : emin_(mpfr_get_emin()), emax_(mpfr_get_emax()) {
        mpfr_set_emin(-148);
        mpfr_set_emax(128);
        mpfr_init2(x_, 24);
        mpfr_init2(y_, 24);
        mpfr_init2(r_, 24);
    }
    ~Oracle() {
        mpfr_clear(x_);
        mpfr_clear(y_);
        mpfr_clear(r_);
        mpfr_set_emin(emin_);
        mpfr_set_emax(emax_);
    }
    Oracle(const Oracle&) = delete;
    Oracle& operator=(const Oracle&) = delete;

    float operator()(Function f, float x) {
        mpfr_set_flt(x_, x, MPFR_RNDN);
        int inexact = 0;
        switch (f) {
        case Function::kSin: inexact = mpfr_sin(r_, x_, MPFR_RNDN); break;
        case Function::kCos: inexact = mpfr_cos(r_, x_, MPFR_RNDN); break;
        case Function::kTan: inexact = mpfr_tan(r_, x_, MPFR_RNDN); break;
        case Function::kAtan: inexact = mpfr_atan(r_, x_, MPFR_RNDN); break;
        case Function::kTanh: inexact = mpfr_tanh(r_, x_, MPFR_RNDN); break;
        case Function::kExp: inexact = mpfr_exp(r_, x_, MPFR_RNDN); break;
        case Function::kExp10: inexact = mpfr_exp10(r_, x_, MPFR_RNDN); break;
        case Function::kLog: inexact = mpfr_log(r_, x_, MPFR_RNDN); break;
        case Function::kLog10: inexact = mpfr_log10(r_, x_, MPFR_RNDN); break;
        }
        return result(inexact);
    }

    float atan2(float y, float x) {
        mpfr_set_flt(y_, y, MPFR_RNDN);
        mpfr_set_flt(x_, x, MPFR_RNDN);
        return result(mpfr_atan2(r_, y_, x_, MPFR_RNDN));
    }

private:
    float result(int inexact) {
        mpfr_subnormalize(r_, inexact, MPFR_RNDN);
        return mpfr_get_flt(r_, MPFR_RNDN);
    }

    mpfr_exp_t emin_, emax_;  // the range before, given back at the end
    mpfr_t x_, y_, r_;
};

// Same bits, or both NaN (NaN signs and payloads are checked apart).
inline bool sameResult(float a, float b) {
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    uint32_t ba, bb;
    std::memcpy(&ba, &a, 4);
    std::memcpy(&bb, &b, 4);
    return ba == bb;
}

}  // namespace ovra::oracle
