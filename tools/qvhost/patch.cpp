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
#include "audio_file.h"
#include "commands.h"
#include "dsp_runner.h"
#include "failure.h"
#include "gui_runner.h"
#include "painting.h"
#include "pin_value.h"
#include "progress.h"
#include "platform/program_path.h"

namespace qvhost {

using namespace ovra;
namespace fs = std::filesystem;

namespace {

// One module of the patch with whichever halves it has.
struct PatchModule {
    std::string name;
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
};

struct DspConnection {
    PinRef from;
    PinRef to;
};

struct TimelineEntry {
    double time = 0;
    PinRef pin;
    Bytes bytes;
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
};

const std::set<std::string> kPatchKeys{"rate", "block", "seconds", "libraries", "modules", "connections",
                                       "timeline", "record", "frames", "title"};

class Patch {
public:
    Patch(const Json& doc, std::string source, std::string baseDir, const PatchRunSettings& settings)
        : doc_(doc), source_(std::move(source)), baseDir_(std::move(baseDir)), settings_(settings) {}

    PatchResult run() {
        if (!doc_.is_object())
            bad("the patch must be a JSON object");
        for (const auto& [key, value] : doc_.items())
            if (!kPatchKeys.count(key))
                bad("unknown key \"" + key + "\"");
        rate_ = number("rate", 48000);
        block_ = number("block", 64);
        seconds_ = doc_.value("seconds", 1.0);
        if (rate_ < 1 || rate_ > 1536000)
            bad("\"rate\" is not a usable sample rate");
        if (block_ < 1 || block_ > 65536)
            bad("\"block\" must lie between 1 and 65536");
        if (!(seconds_ > 0) || seconds_ > 3600)
            bad("\"seconds\" must lie above 0 and at most 3600");
        loadModules();
        wire();
        readTimeline();
        readOutputs();
        process();
        return writeOutputs();
    }

private:
    [[noreturn]] void bad(const std::string& what) const { throw Failure(source_ + ": " + what); }

    int32_t number(const char* key, int32_t fallback) {
        if (!doc_.contains(key))
            return fallback;
        if (!doc_[key].is_number_integer())
            bad(std::string("\"") + key + "\" must be an integer");
        return doc_[key].get<int32_t>();
    }

    int64_t sampleOf(double t) const { return static_cast<int64_t>(std::llround(t * rate_)); }

    // ---- libraries and modules

    std::string findLibrary(const std::string& name) {
        if (doc_.contains("libraries") && doc_["libraries"].is_object() && doc_["libraries"].contains(name)) {
            const Json& p = doc_["libraries"][name];
            if (!p.is_string())
                bad("library \"" + name + "\" must be given as a path");
            fs::path path = pathOf(p.get<std::string>());
            if (path.is_relative())
                path = pathOf(baseDir_) / path;
            return utf8Of(path);
        }
        std::string looked;
        for (const auto& dir : settings_.searchDirs) {
            const fs::path candidate = pathOf(dir) / pathOf(name + ".qvm");
            if (fs::exists(candidate))
                return utf8Of(candidate);
            looked += (looked.empty() ? "" : ", ") + dir;
        }
        bad("cannot find library \"" + name + "\" (" + name + ".qvm; looked in " + looked + ")");
    }

    void loadModules() {
        if (!doc_.contains("modules") || !doc_["modules"].is_object() || doc_["modules"].empty())
            bad("\"modules\" must name at least one module");
        for (const auto& [name, m] : doc_["modules"].items()) {
            const std::string where = "module \"" + name + "\"";
            if (name.find('.') != std::string::npos)
                bad(where + ": module names may not contain '.'");
            if (!m.is_object() || !m.contains("library") || !m["library"].is_string() || !m.contains("id") ||
                !m["id"].is_string())
                bad(where + " needs \"library\" and \"id\"");
            for (const auto& [key, value] : m.items())
                if (key != "library" && key != "id" && key != "set" && key != "size")
                    bad(where + ": unknown key \"" + key + "\"");
            const std::string libName = m["library"].get<std::string>();
            auto& lib = libraries_[libName];
            if (!lib.library)
                lib = openLibrary(findLibrary(libName), true);
            auto module = std::make_unique<PatchModule>();
            module->name = name;
            module->library = &lib;
            module->description = lib.description->find(m["id"].get<std::string>());
            if (module->description == nullptr)
                bad(where + ": unknown module identifier \"" + m["id"].get<std::string>() + "\" in " + libName);
            if (module->description->dspHalf() != nullptr) {
                module->dsp = std::make_unique<DspRunner>(*lib.library, *module->description, static_cast<float>(rate_),
                                                          block_);
                module->levels.assign(module->description->dspHalf()->pins.size(), 0.0f);
            }
            if (module->description->guiHalf() != nullptr)
                module->gui = std::make_unique<GuiRunner>(*lib.library, *module->description);
            modules_[name] = std::move(module);
        }
    }

