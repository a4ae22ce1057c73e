// Small pieces that many guikit modules share. [GUI thread]
#pragma once

#include <cstdint>

#include "gui/gui_base.h"

namespace ovra::guikit {

// The pin class that holds a value of type T: text is held by StringGuiPin.
template <class T>
struct PinFor {
    using type = MpGuiPin<T>;
};
template <>
struct PinFor<wstring> {
    using type = StringGuiPin;
};
template <class T>
using PinOf = typename PinFor<T>::type;

namespace detail {
template <class M>
struct MemberOf;
template <class C, class P>
struct MemberOf<P C::*> {
    using Class = C;
};
}  // namespace detail

// A first-family module base that offers the copy handler: copyPin<From, To...>
// assigns the pin From to each pin To in the order given, each sending only a
// different value. From and To are pointers to pin members of the module:
//   addPin(kA, a_, &Mirror::copyPin<&Mirror::a_, &Mirror::b_>);
class CopyingModule : public MpGuiBase {
protected:
    template <auto From, auto... To>
    void copyPin() {
        using Module = typename detail::MemberOf<decltype(From)>::Class;
        auto& self = static_cast<Module&>(*this);
        ((self.*To = (self.*From).value), ...);
    }
};

}  // namespace ovra::guikit
