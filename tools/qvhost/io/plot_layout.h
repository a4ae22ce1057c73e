// What a plot shows, decided apart from drawing it: colours and line styles
// that stay apart, the legend's rows, and the unit of the y axis.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "audio_file.h"

namespace qvhost {

// Trace colours (ARGB) on the plot's white ground, told apart also with the
// common kinds of colour blindness; more traces than colours repeat them with
// a dashed line.
const std::vector<uint32_t>& plotPalette();

// The lowest and highest finite sample of each of `columns` equal stretches
// of a signal: what its trace shows at that width (NaN, NaN where a stretch
// has no finite sample).
std::vector<std::pair<float, float>> columnsOf(const Signal& s, size_t columns);

// Whether a trace only passes through column `c` on its way from one
// neighbour to the other: its span lies between the neighbours' middles,
// widened by `tolerance`. Such a column is drawn as one point at its middle
// (a smooth curve stays smooth); any other as its lowest and highest sample.
bool passesThrough(const std::vector<std::pair<float, float>>& spans, size_t c, float tolerance);

// The lowest and highest finite sample of all signals, 0 included.
std::pair<float, float> finiteRange(const std::vector<Signal>& signals);

enum class LineStyle { Solid, Dash, Dot, DashDot };

struct TraceStyle {
    uint32_t colour = 0;
    LineStyle line = LineStyle::Solid;
    int sameAs = -1;  // index of an earlier trace this one would hide, else -1
};

// One style per signal: its own colour, and a broken line where it would
// hide an earlier trace (drawn `columns` pixels wide, nearly all within a
// line's width of it) or where the colours ran out.
std::vector<TraceStyle> traceStyles(const std::vector<Signal>& signals, size_t columns = 880);

// Legend entries of the given widths in rows no wider than `available`,
// `gap` apart; an entry wider than a row takes a row of its own.
std::vector<std::vector<size_t>> legendRows(const std::vector<float>& widths, float available, float gap);

// The y axis' unit: audio signals are voltages in signal units.
std::string yAxisLabel(const std::vector<Signal>& signals);

}  // namespace qvhost
