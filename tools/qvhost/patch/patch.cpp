#include "patch.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "abi/abi.h"
#include "io/audio_file.h"
#include "io/loaded_library.h"
#include "dsp_runner.h"
#include "failure.h"
#include "gui_runner.h"
#include "io/painting.h"
#include "pin_value.h"
#include "progress.h"
#include "io/suggest.h"
#include "timeline.h"
#include "platform/program_path.h"

namespace qvhost {

using namespace ovra;
namespace fs = std::filesystem;

namespace {

// One module of the patch with whichever halves it has.
struct PatchModule {
    std::string name;
    const WrittenModule* written = nullptr;  // as the patch reads
    LoadedLibrary* library = nullptr;
    const ModuleDescription* description = nullptr;
    std::unique_ptr<DspRunner> dsp;
    std::unique_ptr<GuiRunner> gui;
    std::vector<float> levels;              // constant level of each unconnected audio input
    std::vector<PendingEvent> fromGui;      // linked GUI values for the next block
    std::vector<PendingEvent> blockEvents;  // what the last block was handed
};

struct PinRef {
    PatchModule* module = nullptr;
    bool dsp = true;
    PinDescription pin;
    std::string text;  // as written
    JsonPath at{};     // where it is written
};

struct DspConnection {
    PinRef from;
    PinRef to;
};

struct TimelineEntry {
    double time = 0;
    PinRef pin;
    Bytes bytes;
    bool written = false;  // in the timeline, not a default or a module's own setting
};

struct Recording {
    std::vector<PinRef> signals;
    std::string wav;
    std::string plot;
    std::vector<Signal> data;
    std::vector<float> current;  // held value of each control pin
};

struct FrameSeries {
    PatchModule* module = nullptr;
    double every = 0.1;
    int32_t width = 0, height = 0;
    std::string stem;
    int64_t next = 0;  // next frame number
    std::vector<std::string> files;
};

std::vector<std::string> namesOf(const HalfDescription* half) {
    std::vector<std::string> names;
    if (half != nullptr)
        for (const auto& p : half->pins)
            names.push_back(p.name);
    return names;
}

// The run of a patch as read. Its checks that need the loaded libraries
// (identifiers, pins and their types, loops, sizes, output files) come in
// the order the file is read, as the patch's own messages.
class PatchRun {
public:
    PatchRun(const PatchFile& patch, std::string baseDir, const PatchRunSettings& settings)
        : patch_(patch), source_(patch.source->name()), baseDir_(std::move(baseDir)), settings_(settings),
          rate_(patch.rate), block_(patch.block), seconds_(patch.seconds) {}

    PatchResult run() {
        loadModules();
        wire();
        makeTimeline();
        makeOutputs();
        if (settings_.checkOnly)
            return {};
        // The folder is made once the whole patch is found sound.
        std::error_code ec;
        fs::create_directories(pathOf(settings_.outputDir), ec);
        if (ec || !fs::is_directory(pathOf(settings_.outputDir)))
            throw Failure("cannot make the output folder " + settings_.outputDir);
        process();
        return writeOutputs();
    }

private:
    [[noreturn]] void bad(const JsonPath& at, const std::string& what) const { patch_.fail(at, what); }

    int64_t sampleOf(double t) const { return static_cast<int64_t>(std::llround(t * rate_)); }

    // ---- what the patch asks of the machine

    // Frames a series paints, counted up to one past what is still allowed.
    int64_t framesOf(double every, int64_t allowed) const {
        const int64_t total = sampleOf(seconds_);
        int64_t n = 0;
        while (n <= allowed && sampleOf(static_cast<double>(n) * every) < total)
            ++n;
        return n;
    }

    // ---- libraries and modules

    std::string findLibrary(const std::string& name, const JsonPath& at) {
        if (const std::string* written = patch_.libraryPath(name)) {
            fs::path path = pathOf(*written);
            if (path.is_relative())
                path = pathOf(baseDir_) / path;
            return utf8Of(path);
        }
        std::string looked;
        for (const auto& dir : settings_.searchDirs) {
            // A name the file system refuses (too long, say) is a name not found.
            const fs::path candidate = pathOf(dir) / pathOf(name + ".qvm");
            std::error_code ec;
            if (fs::exists(candidate, ec))
                return utf8Of(candidate);
            looked += (looked.empty() ? "" : ", ") + dir;
        }
        bad(at, "cannot find library \"" + name + "\" (" + name + ".qvm; looked in " + looked +
                    "; add a folder with --plugins DIR or a path under \"libraries\")");
    }

