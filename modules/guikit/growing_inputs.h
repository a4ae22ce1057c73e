// The growing input list: a module with one output at index kOutputPin (0), a
// first input at kFirstInputPin (1) and any number of further inputs at 2, 3,
// ..., which come into being when the host first delivers a value to them.
//
// Use: derive from GrowingInputs<Pin> (Pin = MpGuiPin<bool>, MpGuiPin<int32_t>,
// StringGuiPin, ...), register pins 0 and 1 yourself in the constructor (pin 1
// with evaluate as its handler), and implement evaluate(), reading the further
// inputs in index order with forEachFurtherInput:
//
//   class Join : public GrowingInputs<StringGuiPin> {
//   public:
//       Join() {
//           addPin(kOutputPin, joined_);
//           addPin(kFirstInputPin, first_, &Join::evaluate);
//       }
//       void evaluate() override {
//           wstring r = first_.value;
//           forEachFurtherInput([&](const wstring& part) { r += part; });
//           joined_ = r;
//       }
//   private:
//       StringGuiPin joined_, first_;
//   };
//
// What the base does for you:
// - initialiseGui runs evaluate once and answers RC_OK;
// - deliverPinValue to an index above 1 creates every missing further input up
//   to that index (zero value, no handler), stores the value and runs evaluate
//   at once; the further inputs have no handler, so signalPinChange on them
//   does nothing;
// - deliverPinValue to 0 or 1 only stores (pin 1's handler runs on
//   signalPinChange);
// - a negative index, or one beyond kMaxFurtherInputs further inputs, answers
//   RC_FAILED, creates nothing and evaluates nothing;
// - an evaluation that runs out of memory makes initialiseGui or
//   deliverPinValue answer RC_FAILED (the framework's entries stop it); a
//   further input's value that cannot be stored still leaves the inputs
//   grown and evaluated.
// [GUI thread]
#pragma once

#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "gui/gui_base.h"

namespace ovra::guikit {

// Far above any real patch; it keeps one host call from allocating without
// end (an index of 2147483647 would otherwise ask for two billion pins).
inline constexpr int32_t kMaxFurtherInputs = 1024;
inline constexpr int32_t kOutputPin = 0;
inline constexpr int32_t kFirstInputPin = 1;
inline constexpr int32_t kFirstFurtherInput = 2;
inline constexpr int32_t kLastFurtherInput = kFirstFurtherInput + kMaxFurtherInputs - 1;

template <class Pin>
class GrowingInputs : public MpGuiBase {
public:
    using Value = std::remove_reference_t<decltype(std::declval<Pin&>().value)>;

    // The module's computation over pin 1 and every further input.
    virtual void evaluate() = 0;

    int32_t onInitialiseGui() override {
        evaluate();
        return RC_OK;
    }

    int32_t onDeliverPinValue(int32_t pinIndex, int32_t voice, int32_t size, const void* data) override {
        if (pinIndex < 0 || pinIndex > kLastFurtherInput)
            return RC_FAILED;
        if (pinIndex < kFirstFurtherInput)
            return MpGuiBase::onDeliverPinValue(pinIndex, voice, size, data);
        growTo(pinIndex);
        // A value that cannot be stored still leaves the grown inputs evaluated.
        const int32_t result =
            guarded(RC_FAILED, [&] { return MpGuiBase::onDeliverPinValue(pinIndex, voice, size, data); });
        evaluate();
        return result;
    }

protected:
    int32_t furtherInputCount() const { return static_cast<int32_t>(further_.size()); }

    // Calls f(value) for each further input in index order.
    template <class F>
    void forEachFurtherInput(F&& f) const {
        for (const auto& pin : further_)
            f(static_cast<const Value&>(pin->value));
    }

private:
    // Creates the further inputs up to lastIndex; when memory runs out it
    // throws, and the inputs created so far stay.
    void growTo(int32_t lastIndex) {
        while (furtherInputCount() < lastIndex - 1) {
            auto pin = std::make_unique<Pin>();
            const int32_t index = furtherInputCount() + kFirstFurtherInput;
            further_.reserve(further_.size() + 1);
            registerPin(index, *pin, nullptr);
            further_.push_back(std::move(pin));
        }
    }

    std::vector<std::unique_ptr<Pin>> further_;
};

}  // namespace ovra::guikit
