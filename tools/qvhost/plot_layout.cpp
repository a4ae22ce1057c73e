#include "plot_layout.h"

#include <cmath>

namespace qvhost {

const std::vector<uint32_t>& plotPalette() {
    // Okabe and Ito's set without its yellow, which vanishes on white, and
    // the darker colours of Tol's muted set.
    static const std::vector<uint32_t> palette{
        0xFF0072B2,  // blue
        0xFFD55E00,  // vermilion
        0xFF009E73,  // bluish green
        0xFFCC79A7,  // reddish purple
        0xFFE69F00,  // orange
        0xFF56B4E9,  // sky blue
        0xFF000000,  // black
        0xFF882255,  // wine
        0xFF44AA99,  // teal
        0xFF999933,  // olive
        0xFF332288,  // indigo
    };
    return palette;
}

namespace {

bool sameSamples(const Signal& a, const Signal& b) {
    if (a.samples.size() != b.samples.size())
        return false;
    for (size_t i = 0; i < a.samples.size(); ++i) {
        const float x = a.samples[i], y = b.samples[i];
        if (!(x == y || (std::isnan(x) && std::isnan(y))))
            return false;
    }
    return true;
}

}  // namespace

std::vector<TraceStyle> traceStyles(const std::vector<Signal>& signals) {
    const auto& palette = plotPalette();
    std::vector<TraceStyle> styles(signals.size());
    for (size_t k = 0; k < signals.size(); ++k) {
        styles[k].colour = palette[k % palette.size()];
        // A trace on top of others is broken, differently for each copy, so
        // that the ones below show through.
        int round = static_cast<int>(k / palette.size());
        int copies = 0;
        for (size_t j = 0; j < k; ++j)
            if (sameSamples(signals[j], signals[k])) {
                if (styles[k].sameAs < 0)
                    styles[k].sameAs = static_cast<int>(j);
                ++copies;
            }
        if (copies > 0)
            round = copies;
        styles[k].line = round == 0 ? LineStyle::Solid : static_cast<LineStyle>(1 + (round - 1) % 3);
    }
    return styles;
}

std::vector<std::vector<size_t>> legendRows(const std::vector<float>& widths, float available, float gap) {
    std::vector<std::vector<size_t>> rows;
    float used = 0;
    for (size_t i = 0; i < widths.size(); ++i) {
        if (rows.empty() || (!rows.back().empty() && used + gap + widths[i] > available)) {
            rows.emplace_back();
            used = 0;
        }
        used += (rows.back().empty() ? 0 : gap) + widths[i];
        rows.back().push_back(i);
    }
    return rows;
}

std::string yAxisLabel(const std::vector<Signal>& signals) {
    size_t audio = 0;
    for (const auto& s : signals)
        audio += s.audio ? 1 : 0;
    if (audio == signals.size())
        return "signal units (1 = 10 V)";
    if (audio == 0)
        return "value";
    return "value; audio in signal units (1 = 10 V)";
}

}  // namespace qvhost
