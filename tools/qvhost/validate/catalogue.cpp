#include "catalogue.h"

#include <algorithm>

#include "checks.h"

namespace qvhost {

const char* scopeName(Scope s) {
    switch (s) {
    case Scope::Library: return "library";
    case Scope::Described: return "library";
    case Scope::Module: return "half";
    case Scope::Dsp: return "DSP half";
    case Scope::Gui: return "GUI half";
    default: return "drawing";
    }
}

bool checkSelected(const Check& check, const ValidateOptions& options) {
    if (check.strictness > options.strictness)
        return false;
    if (!options.only.empty() && std::find(options.only.begin(), options.only.end(), check.name) == options.only.end())
        return false;
    return std::find(options.skip.begin(), options.skip.end(), check.name) == options.skip.end();
}

bool checkSelected(const std::string& name, const ValidateOptions& options) {
    for (const auto& c : catalogue())
        if (name == c.name)
            return checkSelected(c, options);
    return false;
}

const char* prerequisiteOf(const Check& check) {
    const std::string name = check.name;
    switch (check.scope) {
    case Scope::Library:
    case Scope::Described: return nullptr;
    case Scope::Module: return name == "create" ? nullptr : "create";
    case Scope::Dsp: return name == "dsp-pins" ? "create" : "dsp-pins";
    case Scope::Drawing: return name == "paint-hostile-values" ? "paint" : "gui-pins";
    default: return name == "gui-pins" ? "create" : "gui-pins";
    }
}

void fail(const std::string& why) { throw CheckFailed{why}; }

int CheckContext::rounds(int atDefault) const {
    // Half as many at level 1, four times as many at level 10.
    const int scaled = options.strictness <= kDefaultStrictness
                           ? atDefault * (options.strictness + kDefaultStrictness) / (2 * kDefaultStrictness)
                           : atDefault * (1 + 3 * (options.strictness - kDefaultStrictness) / (10 - kDefaultStrictness));
    return std::max(1, scaled);
}

const std::vector<StrictnessLevel>& strictnessLevels() {
    static const std::vector<StrictnessLevel> levels{
        {1, "The binary contract: the export, the factory, creation and reference counts, interfaces, and the "
            "description against what the binary answers"},
        {3, "Ordinary values, block sizes and event times; sleeping; painting; identifiers near the described ones"},
        {5, "The default. Hostile values and audio, every sample rate, and real-time safety of processBlock; NaN "
            "or infinity on an output fails (below 5 it warns)"},
        {8, "Real-time safety of the GUI entry points (warnings); a described default that is not the module's "
            "initial state fails; block sizes (1 to 4096) and event positions drawn from the seed unless --blocks "
            "gives sizes"},
        {10, "Every loop runs four times as many rounds as at 5"},
    };
    return levels;
}

// Long: one table row per check, in the order the report gives them.
const std::vector<Check>& catalogue() {
    static const std::vector<Check> checks{
        // The file and its factory.
        {"single-export", "The library exports MP_GetFactory and nothing else", Scope::Library, 1, checkSingleExport},
        {"get-factory", "MP_GetFactory answers RC_OK and the same factory every time", Scope::Library, 1,
         checkGetFactory},
        {"factory-interfaces", "The factory answers IMpUnknown, IMpFactory and IMpFactory2 only and never counts",
         Scope::Library, 1, checkFactoryInterfaces},
        {"describe-build", "describeBuild writes a version and a terminated text, never past maxChars",
         Scope::Library, 1, checkDescribeBuild},
        {"unknown-identifiers", "Identifiers the library does not know create nothing under sub-types 0, 1 and 2",
         Scope::Library, 3, checkUnknownIdentifiers},
        // The file against its description.
        {"registered-modules",
         "Every UTF-16 string in the file (and its suffixes) that the factory creates is described, and every "
         "described half is created",
         Scope::Described, 1, checkRegisteredModules},
        {"near-identifiers",
         "Near misses of described identifiers (each letter's case, a character more or less) create nothing", Scope::Described, 3,
         checkNearIdentifiers},
        {"description-lint",
         "The description says what it means: pin names unique in each half, every default within its type, every "
         "link between the halves on described pins",
         Scope::Described, 1, checkDescriptionLint},
        {"wrong-sub-types", "Described identifiers under undescribed sub-types create nothing", Scope::Described, 3,
         checkWrongSubTypes},
        // Either half.
        {"create", "Created and released many times, with and without a host; the host's references return",
         Scope::Module, 1, checkCreate},
        {"interfaces", "Answers its interfaces with one identity and one reference count, and nothing near them",
         Scope::Module, 1, checkInterfaces},
        {"leaks",
         "Created, attached, run (or given values and painted) and released 20 times after a warm-up (80 at strictness 10): "
         "every allocation is released",
         Scope::Module, 3, checkLeaks},
        {"random-session",
         "A session drawn from the seed: random sample rate, block sizes and event offsets, ordinary and hostile "
         "values and audio (DSP); values on random inputs (GUI); what validate --fuzz repeats",
         Scope::Module, 10, checkRandomSession},
        // DSP halves.
        {"dsp-pins",
         "Each pin's kind, type and direction as the code declares them match the description; assignPinBuffer "
         "answers 0 for exactly the described indexes",
         Scope::Dsp, 1, checkDspPins},
        {"dsp-start",
         "At EV_START every described output sends its initial state with the right call, size and default, and "
         "no other pin sends",
         Scope::Dsp, 1, checkDspStart},
        {"dsp-blocks", "Blocks of every size with ordinary values and audio: outputs finite, within the block",
         Scope::Dsp, 3, checkDspBlocks},
        {"dsp-event-timing",
         "Events at the first, a middle and the last sample, at the block's end, and several at one offset",
         Scope::Dsp, 3, checkDspEventTiming},
        {"dsp-sleep",
         "Inputs silent, then held at 1, -1 and 0.01: streaming stops correctly, an offer of sleep keeps outputs "
         "still, a module that never sleeps is named",
         Scope::Dsp, 3, checkDspSleep},
        {"dsp-sample-accuracy",
         "A control value at sample k changes no output sample and no call before k (the same block with the value "
         "and without it)",
         Scope::Dsp, 3, checkDspSampleAccuracy},
        {"dsp-every-sample",
         "Outputs are filled with a canary before each block: a streaming output leaves none of it once it has "
         "started writing",
         Scope::Dsp, 3, checkDspEverySample},
        {"dsp-defaults",
         "A half run with no value sent does what one does whose described defaults were sent at EV_START (warns; "
         "fails from strictness 8)",
         Scope::Dsp, 3, checkDspDefaults},
        {"dsp-values-on-change",
         "Control inputs handed the value they hold again: no output sends a value it already holds (NaN floats "
         "excepted)",
         Scope::Dsp, 3, checkDspValuesOnChange},
        {"dsp-sleep-step",
         "An output that goes static continues its last streamed sample (warns with the size of the jump)",
         Scope::Dsp, 3, checkDspSleepStep},
        {"dsp-sample-rates", "Every sample rate, and a host that writes none", Scope::Dsp, 5, checkDspSampleRates},
        {"dsp-hostile-values", "NaNs, infinities, denormals, extreme integers, odd bools, huge and broken texts, odd "
                               "sizes on every control input",
         Scope::Dsp, 5, checkDspHostileValues},
        {"dsp-hostile-audio", "Audio inputs of NaN, infinity, denormals, +-1e30 and full-scale square waves",
         Scope::Dsp, 5, checkDspHostileAudio},
        {"dsp-realtime",
         "processBlock allocates, frees, locks, sleeps and does file I/O never (a new text value may allocate)",
         Scope::Dsp, 5, checkDspRealtime},
        {"instances",
         "4 instances (16 at strictness 10) run block by block in turn with different inputs give the same bits, "
         "values and calls as each run alone",
         Scope::Dsp, 5, checkDspInstances},
        {"dsp-cost",
         "Microseconds per second of audio (48000 Hz, blocks of 64) with ordinary input, silence, after a loud input "
         "stops and with denormal input; warns when denormals make it 10 times slower",
         Scope::Dsp, 5, checkDspCost},
        // GUI halves.
        {"gui-pins",
         "Each pin's type as the code declares it matches the description; deliverPinValue and signalPinChange "
         "answer for exactly the described pins (growing inputs included)",
         Scope::Gui, 1, checkGuiPins},
        {"gui-values", "Ordinary values on every input; every value sent is on a described pin with a fitting size",
         Scope::Gui, 3, checkGuiValues},
        {"gui-values-on-change",
         "Inputs delivered and announced with the value they hold again: no pin sends a value the host already "
         "holds for it (NaN floats excepted)",
         Scope::Gui, 3, checkGuiValuesOnChange},
        {"gui-bad-sizes", "Values of sizes no pin type has, on every pin, without a crash", Scope::Gui, 3,
         checkGuiBadSizes},
        {"gui-hostile-values", "NaNs, infinities, extreme integers, odd bools, huge and broken texts on every input",
         Scope::Gui, 5, checkGuiHostileValues},
        {"gui-realtime", "deliverPinValue and signalPinChange without heap or blocking calls (warns)", Scope::Gui, 8,
         checkGuiRealtime},
        // GUI halves that draw.
        {"paint",
         "measure answers sizes in range; arrange and onPaint answer RC_OK; at its own size it paints inside its "
         "place; the same pins paint the same pixels; invalidateRect stays within the placement; no GDI+ object "
         "outlives a paint",
         Scope::Drawing, 3, checkPaint},
        {"paint-hostile-values",
         "measure at extreme offers, and painting (arrange and onPaint answer RC_OK) after each hostile value",
         Scope::Drawing, 5, checkPaintHostileValues},
    };
    return checks;
}

}  // namespace qvhost