    // The '.' check stays here, with the loading: a module before it whose
    // library is missing is reported first.
    void loadModules() {
        for (const WrittenModule& m : patch_.modules) {
            const std::string& name = m.name;
            const JsonPath& at = m.at;
            if (name.find('.') != std::string::npos)
                bad(at, "module names may not contain '.'");
            const std::string& libName = m.library;
            auto& lib = libraries_[libName];
            if (!lib.library) {
                const std::string path = findLibrary(libName, at / "library");
                try {
                    lib = openLibrary(path, true);
                } catch (const Failure& e) {
                    libraries_.erase(libName);
                    bad(at / "library", e.what());
                }
            }
            auto module = std::make_unique<PatchModule>();
            module->name = name;
            module->written = &m;
            module->library = &lib;
            const std::string& id = m.id;
            module->description = lib.description->find(id);
            if (module->description == nullptr)
                bad(at / "id", unknownIdentifier(lib, id));
            if (module->description->dspHalf() != nullptr) {
                module->dsp = std::make_unique<DspRunner>(*lib.library, *module->description, static_cast<float>(rate_),
                                                          block_);
                module->levels.assign(module->description->dspHalf()->pins.size(), 0.0f);
            }
            if (module->description->guiHalf() != nullptr) {
                module->gui = std::make_unique<GuiRunner>(*lib.library, *module->description);
                module->gui->host().shareDeliveries(guiDeliveries_);
                byHost_[&module->gui->host()] = module.get();
            }
            modules_[name] = std::move(module);
        }
    }

    // "module.pin", "module.dsp.pin" or "module.gui.pin".
    PinRef resolve(const std::string& text, const JsonPath& where) {
        const auto dot = text.find('.');
        if (dot == std::string::npos)
            bad(where, "\"" + text + "\" is not MODULE.PIN");
        const std::string moduleName = text.substr(0, dot);
        std::string pinName = text.substr(dot + 1);
        auto it = modules_.find(moduleName);
        if (it == modules_.end())
            bad(where, unknownModule(moduleName));
        PatchModule* m = it->second.get();
        std::optional<bool> wantDsp;
        if (pinName.rfind("dsp.", 0) == 0) {
            wantDsp = true;
            pinName = pinName.substr(4);
        } else if (pinName.rfind("gui.", 0) == 0) {
            wantDsp = false;
            pinName = pinName.substr(4);
        }
        const HalfDescription* dspHalf = m->description->dspHalf();
        const HalfDescription* guiHalf = m->description->guiHalf();
        std::optional<PinDescription> onDsp = dspHalf && wantDsp.value_or(true) ? dspHalf->findPin(pinName) : std::nullopt;
        std::optional<PinDescription> onGui = guiHalf && !wantDsp.value_or(false) ? guiHalf->findPin(pinName) : std::nullopt;
        if (onDsp && onGui)
            bad(where, "pin \"" + pinName + "\" of " + moduleName + " is on both halves; write " + moduleName +
                ".dsp." + pinName + " or " + moduleName + ".gui." + pinName);
        if (!onDsp && !onGui) {
            std::vector<std::string> names;
            for (const HalfDescription* half : {wantDsp.value_or(true) ? dspHalf : nullptr,
                                                !wantDsp.value_or(false) ? guiHalf : nullptr})
                for (const auto& n : namesOf(half))
                    names.push_back(n);
            const HalfDescription* half = wantDsp ? (*wantDsp ? dspHalf : guiHalf) : (dspHalf ? dspHalf : guiHalf);
            if (half == nullptr)
                bad(where, moduleName + " (" + m->description->id + ") has no " + (*wantDsp ? "DSP" : "GUI") + " half");
            bad(where, unknownPin(pinName, moduleName + " (" + m->description->id + ")", *half, names));
        }
        return PinRef{m, onDsp.has_value(), onDsp ? *onDsp : *onGui, text, where};
    }

