// A GUI half on the validate bench: created with a recording host of its
// own, attached (second family) or initialised (first family).
#pragma once

#include "catalogue.h"
#include "checks.h"
#include "gui_host.h"

namespace qvhost {

// qvhost's own bookkeeping inside the module's calls is not the module's.
class GuardedGuiHost : public ovra::host::RecordingGuiHost {
public:
    int32_t QueryInterface(const ovra::Guid* iid, void** out) override;
    int32_t sendPinValue(int32_t pinIndex, int32_t size, const void* data, int32_t voice) override;
    int32_t setCapture() override;
    int32_t getCapture(int32_t* captured) override;
    int32_t releaseCapture() override;
    int32_t invalidateRect(const ovra::GuiRect* rect) override;
};

struct GuiBench {
    explicit GuiBench(CheckContext& ctx);
    GuardedGuiHost host;
    Instance instance;

    // The described pins, and two samples of the growing inputs.
    std::vector<PinDescription> inputs() const;
    // Every value the module sent since the last clear is on a described
    // pin with a size that fits its type.
    void checkSends(const std::string& after) const;

private:
    const HalfDescription& half_;
};

}  // namespace qvhost
