// The check functions of the catalogue, by scope, and what they share.
#pragma once

#include "catalogue.h"

namespace qvhost {

// The file and its factory.
Outcome checkSingleExport(CheckContext& ctx);
Outcome checkGetFactory(CheckContext& ctx);
Outcome checkFactoryInterfaces(CheckContext& ctx);
Outcome checkDescribeBuild(CheckContext& ctx);
Outcome checkUnknownIdentifiers(CheckContext& ctx);
Outcome checkDescriptionLint(CheckContext& ctx);
Outcome checkRegisteredModules(CheckContext& ctx);
Outcome checkNearIdentifiers(CheckContext& ctx);
Outcome checkWrongSubTypes(CheckContext& ctx);

// Either half.
Outcome checkCreate(CheckContext& ctx);
Outcome checkInterfaces(CheckContext& ctx);
Outcome checkLeaks(CheckContext& ctx);
Outcome checkRandomSession(CheckContext& ctx);

// DSP halves.
Outcome checkDspPins(CheckContext& ctx);
Outcome checkDspStart(CheckContext& ctx);
Outcome checkDspBlocks(CheckContext& ctx);
Outcome checkDspEventTiming(CheckContext& ctx);
Outcome checkDspSleep(CheckContext& ctx);
Outcome checkDspSampleRates(CheckContext& ctx);
Outcome checkDspHostileValues(CheckContext& ctx);
Outcome checkDspHostileAudio(CheckContext& ctx);
Outcome checkDspRealtime(CheckContext& ctx);
Outcome checkDspInstances(CheckContext& ctx);
Outcome checkDspCost(CheckContext& ctx);
Outcome checkDspSampleAccuracy(CheckContext& ctx);
Outcome checkDspEverySample(CheckContext& ctx);
Outcome checkDspDefaults(CheckContext& ctx);
Outcome checkDspValuesOnChange(CheckContext& ctx);
Outcome checkDspSleepStep(CheckContext& ctx);

// GUI halves, and those that draw.
Outcome checkGuiPins(CheckContext& ctx);
Outcome checkGuiValues(CheckContext& ctx);
Outcome checkGuiBadSizes(CheckContext& ctx);
Outcome checkGuiHostileValues(CheckContext& ctx);
Outcome checkGuiRealtime(CheckContext& ctx);
Outcome checkGuiValuesOnChange(CheckContext& ctx);
Outcome checkPaint(CheckContext& ctx);
Outcome checkPaintHostileValues(CheckContext& ctx);

// Something a host would never pass as an out value, to see it overwritten.
inline ovra::IMpUnknown* const kGarbage = reinterpret_cast<ovra::IMpUnknown*>(uintptr_t{0x5EED});

// The one reference to a module, released at the end of a check.
struct Instance {
    ovra::IMpUnknown* object = nullptr;
    Instance() = default;
    explicit Instance(ovra::IMpUnknown* o) : object(o) {}
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;
    ~Instance() {
        if (object != nullptr)
            object->Release();
    }
};

// The module of the check's half created through instantiate with a host.
ovra::IMpUnknown* createWithHost(CheckContext& ctx, ovra::IMpUnknown* host);

// The sizes a value of the type may have on the wire.
bool sizeFits(int32_t type, size_t size);

// The pins of the check's half as the framework registered them, compared
// with the description: every disagreement is added to problems. Answers
// what kind of check was done, for the check's detail.
std::string comparePinTable(CheckContext& ctx, std::vector<std::string>& problems);

// A result code by its name and number: "RC_NOT_FOUND (-2)"; other values
// by number.
std::string codeName(int32_t rc);

// The texts joined with "; ".
std::string joined(const std::vector<std::string>& texts);

// "module (half)" for messages that name a pin: "pin 3 (Gate)".
std::string pinLabel(const PinDescription& pin);

}  // namespace qvhost
