// DSP entry points: creation with or without a host, attachHost,
// assignPinBuffer, activate, deliverMessage, QueryInterface and processBlock
// with any block size, any event list and any samples.
#include <algorithm>
#include <climits>
#include <deque>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "byte_reader.h"
#include "dsp_host.h"
#include "harness.h"

namespace ovra::fuzz {

namespace {

constexpr int32_t kMaxBlock = 4096;
constexpr int32_t kBufferPins = 6;  // pins 0..5 get buffers; no module has more audio pins
constexpr size_t kMaxEvents = 24;
constexpr size_t kMaxPointedBytes = 300;

// The event list of one block, with the value bytes it points at. Every
// pointer points at exactly valueSize bytes, as a host's would: a pointer
// cannot be checked, a size can.
struct Block {
    std::vector<HostEvent> events;
    std::deque<std::vector<uint8_t>> payloads;

    const HostEvent* head() {
        for (size_t i = 0; i + 1 < events.size(); ++i)
            events[i].nextEvent = &events[i + 1];
        if (!events.empty())
            events.back().nextEvent = nullptr;
        return events.empty() ? nullptr : events.data();
    }
};

const void* pointTo(Block& block, ByteReader& r, size_t size) {
    block.payloads.emplace_back(size);
    auto& bytes = block.payloads.back();
    if (size > 0)
        r.take(bytes.data(), size);
    return bytes.data();
}

void readValue(HostEvent& e, Block& block, ByteReader& r) {
    switch (r.below(8)) {
    case 0: {  // inline, any size that fits
        e.valueSize = static_cast<int32_t>(r.below(9));
        r.take(e.inlineValue, 8);
        break;
    }
    case 1: {  // pointed, exactly valueSize bytes
        const size_t n = r.below(kMaxPointedBytes);
        e.valueSize = static_cast<int32_t>(n);
        e.valuePointer = pointTo(block, r, n);
        break;
    }
    case 2: {  // negative size, with or without a pointer
        e.valueSize = -1 - static_cast<int32_t>(r.u32() & 0x7FFFFFFF);
        if (r.flag())
            e.valuePointer = pointTo(block, r, 8);
        break;
    }
    case 3:  // more than fits inline, and no pointer
        e.valueSize = 9 + static_cast<int32_t>(r.u32() & 0x7FFFFFF0);
        break;
    case 4: {  // a float
        e.valueSize = 4;
        const float f = r.oddFloat();
        std::memcpy(e.inlineValue, &f, 4);
        break;
    }
    case 5: {  // an int, or a bool read as an int
        e.valueSize = 4;
        const int32_t v = r.oddInt();
        std::memcpy(e.inlineValue, &v, 4);
        break;
    }
    case 6: {  // text of odd length
        const size_t n = 2 * r.below(40) + 1;
        e.valueSize = static_cast<int32_t>(n);
        e.valuePointer = pointTo(block, r, n);
        break;
    }
    default: {  // a single byte
        e.valueSize = 1;
        e.inlineValue[0] = r.byte();
        break;
    }
    }
}

void readEvents(Block& block, ByteReader& r, int32_t n) {
    const size_t count = r.below(kMaxEvents);
    block.events.reserve(count);
    int32_t previous = 0;
    for (size_t i = 0; i < count && !r.empty(); ++i) {
        HostEvent e{};
        switch (r.below(10)) {
        case 0:
        case 1:
        case 2:
        case 3:  // in order
            e.sampleOffset = static_cast<int32_t>(std::min<int64_t>(
                int64_t{previous} + static_cast<int64_t>(r.below(n > 0 ? (n / 4 + 1) : 1)), INT32_MAX));
            break;
        case 4:  // simultaneous with the previous
            e.sampleOffset = previous;
            break;
        case 5:  // at the block's very end
            e.sampleOffset = n;
            break;
        case 6:  // beyond the block
            e.sampleOffset = n + 1 + static_cast<int32_t>(r.below(5000));
            break;
        case 7:  // before the block
            e.sampleOffset = -1 - static_cast<int32_t>(r.below(5000));
            break;
        case 8:  // anywhere in the block, out of order
            e.sampleOffset = n > 0 ? static_cast<int32_t>(r.below(static_cast<size_t>(n))) : 0;
            break;
        default:
            e.sampleOffset = r.oddInt();
            break;
        }
        previous = e.sampleOffset;
        const uint8_t k = r.byte();
        e.kind = k < 220 ? EV_PIN_VALUE + k % 5 : r.oddInt();
        e.pinIndex = r.pinIndex();
        readValue(e, block, r);
        block.events.push_back(e);
    }
}

void fillSamples(std::vector<float>& buffer, ByteReader& r, int32_t n) {
    if (n <= 0)
        return;
    switch (r.below(4)) {
    case 0: {  // one value for the whole block
        const float v = r.oddFloat();
        std::fill(buffer.begin(), buffer.begin() + n, v);
        break;
    }
    case 1: {  // a pattern from the input, repeated
        float pattern[16];
        const size_t k = 1 + r.below(16);
        for (size_t i = 0; i < k; ++i)
            pattern[i] = r.oddFloat();
        for (int32_t i = 0; i < n; ++i)
            buffer[static_cast<size_t>(i)] = pattern[static_cast<size_t>(i) % k];
        break;
    }
    case 2: {  // a ramp through every magnitude
        const float step = r.oddFloat();
        float v = r.oddFloat();
        for (int32_t i = 0; i < n; ++i, v += step)
            buffer[static_cast<size_t>(i)] = v;
        break;
    }
    default:  // whatever the module or the last block left there
        break;
    }
}

int32_t readBlockSize(ByteReader& r) {
    switch (r.below(8)) {
    case 0:
        return 0;
    case 1:
        return kMaxBlock;
    case 2:
        return -static_cast<int32_t>(1 + r.below(1000));  // a host mistake: treated as an empty block
    case 3:
        return 1 + static_cast<int32_t>(r.below(8));
    default:
        return static_cast<int32_t>(r.u16() % (kMaxBlock + 1));
    }
}

Guid readGuid(ByteReader& r) {
    static const Guid kKnown[] = {IID_IMpUnknown, IID_IMpPlugin, IID_IMpPlugin2, IID_IMpLegacyInitialization,
                                  IID_IMpUserInterface, IID_IMpFactory, IID_IMpDspHost};
    const size_t pick = r.below(9);
    if (pick < 7)
        return kKnown[pick];
    Guid g = kKnown[r.below(7)];
    if (pick == 7)
        g.data4[7] ^= static_cast<uint8_t>(1 + r.below(255));  // differs in its last byte only
    else
        r.take(&g, sizeof g);
    return g;
}

// What the host sees during one block stays inside that block.
void checkBlockCalls(const host::RecordingDspHost& h, size_t from, int32_t n) {
    const int32_t last = n > 0 ? n : 0;
    for (size_t i = from; i < h.calls.size(); ++i) {
        const auto& c = h.calls[i];
        if (c.kind == host::DspCall::Publish || c.kind == host::DspCall::Streaming)
            if (c.sampleOffset < 0 || c.sampleOffset > last)
                violated("processBlock", "a value or streaming state is placed outside the block",
                         "offset " + std::to_string(c.sampleOffset) + " in a block of " + std::to_string(n));
    }
    if (h.references < 1)
        violated("processBlock", "the module released the host more often than it took it");
}

// A host that calls back into the module from inside publishPinValue and
// announceStreaming, following a plan read from the input: a block of a few
// samples whose first event hands a pin (the publishing one or another) the
// very bytes being published, at that size or shorter; a block with a value
// of its own; or attaching itself again. It also remembers where each pin's
// last published bytes lie, so that a later block can start with them
// (aliasing events). A pin's bytes stay where they are until it publishes
// again or an event reaches it; a pin may publish inside a block and then
// take a later event of it, so the pins a block's events reach are
// forgotten both before and after the block. Depth and count are bounded.
class ReentrantDspHost : public host::RecordingDspHost {
public:
    static constexpr int kMaxDepth = 3;
    static constexpr int kMaxCalls = 32;
    static constexpr size_t kPlanSize = 16;

