// A module written for the DSP base tests: it notes every pass, hook and
// routine call in a journal, with the block position it ran at.
#pragma once

#include <new>
#include <string>
#include <vector>

#include "dsp/dsp_pins.h"
#include "dsp_host.h"

namespace ovra::test {

using Journal = std::vector<std::string>;

// A pin that notes its three passes as "1p<index>", "2p<index>", "3p<index>".
template <class Pin>
class NotingPin : public Pin {
public:
    explicit NotingPin(Journal& journal) : journal_(journal) {}
    void eventPassOne(const HostEvent& e) override { note(1), Pin::eventPassOne(e); }
    void eventPassTwo(const HostEvent& e) override { note(2), Pin::eventPassTwo(e); }
    void eventPassThree(const HostEvent& e) override { note(3), Pin::eventPassThree(e); }

private:
    void note(int pass) { journal_.push_back(std::to_string(pass) + "p" + std::to_string(this->pinIndex())); }
    Journal& journal_;
};

class Probe : public MpBase2 {
public:
    enum Pins { kFloatIn, kIntIn, kBoolIn, kTextIn, kAudioIn, kAudioOut, kFloatOut, kTextOut, kFarIn = 300 };

    Probe() {
        addPin(kFloatIn, floatIn, &Probe::onFloat);
        addPin(kIntIn, intIn);
        addPin(kBoolIn, boolIn);
        addPin(kTextIn, textIn);
        addPin(kAudioIn, audioIn);
        addPin(kAudioOut, audioOut);
        addPin(kFloatOut, floatOut);
        addPin(kTextOut, textOut);
        addPin(kFarIn, farIn);
        addPin(kIntIn, shadow);  // taken: the first pin keeps it
        selectProcessRoutine(&Probe::render);
    }

    void onPinsChanged() override {
        journal.push_back("changed");
        throwIfAsked(Hook::PinsChanged);
        if (runOutOfMemoryOnChange)
            throw std::bad_alloc();
        if (transmitOnChange)
            floatOut.transmit();
        if (switchRoutineOnChange)
            selectProcessRoutine(&Probe::renderOther);
    }
    void onPinStreamChange(bool streaming) override {
        journal.push_back(streaming ? "streams" : "static");
        throwIfAsked(Hook::StreamChange);
        MpBase2::onPinStreamChange(streaming);
    }
    void onEngineStart() override {
        journal.push_back("start");
        throwIfAsked(Hook::EngineStart);
        MpBase2::onEngineStart();
    }
    // Throws after the framework has attached the host.
    int32_t onAttachHost(IMpUnknown* host) override {
        const int32_t result = MpBase2::onAttachHost(host);
        throwIfAsked(Hook::Attach);
        return result;
    }
    int32_t onDeliverMessage(int32_t a, int32_t b, void* c) override {
        if (!answerMessages)
            return MpBase2::onDeliverMessage(a, b, c);
        journal.push_back("message");
        throwIfAsked(Hook::Message);
        return a + b;
    }

    // Runs of samples, as "run <count>@<position>".
    Journal runs() const {
        Journal out;
        for (const auto& n : journal)
            if (n.rfind("run", 0) == 0 || n.rfind("other", 0) == 0)
                out.push_back(n);
        return out;
    }

    using MpBase2::setSleepMode;
    using MpPluginBase::sleepCountdown;

    // The module hook that throws something that is not even an exception
    // type, from the next call on.
    enum class Hook { None, PinsChanged, StreamChange, EngineStart, PinCallback, Routine, Message, Attach };
    Hook throwingHook = Hook::None;

    Journal journal;
    bool switchRoutineOnChange = false;
    bool runOutOfMemoryOnChange = false;
    bool transmitOnChange = false;
    bool answerMessages = false;
    bool floatChangedInCallback = false;

    NotingPin<MpControlPin<float, DIRECTION_IN, DATATYPE_FLOAT>> floatIn{journal};
    NotingPin<MpControlPin<int32_t, DIRECTION_IN, DATATYPE_INT>> intIn{journal};
    NotingPin<MpControlPin<bool, DIRECTION_IN, DATATYPE_BOOL>> boolIn{journal};
    NotingPin<MpControlPin<wstring, DIRECTION_IN, DATATYPE_TEXT>> textIn{journal};
    NotingPin<AudioInPin> audioIn{journal};
    AudioOutPin audioOut;
    MpControlPin<float, DIRECTION_OUT, DATATYPE_FLOAT> floatOut;
    MpControlPin<wstring, DIRECTION_OUT, DATATYPE_TEXT> textOut;
    MpControlPin<int32_t, DIRECTION_IN, DATATYPE_INT> farIn;
    MpControlPin<int32_t, DIRECTION_IN, DATATYPE_INT> shadow;

private:
    void throwIfAsked(Hook hook) const {
        if (throwingHook == hook)
            throw 42;
    }
    void onFloat(const HostEvent*) {
        floatChangedInCallback = floatIn.changedNow;
        throwIfAsked(Hook::PinCallback);
    }
    void render(int32_t n) {
        journal.push_back("run " + std::to_string(n) + "@" + std::to_string(blockPosition()));
        throwIfAsked(Hook::Routine);
    }
    void renderOther(int32_t n) {
        journal.push_back("other " + std::to_string(n) + "@" + std::to_string(blockPosition()));
    }
};

// A probe attached to a recording host and driven through IMpPlugin2.
struct ProbeOnHost {
    host::RecordingDspHost host;
    Probe* probe = new Probe();
    IMpPlugin2* plugin = probe;

    ProbeOnHost() { plugin->attachHost(host.unknown()); }
    ~ProbeOnHost() { plugin->Release(); }
    void process(int32_t n, const host::EventList& events = host::EventList()) { plugin->processBlock(n, events.head()); }
};

}  // namespace ovra::test
