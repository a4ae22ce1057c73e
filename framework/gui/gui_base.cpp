#include "gui/gui_base.h"

namespace ovra {

int32_t MpGuiBase_base::QueryInterface(const Guid* iid, void** out) {
    if (out == nullptr)
        return RC_NOT_FOUND;
    *out = nullptr;
    if (!isGuid(iid, IID_IMpUserInterface) && !isGuid(iid, IID_IMpUnknown))
        return RC_NOT_FOUND;
    *out = static_cast<IMpUserInterface*>(this);
    AddRef();
    return RC_OK;
}

int32_t MpGuiBase_base::attachHost(IMpUnknown* host) {
    return requireHostInterface(host, IID_IMpGuiHost, host_);
}

int32_t MpGuiBase_base::sendPinValue(int32_t pinIndex, int32_t size, const void* data, int32_t voice) {
    if (host_ == nullptr)
        return RC_FAILED;  // not attached yet: the pin keeps its value, nothing is sent
    return host_->sendPinValue(pinIndex, size, data, voice);
}

int32_t MpGuiBase2::QueryInterface(const Guid* iid, void** out) {
    if (out == nullptr)
        return RC_NOT_FOUND;
    *out = nullptr;
    if (!isGuid(iid, IID_IMpUserInterface2) && !isGuid(iid, IID_IMpUserInterface2B) && !isGuid(iid, IID_IMpUnknown))
        return RC_NOT_FOUND;
    *out = static_cast<IMpUserInterface2B*>(this);
    AddRef();
    return RC_OK;
}

int32_t MpGuiBase2::attachHost(IMpUnknown* host) {
    host_ = nullptr;
    if (host != nullptr)
        host->QueryInterface(&IID_IMpGuiHost2, reinterpret_cast<void**>(&host_));
    return host_ != nullptr ? RC_OK : RC_NOT_FOUND;
}

int32_t MpGuiBase2::sendPinValue(int32_t pinIndex, int32_t size, const void* data, int32_t voice) {
    if (host_ == nullptr)
        return RC_FAILED;
    return host_->sendPinValue(pinIndex, size, data, voice);
}

}  // namespace ovra
