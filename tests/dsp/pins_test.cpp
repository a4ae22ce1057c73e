// DSP pins: values as they arrive on the wire, what outputs send, streaming.
#include <gtest/gtest.h>

#include "probe.h"

using namespace ovra;
using ovra::host::Bytes;
using ovra::host::DspCall;
using ovra::host::EventList;
using ovra::test::Probe;

namespace {

struct Pins : ::testing::Test, test::ProbeOnHost {
    void send(int32_t pin, const Bytes& bytes) { process(1, EventList().value(0, pin, bytes)); }
};

struct Arrival {
    const char* name;
    int32_t pin;
    Bytes before;  // sent first, so that stale bytes would show
    Bytes bytes;
    Bytes expected;  // the value as the pin reads it, in wire bytes
};
void PrintTo(const Arrival& c, std::ostream* os) { *os << c.name; }

class PinValues : public ::testing::TestWithParam<Arrival>, public test::ProbeOnHost {};

TEST_P(PinValues, StoreTakesOnlyWhatArrived) {
    const auto& c = GetParam();
    process(1, EventList().value(0, c.pin, c.before));
    process(1, EventList().value(0, c.pin, c.bytes));
    Bytes held;
    switch (c.pin) {
    case Probe::kFloatIn: held = host::bytesOf(probe->floatIn.value); break;
    case Probe::kIntIn: held = host::bytesOf(probe->intIn.value); break;
    case Probe::kBoolIn: held = Bytes{probe->boolIn.value.byte()}; break;
    default: held = host::bytesOf(probe->textIn.value); break;
    }
    EXPECT_EQ(held, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Wire, PinValues,
    ::testing::Values(
        Arrival{"BoolFromFourBytes", Probe::kBoolIn, {0}, {2, 0, 0, 0}, {1}},
        Arrival{"BoolFromHighByteOfFour", Probe::kBoolIn, {0}, {0, 0, 0, 1}, {1}},
        Arrival{"BoolFromOneZeroByte", Probe::kBoolIn, {1}, {0}, {0}},
        Arrival{"BoolFromFirstOfTwo", Probe::kBoolIn, {1}, {0, 1}, {0}},
        Arrival{"BoolKeepsTheFirstOfTwoAsDelivered", Probe::kBoolIn, {0}, {5, 0}, {5}},
        Arrival{"BoolKeepsOneByteAsDelivered", Probe::kBoolIn, {0}, {0xFE}, {0xFE}},
        Arrival{"BoolFromNothing", Probe::kBoolIn, {1}, {}, {0}},
        Arrival{"TextDropsAnOddByte", Probe::kTextIn, {}, {'a', 0, 'b', 0, 'c', 0, 'd'}, {'a', 0, 'b', 0, 'c', 0}},
        Arrival{"TextLongerThanInline", Probe::kTextIn, {}, Bytes(20, 'x'), Bytes(20, 'x')},
        Arrival{"TextEmptied", Probe::kTextIn, {'a', 0}, {}, {}},
        Arrival{"FloatTakesFourOfEight", Probe::kFloatIn, {}, {0, 0, 0x80, 0x3f, 9, 9, 9, 9}, {0, 0, 0x80, 0x3f}},
        Arrival{"IntTakesFourOfMany", Probe::kIntIn, {}, Bytes(40, 1), {1, 1, 1, 1}},
        Arrival{"TwoBytesOverTheLowBytesOfAnInt", Probe::kIntIn, {0x78, 0x56, 0x34, 0x12}, {0xAA, 0xBB},
                {0xAA, 0xBB, 0x34, 0x12}},
        Arrival{"ThreeBytesOverTheLowBytesOfAFloat", Probe::kFloatIn, {1, 2, 3, 4}, {9, 9, 9}, {9, 9, 9, 4}},
        Arrival{"NoBytesKeepAnInt", Probe::kIntIn, {0x78, 0x56, 0x34, 0x12}, {}, {0x78, 0x56, 0x34, 0x12}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Pins, EngineStartSendsEveryOutputInIndexOrder) {
    probe->textOut.value = u"abc";
    process(4, EventList().start(2));
    std::vector<DspCall> sent;
    for (const auto& c : host.calls)
        if (c.kind == DspCall::Publish || c.kind == DspCall::Streaming)
            sent.push_back(c);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].kind, DspCall::Streaming);
    EXPECT_EQ(sent[0].pinIndex, Probe::kAudioOut);
    EXPECT_TRUE(sent[0].streaming);
    EXPECT_EQ(sent[1].pinIndex, Probe::kFloatOut);
    EXPECT_EQ(sent[1].bytes, host::bytesOf(0.0f));
    EXPECT_EQ(sent[2].pinIndex, Probe::kTextOut);
    EXPECT_EQ(sent[2].bytes, host::bytesOf(u"abc"));  // six bytes, no terminator
    for (const auto& c : sent)
        EXPECT_EQ(c.sampleOffset, 2);
}

TEST_F(Pins, TransmitSendsAtTheBlockPositionUnlessTold) {
    probe->floatOut.value = 0.5f;
    probe->floatOut.transmit();
    probe->floatOut.transmit(7);
    const auto sent = host.callsOf(DspCall::Publish);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].sampleOffset, 0);
    EXPECT_EQ(sent[1].sampleOffset, 7);
    EXPECT_EQ(host::floatOf(sent[1].bytes), 0.5f);
}

TEST_F(Pins, EveryStopOfAnOutputRefillsTheCountdownFirst) {
    host.countdown = 9;
    probe->audioOut.setOutputStreaming(true, 3);
    probe->audioOut.setOutputStreaming(false, 5);
    probe->audioOut.setOutputStreaming(false);  // already static: announced again
    EXPECT_EQ(probe->sleepCountdown(), 9);
    std::vector<DspCall::Kind> kinds;
    for (const auto& c : host.calls)
        if (c.kind == DspCall::Streaming || c.kind == DspCall::FillCountdown)
            kinds.push_back(c.kind);
    EXPECT_EQ(kinds, (std::vector<DspCall::Kind>{DspCall::Streaming, DspCall::FillCountdown, DspCall::Streaming,
                                                 DspCall::FillCountdown, DspCall::Streaming}));
    const auto announced = host.callsOf(DspCall::Streaming);
    EXPECT_EQ(announced[1].sampleOffset, 5);
    EXPECT_EQ(announced[2].sampleOffset, 0);
    EXPECT_EQ(std::count(probe->journal.begin(), probe->journal.end(), "static"), 1);
}

TEST_F(Pins, AudioInputIsChangedFromCreationUntilItsFirstStreamEvent) {
    EXPECT_TRUE(probe->audioIn.changedNow);
    process(1, EventList().value(0, Probe::kIntIn, int32_t{1}));
    EXPECT_TRUE(probe->audioIn.changedNow);
    process(1, EventList().streamOn(0, Probe::kAudioIn));
    EXPECT_FALSE(probe->audioIn.changedNow);
    EXPECT_TRUE(probe->audioIn.isStreaming());
}

}  // namespace
