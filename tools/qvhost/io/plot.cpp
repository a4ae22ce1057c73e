// Plots of rendered signals, drawn with GDI+ on a paint surface.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audio_file.h"
#include "failure.h"
#include "utf8.h"
#include "paint_surface.h"
#include "platform/gdiplus_owned.h"
#include "plot_layout.h"
#include "suggest.h"

namespace qvhost {

using namespace ovra;

namespace {

constexpr gdip::ARGB kBackground = 0xFFFFFFFF;
constexpr gdip::ARGB kGrid = 0xFFE2E6EA;
constexpr gdip::ARGB kAxis = 0xFF505860;
constexpr gdip::ARGB kText = 0xFF202428;
constexpr float kLineHeight = 16.0f;

// A step of 1, 2 or 5 times a power of ten giving about `count` intervals.
double niceStep(double span, int count) {
    const double raw = span / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw)
            return m * power;
    return 10 * power;
}

class Painter {
public:
    explicit Painter(gdip::Graphics* g) : g_(g) {
        GdipCreateFontFamilyFromName(OVRA_GDIP_TEXT("Arial"), nullptr, family_.out());
        if (family_)
            GdipCreateFont(family_.get(), 11.0f, 0, gdip::UnitPixel, font_.out());
        GdipSetTextRenderingHint(g_, gdip::TextRenderingHintAntiAlias);
    }
    void line(gdip::ARGB colour, float width, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
        gdip::Owned<gdip::Pen> pen;
        GdipCreatePen1(colour, width, gdip::UnitPixel, pen.out());
        GdipDrawLineI(g_, pen.get(), x1, y1, x2, y2);
    }
    void lines(gdip::ARGB colour, float width, LineStyle style, const std::vector<gdip::Point>& points) {
        if (points.size() < 2)
            return;
        gdip::Owned<gdip::Pen> pen;
        GdipCreatePen1(colour, width, gdip::UnitPixel, pen.out());
        GdipSetPenDashStyle(pen.get(), static_cast<int32_t>(style));  // the same numbers as GDI+'s dash styles
        GdipDrawLinesI(g_, pen.get(), points.data(), static_cast<int32_t>(points.size()));
    }
    // Width of a text in pixels.
    float width(const std::string& s) {
        if (!font_)
            return 6.5f * static_cast<float>(s.size());
        const std::vector<gdip::Char> chars = wide(s);
        const gdip::RectF layout{0, 0, 10000, 100};
        gdip::RectF bounds{0, 0, 0, 0};
        if (GdipMeasureString(g_, chars.data(), -1, font_.get(), &layout, nullptr, &bounds, nullptr, nullptr) != gdip::Ok)
            return 6.5f * static_cast<float>(s.size());
        return bounds.Width;
    }
    void text(gdip::ARGB colour, float x, float y, const std::string& s) {
        if (!font_)
            return;
        const std::vector<gdip::Char> chars = wide(s);
        gdip::Owned<gdip::SolidFill> brush;
        GdipCreateSolidFill(colour, brush.out());
        const gdip::RectF layout{x, y, 0, 0};
        GdipDrawString(g_, chars.data(), -1, font_.get(), &layout, nullptr, gdip::asBrush(brush.get()));
    }

private:
    static std::vector<gdip::Char> wide(const std::string& s) {
        const std::u16string text = host::fromUtf8(s);
        std::vector<gdip::Char> chars(text.begin(), text.end());
        chars.push_back(0);
        return chars;
    }

    gdip::Graphics* g_;
    // The family outlives the font made from it.
    gdip::Owned<gdip::FontFamily> family_;
    gdip::Owned<gdip::Font> font_;
};

std::string label(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", std::fabs(v) < 1e-12 ? 0.0 : v);
    return text;
}

}  // namespace