    // ---- connections

    void connect(const WrittenConnection& c) {
        const JsonPath& where = c.at;
        PinRef from = resolve(c.from.text, c.from.at);
        PinRef to = resolve(c.to.text, c.to.at);
        // GUI pins that copy both ways send too; DSP inputs never do.
        if (from.dsp && from.pin.isInput())
            bad(where, from.text + " is an input; a connection starts at an output");
        if (!to.pin.isInput())
            bad(where, to.text + " is an output; a connection ends at an input");
        if (from.dsp != to.dsp)
            bad(where, from.text + " and " + to.text +
                " lie on different sides; values cross between DSP and GUI only inside a converter module");
        if (from.pin.type != to.pin.type)
            bad(where, from.text + " carries " + typeName(from.pin.type) + " but " + to.text +
                " takes " + typeName(to.pin.type));
        if (from.module == to.module && from.dsp)
            bad(where, "a module cannot feed its own DSP half");
        if (from.dsp) {
            for (const auto& existing : dspConnections_)
                if (existing.to.module == to.module && existing.to.pin.index == to.pin.index)
                    bad(where, to.text + " is already connected");
            dspConnections_.push_back({from, to});
        } else {
            from.module->gui->host().wire(from.pin.index, to.module->gui->object(), to.pin.index);
        }
    }

    void wire() {
        for (const WrittenConnection& c : patch_.connections)
            connect(c);
        orderDsp();
        // Converter modules: the host carries values between the linked pins.
        for (auto& [name, m] : modules_) {
            const auto& link = m->description->link;
            if (!link || !m->dsp || !m->gui)
                continue;
            const auto dspPin = m->description->dspHalf()->pinAt(link->first);
            if (dspPin && dspPin->isInput()) {
                PatchModule* target = m.get();
                const int32_t guiPin = link->second, pin = link->first;
                m->gui->host().onSend = [target, guiPin, pin](int32_t sent, const Bytes& bytes) {
                    if (sent == guiPin)
                        target->fromGui.push_back({0, EV_PIN_VALUE, pin, bytes});
                };
            }
        }
    }

    // DSP halves run upstream first.
    void orderDsp() {
        std::map<PatchModule*, int> incoming;
        for (auto& [name, m] : modules_)
            if (m->dsp)
                incoming[m.get()] = 0;
        for (const auto& c : dspConnections_)
            ++incoming[c.to.module];
        std::vector<PatchModule*> ready;
        for (auto& [name, m] : modules_)
            if (m->dsp && incoming[m.get()] == 0)
                ready.push_back(m.get());
        while (!ready.empty()) {
            PatchModule* m = ready.front();
            ready.erase(ready.begin());
            order_.push_back(m);
            for (const auto& c : dspConnections_)
                if (c.from.module == m && --incoming[c.to.module] == 0)
                    ready.push_back(c.to.module);
        }
        for (const auto& [m, left] : incoming)
            if (left > 0)
                bad(JsonPath("/connections"), "the DSP connections form a loop through module \"" + m->name + "\"");
    }

    // ---- timeline

    void addSet(const PinRef& pin, const Json& value, double time, const JsonPath& where, bool written) {
        if (!pin.pin.isInput() && pin.dsp)
            bad(pin.at, pin.text + " is an output; only inputs can be set");
        try {
            timeline_.push_back({time, pin, valueFromJson(pin.pin.type, value, pin.text), written});
        } catch (const Failure& e) {
            bad(where, e.what());
        }
    }

