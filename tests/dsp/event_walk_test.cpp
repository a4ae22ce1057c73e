// The DSP base: cutting blocks at events, the three passes, and sleeping.
#include <gtest/gtest.h>

#include "probe.h"

using namespace ovra;
using ovra::host::DspCall;
using ovra::host::EventList;
using ovra::test::Journal;

namespace {

struct EventWalk : ::testing::Test, test::ProbeOnHost {
    // Keeps the module routine running for every sub-block.
    void streamInput() {
        process(0, EventList().streamOn(0, test::Probe::kAudioIn));
        probe->journal.clear();
    }
};

TEST_F(EventWalk, BlockWithoutEventsRunsOnceWithTheWholeCount) {
    streamInput();
    process(64);
    EXPECT_EQ(probe->journal, (Journal{"run 64@0"}));
}

TEST_F(EventWalk, SimultaneousEventsShareThePassesAndOneOnPinsChanged) {
    streamInput();
    process(10, EventList().value(0, 0, 1.0f).value(0, 1, int32_t{2}).value(5, 2, true));
    EXPECT_EQ(probe->journal, (Journal{"1p0", "1p1", "2p0", "2p1", "changed", "3p0", "3p1", "run 5@0",  //
                                       "1p2", "2p2", "changed", "3p2", "run 5@5"}));
}

TEST_F(EventWalk, EventAtTheBlockEndIsNotDelivered) {
    streamInput();
    process(10, EventList().value(10, 0, 1.0f));
    EXPECT_EQ(probe->journal, (Journal{"run 10@0"}));
    EXPECT_EQ(probe->floatIn.value, 0.0f);
}

// Offsets outside the block or out of order never take a run outside it.
struct OutOfContract {
    const char* name;
    int32_t count;
    std::vector<int32_t> offsets;
    Journal runs;
    int delivered;
};
void PrintTo(const OutOfContract& c, std::ostream* os) { *os << c.name; }

class EventWalkOutOfContract : public ::testing::TestWithParam<OutOfContract>, public test::ProbeOnHost {};

TEST_P(EventWalkOutOfContract, RunsStayInsideTheBlock) {
    const auto& c = GetParam();
    process(0, EventList().streamOn(0, test::Probe::kAudioIn));
    probe->journal.clear();
    EventList events;
    for (int32_t offset : c.offsets)
        events.value(offset, test::Probe::kIntIn, int32_t{7});
    process(c.count, events);
    EXPECT_EQ(probe->runs(), c.runs);
    EXPECT_EQ(std::count(probe->journal.begin(), probe->journal.end(), "1p1"), c.delivered);
}

INSTANTIATE_TEST_SUITE_P(
    Offsets, EventWalkOutOfContract,
    ::testing::Values(OutOfContract{"PastTheEndCountsAsTheEnd", 10, {15}, {"run 10@0"}, 0},
                      OutOfContract{"NegativeCountsAsTheStart", 10, {-3}, {"run 10@0"}, 1},
                      OutOfContract{"EarlierThanThePositionJoinsItsGroup", 10, {5, 2}, {"run 5@0", "run 5@5"}, 2},
                      OutOfContract{"NegativeCountDeliversOnlyAtZero", -4, {0, 3}, {"run 0@0"}, 1},
                      OutOfContract{"EmptyBlockDeliversAtZero", 0, {0}, {"run 0@0"}, 1},
                      OutOfContract{"EmptyBlockHoldsBackWhatLiesPastIt", 0, {0, 5, 5}, {"run 0@0"}, 1},
                      OutOfContract{"NegativeCountDeliversNothingPastZero", -1, {2}, {"run 0@0"}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct GroupKind {
    const char* name;
    int32_t kind;
    int32_t pin;
    bool pinsChanged;
};
void PrintTo(const GroupKind& c, std::ostream* os) { *os << c.name; }

class EventWalkGroups : public ::testing::TestWithParam<GroupKind>, public test::ProbeOnHost {};

TEST_P(EventWalkGroups, OnPinsChangedFollowsValuesAndStreamingOnly) {
    EventList events;
    events.add(0, GetParam().kind, GetParam().pin, 0);
    process(4, events);
    const bool changed = std::count(probe->journal.begin(), probe->journal.end(), "changed") == 1;
    EXPECT_EQ(changed, GetParam().pinsChanged);
}

INSTANTIATE_TEST_SUITE_P(Kinds, EventWalkGroups,
                         ::testing::Values(GroupKind{"Value", EV_PIN_VALUE, 1, true},
                                           GroupKind{"ValueForAnUnknownPin", EV_PIN_VALUE, 99, true},
                                           GroupKind{"StreamOn", EV_STREAM_ON, 4, true},
                                           GroupKind{"StreamOff", EV_STREAM_OFF, 4, true},
                                           GroupKind{"Other", EV_PIN_OTHER, 1, false},
                                           GroupKind{"Start", EV_START, 0, false},
                                           GroupKind{"UnknownKind", 99, 1, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EventWalk, EventsReachTheFirstPinRegisteredUnderAnIndex) {
    process(4, EventList().value(0, test::Probe::kIntIn, int32_t{5}).value(0, test::Probe::kFarIn, int32_t{6}));
    EXPECT_EQ(probe->intIn.value, 5);
    EXPECT_EQ(probe->shadow.value, 0);
    EXPECT_EQ(probe->farIn.value, 6);
    EXPECT_EQ(plugin->assignPinBuffer(test::Probe::kFarIn, nullptr), RC_OK);
    EXPECT_EQ(plugin->assignPinBuffer(test::Probe::kFarIn - 1, nullptr), RC_FAILED);
}

TEST_F(EventWalk, UnreadableValuesAreIgnoredEntirely) {
    EventList events;
    events.add(0, EV_PIN_VALUE, test::Probe::kTextIn, -2);
    events.add(0, EV_PIN_VALUE, test::Probe::kTextIn, 12, nullptr);  // too long to travel inline
    process(4, events);
    EXPECT_EQ(std::count(probe->journal.begin(), probe->journal.end(), "changed"), 0);
    EXPECT_EQ(probe->textIn.value, u"");
}

// A group cut short by running out of memory ends like any other: no pin
// reports a change at a later, unrelated group.
TEST_F(EventWalk, GroupCutShortLeavesNoPinChanged) {
    probe->runOutOfMemoryOnChange = true;
    EXPECT_NO_THROW(process(4, EventList().value(0, test::Probe::kFloatIn, 0.5f).value(0, test::Probe::kTextIn,
                                                                                         wstring(u"cut"))));
    EXPECT_FALSE(probe->floatIn.changedNow);
    EXPECT_FALSE(probe->textIn.changedNow);
    EXPECT_EQ(probe->floatIn.value, 0.5f);
}

// Whatever hook of the module throws, and whatever it throws, processBlock
// returns to the host, and the next block is delivered whole.
struct ThrowingHook {
    const char* name;
    test::Probe::Hook hook;
    int32_t kind;
    int32_t pin;
};

class ModuleHookThrows : public EventWalk, public ::testing::WithParamInterface<ThrowingHook> {};

TEST_P(ModuleHookThrows, NothingReachesTheHostAndTheNextBlockRuns) {
    const ThrowingHook& c = GetParam();
    probe->throwingHook = c.hook;
    EventList events;
    if (c.kind == EV_PIN_VALUE)
        events.value(0, c.pin, 0.5f);
    else if (c.kind != 0)
        events.add(0, c.kind, c.pin);
    EXPECT_NO_THROW(process(4, events));

    probe->throwingHook = test::Probe::Hook::None;
    probe->journal.clear();
    EXPECT_NO_THROW(process(4, EventList().value(0, test::Probe::kIntIn, int32_t{7})));
    EXPECT_EQ(probe->intIn.value, 7);
    EXPECT_EQ(std::count(probe->journal.begin(), probe->journal.end(), "changed"), 1);
}

INSTANTIATE_TEST_SUITE_P(
    EveryHook, ModuleHookThrows,
    ::testing::Values(ThrowingHook{"OnPinsChanged", test::Probe::Hook::PinsChanged, EV_PIN_VALUE, test::Probe::kFloatIn},
                      ThrowingHook{"PinCallback", test::Probe::Hook::PinCallback, EV_PIN_VALUE, test::Probe::kFloatIn},
                      ThrowingHook{"OnPinStreamChange", test::Probe::Hook::StreamChange, EV_STREAM_ON,
                                   test::Probe::kAudioIn},
                      ThrowingHook{"OnEngineStart", test::Probe::Hook::EngineStart, EV_START, 0},
                      ThrowingHook{"ProcessRoutine", test::Probe::Hook::Routine, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// A host that hands in a block from inside publishPinValue: the outer block
// goes on from where it stood.
TEST_F(EventWalk, BlockHandedInDuringAnotherLeavesItsPositionAlone) {
    streamInput();
    probe->transmitOnChange = true;
    bool nested = false;
    host.onPublish = [&](int32_t, int32_t, const host::Bytes&) {
        if (!nested) {
            nested = true;
            plugin->processBlock(2, nullptr);
        }
    };
    process(10, EventList().value(4, test::Probe::kIntIn, int32_t{1}));
    EXPECT_EQ(probe->runs(), (Journal{"run 4@0", "run 2@0", "run 6@4"}));
}

TEST_F(EventWalk, ValueIsChangedOnlyFromPassOneToPassThree) {
    process(4, EventList().value(0, test::Probe::kFloatIn, 0.5f));
    EXPECT_TRUE(probe->floatChangedInCallback);
    EXPECT_FALSE(probe->floatIn.changedNow);
    EXPECT_EQ(probe->floatIn.value, 0.5f);
}

TEST_F(EventWalk, RoutineFollowsTheSelectionOnlyWhileItIsCurrent) {
    probe->switchRoutineOnChange = true;
    // Not streaming: the sleep dispatcher stays current and runs the new routine.
    host.countdown = 3;
    probe->audioOut.setOutputStreaming(false);
    process(10, EventList().value(2, test::Probe::kIntIn, int32_t{1}));
    EXPECT_EQ(probe->runs(), (Journal{"run 2@0", "other 1@2"}));
    EXPECT_EQ(host.count(DspCall::OfferSleep), 1u);
}

TEST_F(EventWalk, StreamingRoutineIsReplacedWithTheSelection) {
    probe->switchRoutineOnChange = true;
    process(10, EventList().streamOn(0, test::Probe::kAudioIn).value(4, test::Probe::kIntIn, int32_t{1}));
    EXPECT_EQ(probe->runs(), (Journal{"other 4@0", "other 6@4"}));
}

// ---------------------------------------------------------------------------

struct Sleep : EventWalk {};

TEST_F(Sleep, StaticModuleWithoutCountdownOffersSleepAndRunsNothing) {
    process(32);
    EXPECT_TRUE(probe->runs().empty());
    EXPECT_EQ(host.count(DspCall::OfferSleep), 1u);
}

TEST_F(Sleep, SubBlockBeforeAnEventNeverOffersSleep) {
    process(10, EventList().value(4, test::Probe::kIntIn, int32_t{1}));
    // The countdown took the sub-block's length, so the four samples ran.
    EXPECT_EQ(probe->runs(), (Journal{"run 4@0"}));
    EXPECT_EQ(host.count(DspCall::OfferSleep), 1u);
    EXPECT_EQ(host.calls.back().kind, DspCall::OfferSleep);
}

TEST_F(Sleep, HostCountdownRunsAcrossBlocksBeforeSleeping) {
    host.countdown = 15;
    probe->audioOut.setOutputStreaming(false);
    process(10);
    EXPECT_EQ(host.count(DspCall::OfferSleep), 0u);
    process(10);
    EXPECT_EQ(probe->runs(), (Journal{"run 10@0", "run 5@0"}));
    EXPECT_EQ(host.count(DspCall::OfferSleep), 1u);
}

TEST_F(Sleep, InputThatStopsStreamingRunsOneMoreSample) {
    streamInput();
    process(10, EventList().streamOff(0, test::Probe::kAudioIn));
    EXPECT_EQ(probe->runs(), (Journal{"run 1@0"}));
    EXPECT_EQ(host.count(DspCall::OfferSleep), 1u);
}

TEST_F(Sleep, StopRepeatedOnAStaticInputRaisesTheCountdownEachTime) {
    streamInput();
    process(0, EventList().streamOff(0, test::Probe::kAudioIn));
    EXPECT_EQ(probe->sleepCountdown(), 1);
    process(1);  // the one sample runs and spends the countdown
    EXPECT_EQ(probe->sleepCountdown(), 0);
    process(0, EventList().streamOff(0, test::Probe::kAudioIn));
    EXPECT_EQ(probe->sleepCountdown(), 1);
    EXPECT_EQ(std::count(probe->journal.begin(), probe->journal.end(), "static"), 1);
}

TEST_F(Sleep, SleepModeOverridesStreaming) {
    streamInput();
    probe->setSleepMode(true);
    process(8);
    EXPECT_EQ(host.count(DspCall::OfferSleep), 1u);

    probe->setSleepMode(false);
    process(8);
    process(8);
    EXPECT_EQ(host.count(DspCall::OfferSleep), 1u);
    EXPECT_EQ(probe->runs(), (Journal{"run 8@0", "run 8@0"}));
}

// ---------------------------------------------------------------------------

struct PluginBase : test::ProbeOnHost, ::testing::Test {};

TEST_F(PluginBase, InterfacesShareOneObjectAndOneCount) {
    void* unknown = nullptr;
    void* first = nullptr;
    void* second = nullptr;
    ASSERT_EQ(plugin->QueryInterface(&IID_IMpUnknown, &unknown), RC_OK);
    ASSERT_EQ(plugin->QueryInterface(&IID_IMpPlugin, &first), RC_OK);
    ASSERT_EQ(plugin->QueryInterface(&IID_IMpPlugin2, &second), RC_OK);
    EXPECT_EQ(unknown, first);
    EXPECT_EQ(second, static_cast<void*>(plugin));
    EXPECT_NE(first, second);
    EXPECT_EQ(static_cast<IMpPlugin*>(first)->Release(), 3u);
    EXPECT_EQ(static_cast<IMpPlugin2*>(second)->Release(), 2u);
    EXPECT_EQ(static_cast<IMpUnknown*>(unknown)->Release(), 1u);

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(plugin->QueryInterface(&IID_IMpLegacyInitialization, &none), RC_NOT_FOUND);
    EXPECT_EQ(none, nullptr);
}

TEST_F(PluginBase, HostReferencesAreGivenBack) {
    host::RecordingDspHost second;
    EXPECT_EQ(plugin->attachHost(second.unknown()), RC_OK);
    EXPECT_EQ(host.references, 1);
    second.answersDspHost = false;
    EXPECT_EQ(plugin->attachHost(second.unknown()), RC_NOT_FOUND);
    EXPECT_EQ(second.references, 1);
    process(16);  // no host: nothing to offer sleep to, and no crash

    EXPECT_EQ(plugin->attachHost(host.unknown()), RC_OK);
    EXPECT_EQ(host.references, 2);
    plugin->AddRef();
    plugin->Release();
    EXPECT_EQ(host.references, 2);
}

// A host whose only other reference is the module's would be gone if the
// module gave its reference back before asking again.
TEST_F(PluginBase, SameHostAttachedAgainIsAskedBeforeItIsReleased) {
    host.clear();
    EXPECT_EQ(plugin->attachHost(host.unknown()), RC_OK);
    std::vector<DspCall::Kind> kinds;
    for (const auto& c : host.calls)
        if (c.kind == DspCall::Query || c.kind == DspCall::Release)
            kinds.push_back(c.kind);
    EXPECT_EQ(kinds, (std::vector<DspCall::Kind>{DspCall::Query, DspCall::Release}));
    EXPECT_EQ(host.references, 2);
}

TEST_F(PluginBase, DestructionReleasesTheHost) {
    auto* other = new test::Probe();
    host::RecordingDspHost h;
    static_cast<IMpPlugin2*>(other)->attachHost(h.unknown());
    EXPECT_EQ(h.references, 2);
    EXPECT_EQ(static_cast<IMpPlugin2*>(other)->Release(), 0u);
    EXPECT_EQ(h.references, 1);
}

TEST_F(PluginBase, BuffersGoOnlyToRegisteredPins) {
    float buffer[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    EXPECT_EQ(plugin->assignPinBuffer(42, buffer), RC_FAILED);
    EXPECT_EQ(plugin->assignPinBuffer(test::Probe::kFloatIn, buffer), RC_OK);  // ignored
    EXPECT_EQ(probe->audioIn.sampleAt(2), 0.0f);                                 // no buffer reads silence
    EXPECT_EQ(plugin->assignPinBuffer(test::Probe::kAudioIn, buffer), RC_OK);
    EXPECT_EQ(probe->audioIn.sampleAt(2), 0.75f);
    EXPECT_EQ(probe->audioIn.sampleAt(), 0.25f);
}

TEST_F(PluginBase, MessagesCrossBetweenTheEntriesOnce) {
    auto* first = static_cast<IMpPlugin*>(probe);
    EXPECT_EQ(first->deliverMessage(2, 3, nullptr), 0);
    EXPECT_EQ(plugin->deliverMessage(2, 3, nullptr), 0);
    probe->answerMessages = true;
    EXPECT_EQ(first->deliverMessage(2, 3, nullptr), 5);
    EXPECT_EQ(plugin->deliverMessage(2, 3, nullptr), 5);
    EXPECT_EQ(std::count(probe->journal.begin(), probe->journal.end(), "message"), 2);
}

TEST_F(PluginBase, AMessageHandlerThatThrowsFailsTheCallOnly) {
    auto* first = static_cast<IMpPlugin*>(probe);
    probe->answerMessages = true;
    probe->throwingHook = test::Probe::Hook::Message;
    EXPECT_EQ(first->deliverMessage(2, 3, nullptr), RC_FAILED);
    EXPECT_EQ(plugin->deliverMessage(2, 3, nullptr), RC_FAILED);
    probe->throwingHook = test::Probe::Hook::None;
    EXPECT_EQ(first->deliverMessage(2, 3, nullptr), 5);  // forwarded again
    EXPECT_EQ(std::count(probe->journal.begin(), probe->journal.end(), "message"), 3);
}

// Through either interface that carries it, and through the factory's
// attachment: the host learns RC_FAILED, and the module runs on the host it
// was given.
TEST_F(PluginBase, AnAttachmentHookThatThrowsFailsTheCallOnly) {
    probe->throwingHook = test::Probe::Hook::Attach;
    host::RecordingDspHost second;
    EXPECT_EQ(plugin->attachHost(second.unknown()), RC_FAILED);
    EXPECT_EQ(static_cast<IoldSchoolInitialisation*>(probe)->attachHost(second.unknown()), RC_FAILED);
    probe->throwingHook = test::Probe::Hook::None;
    EXPECT_EQ(host.references, 1);  // given back
    EXPECT_EQ(second.references, 2);
    probe->transmitOnChange = true;
    process(4, EventList().value(0, test::Probe::kFloatIn, 1.5f));
    EXPECT_TRUE(host.callsOf(DspCall::Publish).empty());
    EXPECT_EQ(second.callsOf(DspCall::Publish).size(), 1u);
    EXPECT_EQ(plugin->attachHost(host.unknown()), RC_OK);  // second goes before the probe
    EXPECT_EQ(second.references, 1);
}

}  // namespace
