// Owners of the GDI+ objects a paint makes: each releases its object, if one
// was made, when it goes out of scope, so a paint that returns early or
// throws leaks nothing. [GUI thread]
#pragma once

#include "platform/gdiplus_flat.h"

namespace ovra::gdip {

// How each kind of object is released. A graphics object is flushed first,
// so that what was drawn reaches the device context before it goes.
inline void release(Graphics* graphics) {
    GdipFlush(graphics, FlushIntentionFlush);
    GdipDeleteGraphics(graphics);
}
inline void release(SolidFill* brush) { GdipDeleteBrush(asBrush(brush)); }
inline void release(Hatch* brush) { GdipDeleteBrush(asBrush(brush)); }
inline void release(FontFamily* family) { GdipDeleteFontFamily(family); }
inline void release(Font* font) { GdipDeleteFont(font); }
inline void release(Pen* pen) { GdipDeletePen(pen); }

// One object, made by passing out() to the GDI+ call that creates it; a
// failed call leaves it empty. Not copyable.
template <class T>
class Owned {
public:
    Owned() = default;
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() {
        if (object_ != nullptr)
            release(object_);
    }

    T* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // Where the creating call writes the object; one already held is
    // released first.
    T** out() {
        if (object_ != nullptr)
            release(object_);
        object_ = nullptr;
        return &object_;
    }

private:
    T* object_ = nullptr;
};

}  // namespace ovra::gdip