// Long: legend, grid and traces are laid out on one canvas whose sizes each
// part reads from the others.
void writePlot(const std::string& path, const std::vector<Signal>& signals, int32_t sampleRate,
               const std::string& title, int32_t width, int32_t height) {
    if (signals.empty() || signals.front().samples.empty())
        throw Failure("nothing to plot in " + path + ": no audio outputs");
    const std::vector<TraceStyle> styles = traceStyles(signals, static_cast<size_t>(std::max(width - 80, 1)));

    // The legend: a line sample and the full name of each trace, in rows.
    constexpr float kSample = 26.0f, kGap = 18.0f;
    std::vector<std::string> names;
    for (size_t k = 0; k < signals.size(); ++k) {
        size_t broken = 0;
        for (float v : signals[k].samples)
            broken += std::isfinite(v) ? 0 : 1;
        std::string name = signals[k].name;
        if (styles[k].sameAs >= 0)
            name += " (on top of " + signals[static_cast<size_t>(styles[k].sameAs)].name + ")";
        if (broken > 0)
            name += " (" + counted(broken, "sample") + " not finite, not drawn)";
        names.push_back(name);
    }
    std::vector<std::vector<size_t>> rows;
    std::vector<float> widths;
    {
        host::PaintSurface measuring(1, 1);
        if (!measuring.valid())
            throw Failure("cannot draw " + path + ": GDI+ did not start (is libgdiplus installed?)");
        Painter measure(measuring.graphics());
        for (const auto& n : names)
            widths.push_back(kSample + 4 + measure.width(n));
        rows = legendRows(widths, static_cast<float>(width - 80), kGap);
    }
    const int32_t legendHeight = static_cast<int32_t>(kLineHeight * static_cast<float>(rows.size()));
    height += legendHeight;

    host::PaintSurface surface(width, height);
    if (!surface.valid())
        throw Failure("cannot draw " + path + ": GDI+ did not start (is libgdiplus installed?)");
    surface.clear(kBackground);
    gdip::Graphics* g = surface.graphics();
    GdipSetSmoothingMode(g, gdip::SmoothingModeAntiAlias);
    Painter paint(g);

    const int32_t left = 64, right = width - 16, top = 44 + legendHeight, bottom = height - 36;
    paint.text(kText, static_cast<float>(left), 6.0f, title);
    for (size_t r = 0; r < rows.size(); ++r) {
        float x = static_cast<float>(left);
        const float y = 24.0f + kLineHeight * static_cast<float>(r);
        for (size_t k : rows[r]) {
            const int32_t mid = static_cast<int32_t>(y + 7);
            paint.lines(styles[k].colour, 2.0f, styles[k].line,
                        {{static_cast<int32_t>(x), mid}, {static_cast<int32_t>(x + kSample), mid}});
            paint.text(styles[k].colour, x + kSample + 4, y, names[k]);
            x += widths[k] + kGap;
        }
    }

    const size_t frames = signals.front().samples.size();
    const double seconds = static_cast<double>(frames) / sampleRate;
    auto [lo, hi] = finiteRange(signals);
    if (hi - lo < 1e-6f)
        hi = lo + 1.0f;
    const double margin = (static_cast<double>(hi) - lo) * 0.06;
    const double yMin = lo - margin, yMax = hi + margin;
    auto yOf = [&](double v) {
        return static_cast<int32_t>(std::lround(bottom - (v - yMin) / (yMax - yMin) * (bottom - top)));
    };
    auto xOf = [&](double t) { return static_cast<int32_t>(std::lround(left + t / seconds * (right - left))); };

    // Grid and labels.
    const double yStep = niceStep(yMax - yMin, 6);
    for (double v = std::ceil(yMin / yStep) * yStep; v <= yMax; v += yStep) {
        paint.line(kGrid, 1.0f, left, yOf(v), right, yOf(v));
        paint.text(kText, 4.0f, static_cast<float>(yOf(v) - 7), label(v));
    }
    const double tStep = niceStep(seconds, 10);
    for (double t = 0; t <= seconds + 1e-9; t += tStep) {
        paint.line(kGrid, 1.0f, xOf(t), top, xOf(t), bottom);
        paint.text(kText, static_cast<float>(xOf(t) - 8), static_cast<float>(bottom + 6), label(t));
    }
    paint.line(kAxis, 1.0f, left, bottom, right, bottom);
    paint.line(kAxis, 1.0f, left, top, left, bottom);
    if (yMin < 0 && yMax > 0)
        paint.line(kAxis, 1.0f, left, yOf(0), right, yOf(0));
    paint.text(kText, static_cast<float>(right - 60), static_cast<float>(bottom + 20), "time (s)");
    paint.text(kText, 4.0f, static_cast<float>(top - 18), yAxisLabel(signals));

    // Each trace: the lowest and highest finite sample of every pixel column,
    // or its middle where the trace only passes through; a column without a
    // finite sample breaks the line.
    const int32_t columns = right - left;
    const float halfPixel = static_cast<float>((yMax - yMin) / (bottom - top) / 2);
    for (size_t k = 0; k < signals.size(); ++k) {
        std::vector<gdip::Point> points;
        auto flush = [&] {
            paint.lines(styles[k].colour, 1.5f, styles[k].line, points);
            points.clear();
        };
        const auto spans = columnsOf(signals[k], static_cast<size_t>(columns));
        for (int32_t c = 0; c < columns; ++c) {
            const auto [cmin, cmax] = spans[static_cast<size_t>(c)];
            if (std::isnan(cmin)) {
                flush();
                continue;
            }
            if (passesThrough(spans, static_cast<size_t>(c), halfPixel)) {
                points.push_back({left + c, yOf((static_cast<double>(cmin) + cmax) / 2)});
                continue;
            }
            // Enter the column at the end nearer to where the trace is.
            int32_t first = yOf(cmax), second = yOf(cmin);
            if (!points.empty() && std::abs(points.back().Y - second) < std::abs(points.back().Y - first))
                std::swap(first, second);
            points.push_back({left + c, first});
            if (second != first)
                points.push_back({left + c, second});
        }
        flush();
    }

    std::string error;
    if (!surface.savePng(path, error))
        throw Failure("cannot write " + path + ": " + error);
}

}  // namespace qvhost
