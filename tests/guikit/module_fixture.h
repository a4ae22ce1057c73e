// One guikit module created through the factory with a recording host, and
// the values it sent as (pin, bytes) pairs.
#pragma once

#include <gtest/gtest.h>

#include <type_traits>
#include <utility>
#include <vector>

#include "gui_host.h"
#include "plugins.h"

namespace ovra::test {

using Sent = std::pair<int32_t, host::Bytes>;

template <class T>
host::Bytes bytesFor(const T& value) {
    if constexpr (std::is_same_v<T, host::Bytes>)
        return value;
    else
        return host::bytesOf(value);
}

template <class T>
Sent sent(int32_t pin, T value) {
    return {pin, bytesFor(value)};
}

class GuikitModule {
public:
    explicit GuikitModule(const char16_t* id) : lib_(loadPlugin("guikit")) {
        if (!lib_)
            return;
        IMpUnknown* out = nullptr;
        EXPECT_EQ(lib_->create(id, SUBTYPE_GUI_V1, host.unknown(), &out), RC_OK);
        module_ = out;
        EXPECT_NE(module_, nullptr);
    }
    ~GuikitModule() {
        if (module_ != nullptr)
            module_->Release();
    }
    GuikitModule(const GuikitModule&) = delete;
    GuikitModule& operator=(const GuikitModule&) = delete;

    bool ready() const { return module_ != nullptr; }
    IMpUserInterface* ui() const { return static_cast<IMpUserInterface*>(module_); }

    int32_t initialise() { return ui()->initialiseGui(); }
    // deliverPinValue then signalPinChange, as the host hands on a change.
    template <class T>
    int32_t set(int32_t pin, T value) {
        return host::deliverAndSignal(module_, pin, bytesFor(value));
    }
    template <class T>
    int32_t deliver(int32_t pin, T value) {
        return host::deliverOnly(module_, pin, bytesFor(value));
    }
    int32_t signal(int32_t pin) { return host::signalOnly(module_, pin); }

    // Everything sent since the last clear, in order.
    std::vector<Sent> sends() const {
        std::vector<Sent> out;
        for (const auto& call : host.sends())
            out.emplace_back(call.pinIndex, call.bytes);
        return out;
    }
    void clear() { host.clear(); }
    // The last value sent on pin, or nothing when none was sent.
    host::Bytes lastOn(int32_t pin) const {
        const auto calls = host.sends(pin);
        return calls.empty() ? host::Bytes{} : calls.back().bytes;
    }

    host::RecordingGuiHost host;

private:
    std::unique_ptr<host::Library> lib_;
    IMpUnknown* module_ = nullptr;
};

}  // namespace ovra::test
