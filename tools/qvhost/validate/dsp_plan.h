// Runs of a DSP half planned ahead from the seed: blocks of ordinary inputs,
// and what each block gave. Checks that compare two runs of one module (beside
// other instances, with an event moved, with its defaults sent) plan once and
// run the plan twice.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "dsp_bench.h"

namespace qvhost {

// One block of inputs: its size, its events and the samples of each audio
// input.
struct PlannedBlock {
    int32_t size = 0;
    std::vector<BenchEvent> events;
    std::vector<std::vector<float>> audio;  // by pin index; empty for other pins
};

// What one block gave: the samples of each audio output (DspBench::kUntouched
// where the module wrote nothing) and the host calls that carry meaning
// (values, streaming, sleep).
struct BlockTrace {
    std::vector<std::vector<float>> outputs;  // by pin index
    std::vector<ovra::host::DspCall> calls;
};

// Blocks of 1, 17, 64 or 256 samples (with random blocks, any size from 1
// to 4096); the first carries EV_START and a value for every control input;
// audio inputs stream, hold a level or are silent, and a held level is
// announced with EV_STREAM_OFF in its block.
std::vector<PlannedBlock> planBlocks(const CheckContext& ctx, std::mt19937_64& rng, size_t blocks);
// The largest block planBlocks may plan: what a bench must hold.
int32_t largestPlannedBlock(const CheckContext& ctx);

// A block of n samples with no events, every audio input at `level`.
PlannedBlock quietBlock(const HalfDescription& half, int32_t n, float level);

BlockTrace runBlock(DspBench& bench, const HalfDescription& half, const PlannedBlock& block);

bool sameBits(float a, float b);
bool sameCall(const ovra::host::DspCall& a, const ovra::host::DspCall& b);
// "Out = 0.5 at 3", "stream off Out at 0", "offerSleep", or "no call".
std::string callText(const HalfDescription& half, const ovra::host::DspCall* call);

// "" when the traces agree, else the first difference: "output pin 1 (Out) at
// sample 3 was 0.5, <other> 0.25". `other` names the second run.
std::string firstDifference(const HalfDescription& half, const BlockTrace& got, const BlockTrace& expected,
                            const std::string& other);

}  // namespace qvhost
