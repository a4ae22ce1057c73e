// Several instances of one DSP half at once, as a host runs them: each must
// give the same bits as when it runs alone with the same inputs. A module
// that keeps state in a static (a filter memory, a last value, a table
// filled lazily) passes every check of one instance and fails here.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include "checks.h"
#include "dsp_plan.h"
#include "generators.h"
#include "gui_bench.h"
#include "io/suggest.h"

namespace qvhost {

using namespace ovra;

namespace {

// The module's GUI half on a thread of its own, given ordinary values on
// every input for as long as this lives, as a host's GUI thread does while
// the audio thread runs the DSP halves.
class GuiThread {
public:
    explicit GuiThread(CheckContext& ctx) : seed_(ctx.rng()) {
        if (ctx.module->guiHalf() != nullptr)
            thread_ = std::thread([this, &ctx] { run(ctx); });
    }
    ~GuiThread() { stop(); }
    GuiThread(const GuiThread&) = delete;
    GuiThread& operator=(const GuiThread&) = delete;

    void stop() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    // Returns once the GUI half took its first value, or its thread ended.
    void awaitFirstValue() const {
        while (deliveries_ == 0 && !ended_)
            std::this_thread::yield();
    }
    const std::string& problem() const { return problem_; }  // after stop()

private:
    void run(CheckContext& dsp) {
        try {
            CheckContext ctx{dsp.library, dsp.path, dsp.description, dsp.module, dsp.module->guiHalf(), dsp.options,
                             std::mt19937_64(seed_), {}};
            GuiBench g(ctx);
            const auto pins = g.inputs();
            while (!stop_ && !pins.empty())
                for (const auto& pin : pins) {
                    g.host.clear();
                    host::deliverAndSignal(g.instance.object, pin.index, randomOrdinaryValue(pin.type, ctx.rng));
                    g.checkSends("on the GUI thread, after " + pin.name);
                    ++deliveries_;
                }
        } catch (const CheckFailed& f) {
            problem_ = "the GUI half on its own thread: " + f.why;
        }
        ended_ = true;
    }

    uint64_t seed_;
    std::atomic<bool> stop_{false};
    std::atomic<size_t> deliveries_{0};
    std::atomic<bool> ended_{false};
    std::string problem_;
    std::thread thread_;
};

}  // namespace

Outcome checkDspInstances(CheckContext& ctx) {
    const auto& half = *ctx.half;
    const size_t instances = ctx.strict(10) ? 16 : 4;
    const size_t blocks = static_cast<size_t>(ctx.rounds(24));
    std::vector<std::vector<PlannedBlock>> plans;
    for (size_t k = 0; k < instances; ++k)
        plans.push_back(planBlocks(ctx, ctx.rng, blocks));

    // Alone: one instance at a time, each created, run and released.
    std::vector<std::vector<BlockTrace>> alone(instances);
    for (size_t k = 0; k < instances; ++k) {
        DspBench bench(ctx, 48000, largestPlannedBlock(ctx));
        for (const auto& block : plans[k])
            alone[k].push_back(runBlock(bench, half, block));
    }
    // Together: all created first, then block by block in an order that
    // turns with every block; a second time while the module's GUI half is
    // driven on a thread of its own.
    bool withGui = false;
    for (const bool gui : {false, true}) {
        if (gui && ctx.module->guiHalf() == nullptr)
            break;
        std::vector<std::unique_ptr<DspBench>> benches;
        for (size_t k = 0; k < instances; ++k)
            benches.push_back(std::make_unique<DspBench>(ctx, 48000, largestPlannedBlock(ctx)));
        std::unique_ptr<GuiThread> guiThread = gui ? std::make_unique<GuiThread>(ctx) : nullptr;
        if (guiThread)
            guiThread->awaitFirstValue();
        for (size_t b = 0; b < blocks; ++b)
            for (size_t turn = 0; turn < instances; ++turn) {
                const size_t k = (turn + b) % instances;
                const BlockTrace trace = runBlock(*benches[k], half, plans[k][b]);
                const std::string difference = firstDifference(half, trace, alone[k][b], "alone");
                expect(difference.empty(), "instance " + std::to_string(k + 1) + " of " + std::to_string(instances) +
                                               ", run beside the others" +
                                               (gui ? " while the GUI half ran on its own thread" : "") +
                                               ", differs from the same inputs run alone in block " +
                                               std::to_string(b + 1) + " (" + counted(plans[k][b].size, "sample") +
                                               "): " + difference);
            }
        if (guiThread) {
            guiThread->stop();
            expect(guiThread->problem().empty(), guiThread->problem());
            withGui = true;
        }
    }
    return {Status::Passed, std::to_string(instances) + " instances, " + std::to_string(blocks) +
                                " blocks each, interleaved: the same bits, values and calls as each alone" +
                                (withGui ? "; again while the GUI half took values on a thread of its own" : "")};
}

}  // namespace qvhost