    void makeTimeline() {
        // Described defaults first (but not where a connection feeds the
        // pin), then each module's own settings, both at 0.
        // A converter's linked DSP pin is fed by its GUI half through the host.
        auto fed = [&](const PatchModule* m, int32_t pin) {
            const auto& link = m->description->link;
            if (link && m->gui && link->first == pin)
                return true;
            return std::any_of(dspConnections_.begin(), dspConnections_.end(), [&](const DspConnection& c) {
                return c.to.module == m && c.to.pin.index == pin;
            });
        };
        for (auto& [name, m] : modules_) {
            for (const auto& half : m->description->halves)
                for (const auto& pin : half.pins)
                    if (pin.isInput() && !pin.defaultValue.is_null() && !(half.dsp && fed(m.get(), pin.index)))
                        timeline_.push_back({0.0, PinRef{m.get(), half.dsp, pin, name + "." + pin.name},
                                             valueFromJson(pin.type, pin.defaultValue, pin.name)});
            for (const auto& [pin, value] : m->written->sets) {
                const JsonPath at = JsonPath("/modules") / name / "set" / pin;
                addSet(resolve(name + "." + pin, at), value, 0.0, at, false);
            }
        }
        for (const WrittenSet& e : patch_.timeline)
            addSet(resolve(e.pin.text, e.pin.at), e.value, e.time, e.valueAt, true);
        const int64_t total = sampleOf(seconds_);
        for (const auto& t : timeline_)
            if (t.written && sampleOf(t.time) >= total)
                noteAfterEnd(t.pin.text, formatValue(t.pin.pin.type, t.bytes), t.time, seconds_);
        std::stable_sort(timeline_.begin(), timeline_.end(), [&](const TimelineEntry& a, const TimelineEntry& b) {
            return sampleOf(a.time) < sampleOf(b.time);
        });
    }

    // ---- outputs

    std::string outputPath(const std::string& file) const { return utf8Of(pathOf(settings_.outputDir) / pathOf(file)); }

    // The outputs are checked here rather than as the patch is read: their
    // pins and modules need the loaded descriptions, and their messages
    // follow those of the timeline.
    void makeOutputs() {
        for (const WrittenRecording& r : patch_.recordings)
            recordings_.push_back(recordingOf(r));
        for (const WrittenFrames& f : patch_.frames)
            frames_.push_back(frameSeriesOf(f));
        if (recordings_.empty() && frames_.empty())
            bad(JsonPath(), "the patch writes nothing: add \"record\" or \"frames\"");
    }

    Recording recordingOf(const WrittenRecording& r) {
        Recording rec;
        for (const WrittenPin& signal : r.signals) {
            PinRef pin = resolve(signal.text, signal.at);
            if (!pin.dsp)
                bad(pin.at, pin.text + " is a GUI pin; only DSP pins can be recorded (paint GUI modules as frames)");
            if (pin.pin.type == DATATYPE_TEXT || pin.pin.type == DATATYPE_BLOB)
                bad(pin.at, pin.text + " carries " + typeName(pin.pin.type) + ", which has no level to record");
            rec.data.push_back({signal.text, {}, pin.pin.isAudio()});
            rec.data.back().samples.reserve(static_cast<size_t>(seconds_ * rate_) + 1);
            rec.signals.push_back(pin);
        }
        rec.current.assign(rec.signals.size(), 0.0f);
        rec.wav = r.wav;
        rec.plot = r.plot;
        checkOutput(rec.wav, ".wav", r.at / "wav");
        checkOutput(rec.plot, ".png", r.at / "plot");
        return rec;
    }

    // The frame limit is checked here, after the checks on the module.
    FrameSeries frameSeriesOf(const WrittenFrames& f) {
        auto it = modules_.find(f.module);
        if (it == modules_.end())
            bad(f.at / "module", unknownModule(f.module));
        PatchModule* m = it->second.get();
        if (!m->gui || !m->description->guiHalf()->draws)
            bad(f.at / "module", m->name + " (" + m->description->id + ") does not draw");
        FrameSeries series;
        series.module = m;
        series.every = f.every;
        const int64_t allowed = settings_.limits.frames - frameCount_;
        const int64_t count = framesOf(series.every, allowed);
        if (count > allowed)
            bad(f.at / (f.everyWritten ? "every" : "module"),
                "frames every " + messageNumber(series.every) + " s for " + messageNumber(seconds_) + " s " +
                    (frameCount_ > 0 ? "and the series before it " : "") + "are more than the limit of " +
                    std::to_string(settings_.limits.frames) + " frames (--max-frames raises it)");
        frameCount_ += count;
        std::tie(series.width, series.height) = m->gui->preferredSize();
        if (f.size)
            std::tie(series.width, series.height) = *f.size;
        series.stem = f.stem;
        checkOutput(series.stem + ".png", ".png", f.at / (f.nameWritten ? "name" : "module"));
        return series;
    }

