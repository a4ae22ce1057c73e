// One GUI half as the host runs it: created with a host of its own,
// attached, initialised, and given the described defaults.
#pragma once

#include <memory>
#include <vector>

#include "io/description.h"
#include "gui_host.h"
#include "library.h"

namespace qvhost {

class GuiRunner {
public:
    // Throws Failure when the library will not create the half.
    GuiRunner(const ovra::host::Library& library, const ModuleDescription& module);
    ~GuiRunner();

    const ModuleDescription& module() const { return module_; }
    const HalfDescription& half() const { return half_; }
    ovra::IMpUnknown* object() const { return object_; }
    ovra::host::RecordingGuiHost& host() { return *host_; }

    // Hands every input its described default, as a host restoring a patch.
    void applyDefaults();
    // deliverPinValue, then signalPinChange; throws Failure when refused.
    // Answers the chain of a delivery cut on the way along the wires (a ring
    // of GUI modules that does not settle), empty when everything settled.
    std::vector<ovra::host::GuiDelivery> set(int32_t pin, const ovra::host::Bytes& bytes);

    // The module's own size for a drawing (its description's, else measure).
    std::pair<int32_t, int32_t> preferredSize() const;

private:
    const ModuleDescription& module_;
    const HalfDescription& half_;
    std::unique_ptr<ovra::host::RecordingGuiHost> host_;
    ovra::IMpUnknown* object_ = nullptr;
};

}  // namespace qvhost
