#include "gui/gui_base.h"

namespace ovra {

int32_t MpGuiBase_base::QueryInterface(const Guid* iid, void** out) {
    IMpUserInterface* self = this;
    return answerQuery(iid, out, {{&IID_IMpUserInterface, self}, {&IID_IMpUnknown, self}});
}

int32_t MpGuiBase_base::attachHost(IMpUnknown* host) {
    return requireHostInterface(host, IID_IMpGuiHost, host_);
}

int32_t MpGuiBase_base::sendPinValue(int32_t pinIndex, int32_t size, const void* data, int32_t voice) {
    if (host_ == nullptr)
        return RC_FAILED;  // not attached yet: the pin keeps its value, nothing is sent
    return host_->sendPinValue(pinIndex, size, data, voice);
}

}  // namespace ovra