    void checkOutput(const std::string& file, const std::string& extension, const JsonPath& at) const {
        if (file.empty())
            return;
        try {
            // The output folder is made after the checks: files straight in
            // it are fine while it does not exist yet.
            std::error_code ec;
            const bool later = !fs::is_directory(pathOf(settings_.outputDir), ec) && !pathOf(file).has_parent_path();
            checkOutputFile(later ? file : outputPath(file), extension, file);
        } catch (const Failure& e) {
            bad(at, e.what());
        }
    }

    // ---- messages with a way forward

    std::string unknownModule(const std::string& name) const {
        std::vector<std::string> names;
        for (const auto& [n, m] : modules_)
            names.push_back(n);
        return "unknown module \"" + name + "\"" + suggestion(name, names);
    }

    // A GUI value sent round a ring of modules that never settles.
    void checkGuiLoop(const std::vector<host::GuiDelivery>& chain) const {
        if (chain.empty())
            return;
        std::string ring;
        for (const auto& d : host::ringOf(chain))
            ring += (ring.empty() ? "" : ", ") + guiPinName(byHost(d.from), d.fromPin) + " -> " +
                    guiPinName(byObject(d.to), d.toPin);
        bad(JsonPath("/connections"), "the GUI connections form a loop that does not settle (" + ring +
                                          "; cut after " + std::to_string(host::kMaxGuiDeliveryDepth) +
                                          " nested deliveries)");
    }
    const PatchModule* byHost(const host::RecordingGuiHost* h) const {
        auto it = byHost_.find(h);
        return it == byHost_.end() ? nullptr : it->second;
    }
    const PatchModule* byObject(const IMpUnknown* o) const {
        for (const auto& [name, m] : modules_)
            if (m->gui && m->gui->object() == o)
                return m.get();
        return nullptr;
    }
    static std::string guiPinName(const PatchModule* m, int32_t pin) {
        if (m == nullptr)
            return "pin " + std::to_string(pin);
        const auto p = m->description->guiHalf()->pinAt(pin);
        return m->name + "." + (p ? p->name : std::to_string(pin));
    }

    void setGui(PatchModule* m, int32_t pin, const Bytes& bytes) {
        checkGuiLoop(m->gui->set(pin, bytes));
    }

    // ---- running

    using BlockEvents = std::map<PatchModule*, std::vector<PendingEvent>>;

    // Block by block: the timeline's GUI values first, between blocks, so
    // that what they send reaches the DSP halves now; then the DSP halves,
    // upstream first; the recordings; the GUI side.
    void process() {
        const int64_t total = sampleOf(seconds_);
        Progress progress("running " + source_, total, seconds_);
        size_t next = 0;
        for (int64_t start = 0; start < total; start += block_) {
            const int32_t n = static_cast<int32_t>(std::min<int64_t>(block_, total - start));
            const std::vector<const TimelineEntry*> dspSets = setGuiValues(next, start + n);
            BlockEvents events = startBlock(start, n);
            applyDspSets(dspSets, start, n, events);
            runDsp(start, n, events);
            record(start, n);
            passToGui();
            paintFrames(start + n);
            for (auto& [name, m] : modules_)
                if (m->gui)
                    m->gui->host().clear();
            progress.update(start + n);
        }
        progress.finish();
    }

    // Sets the timeline's GUI values before `blockEnd` from entry `next` on;
    // returns its DSP values there, for the block.
    std::vector<const TimelineEntry*> setGuiValues(size_t& next, int64_t blockEnd) {
        std::vector<const TimelineEntry*> dspSets;
        for (; next < timeline_.size() && sampleOf(timeline_[next].time) < blockEnd; ++next) {
            const TimelineEntry& t = timeline_[next];
            if (t.pin.dsp)
                dspSets.push_back(&t);
            else
                setGui(t.pin.module, t.pin.pin.index, t.bytes);
        }
        return dspSets;
    }