    // "module.pin", "module.dsp.pin" or "module.gui.pin".
    PinRef resolve(const std::string& text, const std::string& where) {
        const auto dot = text.find('.');
        if (dot == std::string::npos)
            bad(where + ": \"" + text + "\" is not MODULE.PIN");
        const std::string moduleName = text.substr(0, dot);
        std::string pinName = text.substr(dot + 1);
        auto it = modules_.find(moduleName);
        if (it == modules_.end())
            bad(where + ": unknown module \"" + moduleName + "\"");
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
            bad(where + ": pin \"" + pinName + "\" of " + moduleName + " is on both halves; write " + moduleName +
                ".dsp." + pinName + " or " + moduleName + ".gui." + pinName);
        if (!onDsp && !onGui)
            bad(where + ": unknown pin name \"" + pinName + "\" for " + moduleName + " (" + m->description->id + ")");
        return PinRef{m, onDsp.has_value(), onDsp ? *onDsp : *onGui, text};
    }

    // ---- connections

    void wire() {
        if (doc_.contains("connections")) {
            const Json& list = doc_["connections"];
            if (!list.is_array())
                bad("\"connections\" must be a list of [FROM, TO] pairs");
            for (size_t i = 0; i < list.size(); ++i) {
                const std::string where = "connection " + std::to_string(i + 1);
                const Json& c = list[i];
                if (!c.is_array() || c.size() != 2 || !c[0].is_string() || !c[1].is_string())
                    bad(where + " must be [\"MODULE.PIN\", \"MODULE.PIN\"]");
                PinRef from = resolve(c[0].get<std::string>(), where);
                PinRef to = resolve(c[1].get<std::string>(), where);
                // GUI pins that copy both ways send too; DSP inputs never do.
                if (from.dsp && from.pin.isInput())
                    bad(where + ": " + from.text + " is an input; a connection starts at an output");
                if (!to.pin.isInput())
                    bad(where + ": " + to.text + " is an output; a connection ends at an input");
                if (from.dsp != to.dsp)
                    bad(where + ": " + from.text + " and " + to.text +
                        " lie on different sides; values cross between DSP and GUI only inside a converter module");
                if (from.pin.type != to.pin.type)
                    bad(where + ": " + from.text + " carries " + typeName(from.pin.type) + " but " + to.text +
                        " takes " + typeName(to.pin.type));
                if (from.module == to.module && from.dsp)
                    bad(where + ": a module cannot feed its own DSP half");
                if (from.dsp) {
                    for (const auto& existing : dspConnections_)
                        if (existing.to.module == to.module && existing.to.pin.index == to.pin.index)
                            bad(where + ": " + to.text + " is already connected");
                    dspConnections_.push_back({from, to});
                } else {
                    from.module->gui->host().wire(from.pin.index, to.module->gui->object(), to.pin.index);
                }
            }
        }
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
                bad("the DSP connections form a loop through module \"" + m->name + "\"");
    }

    // ---- timeline

    void addSet(const PinRef& pin, const Json& value, double time, const std::string& where) {
        if (!pin.pin.isInput() && pin.dsp)
            bad(where + ": " + pin.text + " is an output; only inputs can be set");
        try {
            timeline_.push_back({time, pin, valueFromJson(pin.pin.type, value, pin.text)});
        } catch (const Failure& e) {
            bad(where + ": " + e.what());
        }
    }

