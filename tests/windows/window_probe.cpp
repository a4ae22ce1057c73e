// The windowed probe modules, registered as "WindowProbe" and
// "WindowProbeQv" (sub-type 1).
#include "abi/factory.h"
#include "gui/windowed_gfx_base.h"
#include "window_probe.h"

namespace ovra::probe {
namespace {

template <class Base>
class WindowProbe final : public Base, public IWindowProbe {
public:
    int32_t QueryInterface(const Guid* iid, void** out) override {
        if (out != nullptr && isGuid(iid, IID_IWindowProbe)) {
            *out = static_cast<IWindowProbe*>(this);
            AddRef();
            return RC_OK;
        }
        return Base::QueryInterface(iid, out);
    }
    uint32_t AddRef() override { return Base::AddRef(); }
    uint32_t Release() override { return Base::Release(); }

    Seen seen(int32_t event) override { return event >= 0 && event < kEvents ? seen_[event] : Seen{}; }
    void invalidate() override { this->invalidateRect(nullptr, 1); }
    int32_t hasCapture() override { return this->getCapture() ? 1 : 0; }
    void takeCapture() override { this->setCapture(); }
    void giveBackCapture() override { this->releaseCapture(); }
    int32_t openWindows() override { return MpGuiWindowsGfxBase::openWindowCount(); }
    void makeTopLevel() override { topLevel_ = true; }

    win::LRESULT handleWindowMessage(win::HWND window, win::UINT message, win::WPARAM wParam,
                                     win::LPARAM lParam) override {
        if (message == WM_CONTEXTMENU)
            ++seen_[kContextMenu].count;
        return Base::handleWindowMessage(window, message, wParam, lParam);
    }
    void getWindowStyle(win::DWORD& style, win::DWORD& extendedStyle) override {
        Base::getWindowStyle(style, extendedStyle);
        if (topLevel_)
            style = WS_POPUP;
    }
    int32_t registerWindowClass() override {
        ++seen_[kClassRegistered].count;
        return Base::registerWindowClass();
    }
    int32_t unregisterWindowClass() override {
        ++seen_[kClassRemoved].count;
        return Base::unregisterWindowClass();
    }
    int32_t onPaint(win::HDC dc) override {
        ++seen_[kPaint].count;
        if (dc != nullptr)
            ++seen_[kPaintWithDc].count;
        return RC_OK;
    }
    int32_t onLButtonDown(uint32_t flags, GuiPoint point) override { return mouse(kLButtonDown, flags, point); }
    int32_t onLButtonUp(uint32_t flags, GuiPoint point) override { return mouse(kLButtonUp, flags, point); }
    int32_t onPointerMove(uint32_t flags, GuiPoint point) override { return mouse(kPointerMove, flags, point); }
    int32_t onTimer() override {
        ++seen_[kTimer].count;
        return RC_OK;
    }

private:
    int32_t mouse(Event event, uint32_t flags, GuiPoint point) {
        seen_[event] = Seen{seen_[event].count + 1, flags, point};
        return RC_OK;
    }

    Seen seen_[kEvents] = {};
    bool topLevel_ = false;
};

IMpUnknown* makeProbe() { return static_cast<IMpUserInterface*>(new WindowProbe<MpGuiWindowsGfxBase>()); }
IMpUnknown* makeProbeQv() { return static_cast<IMpUserInterface*>(new WindowProbe<QvGuiWindowsGfxBase>()); }

}  // namespace
}  // namespace ovra::probe

OVRA_REGISTER(ovra::SUBTYPE_GUI_V1, ovra::probe::kWindowProbe, &ovra::probe::makeProbe);
OVRA_REGISTER(ovra::SUBTYPE_GUI_V1, ovra::probe::kWindowProbeQv, &ovra::probe::makeProbeQv);