    // What every DSP half starts the block with: the start of the run, the
    // values its GUI half sent, the held levels of its audio inputs.
    BlockEvents startBlock(int64_t start, int32_t n) {
        BlockEvents dspEvents;
        for (auto& [name, m] : modules_)
            if (m->dsp) {
                auto& events = dspEvents[m.get()];
                if (start == 0)
                    events.push_back({0, EV_START, 0});
                for (auto& e : m->fromGui)
                    events.push_back(e);
                m->fromGui.clear();
                const HalfDescription& half = m->dsp->half();
                for (const auto& pin : half.pins)
                    if (pin.isAudio() && pin.isInput())
                        std::fill_n(m->dsp->input(pin.index), n, m->levels[static_cast<size_t>(pin.index)]);
            }
        return dspEvents;
    }

    void applyDspSets(const std::vector<const TimelineEntry*>& dspSets, int64_t start, int32_t n,
                      BlockEvents& dspEvents) {
        for (const TimelineEntry* set : dspSets) {
            const TimelineEntry& t = *set;
            PatchModule* m = t.pin.module;
            const int32_t offset = static_cast<int32_t>(std::max<int64_t>(sampleOf(t.time) - start, 0));
            if (t.pin.pin.isAudio()) {
                const float level = host::floatOf(t.bytes);
                m->levels[static_cast<size_t>(t.pin.pin.index)] = level;
                std::fill(m->dsp->input(t.pin.pin.index) + offset, m->dsp->input(t.pin.pin.index) + n, level);
                dspEvents[m].push_back({offset, EV_STREAM_OFF, t.pin.pin.index});
            } else {
                dspEvents[m].push_back({offset, EV_PIN_VALUE, t.pin.pin.index, t.bytes});
            }
        }
    }

    // DSP halves, upstream first; outputs travel along the connections.
    void runDsp(int64_t start, int32_t n, BlockEvents& dspEvents) {
        for (PatchModule* m : order_) {
            auto& events = dspEvents[m];
            for (const auto& c : dspConnections_) {
                if (c.to.module != m)
                    continue;
                if (c.to.pin.isAudio()) {
                    std::copy_n(c.from.module->dsp->output(c.from.pin.index), n, m->dsp->input(c.to.pin.index));
                    for (const auto& s : c.from.module->dsp->streamChanges())
                        if (s.pin == c.from.pin.index)
                            events.push_back({s.offset, s.streaming ? EV_STREAM_ON : EV_STREAM_OFF, c.to.pin.index});
                } else {
                    for (const auto& p : c.from.module->dsp->publications())
                        if (p.pin == c.from.pin.index)
                            events.push_back(
                                {static_cast<int32_t>(p.sample - start), EV_PIN_VALUE, c.to.pin.index, p.bytes});
                }
            }
            m->blockEvents = events;
            m->dsp->process(start, n, std::move(events));
        }
    }

    // The GUI side takes the last value of the block from each DSP half.
    void passToGui() {
        for (PatchModule* m : order_) {
            const auto& link = m->description->link;
            if (!link || !m->gui)
                continue;
            const Publication* last = nullptr;
            for (const auto& p : m->dsp->publications())
                if (p.pin == link->first)
                    last = &p;
            if (last != nullptr)
                setGui(m, link->second, last->bytes);
        }
    }

    static float levelOf(int32_t type, const Bytes& bytes) {
        switch (type) {
        case DATATYPE_BOOL: return host::boolOf(bytes) ? 1.0f : 0.0f;
        case DATATYPE_INT: return static_cast<float>(host::intOf(bytes));
        default: return host::floatOf(bytes);
        }
    }

