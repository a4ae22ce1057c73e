// Text modules: join and split, capitals, pieces of a text.
#include <limits>

#include "module_fixture.h"

using namespace ovra;
using test::GuikitModule;
using test::sent;
using test::Sent;
using Sends = std::vector<Sent>;

namespace {

// --- append ---------------------------------------------------------------

TEST(Append, FurtherPartsJoinAtOnceInIndexOrder) {
    GuikitModule m(u"WB-Text-AppendSDK3");
    m.set(1, u"ab");
    EXPECT_EQ(m.sends(), Sends{sent(0, u"ab")});
    m.clear();
    EXPECT_EQ(m.deliver(2, u"cd"), RC_OK);
    EXPECT_EQ(m.sends(), Sends{sent(0, u"abcd")});
    m.clear();
    EXPECT_EQ(m.deliver(3, u"ef"), RC_OK);
    EXPECT_EQ(m.sends(), Sends{sent(0, u"abcdef")});
}

TEST(Append, DeliveringFarAheadCreatesTheEmptyPartsBetween) {
    GuikitModule m(u"WB-Text-AppendSDK3");
    m.deliver(1, u"a");
    EXPECT_EQ(m.deliver(5, u"e"), RC_OK);
    EXPECT_EQ(m.deliver(3, u"c"), RC_OK);
    EXPECT_EQ(m.sends(), (Sends{sent(0, u"ae"), sent(0, u"ace")}));
}

TEST(Append, RejectedIndicesJoinNothing) {
    GuikitModule m(u"WB-Text-AppendSDK3");
    m.deliver(1, u"a");
    EXPECT_EQ(m.deliver(-1, u"x"), RC_FAILED);
    EXPECT_EQ(m.deliver(std::numeric_limits<int32_t>::max(), u"x"), RC_FAILED);
    EXPECT_TRUE(m.sends().empty());
}

TEST(Append, SplitGivesPartOneTheTextBeforeTheFirstSpace) {
    struct Case {
        const char16_t* joined;
        const char16_t* first;
    };
    for (const Case c : {Case{u"hello world", u"hello"}, Case{u"nospace", u"nospace"},
                         Case{u" leading", u""}, Case{u"a b c", u"a"}}) {
        GuikitModule m(u"WB-Text-AppendSDK3");
        m.deliver(2, u"tail");
        m.clear();
        m.set(0, c.joined);
        // Part 1 only: no join follows and the further part stays.
        const Sends expected = wstring(c.first).empty() ? Sends{} : Sends{sent(1, c.first)};
        EXPECT_EQ(m.sends(), expected) << host::toUtf8(c.joined);
    }
}

TEST(Append, InitialiseJoinsWithoutSplitting) {
    GuikitModule m(u"WB-Text-AppendSDK3");
    m.deliver(1, u"ab");
    m.deliver(2, u"cd");
    m.clear();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(m.initialise(), RC_OK);
    // Part 1 keeps the host's value instead of taking up the joined text, so
    // the join stays the same from one initialisation to the next.
    EXPECT_TRUE(m.sends().empty());
}

TEST(Append, InitialiseSendsTheJoin) {
    GuikitModule m(u"WB-Text-AppendSDK3");
    m.deliver(1, u"x");
    EXPECT_EQ(m.initialise(), RC_OK);
    EXPECT_EQ(m.sends(), Sends{sent(0, u"x")});
}

// --- capitals -------------------------------------------------------------

struct CapitalCase {
    const char16_t* input;
    bool on;
    const char16_t* output;
};

const CapitalCase kCapitalCases[] = {
    {u"Grüße, abc", true, u"GRüßE, ABC"},
    {u"Grüße, abc", false, u"Grüße, abc"},
    // Only 'a' to 'z': the neighbours '`' and '{', accented, Greek and
    // Cyrillic letters and surrogate pairs pass unchanged.
    {u"`az{", true, u"`AZ{"},
    {u"éàÿ αβ жз \U0001D41A", true, u"éàÿ αβ жз \U0001D41A"},
    {u"MiXeD 123", true, u"MIXED 123"},
};

class Capital : public ::testing::TestWithParam<CapitalCase> {};

TEST_P(Capital, ChangesOnlyLatinSmallLetters) {
    const auto& c = GetParam();
    GuikitModule m(u"WB-Text-CapitalSDK3");
    m.deliver(1, c.on);
    m.set(0, c.input);
    EXPECT_EQ(m.sends(), Sends{sent(2, c.output)});
}

INSTANTIATE_TEST_SUITE_P(Cases, Capital, ::testing::ValuesIn(kCapitalCases));

TEST(CapitalEdge, EmptyInputSendsOnlyWhenTheOutputWasNotEmpty) {
    GuikitModule m(u"WB-Text-CapitalSDK3");
    m.set(0, u"");
    EXPECT_TRUE(m.sends().empty());
    m.set(0, u"ab");
    m.clear();
    m.set(0, u"");
    EXPECT_EQ(m.sends(), Sends{sent(2, u"")});
}

TEST(CapitalEdge, SwitchingCapitalsReevaluates) {
    GuikitModule m(u"WB-Text-CapitalSDK3");
    m.set(0, u"ab");
    m.set(1, true);
    m.set(1, false);
    EXPECT_EQ(m.sends(), (Sends{sent(2, u"ab"), sent(2, u"AB"), sent(2, u"ab")}));
}

// --- pieces ---------------------------------------------------------------

enum SubstrPin { kInput = 0, kStart, kCount, kPiece, kLength };

struct SubstrCase {
    int32_t start, count;
    const char16_t* piece;
};

const SubstrCase kSubstrCases[] = {
    {2, 3, u"cde"},
    {-4, 2, u"ab"},  // a negative start counts from 0
    {4, -1, u"ef"},  // a negative count reaches to the end
    {0, std::numeric_limits<int32_t>::min(), u"abcdef"},
    {3, std::numeric_limits<int32_t>::max(), u"def"},
    {5, 1, u"f"},
    {0, 6, u"abcdef"},
};

class Substr : public ::testing::TestWithParam<SubstrCase> {};

TEST_P(Substr, SendsTheLengthThenThePiece) {
    const auto& c = GetParam();
    GuikitModule m(u"WB-Text-SubstrSDK3");
    m.deliver(kStart, c.start);
    m.deliver(kCount, c.count);
    m.set(kInput, u"abcdef");
    EXPECT_EQ(m.sends(), (Sends{sent(kLength, 6), sent(kPiece, c.piece)}));
}

INSTANTIATE_TEST_SUITE_P(OfAbcdef, Substr, ::testing::ValuesIn(kSubstrCases));

TEST(SubstrEdge, EmptyPieces) {
    struct Case {
        int32_t start, count;
    };
    for (const Case c : {Case{10, 3}, Case{6, 1}, Case{std::numeric_limits<int32_t>::max(), -1}, Case{2, 0}}) {
        GuikitModule m(u"WB-Text-SubstrSDK3");
        m.deliver(kStart, c.start);
        m.deliver(kCount, c.count);
        m.set(kInput, u"abcdef");
        EXPECT_EQ(m.sends(), Sends{sent(kLength, 6)}) << c.start << ", " << c.count;
    }
}

TEST(SubstrEdge, EmptyInputSendsLengthZeroThenTheEmptyPiece) {
    GuikitModule m(u"WB-Text-SubstrSDK3");
    m.deliver(kCount, 3);
    m.set(kInput, u"abcdef");
    m.clear();
    m.set(kInput, u"");
    EXPECT_EQ(m.sends(), (Sends{sent(kLength, 0), sent(kPiece, u"")}));
}

// A host may deliver a new input while the module sends the length: the
// piece is still cut from the text the evaluation started with.
TEST(SubstrEdge, InputDeliveredDuringTheLengthSendLeavesTheEvaluationWhole) {
    GuikitModule m(u"WB-Text-SubstrSDK3");
    ASSERT_TRUE(m.ready());
    m.set(1, int32_t{4});
    m.set(2, int32_t{-1});
    bool delivered = false;
    m.host.onSend = [&](int32_t pin, const host::Bytes&) {
        if (pin == 4 && !delivered) {
            delivered = true;
            m.deliver(0, wstring(u"ab"));
        }
    };
    EXPECT_EQ(m.set(0, wstring(u"abcdef")), RC_OK);
    EXPECT_TRUE(delivered);
    EXPECT_EQ(m.lastOn(3), host::bytesOf(u"ef"));
}

TEST(SubstrEdge, CountsCodeUnits) {
    GuikitModule m(u"WB-Text-SubstrSDK3");
    m.deliver(kStart, 1);
    m.deliver(kCount, 2);
    m.set(kInput, u"a\U0001F600b");
    EXPECT_EQ(m.sends(), (Sends{sent(kLength, 4), sent(kPiece, u"\U0001F600")}));
}

}  // namespace
