// Shared by the converter tests: creating either half of a converter on a
// recording host and reading back what it sent.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "dsp_host.h"
#include "gui_host.h"
#include "plugins.h"

namespace ovra::test {

using Update = std::pair<int32_t, host::Bytes>;  // (sample offset, value)

// A DSP half attached to its own recording host.
struct DspHalf {
    host::RecordingDspHost host;
    std::unique_ptr<host::DspModule> module;

    DspHalf(const host::Library& lib, const wstring& id) {
        IMpUnknown* out = nullptr;
        EXPECT_EQ(lib.create(id, SUBTYPE_DSP, host.unknown(), &out), RC_OK);
        module = std::make_unique<host::DspModule>(out, host);
    }
    // Values published on one pin, in order.
    std::vector<Update> published(int32_t pin) const {
        std::vector<Update> out;
        for (const auto& c : host.callsOf(host::DspCall::Publish))
            if (c.pinIndex == pin)
                out.emplace_back(c.sampleOffset, c.bytes);
        return out;
    }
};

// A GUI half attached to its own recording host, as the host does it for
// the second family: created, then attachHost.
struct GuiHalf {
    host::RecordingGuiHost host;
    std::unique_ptr<host::GuiModule> module;

    GuiHalf(const host::Library& lib, const wstring& id) {
        IMpUnknown* out = nullptr;
        EXPECT_EQ(lib.create(id, SUBTYPE_GUI_V2, host.unknown(), &out), RC_OK);
        module = std::make_unique<host::GuiModule>(out);
        EXPECT_EQ(module->attach(host), RC_OK);
    }
    int32_t put(int32_t pin, const host::Bytes& value) { return module->deliverAndSignal(pin, value); }
    // (pin, value) of every send, in order.
    std::vector<std::pair<int32_t, host::Bytes>> sent() const {
        std::vector<std::pair<int32_t, host::Bytes>> out;
        for (const auto& c : host.sends())
            out.emplace_back(c.pinIndex, c.bytes);
        return out;
    }
};

inline host::Bytes bitsBytes(uint32_t bits) { return host::bytesOf(&bits, 4); }

}  // namespace ovra::test
