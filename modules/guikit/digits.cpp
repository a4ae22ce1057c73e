// Putting an integer on seven-segment digits: a splitter into decimal digits
// and a decoder from one digit to segment levels.
#include "guikit_module.h"

namespace ovra::guikit {

// The seven lowest decimal digits of a value, millions first. Digits carry
// the value's sign (-123 gives -1, -2, -3); higher digits are dropped.
class Wbintsplittersdk3Gui : public MpGuiBase {
public:
    Wbintsplittersdk3Gui() {
        addPin(kValue, value_, &Wbintsplittersdk3Gui::split);
        for (int32_t i = 0; i < kDigits; ++i)
            addPin(kFirstDigit + i, digits_[i]);
    }

private:
    static constexpr int32_t kDigits = 7;
    enum : int32_t { kValue = 0, kFirstDigit = 1 };  // digits on 1 to 7
    static constexpr int32_t kPlaces[kDigits] = {1000000, 100000, 10000, 1000, 100, 10, 1};

    // Truncating division by a positive place never overflows, so every
    // int32 splits, the most negative one included.
    void split() {
        const int32_t v = value_.value;
        for (int32_t i = 0; i < kDigits; ++i)
            digits_[i] = v / kPlaces[i] % 10;
    }

    MpGuiPin<int32_t> value_;
    MpGuiPin<int32_t> digits_[kDigits];  // 10^6 down to 10^0
};
OVRA_MODULE(u"WB-Int2DigitsSDK3", Wbintsplittersdk3Gui);

// One decimal digit to the levels (1.0 lit, 0.0 dark) of segments a to g:
// a top, b upper right, c lower right, d bottom, e lower left, f upper left,
// g middle. The seven is hooked (f lit), the six and nine have tails.
class Wb7segmentsdk3Gui : public MpGuiBase {
public:
    Wb7segmentsdk3Gui() {
        addPin(kDigit, digit_, &Wb7segmentsdk3Gui::decode);
        for (int32_t i = 0; i < kSegments; ++i)
            addPin(kFirstSegment + i, segments_[i]);
    }

private:
    static constexpr int32_t kSegments = 7;
    enum : int32_t { kDigit = 0, kFirstSegment = 1 };  // segments on 1 to 7
    static constexpr float kLit[10][kSegments] = {
        //  a  b  c  d  e  f  g
        {1, 1, 1, 1, 1, 1, 0},  // 0
        {0, 1, 1, 0, 0, 0, 0},  // 1
        {1, 1, 0, 1, 1, 0, 1},  // 2
        {1, 1, 1, 1, 0, 0, 1},  // 3
        {0, 1, 1, 0, 0, 1, 1},  // 4
        {1, 0, 1, 1, 0, 1, 1},  // 5
        {1, 0, 1, 1, 1, 1, 1},  // 6
        {1, 1, 1, 0, 0, 1, 0},  // 7
        {1, 1, 1, 1, 1, 1, 1},  // 8
        {1, 1, 1, 1, 0, 1, 1},  // 9
    };

    // Anything but 0 to 9 (a negative digit from the splitter, say) leaves
    // the segments as they are.
    void decode() {
        const int32_t d = digit_.value;
        if (d < 0 || d > 9)
            return;
        for (int32_t i = 0; i < kSegments; ++i)
            segments_[i] = kLit[d][i];
    }

    MpGuiPin<int32_t> digit_;
    MpGuiPin<float> segments_[kSegments];  // segments a to g
};
OVRA_MODULE(u"WB-7SegmentSDK3", Wb7segmentsdk3Gui);

}  // namespace ovra::guikit