    void readTimeline() {
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
            const Json& spec = doc_["modules"][name];
            if (spec.contains("set")) {
                if (!spec["set"].is_object())
                    bad("module \"" + name + "\": \"set\" must map pin names to values");
                for (const auto& [pin, value] : spec["set"].items())
                    addSet(resolve(name + "." + pin, "module \"" + name + "\""), value, 0.0,
                           "module \"" + name + "\"");
            }
        }
        if (doc_.contains("timeline")) {
            const Json& list = doc_["timeline"];
            if (!list.is_array())
                bad("\"timeline\" must be a list");
            for (size_t i = 0; i < list.size(); ++i) {
                const std::string where = "timeline entry " + std::to_string(i + 1);
                const Json& e = list[i];
                if (!e.is_object() || !e.contains("at") || !e["at"].is_number() || !e.contains("set") ||
                    !e["set"].is_string() || !e.contains("value"))
                    bad(where + " must be {\"at\": SECONDS, \"set\": \"MODULE.PIN\", \"value\": VALUE}");
                const double at = e["at"].get<double>();
                if (!(at >= 0))
                    bad(where + ": \"at\" must not be negative");
                addSet(resolve(e["set"].get<std::string>(), where), e["value"], at, where);
            }
        }
        std::stable_sort(timeline_.begin(), timeline_.end(), [&](const TimelineEntry& a, const TimelineEntry& b) {
            return sampleOf(a.time) < sampleOf(b.time);
        });
    }

    // ---- outputs

    std::string outputPath(const std::string& file) const { return utf8Of(pathOf(settings_.outputDir) / pathOf(file)); }

    void readOutputs() {
        if (doc_.contains("record")) {
            const Json& list = doc_["record"];
            if (!list.is_array())
                bad("\"record\" must be a list");
            for (size_t i = 0; i < list.size(); ++i) {
                const std::string where = "record entry " + std::to_string(i + 1);
                const Json& r = list[i];
                if (!r.is_object() || !r.contains("signals") || !r["signals"].is_array() || r["signals"].empty())
                    bad(where + " needs \"signals\": [\"MODULE.PIN\", ...]");
                Recording rec;
                for (const auto& s : r["signals"]) {
                    if (!s.is_string())
                        bad(where + ": signals are \"MODULE.PIN\" texts");
                    PinRef pin = resolve(s.get<std::string>(), where);
                    if (!pin.dsp)
                        bad(where + ": " + pin.text + " is a GUI pin; only DSP pins can be recorded (paint GUI modules as frames)");
                    if (pin.pin.type == DATATYPE_TEXT || pin.pin.type == DATATYPE_BLOB)
                        bad(where + ": " + pin.text + " carries " + typeName(pin.pin.type) + ", which has no level to record");
                    rec.data.push_back({s.get<std::string>(), {}});
                    rec.data.back().samples.reserve(static_cast<size_t>(seconds_ * rate_) + 1);
                    rec.signals.push_back(pin);
                }
                rec.current.assign(rec.signals.size(), 0.0f);
                rec.wav = r.value("wav", "");
                rec.plot = r.value("plot", "");
                if (rec.wav.empty() && rec.plot.empty())
                    bad(where + " needs \"wav\" or \"plot\"");
                recordings_.push_back(std::move(rec));
            }
        }
        if (doc_.contains("frames")) {
            const Json& list = doc_["frames"];
            if (!list.is_array())
                bad("\"frames\" must be a list");
            for (size_t i = 0; i < list.size(); ++i) {
                const std::string where = "frames entry " + std::to_string(i + 1);
                const Json& f = list[i];
                if (!f.is_object() || !f.contains("module") || !f["module"].is_string())
                    bad(where + " needs \"module\"");
                auto it = modules_.find(f["module"].get<std::string>());
                if (it == modules_.end())
                    bad(where + ": unknown module \"" + f["module"].get<std::string>() + "\"");
                PatchModule* m = it->second.get();
                if (!m->gui || !m->description->guiHalf()->draws)
                    bad(where + ": " + m->name + " (" + m->description->id + ") does not draw");
                FrameSeries series;
                series.module = m;
                series.every = f.value("every", 0.1);
                if (!(series.every > 0))
                    bad(where + ": \"every\" must be above 0 seconds");
                std::tie(series.width, series.height) = m->gui->preferredSize();
                if (f.contains("size")) {
                    const Json& s = f["size"];
                    if (!s.is_array() || s.size() != 2 || !s[0].is_number_integer() || !s[1].is_number_integer() ||
                        s[0].get<int>() < 1 || s[1].get<int>() < 1 || s[0].get<int>() > 8192 || s[1].get<int>() > 8192)
                        bad(where + ": \"size\" must be [WIDTH, HEIGHT] in pixels");
                    series.width = s[0].get<int32_t>();
                    series.height = s[1].get<int32_t>();
                }
                series.stem = f.value("name", m->name);
                frames_.push_back(series);
            }
        }
        if (recordings_.empty() && frames_.empty())
            bad("the patch writes nothing: add \"record\" or \"frames\"");
    }