    void record(int64_t start, int32_t n) {
        for (auto& rec : recordings_) {
            for (size_t k = 0; k < rec.signals.size(); ++k) {
                const PinRef& s = rec.signals[k];
                auto& samples = rec.data[k].samples;
                if (s.pin.isAudio()) {
                    const float* b = s.pin.isInput() ? s.module->dsp->input(s.pin.index) : s.module->dsp->output(s.pin.index);
                    samples.insert(samples.end(), b, b + n);
                    continue;
                }
                // A control pin holds its value until the next change.
                std::vector<std::pair<int32_t, float>> changes;
                if (s.pin.isInput()) {
                    for (const auto& e : s.module->blockEvents)
                        if (e.kind == EV_PIN_VALUE && e.pin == s.pin.index)
                            changes.push_back({e.offset, levelOf(s.pin.type, e.bytes)});
                } else {
                    for (const auto& p : s.module->dsp->publications())
                        if (p.pin == s.pin.index)
                            changes.push_back({static_cast<int32_t>(p.sample - start), levelOf(s.pin.type, p.bytes)});
                }
                std::stable_sort(changes.begin(), changes.end(),
                                 [](const auto& a, const auto& b) { return a.first < b.first; });
                size_t c = 0;
                for (int32_t i = 0; i < n; ++i) {
                    while (c < changes.size() && changes[c].first <= i)
                        rec.current[k] = changes[c++].second;
                    samples.push_back(rec.current[k]);
                }
            }
        }
    }

    // Frames are named by their time, padded so that they sort in order.
    std::string frameName(const FrameSeries& f, double time) const {
        const int wholeDigits = std::max(1, static_cast<int>(std::floor(std::log10(std::max(seconds_, 1.0)))) + 1);
        int decimals = 0;  // as many as `every` needs, up to microseconds
        while (decimals < 6 && std::fabs(f.every * std::pow(10.0, decimals) -
                                         std::round(f.every * std::pow(10.0, decimals))) > 1e-9)
            ++decimals;
        char text[64];
        std::snprintf(text, sizeof text, "_%0*.*fs.png", wholeDigits + (decimals > 0 ? decimals + 1 : 0), decimals,
                      time);
        return f.stem + text;
    }

    void paintFrames(int64_t blockEnd) {
        for (auto& f : frames_) {
            while (sampleOf(static_cast<double>(f.next) * f.every) < blockEnd) {
                const std::string path = outputPath(frameName(f, static_cast<double>(f.next) * f.every));
                paintModule(f.module->gui->object(), f.width, f.height, 0xFF000000u, path);
                f.files.push_back(path);
                ++f.next;
            }
        }
    }

    PatchResult writeOutputs() {
        PatchResult result;
        std::vector<Signal> all;
        for (auto& rec : recordings_)
            for (const auto& d : rec.data)
                if (std::none_of(all.begin(), all.end(), [&](const Signal& s) { return s.name == d.name; }))
                    all.push_back(d);
        reportNonFinite(all, rate_, settings_.strict);
        for (auto& rec : recordings_) {
            if (!rec.wav.empty()) {
                writeWav(outputPath(rec.wav), rec.data, rate_);
                result.files.push_back(outputPath(rec.wav));
            }
            if (!rec.plot.empty()) {
                writePlot(outputPath(rec.plot), rec.data, rate_, patch_.title);
                result.files.push_back(outputPath(rec.plot));
            }
        }
        for (const auto& f : frames_)
            if (!f.files.empty())
                result.frames.push_back({f.files.front(), f.files.back(), f.files.size()});
        return result;
    }

    const PatchFile& patch_;
    std::string source_;
    std::string baseDir_;
    const PatchRunSettings& settings_;
    int32_t rate_;
    int32_t block_;
    double seconds_;
    std::map<std::string, LoadedLibrary> libraries_;
    std::map<std::string, std::unique_ptr<PatchModule>> modules_;
    std::vector<PatchModule*> order_;
    std::vector<DspConnection> dspConnections_;
    std::vector<TimelineEntry> timeline_;
    std::vector<Recording> recordings_;
    std::vector<FrameSeries> frames_;
    int64_t frameCount_ = 0;  // of all series so far
    std::map<const host::RecordingGuiHost*, PatchModule*> byHost_;
    // Shared by every GUI half, so that a ring through several counts as one chain.
    std::shared_ptr<host::GuiDeliveries> guiDeliveries_ = std::make_shared<host::GuiDeliveries>();
};

}  // namespace

PatchResult runPatch(const PatchFile& patch, const std::string& baseDir, const PatchRunSettings& settings) {
    PatchRun run(patch, baseDir, settings);
    return run.run();
}

PatchResult runPatchJson(const JsonSource& patch, const std::string& baseDir, const PatchRunSettings& settings) {
    return runPatch(readPatchFile(patch, settings.limits), baseDir, settings);
}

}  // namespace qvhost