    struct Published {
        const void* data;
        int32_t size;
    };

    IMpPlugin2* plugin = nullptr;
    uint8_t plan[kPlanSize] = {};
    std::map<int32_t, Published> lastPublished;
    int32_t blockSize = 0;  // of the block now being processed

    int32_t publishPinValue(int32_t sampleOffset, int32_t pinIndex, int32_t size, const void* data) override {
        host::RecordingDspHost::publishPinValue(sampleOffset, pinIndex, size, data);
        lastPublished[pinIndex] = Published{data, size};
        followPlan(pinIndex, size, data);
        return RC_OK;
    }
    int32_t announceStreaming(int32_t sampleOffset, int32_t pinIndex, bool streaming) override {
        host::RecordingDspHost::announceStreaming(sampleOffset, pinIndex, streaming);
        followPlan(pinIndex, 0, nullptr);
        return RC_OK;
    }

    // Every event of a block may replace its pin's bytes.
    void forgetPinsOf(const Block& block) {
        for (const auto& e : block.events)
            lastPublished.erase(e.pinIndex);
    }

private:
    void followPlan(int32_t pinIndex, int32_t size, const void* data) {
        if (plugin == nullptr || depth_ >= kMaxDepth || calls_ >= kMaxCalls || step_ >= kPlanSize)
            return;
        const uint8_t action = plan[step_++];
        const int32_t other = static_cast<int32_t>(action >> 5) - 1;  // -1 .. 6
        const int32_t n = std::min<int32_t>(blockSize > 0 ? blockSize : 0, (action >> 3) & 3);
        ++calls_;
        ++depth_;
        const int32_t outerBlock = blockSize;
        switch (action & 7) {
        case 0:
        case 1:
        case 2: {  // the bytes being published, handed to a pin in a nested block
            Block nested;
            HostEvent e{};
            e.kind = EV_PIN_VALUE;
            e.pinIndex = (action & 4) != 0 || data == nullptr ? other : pinIndex;
            e.valueSize = (action & 1) != 0 ? size : (size > 0 ? static_cast<int32_t>((action >> 3) % (size + 1)) : 0);
            e.valuePointer = data;
            if (data == nullptr) {  // nothing published here: an inline value
                e.valueSize = 4;
                std::memcpy(e.inlineValue, &action, 1);
            }
            nested.events.push_back(e);
            forgetPinsOf(nested);
            blockSize = n;
            plugin->processBlock(n, nested.head());
            forgetPinsOf(nested);
            break;
        }
        case 3:
            lastPublished.clear();  // a module without a host would change its pins silently
            plugin->attachHost(unknown());
            break;
        case 4: {  // a nested block with a streaming change
            Block nested;
            HostEvent e{};
            e.kind = (action & 8) != 0 ? EV_STREAM_ON : EV_STREAM_OFF;
            e.pinIndex = other;
            nested.events.push_back(e);
            blockSize = n;
            plugin->processBlock(n, nested.head());
            break;
        }
        default:
            break;
        }
        blockSize = outerBlock;
        --depth_;
    }