    // ---- running

    void process() {
        const int64_t total = sampleOf(seconds_);
        Progress progress("running " + source_, total, seconds_);
        size_t next = 0;
        for (int64_t start = 0; start < total; start += block_) {
            const int32_t n = static_cast<int32_t>(std::min<int64_t>(block_, total - start));
            // What the timeline sets in this block: GUI values first, between
            // blocks, so that what they send reaches the DSP halves now.
            std::map<PatchModule*, std::vector<PendingEvent>> dspEvents;
            std::vector<const TimelineEntry*> dspSets;
            for (; next < timeline_.size() && sampleOf(timeline_[next].time) < start + n; ++next) {
                const TimelineEntry& t = timeline_[next];
                if (t.pin.dsp)
                    dspSets.push_back(&t);
                else
                    t.pin.module->gui->set(t.pin.pin.index, t.bytes);
            }
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
            // DSP halves, upstream first; outputs travel along the connections.
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
            record(start, n);
            // The GUI side takes the last value of the block from each DSP half.
            for (PatchModule* m : order_) {
                const auto& link = m->description->link;
                if (!link || !m->gui)
                    continue;
                const Publication* last = nullptr;
                for (const auto& p : m->dsp->publications())
                    if (p.pin == link->first)
                        last = &p;
                if (last != nullptr)
                    m->gui->set(link->second, last->bytes);
            }
            paintFrames(start + n);
            for (auto& [name, m] : modules_)
                if (m->gui)
                    m->gui->host().clear();
            progress.update(start + n);
        }
        progress.finish();
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

    void paintFrames(int64_t blockEnd) {
        for (auto& f : frames_) {
            while (sampleOf(static_cast<double>(f.next) * f.every) < blockEnd) {
                char name[64];
                std::snprintf(name, sizeof name, "_%04lld.png", static_cast<long long>(f.next));
                const std::string path = outputPath(f.stem + name);
                paintModule(f.module->gui->object(), f.width, f.height, 0xFF000000u, path);
                frameFiles_.push_back(path);
                ++f.next;
            }
        }
    }

    PatchResult writeOutputs() {
        PatchResult result;
        for (auto& rec : recordings_) {
            if (!rec.wav.empty()) {
                writeWav(outputPath(rec.wav), rec.data, rate_);
                result.files.push_back(outputPath(rec.wav));
            }
            if (!rec.plot.empty()) {
                writePlot(outputPath(rec.plot), rec.data, rate_, doc_.value("title", source_));
                result.files.push_back(outputPath(rec.plot));
            }
        }
        std::sort(frameFiles_.begin(), frameFiles_.end());
        result.files.insert(result.files.end(), frameFiles_.begin(), frameFiles_.end());
        return result;
    }

    const Json& doc_;
    std::string source_;
    std::string baseDir_;
    const PatchRunSettings& settings_;
    int32_t rate_ = 48000;
    int32_t block_ = 64;
    double seconds_ = 1.0;
    std::map<std::string, LoadedLibrary> libraries_;
    std::map<std::string, std::unique_ptr<PatchModule>> modules_;
    std::vector<PatchModule*> order_;
    std::vector<DspConnection> dspConnections_;
    std::vector<TimelineEntry> timeline_;
    std::vector<Recording> recordings_;
    std::vector<FrameSeries> frames_;
    std::vector<std::string> frameFiles_;
};

}  // namespace

PatchResult runPatchJson(const Json& patch, const std::string& source, const std::string& baseDir,
                         const PatchRunSettings& settings) {
    std::error_code ec;
    fs::create_directories(pathOf(settings.outputDir), ec);
    if (ec || !fs::is_directory(pathOf(settings.outputDir)))
        throw Failure("cannot make the output folder " + settings.outputDir);
    Patch p(patch, source, baseDir, settings);
    return p.run();
}

}  // namespace qvhost
