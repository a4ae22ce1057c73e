#include "gui/composited_gfx_base.h"

namespace ovra {

int32_t QvGuiCompositedGfxBase::QueryInterface(const Guid* iid, void** out) {
    return answerQueryWithDrawing(iid, out, IID_IQvGraphicsComposited, static_cast<IQvGraphicsComposited*>(this));
}

int32_t QvGuiCompositedGfxBase::attachHost(IMpUnknown* host) {
    return attachHostWithDrawing(host, IID_IQvCompositedGfxHost, compositedHost_);
}

int32_t QvGuiCompositedGfxBase::onPaint(DeviceContext dc) {
    return guarded(RC_FAILED, [&] { return onPaint(static_cast<win::HDC>(dc)); });
}

int32_t QvGuiCompositedGfxBase::measure(GuiSize available, GuiSize* result) {
    return answerMeasure(result, [&] { return measure(available); });
}

int32_t QvGuiCompositedGfxBase::arrange(const GuiRect* placement) { return storePlacement(placement, placement_); }

int32_t QvGuiCompositedGfxBase::onPaint(win::HDC) { return RC_OK; }

GuiSize QvGuiCompositedGfxBase::measure(GuiSize available) { return clampDrawingSize(available); }

void QvGuiCompositedGfxBase::invalidateRect(const GuiRect* rect) {
    if (compositedHost_ != nullptr)
        compositedHost_->invalidateRect(rect);
}

bool QvGuiCompositedGfxBase::getCapture() const {
    if (compositedHost_ == nullptr)
        return false;
    int32_t captured = 0;
    compositedHost_->getCapture(&captured);
    return captured != 0;
}

void QvGuiCompositedGfxBase::setCapture() {
    if (compositedHost_ != nullptr)
        compositedHost_->setCapture();
}

void QvGuiCompositedGfxBase::releaseCapture() {
    if (compositedHost_ != nullptr)
        compositedHost_->releaseCapture();
}

}  // namespace ovra
