// Text: joining parts, capitals, cutting a piece. Positions and lengths count
// UTF-16 code units.
#include <cstdint>

#include "growing_inputs.h"
#include "guikit_module.h"

namespace ovra::guikit {

// Part 1 and every further part joined in index order, nothing between them.
// A joined text announced by the host gives part 1 its first word back.
// initialiseGui joins only: splitting there as well would feed the joined
// text back into part 1, which would then grow at every initialisation.
class WbtextappendGui : public GrowingInputs<StringGuiPin> {
public:
    WbtextappendGui() {
        addPin(kOutputPin, joined_, &WbtextappendGui::split);
        addPin(kFirstInputPin, first_, &WbtextappendGui::evaluate);
    }

    void evaluate() override {
        wstring text = first_.value;
        forEachFurtherInput([&](const wstring& part) { text += part; });
        joined_ = text;
    }

private:
    // The further parts are left alone and nothing is joined again.
    void split() {
        const wstring& text = joined_.value;
        first_ = text.substr(0, text.find(u' '));
    }

    StringGuiPin joined_;
    StringGuiPin first_;
};
OVRA_MODULE(u"WB-Text-AppendSDK3", WbtextappendGui);

// Capitals for 'a' to 'z' only: no locale, every other code unit (accented
// and non-Latin letters included) passes unchanged.
class Wbtextcapitalsdk3Gui : public MpGuiBase {
public:
    Wbtextcapitalsdk3Gui() {
        addPin(kInput, input_, &Wbtextcapitalsdk3Gui::evaluate);
        addPin(kCapitalsOn, capitalsOn_, &Wbtextcapitalsdk3Gui::evaluate);
        addPin(kOutput, output_);
    }

private:
    enum : int32_t { kInput = 0, kCapitalsOn = 1, kOutput = 2 };

    void evaluate() {
        wstring text = input_.value;
        if (capitalsOn_.value) {
            for (char16_t& c : text)
                if (c >= u'a' && c <= u'z')
                    c = static_cast<char16_t>(c - 0x20);
        }
        output_ = text;
    }

    StringGuiPin input_;
    MpGuiPin<bool> capitalsOn_;
    StringGuiPin output_;
};
OVRA_MODULE(u"WB-Text-CapitalSDK3", Wbtextcapitalsdk3Gui);

// A piece of the input and the input's length (sent first). A start outside
// the text is clamped to it; a negative count reaches to the end.
class Wbtextsubstrsdk3Gui : public MpGuiBase {
public:
    Wbtextsubstrsdk3Gui() {
        addPin(kInput, input_, &Wbtextsubstrsdk3Gui::evaluate);
        addPin(kStart, start_, &Wbtextsubstrsdk3Gui::evaluate);
        addPin(kCount, count_, &Wbtextsubstrsdk3Gui::evaluate);
        addPin(kPiece, piece_);
        addPin(kLength, length_);
    }

private:
    enum : int32_t { kInput = 0, kStart = 1, kCount = 2, kPiece = 3, kLength = 4 };

    // Works on a copy: sending the length may bring a new input from the
    // host before the piece is cut.
    void evaluate() {
        const wstring text = input_.value;
        const auto n = static_cast<int32_t>(text.size());
        length_ = n;
        int32_t start = start_.value;
        if (start < 0)
            start = 0;
        if (start > n)
            start = n;
        // Sign-extended, then unsigned: -1 becomes "everything that is left".
        const auto count = static_cast<uint64_t>(static_cast<int64_t>(count_.value));
        const auto available = static_cast<uint64_t>(n - start);
        piece_ = text.substr(static_cast<size_t>(start), static_cast<size_t>(count < available ? count : available));
    }

    StringGuiPin input_;
    MpGuiPin<int32_t> start_;
    MpGuiPin<int32_t> count_;
    StringGuiPin piece_;
    MpGuiPin<int32_t> length_;
};
OVRA_MODULE(u"WB-Text-SubstrSDK3", Wbtextsubstrsdk3Gui);

}  // namespace ovra::guikit
