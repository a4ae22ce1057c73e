// Composited drawing base: a first-family GUI module that paints into a
// device context the host owns and hands it, and asks the host to repaint.
// [GUI thread]
#pragma once

#include "gui/drawing_size.h"
#include "gui/gui_base.h"
#include "platform/window_system.h"

namespace ovra {

class QvGuiCompositedGfxBase : public MpGuiBase, public IQvGraphicsComposited {
public:
    // IMpUnknown, on either interface: the whole object and its one count.
    int32_t QueryInterface(const Guid* iid, void** out) override;
    uint32_t AddRef() override { return MpGuiBase::AddRef(); }
    uint32_t Release() override { return MpGuiBase::Release(); }

    // Asks for IMpGuiHost, then IQvCompositedGfxHost; throws when either is
    // missing.
    int32_t attachHost(IMpUnknown* host) override;

    // IQvGraphicsComposited, as the host sees it: each entry stops whatever
    // the module's hook throws and answers RC_FAILED.
    int32_t onPaint(DeviceContext dc) final;
    int32_t measure(GuiSize available, GuiSize* result) final;
    int32_t arrange(const GuiRect* placement) final;
    int32_t reserved7() final { return RC_OK; }
    int32_t reserved8() final { return RC_OK; }
    int32_t reserved9() final { return RC_OK; }
    int32_t reserved10() final { return RC_OK; }
    int32_t reserved11() final { return RC_OK; }

    // For module code: forwarded to the host; nothing happens (false for
    // getCapture) while no host is attached. A null rect is the whole area.
    void invalidateRect(const GuiRect* rect = nullptr);
    bool getCapture() const;
    void setCapture();
    void releaseCapture();

protected:
    // The module's hooks. Drawing happens from the origin of dc, a device
    // context the host owns for the length of the call; nothing is drawn by
    // default. The size the module wants, given what the host offers; by
    // default the offer, kept within the drawing limits.
    virtual int32_t onPaint(win::HDC dc);
    virtual GuiSize measure(GuiSize available);

    int32_t placedWidth() const { return spanOf(placement_.left, placement_.right); }
    int32_t placedHeight() const { return spanOf(placement_.top, placement_.bottom); }

    GuiRect placement_{};
    IQvCompositedGfxHost* compositedHost_ = nullptr;  // kept, never released
};

}  // namespace ovra
