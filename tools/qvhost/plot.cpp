// Plots of rendered signals, drawn with GDI+ on a paint surface.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audio_file.h"
#include "failure.h"
#include "library.h"
#include "paint_surface.h"
#include "platform/gdiplus_flat.h"

// The few GDI+ flat functions the plot needs beyond those the modules use.
namespace ovra::gdip {
struct Pen;
struct Point {
    int32_t X;
    int32_t Y;
};
inline constexpr int32_t SmoothingModeAntiAlias = 4;
}  // namespace ovra::gdip

extern "C" {
ovra::gdip::Status OVRA_GDIPAPI GdipCreatePen1(ovra::gdip::ARGB color, float width, int32_t unit, ovra::gdip::Pen** pen);
ovra::gdip::Status OVRA_GDIPAPI GdipDeletePen(ovra::gdip::Pen* pen);
ovra::gdip::Status OVRA_GDIPAPI GdipDrawLineI(ovra::gdip::Graphics* graphics, ovra::gdip::Pen* pen, int32_t x1,
                                              int32_t y1, int32_t x2, int32_t y2);
ovra::gdip::Status OVRA_GDIPAPI GdipDrawLinesI(ovra::gdip::Graphics* graphics, ovra::gdip::Pen* pen,
                                               const ovra::gdip::Point* points, int32_t count);
ovra::gdip::Status OVRA_GDIPAPI GdipSetSmoothingMode(ovra::gdip::Graphics* graphics, int32_t mode);
}

namespace qvhost {

using namespace ovra;

namespace {

constexpr gdip::ARGB kBackground = 0xFF101418;
constexpr gdip::ARGB kGrid = 0xFF2A323C;
constexpr gdip::ARGB kAxis = 0xFF8090A0;
constexpr gdip::ARGB kText = 0xFFD0D8E0;
constexpr gdip::ARGB kTraces[] = {0xFF40D080, 0xFFFFB040, 0xFF50A0FF, 0xFFFF6070};

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
        GdipCreateFontFamilyFromName(OVRA_GDIP_TEXT("Arial"), nullptr, &family_);
        if (family_ != nullptr)
            GdipCreateFont(family_, 11.0f, 0, gdip::UnitPixel, &font_);
        GdipSetTextRenderingHint(g_, gdip::TextRenderingHintAntiAlias);
    }
    ~Painter() {
        if (font_ != nullptr)
            GdipDeleteFont(font_);
        if (family_ != nullptr)
            GdipDeleteFontFamily(family_);
    }
    void line(gdip::ARGB colour, float width, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
        gdip::Pen* pen = nullptr;
        GdipCreatePen1(colour, width, gdip::UnitPixel, &pen);
        GdipDrawLineI(g_, pen, x1, y1, x2, y2);
        GdipDeletePen(pen);
    }
    void lines(gdip::ARGB colour, float width, const std::vector<gdip::Point>& points) {
        if (points.size() < 2)
            return;
        gdip::Pen* pen = nullptr;
        GdipCreatePen1(colour, width, gdip::UnitPixel, &pen);
        GdipDrawLinesI(g_, pen, points.data(), static_cast<int32_t>(points.size()));
        GdipDeletePen(pen);
    }
    void text(gdip::ARGB colour, float x, float y, const std::string& s) {
        if (font_ == nullptr)
            return;
        const std::u16string wide = host::fromUtf8(s);
        std::vector<gdip::Char> chars(wide.begin(), wide.end());
        chars.push_back(0);
        gdip::SolidFill* brush = nullptr;
        GdipCreateSolidFill(colour, &brush);
        const gdip::RectF layout{x, y, 0, 0};
        GdipDrawString(g_, chars.data(), -1, font_, &layout, nullptr, reinterpret_cast<gdip::Brush*>(brush));
        GdipDeleteBrush(reinterpret_cast<gdip::Brush*>(brush));
    }

private:
    gdip::Graphics* g_;
    gdip::FontFamily* family_ = nullptr;
    gdip::Font* font_ = nullptr;
};

std::string label(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", std::fabs(v) < 1e-12 ? 0.0 : v);
    return text;
}

}  // namespace

void writePlot(const std::string& path, const std::vector<Signal>& signals, int32_t sampleRate,
               const std::string& title, int32_t width, int32_t height) {
    if (signals.empty() || signals.front().samples.empty())
        throw Failure("nothing to plot in " + path + ": no audio outputs");
    host::PaintSurface surface(width, height);
    if (!surface.valid())
        throw Failure("cannot draw " + path + ": GDI+ did not start (is libgdiplus installed?)");
    surface.clear(kBackground);
    gdip::Graphics* g = surface.graphics();
    GdipSetSmoothingMode(g, gdip::SmoothingModeAntiAlias);
    Painter paint(g);

    const int32_t left = 64, right = width - 16, top = 28, bottom = height - 36;
    const size_t frames = signals.front().samples.size();
    const double seconds = static_cast<double>(frames) / sampleRate;
    float lo = 0.0f, hi = 0.0f;
    for (const auto& s : signals)
        for (float v : s.samples)
            if (std::isfinite(v)) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
    if (hi - lo < 1e-6f)
        hi = lo + 1.0f;
    const double margin = (hi - lo) * 0.06;
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

    // Each trace: the lowest and highest sample of every pixel column.
    for (size_t k = 0; k < signals.size(); ++k) {
        const auto& samples = signals[k].samples;
        std::vector<gdip::Point> points;
        const int32_t columns = right - left;
        for (int32_t c = 0; c < columns; ++c) {
            const size_t from = static_cast<size_t>(static_cast<double>(c) / columns * frames);
            const size_t to = std::max(from + 1, static_cast<size_t>(static_cast<double>(c + 1) / columns * frames));
            float cmin = samples[std::min(from, frames - 1)], cmax = cmin;
            for (size_t i = from; i < std::min(to, frames); ++i)
                if (std::isfinite(samples[i])) {
                    cmin = std::min(cmin, samples[i]);
                    cmax = std::max(cmax, samples[i]);
                }
            // Enter the column at the end nearer to where the trace is.
            int32_t first = yOf(cmax), second = yOf(cmin);
            if (!points.empty() && std::abs(points.back().Y - second) < std::abs(points.back().Y - first))
                std::swap(first, second);
            points.push_back({left + c, first});
            if (second != first)
                points.push_back({left + c, second});
        }
        const gdip::ARGB colour = kTraces[k % std::size(kTraces)];
        paint.lines(colour, 1.5f, points);
        paint.text(colour, static_cast<float>(left + 8 + 140 * static_cast<int32_t>(k)), 8.0f, signals[k].name);
    }
    paint.text(kText, static_cast<float>(left + 8 + 140 * static_cast<int32_t>(signals.size())), 8.0f, title);

    std::string error;
    if (!surface.savePng(path, error))
        throw Failure("cannot write " + path + ": " + error);
}

}  // namespace qvhost
