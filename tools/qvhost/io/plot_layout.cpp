#include "plot_layout.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

bool near(float x, float y, double tolerance) {
    return x == y || (std::isnan(x) && std::isnan(y)) || std::fabs(x - y) <= tolerance;
}

// Two traces coincide when, at the plot's width, all but a twentieth of their
// columns lie closer than a line's width: one would hide the other.
bool coincide(const Signal& a, const Signal& b, size_t columns, double tolerance) {
    if (a.samples.size() != b.samples.size())
        return false;
    const auto ca = columnsOf(a, columns), cb = columnsOf(b, columns);
    size_t apart = 0;
    for (size_t c = 0; c < ca.size(); ++c)
        apart += near(ca[c].first, cb[c].first, tolerance) && near(ca[c].second, cb[c].second, tolerance) ? 0 : 1;
    return apart * 20 <= ca.size() && (apart == 0 || ca.size() >= 20);
}

}  // namespace

std::vector<std::pair<float, float>> columnsOf(const Signal& s, size_t columns) {
    std::vector<std::pair<float, float>> out;
    const size_t n = s.samples.size();
    for (size_t c = 0; c < columns && n > 0; ++c) {
        const size_t from = c * n / columns, to = std::max(from + 1, (c + 1) * n / columns);
        float lo = std::numeric_limits<float>::quiet_NaN(), hi = lo;
        for (size_t i = from; i < std::min(to, n); ++i)
            if (std::isfinite(s.samples[i])) {
                lo = std::isnan(lo) ? s.samples[i] : std::min(lo, s.samples[i]);
                hi = std::isnan(hi) ? s.samples[i] : std::max(hi, s.samples[i]);
            }
        out.push_back({lo, hi});
    }
    return out;
}

bool passesThrough(const std::vector<std::pair<float, float>>& spans, size_t c, float tolerance) {
    auto middle = [&](size_t k) { return (spans[k].first + spans[k].second) / 2; };
    const float own = middle(c);
    if (std::isnan(own))
        return false;
    float before = c > 0 ? middle(c - 1) : own, after = c + 1 < spans.size() ? middle(c + 1) : own;
    before = std::isnan(before) ? own : before;
    after = std::isnan(after) ? own : after;
    return spans[c].first >= std::min(before, after) - tolerance && spans[c].second <= std::max(before, after) + tolerance;
}

std::pair<float, float> finiteRange(const std::vector<Signal>& signals) {
    float lo = 0, hi = 0;
    for (const auto& s : signals)
        for (float v : s.samples)
            if (std::isfinite(v)) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
    return {lo, hi};
}

std::vector<TraceStyle> traceStyles(const std::vector<Signal>& signals, size_t columns) {
    const auto& palette = plotPalette();
    std::vector<TraceStyle> styles(signals.size());
    const auto [lo, hi] = finiteRange(signals);
    const double tolerance = (static_cast<double>(hi) - lo) * 0.01;
    for (size_t k = 0; k < signals.size(); ++k) {
        styles[k].colour = palette[k % palette.size()];
        // A trace on top of others is broken, differently for each copy, so
        // that the ones below show through.
        int round = static_cast<int>(k / palette.size());
        int copies = 0;
        for (size_t j = 0; j < k; ++j)
            if (coincide(signals[j], signals[k], columns, tolerance)) {
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
