// Several instances of one DSP half at once, as a host runs them: each must
// give the same bits as when it runs alone with the same inputs. A module
// that keeps state in a static (a filter memory, a last value, a table
// filled lazily) passes every check of one instance and fails here.
#include <algorithm>
#include <cstring>
#include <memory>

#include "checks.h"
#include "dsp_plan.h"
#include "suggest.h"

namespace qvhost {

using namespace ovra;

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
    // turns with every block.
    std::vector<std::unique_ptr<DspBench>> benches;
    for (size_t k = 0; k < instances; ++k)
        benches.push_back(std::make_unique<DspBench>(ctx, 48000, largestPlannedBlock(ctx)));
    for (size_t b = 0; b < blocks; ++b)
        for (size_t turn = 0; turn < instances; ++turn) {
            const size_t k = (turn + b) % instances;
            const BlockTrace trace = runBlock(*benches[k], half, plans[k][b]);
            const std::string difference = firstDifference(half, trace, alone[k][b], "alone");
            expect(difference.empty(), "instance " + std::to_string(k + 1) + " of " + std::to_string(instances) +
                                           ", run beside the others, differs from the same inputs run alone in block " +
                                           std::to_string(b + 1) + " (" + counted(plans[k][b].size, "sample") +
                                           "): " + difference);
        }
    return {Status::Passed, std::to_string(instances) + " instances, " + std::to_string(blocks) +
                                " blocks each, interleaved: the same bits, values and calls as each alone"};
}

}  // namespace qvhost
