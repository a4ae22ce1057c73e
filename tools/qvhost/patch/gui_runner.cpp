#include "gui_runner.h"

#include "failure.h"
#include "pin_value.h"
#include "timeline.h"

namespace qvhost {

using namespace ovra;

GuiRunner::GuiRunner(const host::Library& library, const ModuleDescription& module)
    : module_(module), half_(*module.guiHalf()), host_(std::make_unique<host::RecordingGuiHost>()) {
    const int32_t rc = library.create(host::fromUtf8(module.id), half_.subType, host_->unknown(), &object_);
    if (rc != RC_OK || object_ == nullptr)
        throw Failure(library.path() + " did not create the GUI half of " + module.id + " (code " +
                      std::to_string(rc) + ")");
    if (half_.subType == SUBTYPE_GUI_V2) {
        host::attachGuiHost(object_, host_->unknown());
    } else if (auto* ui = host::queryInterface<IMpUserInterface>(object_, IID_IMpUserInterface)) {
        ui->initialiseGui();
        ui->Release();
    }
}

GuiRunner::~GuiRunner() {
    if (object_ != nullptr)
        object_->Release();
}

void GuiRunner::applyDefaults() {
    for (const auto& s : defaultsOf(half_))
        set(s.pin.index, s.bytes);
}

std::vector<host::GuiDelivery> GuiRunner::set(int32_t pin, const host::Bytes& bytes) {
    const int32_t rc = host::deliverAndSignal(object_, pin, bytes);
    if (rc != RC_OK)
        throw Failure(module_.id + " refused a value on pin " + std::to_string(pin) + " (code " + std::to_string(rc) +
                      ")");
    return host_->deliveries().takeCut();
}

std::pair<int32_t, int32_t> GuiRunner::preferredSize() const {
    if (half_.width > 0 && half_.height > 0)
        return {half_.width, half_.height};
    if (auto* gfx = host::queryInterface<IQvGraphicsComposited>(object_, IID_IQvGraphicsComposited)) {
        GuiSize size{0, 0};
        gfx->measure(GuiSize{100, 100}, &size);
        gfx->Release();
        if (size.width > 0 && size.height > 0)
            return {size.width, size.height};
    }
    return {100, 100};
}

}  // namespace qvhost
