// Checks of GUI halves: pins, ordinary, odd-sized and hostile values, and the
// real-time manners of the entry points.
#include <limits>

#include "generators.h"
#include "gui_bench.h"
#include "module_stack.h"
#include "patch/pin_value.h"
#include "realtime_watch.h"

namespace qvhost {

using namespace ovra;

int32_t GuardedGuiHost::QueryInterface(const Guid* iid, void** out) {
    RealtimePause pause;
    return RecordingGuiHost::QueryInterface(iid, out);
}
int32_t GuardedGuiHost::sendPinValue(int32_t pinIndex, int32_t size, const void* data, int32_t voice) {
    RealtimePause pause;
    return RecordingGuiHost::sendPinValue(pinIndex, size, data, voice);
}
int32_t GuardedGuiHost::setCapture() {
    RealtimePause pause;
    return RecordingGuiHost::setCapture();
}
int32_t GuardedGuiHost::getCapture(int32_t* captured) {
    RealtimePause pause;
    return RecordingGuiHost::getCapture(captured);
}
int32_t GuardedGuiHost::releaseCapture() {
    RealtimePause pause;
    return RecordingGuiHost::releaseCapture();
}
int32_t GuardedGuiHost::invalidateRect(const GuiRect* rect) {
    RealtimePause pause;
    return RecordingGuiHost::invalidateRect(rect);
}

GuiBench::GuiBench(CheckContext& ctx) : half_(*ctx.half) {
    instance.object = createWithHost(ctx, host.unknown());
    if (half_.subType == SUBTYPE_GUI_V2) {
        expect(host::attachGuiHost(instance.object, host.unknown()) == RC_OK, "attachHost failed");
    } else if (auto* ui = host::queryInterface<IMpUserInterface>(instance.object, IID_IMpUserInterface)) {
        const int32_t rc = ui->initialiseGui();
        ui->Release();
        expect(rc == RC_OK, "initialiseGui did not answer RC_OK");
    }
}

std::vector<PinDescription> GuiBench::inputs() const {
    std::vector<PinDescription> pins;
    for (const auto& p : half_.pins)
        if (p.isInput())
            pins.push_back(p);
    if (half_.growing)
        for (int32_t i : {half_.growing->from, half_.growing->from + 2})
            if (auto p = half_.pinAt(i))
                pins.push_back(*p);
    return pins;
}

void GuiBench::checkSends(const std::string& after) const {
    for (const auto& call : host.sends()) {
        const auto pin = half_.pinAt(call.pinIndex);
        expect(pin.has_value(), "sent a value on undescribed pin " + std::to_string(call.pinIndex) + " " + after);
        expect(sizeFits(pin->type, call.bytes.size()), pinLabel(*pin) + " sent " + std::to_string(call.bytes.size()) +
                                                           " bytes for a " + typeName(pin->type) + " " + after);
    }
}

Outcome checkGuiPins(CheckContext& ctx) {
    const auto& half = *ctx.half;
    std::vector<std::string> problems;
    const std::string kind = comparePinTable(ctx, problems);
    GuiBench g(ctx);
    auto problem = [&](const std::string& p) { problems.push_back(p); };
    for (const auto& pin : half.pins) {
        if (host::deliverOnly(g.instance.object, pin.index, randomOrdinaryValue(pin.type, ctx.rng)) != RC_OK)
            problem("described " + pinLabel(pin) + " does not take a value");
        else if (host::signalOnly(g.instance.object, pin.index) != RC_OK)
            problem("described " + pinLabel(pin) + " does not answer signalPinChange");
    }
    const auto count = static_cast<int32_t>(half.pins.size());
    std::vector<int32_t> beyond{-1, std::numeric_limits<int32_t>::min()};
    if (half.growing) {
        for (int32_t i : {half.growing->from, half.growing->from + 3, half.growing->last})
            if (host::deliverOnly(g.instance.object, i, randomOrdinaryValue(half.growing->type, ctx.rng)) != RC_OK)
                problem("growing input " + std::to_string(i) + " does not take a value");
        beyond.push_back(half.growing->last + 1);
    } else {
        for (int32_t i = count; i < count + 8; ++i)
            beyond.push_back(i);
    }
    for (int32_t i : beyond)
        if (host::deliverOnly(g.instance.object, i, host::bytesOf(int32_t{1})) != RC_FAILED)
            problem("pin " + std::to_string(i) + " takes a value but is not described");
    expect(problems.empty(), joined(problems));
    return {Status::Passed, std::to_string(count) + " described pins answer, none beyond; " + kind};
}

Outcome checkGuiValues(CheckContext& ctx) {
    GuiBench g(ctx);
    size_t fed = 0;
    const auto pins = g.inputs();
    for (int round = 0, rounds = ctx.rounds(3); round < rounds; ++round)
        for (const auto& pin : pins)
            for (const auto& v : ordinaryValues(pin.type, ctx.rng)) {
                const std::string after = "after " + pin.name + " = " + formatValue(pin.type, v);
                g.host.clear();
                expect(host::deliverOnly(g.instance.object, pin.index, v) == RC_OK,
                       "deliverPinValue refused " + pin.name + " = " + formatValue(pin.type, v));
                expect(host::signalOnly(g.instance.object, pin.index) == RC_OK,
                       "signalPinChange refused " + pinLabel(pin));
                g.checkSends(after);
                ++fed;
            }
    return {Status::Passed, std::to_string(fed) + " values on " + std::to_string(pins.size()) + " inputs"};
}

Outcome checkGuiBadSizes(CheckContext& ctx) {
    const auto& half = *ctx.half;
    GuiBench g(ctx);
    std::vector<int32_t> indices;
    for (const auto& pin : half.pins)
        indices.push_back(pin.index);
    if (half.growing)
        indices.push_back(half.growing->from + 1);
    size_t fed = 0;
    for (int32_t index : indices)
        for (int32_t size : {0, 1, 2, 3, 5, 7, 8, 64, 4097}) {
            Bytes junk(static_cast<size_t>(size));
            for (auto& b : junk)
                b = static_cast<uint8_t>(ctx.rng());
            host::deliverOnly(g.instance.object, index, junk);
            host::signalOnly(g.instance.object, index);
            ++fed;
        }
    for (int32_t index : indices)
        host::deliverOnly(g.instance.object, index, Bytes{});
    for (int32_t index : {-1, 1 << 20, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()})
        host::signalOnly(g.instance.object, index);
    return {Status::Passed, std::to_string(fed) + " values of wrong sizes taken without a crash"};
}

Outcome checkGuiHostileValues(CheckContext& ctx) {
    GuiBench g(ctx);
    size_t fed = 0;
    const auto pins = g.inputs();
    for (const auto& pin : pins)
        for (const auto& v : hostileValues(pin.type)) {
            g.host.clear();
            host::deliverAndSignal(g.instance.object, pin.index, v.bytes);
            const bool fits = sizeFits(pin.type, v.bytes.size());
            std::string value = fits ? formatValue(pin.type, v.bytes) : std::to_string(v.bytes.size()) + " bytes";
            if (value.size() > 40)
                value = value.substr(0, 37) + "...";
            g.checkSends("after " + pin.name + " = " + value);
            ++fed;
        }
    return {Status::Passed, std::to_string(fed) + " hostile values on " + std::to_string(pins.size()) + " inputs"};
}

Outcome checkGuiRealtime(CheckContext& ctx) {
    std::string why;
    if (!realtimeWatchAvailable(why))
        return {Status::Skipped, why};
    GuiBench g(ctx);
    size_t calls = 0;
    std::vector<std::string> seen;
    for (int round = 0, rounds = ctx.rounds(3); round < rounds; ++round)
        for (const auto& pin : g.inputs())
            for (const auto& v : ordinaryValues(pin.type, ctx.rng)) {
                beginRealtimeWatch();
                host::deliverAndSignal(g.instance.object, pin.index, v);
                const RealtimeRecord r = endRealtimeWatch();
                ++calls;
                if (r.total > 0 && seen.size() < 3) {
                    const std::string stack = moduleStack(r, ctx.path);
                    seen.push_back(std::string(r.first[0].function) + (stack.empty() ? "" : " from " + stack) +
                                   " after " + pin.name + " = " + formatValue(pin.type, v).substr(0, 30));
                }
            }
    for (const auto& s : seen)
        ctx.warn(s);
    return {Status::Passed, std::to_string(calls) + " values delivered without a heap or blocking call"};
}

}  // namespace qvhost
