// qvhost render: one DSP module, a timeline of input values, its audio
// outputs to WAV and on request a plot.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include <CLI/CLI.hpp>

#include "abi/abi.h"
#include "io/audio_file.h"
#include "command.h"
#include "patch/dsp_runner.h"
#include "failure.h"
#include "io/loaded_library.h"
#include "patch/pin_value.h"
#include "progress.h"
#include "patch/timeline.h"

namespace qvhost {

using namespace ovra;

namespace {

struct RenderOptions {
    std::string library;
    std::string id;
    std::vector<std::string> sets;  // PIN=VALUE[@TIME]
    int32_t rate = 48000;
    int32_t block = 64;
    double seconds = 1.0;
    std::string output;
    std::string plot;
    bool values = false;  // print the control values the module sends
    bool strict = false;  // non-finite output fails the render
};

// Refuses what cannot be rendered before anything loads.
void checkOptions(const RenderOptions& o) {
    if (o.rate < 1 || o.rate > 1536000)
        throw Failure("--rate " + std::to_string(o.rate) + " is not a usable sample rate");
    if (o.block < 1 || o.block > 65536)
        throw Failure("--block " + std::to_string(o.block) + " must lie between 1 and 65536");
    if (!(o.seconds > 0) || o.seconds > 3600)
        throw Failure("--seconds must lie above 0 and at most 3600");
    if (o.output.empty() && o.plot.empty() && !o.values)
        throw Failure("nothing to write: give -o FILE.wav, --plot FILE.png or --values");
    if (!o.output.empty())
        checkOutputFile(o.output, ".wav", "-o " + o.output);
    if (!o.plot.empty())
        checkOutputFile(o.plot, ".png", "--plot " + o.plot);
}

int64_t sampleOf(double t, int32_t rate) { return static_cast<int64_t>(std::llround(t * rate)); }

// The described defaults, then the --set values, in the order of their
// samples; a note for each that falls after the end.
std::vector<TimedSet> timelineOf(const HalfDescription& half, const RenderOptions& o, int64_t total) {
    std::vector<TimedSet> timeline = defaultsOf(half);
    for (const auto& text : o.sets)
        timeline.push_back(parseSet(half, o.id, text, true));
    std::stable_sort(timeline.begin(), timeline.end(), [&](const TimedSet& a, const TimedSet& b) {
        return sampleOf(a.time, o.rate) < sampleOf(b.time, o.rate);
    });
    for (const auto& s : timeline)
        if (sampleOf(s.time, o.rate) >= total)
            noteAfterEnd(s.pin.name, formatValue(s.pin.type, s.bytes), s.time, o.seconds);
    return timeline;
}

// The half's audio outputs, one signal each, with their pin indices.
struct AudioOutputs {
    std::vector<Signal> signals;
    std::vector<int32_t> pins;
};

AudioOutputs audioOutputsOf(const HalfDescription& half, int64_t total) {
    AudioOutputs outputs;
    for (const auto& pin : half.pins)
        if (pin.isAudio() && !pin.isInput()) {
            outputs.signals.push_back({pin.name, {}});
            outputs.signals.back().samples.reserve(static_cast<size_t>(total));
            outputs.pins.push_back(pin.index);
        }
    return outputs;
}

// The module driven block by block through the timeline: its audio outputs
// gathered, and with --values what it sent.
void drive(DspRunner& runner, const std::vector<TimedSet>& timeline, const RenderOptions& o, int64_t total,
           AudioOutputs& outputs, std::vector<Publication>& published) {
    const HalfDescription& half = runner.half();
    std::vector<float> levels(half.pins.size(), 0.0f);
    Progress progress("rendering " + o.id, total, o.seconds);
    size_t next = 0;
    for (int64_t start = 0; start < total; start += o.block) {
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(o.block, total - start));
        std::vector<PendingEvent> events;
        if (start == 0)
            events.push_back({0, EV_START, 0});
        for (const auto& pin : half.pins)
            if (pin.isAudio() && pin.isInput())
                std::fill_n(runner.input(pin.index), n, levels[static_cast<size_t>(pin.index)]);
        for (; next < timeline.size() && sampleOf(timeline[next].time, o.rate) < start + n; ++next) {
            const TimedSet& s = timeline[next];
            const int32_t offset = static_cast<int32_t>(std::max<int64_t>(sampleOf(s.time, o.rate) - start, 0));
            if (s.pin.isAudio()) {
                // A new constant level: written from its sample on, announced as
                // a static input there.
                const float level = host::floatOf(s.bytes);
                levels[static_cast<size_t>(s.pin.index)] = level;
                std::fill(runner.input(s.pin.index) + offset, runner.input(s.pin.index) + n, level);
                events.push_back({offset, EV_STREAM_OFF, s.pin.index});
            } else {
                events.push_back({offset, EV_PIN_VALUE, s.pin.index, s.bytes});
            }
        }
        runner.process(start, n, std::move(events));
        for (size_t k = 0; k < outputs.pins.size(); ++k) {
            const float* out = runner.output(outputs.pins[k]);
            outputs.signals[k].samples.insert(outputs.signals[k].samples.end(), out, out + n);
        }
        if (o.values)
            published.insert(published.end(), runner.publications().begin(), runner.publications().end());
        progress.update(start + n);
    }
    progress.finish();
}

// --values: each value the module sent, or why there is none.
void printValues(const HalfDescription& half, const RenderOptions& o, const std::vector<Publication>& published) {
    if (published.empty()) {
        // Say why the list is empty, rather than print nothing.
        const bool sends = std::any_of(half.pins.begin(), half.pins.end(),
                                       [](const PinDescription& pin) { return !pin.isAudio() && !pin.isInput(); });
        std::printf("%s\n", sends ? (o.id + " sent no control values").c_str()
                                  : (o.id + " has no control outputs: no values to print").c_str());
    }
    for (const auto& p : published) {
        const auto pin = half.pinAt(p.pin);
        std::printf("%.6f s  %s = %s\n", static_cast<double>(p.sample) / o.rate,
                    pin ? pin->name.c_str() : ("pin " + std::to_string(p.pin)).c_str(),
                    formatValue(pin ? pin->type : 0, p.bytes).c_str());
    }
}

// -o and --plot, as asked.
void writeFiles(const RenderOptions& o, const std::vector<Signal>& outputs, int64_t total) {
    if (!o.output.empty() && isNullDevice(o.output)) {
        std::printf("rendered %zu channel%s, %lld samples at %d Hz, written nowhere (%s)\n", outputs.size(),
                    outputs.size() == 1 ? "" : "s", static_cast<long long>(total), o.rate, o.output.c_str());
    } else if (!o.output.empty()) {
        writeWav(o.output, outputs, o.rate);
        std::printf("wrote %s: %zu channel%s, %lld samples at %d Hz\n", o.output.c_str(), outputs.size(),
                    outputs.size() == 1 ? "" : "s", static_cast<long long>(total), o.rate);
    }
    if (!o.plot.empty() && !isNullDevice(o.plot)) {
        writePlot(o.plot, outputs, o.rate, o.id);
        std::printf("wrote %s\n", o.plot.c_str());
    }
}

int render(const RenderOptions& o) {
    checkOptions(o);
    const LibraryModule found = openModule(o.library, o.id);
    const HalfDescription* half = found.module->dspHalf();
    if (half == nullptr)
        throw Failure(o.id + " has no DSP half to render; try qvhost paint");
    const int64_t total = sampleOf(o.seconds, o.rate);
    const std::vector<TimedSet> timeline = timelineOf(*half, o, total);
    AudioOutputs outputs = audioOutputsOf(*half, total);
    if (outputs.signals.empty() && (!o.output.empty() || !o.plot.empty()))
        throw Failure(o.id + " has no audio outputs to write; use --values to see the values it sends");

    DspRunner runner(*found.lib.library, *found.module, static_cast<float>(o.rate), o.block);
    std::vector<Publication> published;
    drive(runner, timeline, o, total, outputs, published);
    reportNonFinite(outputs.signals, o.rate, o.strict);
    if (o.values)
        printValues(*half, o, published);
    writeFiles(o, outputs.signals, total);
    return 0;
}

class RenderCommand : public Command {
public:
    RenderCommand() : Command("render", "Drive a DSP module and write its audio outputs") {}
    void addOptions(CLI::App& command) override {
        RenderOptions& o = options_;
        command.add_option("LIB", o.library, "The .qvm library")->required();
        command.add_option("ID", o.id, "Module identifier")->required();
        command.add_option("--set", o.sets, "PIN=VALUE[@TIME]: a pin (name or index) takes a value at a time")
            ->allow_extra_args(false);
        command.add_option("--rate", o.rate, "Sample rate in Hz")->capture_default_str();
        command.add_option("--block", o.block, "Block size in samples")->capture_default_str();
        command.add_option("--seconds", o.seconds, "Length of the render")->capture_default_str();
        command.add_option("-o,--output", o.output, "WAV file to write");
        command.add_option("--plot", o.plot, "PNG plot of the outputs over time");
        command.add_flag("--values", o.values, "Print the control values the module sends");
        command.add_flag("--strict", o.strict, "Fail when an output is not finite (nan or inf)");
    }
    int run() override { return render(options_); }

private:
    RenderOptions options_;
};

}  // namespace

std::unique_ptr<Command> makeRenderCommand() { return std::make_unique<RenderCommand>(); }

}  // namespace qvhost