    int depth_ = 0;
    int calls_ = 0;
    size_t step_ = 0;
};

}  // namespace

void runDspInput(const uint8_t* data, size_t size) {
    ByteReader r(data, size);
    static const std::vector<ModuleEntry> modules = dspModules();
    const ModuleEntry& entry = modules[r.below(modules.size())];
    host::Library& lib = library(entry.library);

    ReentrantDspHost h;
    const uint8_t config = r.byte();
    h.answersDspHost = (config & 0x0F) != 0;  // one host in sixteen answers nothing
    h.answersAux = (config & 0x10) == 0;
    h.countdown = r.oddInt();
    if (r.below(8) == 0)
        h.sampleRate.reset();
    else if (r.flag())
        h.sampleRate = r.oddFloat();

    IMpUnknown* made = nullptr;
    const int mode = static_cast<int>(r.below(3));
    const int32_t rc = mode == 0 ? lib.create(entry.id, entry.subType, h.unknown(), &made)
                                 : lib.createBare(entry.id, entry.subType, &made);
    if (rc != RC_OK || made == nullptr)
        violated("instantiate", "a registered DSP module was not created", host::toUtf8(entry.id));

    auto* plugin2 = host::queryInterface<IMpPlugin2>(made, IID_IMpPlugin2);
    auto* plugin = host::queryInterface<IMpPlugin>(made, IID_IMpPlugin);
    if (plugin2 == nullptr || plugin == nullptr)
        violated("QueryInterface", "a DSP module does not answer IMpPlugin and IMpPlugin2");
    made->Release();  // the two queried references keep it alive
    if (r.below(2) == 0) {  // one run in two calls back in from the host's operations
        h.plugin = plugin2;
        r.take(h.plan, sizeof h.plan);
    }
    if (mode == 1)
        plugin2->attachHost(h.unknown());
    else if (mode == 2 && r.flag())
        plugin2->attachHost(nullptr);

    std::vector<std::vector<float>> buffers(kBufferPins, std::vector<float>(kMaxBlock));
    for (int32_t pin = 0; pin < kBufferPins; ++pin) {
        const uint8_t how = r.byte() % 8;
        if (how == 0)
            continue;  // no buffer at all
        const int32_t result = plugin2->assignPinBuffer(pin, how == 1 ? nullptr : buffers[static_cast<size_t>(pin)].data());
        if (result != RC_OK && result != RC_FAILED)
            violated("assignPinBuffer", "answers a code other than RC_OK or RC_FAILED");
    }

    for (int round = 0; round < 12 && !r.empty(); ++round) {
        switch (r.below(12)) {
        case 0: {
            const int32_t pin = r.pinIndex();
            const int32_t result = plugin->assignPinBuffer(pin, r.flag() ? nullptr : buffers[0].data());
            if (result != RC_OK && result != RC_FAILED)
                violated("assignPinBuffer", "answers a code other than RC_OK or RC_FAILED");
            break;
        }
        case 1:
            if (plugin->activate() != RC_OK || plugin2->activate() != RC_OK)
                violated("activate", "does not answer RC_OK");
            break;
        case 2: {
            const int32_t a = r.oddInt(), b = r.oddInt();
            plugin->deliverMessage(a, b, nullptr);
            plugin2->deliverMessage(a, b, r.flag() ? buffers[1].data() : nullptr);
            break;
        }
        case 3: {
            const Guid iid = readGuid(r);
            void* out = reinterpret_cast<void*>(1);
            const int32_t result = plugin2->QueryInterface(r.below(16) == 0 ? nullptr : &iid, &out);
            if (result == RC_OK && out != nullptr)
                static_cast<IMpUnknown*>(out)->Release();
            else if (result != RC_NOT_FOUND || out != nullptr)
                violated("QueryInterface", "an unknown identifier must answer RC_NOT_FOUND with a null pointer");
            break;
        }
        case 4:
            if (r.flag()) {
                h.lastPublished.clear();
                plugin2->attachHost(h.unknown());
            } else {
                h.countdown = r.oddInt();
                h.sampleRate = r.oddFloat();
            }
            break;
        default: {
            const int32_t n = readBlockSize(r);
            for (auto& b : buffers)
                fillSamples(b, r, n);
            Block block;
            if (!h.lastPublished.empty() && r.below(4) == 0) {
                // The block starts with the bytes a pin last published, handed
                // back to it or to another pin, at their size or shorter.
                auto it = h.lastPublished.begin();
                std::advance(it, static_cast<long>(r.below(h.lastPublished.size())));
                HostEvent e{};
                e.kind = EV_PIN_VALUE;
                e.pinIndex = r.flag() ? it->first : r.pinIndex();
                e.valueSize = it->second.size > 0 && r.flag()
                                  ? static_cast<int32_t>(r.below(static_cast<size_t>(it->second.size) + 1))
                                  : it->second.size;
                e.valuePointer = it->second.data;
                block.events.push_back(e);
            }
            readEvents(block, r, n);
            h.forgetPinsOf(block);
            h.blockSize = n;
            const size_t from = h.calls.size();
            if (r.below(4) == 0)
                plugin->processBlock(n, block.head());
            else
                plugin2->processBlock(n, block.head());
            h.forgetPinsOf(block);
            checkBlockCalls(h, from, n);
            break;
        }
        }
    }

    plugin->Release();
    if (plugin2->Release() != 0)
        violated("Release", "the last Release does not destroy the module");
    if (h.references != 1)
        violated("Release", "a destroyed module still holds, or over-released, its host",
                 std::to_string(h.references - 1) + " references left");
}

}  // namespace ovra::fuzz
