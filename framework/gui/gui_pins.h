// GUI pins: one typed value of a GUI module, shared with the host by index.
//
// Values come in through deliverPinValue (stored, no callback) and
// signalPinChange (runs the callback); they go out when the module assigns a
// different value, through the owner's sendPinValue. [GUI thread]
#pragma once

#include <cstring>
#include <map>
#include <memory>
#include <type_traits>

#include "abi/framework_types.h"
#include "abi/bool_byte.h"
#include "abi/pin_bytes.h"

#ifndef OVRA_FLOAT_UNORDERED_EQUAL
#define OVRA_FLOAT_UNORDERED_EQUAL 0
#endif

namespace ovra {

// A byte array owned by the value; reallocated when its size changes.
class MpBlob {
public:
    MpBlob() = default;
    MpBlob(const void* bytes, int64_t size) { assign(bytes, size); }
    MpBlob(const MpBlob& other) { assign(other.data_, other.size_); }
    MpBlob& operator=(const MpBlob& other) {
        if (this != &other)
            assign(other.data_, other.size_);
        return *this;
    }
    ~MpBlob() { delete[] data_; }

    int64_t size() const { return size_; }
    const uint8_t* data() const { return data_; }

    // A new size gets a new array; a failed allocation throws and leaves the
    // old value whole.
    void assign(const void* bytes, int64_t size) {
        if (size < 0)
            size = 0;
        if (size != size_) {
            uint8_t* fresh = size > 0 ? new uint8_t[static_cast<size_t>(size)]() : nullptr;
            // The bytes may lie in the old array (a host handing back what the
            // pin sent): they are read before it is freed.
            if (size > 0 && bytes != nullptr)
                std::memcpy(fresh, bytes, static_cast<size_t>(size));
            delete[] data_;
            data_ = fresh;
            size_ = size;
            return;
        }
        if (size > 0 && bytes != nullptr)
            std::memmove(data_, bytes, static_cast<size_t>(size));
    }
    bool equals(const void* bytes, int64_t size) const {
        if (size != size_)
            return false;
        return size == 0 || (bytes != nullptr && std::memcmp(data_, bytes, static_cast<size_t>(size)) == 0);
    }
    friend bool operator==(const MpBlob& a, const MpBlob& b) { return a.equals(b.data_, b.size_); }

private:
    int64_t size_ = 0;
    uint8_t* data_ = nullptr;
};

class GuiPinOwner;

// A pin's callback: a member function of its module, owned by the pin.
class IGuiPinCallbackImpl {
public:
    virtual ~IGuiPinCallbackImpl() = default;
    virtual void invoke(int32_t voice) = 0;
};

// I is the module family's GUI interface (IMpUserInterface or
// IMpUserInterface2); the method is converted to a member of it.
template <class I>
class IGuiPinCallback final : public IGuiPinCallbackImpl {
public:
    using Method = void (I::*)();
    IGuiPinCallback(I* module, Method method) : module_(module), method_(method) {}
    void invoke(int32_t) override { (module_->*method_)(); }

private:
    I* module_;
    Method method_;
};

template <class I>
class IGuiPinCallbackIndexed final : public IGuiPinCallbackImpl {
public:
    using Method = void (I::*)(int32_t);
    IGuiPinCallbackIndexed(I* module, Method method) : module_(module), method_(method) {}
    void invoke(int32_t voice) override { (module_->*method_)(voice); }

private:
    I* module_;
    Method method_;
};

// How this library's copy of the framework decides that two floats are the
// same value: built with FLOAT_COMPARE UNORDERED, an unordered comparison
// counts as equal (a NaN is never passed on); built with IEEE, a NaN is
// always sent again.
// Either way -0.0 and 0.0 are the same. Fixed when the library is compiled.
inline constexpr bool kFloatUnorderedIsEqual = OVRA_FLOAT_UNORDERED_EQUAL != 0;

inline bool sameFloat(float a, float b) {
    if constexpr (kFloatUnorderedIsEqual)
        return !(a < b) && !(a > b);  // equal, or unordered
    else
        return a == b;
}

// The "unchanged" test of a value assignment: floats as above, everything
// else by equality (text by length and code units, blobs by size and bytes).
template <class T>
bool samePinValue(const T& a, const std::type_identity_t<T>& b) {
    if constexpr (std::is_same_v<T, float>)
        return sameFloat(a, b);
    else
        return a == b;
}

class MpGuiPinBase {
public:
    MpGuiPinBase() = default;
    MpGuiPinBase(const MpGuiPinBase&) = delete;
    virtual ~MpGuiPinBase() = default;

    // Host to pin: answers whether the value changed. Bytes that cannot be
    // read (a negative size, or a null pointer with a positive size) change
    // nothing and answer false. May throw std::bad_alloc for text and blobs.
    virtual bool storeBytes(int32_t voice, int32_t size, const void* data) = 0;
    virtual int32_t typeCode() const = 0;

    int32_t index() const { return index_; }
    bool hasCallback() const { return callback_ != nullptr; }
    void invokeCallback(int32_t voice) {
        if (callback_)
            callback_->invoke(voice);
    }

    // Set by the module's addPin. A pin registered twice keeps the last
    // registration's index, owner and callback.
    void attach(int32_t index, GuiPinOwner* owner, std::unique_ptr<IGuiPinCallbackImpl> callback) {
        index_ = index;
        owner_ = owner;
        callback_ = std::move(callback);
    }

protected:
    int32_t index_ = -1;
    GuiPinOwner* owner_ = nullptr;
    std::unique_ptr<IGuiPinCallbackImpl> callback_;
};

class GuiPinOwner {
public:
    GuiPinOwner() = default;
    GuiPinOwner(const GuiPinOwner&) = delete;
    virtual ~GuiPinOwner() = default;

    // Pins call this to send a value to the host.
    virtual int32_t sendPinValue(int32_t pinIndex, int32_t size, const void* data, int32_t voice) = 0;

    // An index already present keeps its pin.
    void insertPin(int32_t index, MpGuiPinBase* pin) { pins_.emplace(index, pin); }
    MpGuiPinBase* findPin(int32_t index) const {
        auto it = pins_.find(index);
        return it == pins_.end() ? nullptr : it->second;
    }
    // Every registered pin by index, for the library's pin table.
    const std::map<int32_t, MpGuiPinBase*>& registeredPins() const { return pins_; }

protected:
    // The module's addPin: the pin learns its index, owner and callback; the
    // registry keeps the first pin of an index.
    void registerPin(int32_t index, MpGuiPinBase& pin, std::unique_ptr<IGuiPinCallbackImpl> callback) {
        pin.attach(index, this, std::move(callback));
        insertPin(index, &pin);
    }

    // The shared behaviour of both families' deliverPinValue and
    // signalPinChange. A value that cannot be stored (out of memory for a
    // text or blob) throws and leaves the old value; so does whatever a
    // callback throws. The families' entries answer RC_FAILED for both.
    int32_t storePinValue(int32_t index, int32_t voice, int32_t size, const void* data);
    int32_t announcePinChange(int32_t index, int32_t voice);

    std::map<int32_t, MpGuiPinBase*> pins_;
};

template <class T>
class MpGuiPin : public MpGuiPinBase {
    static_assert(std::is_same_v<T, float> || std::is_same_v<T, int32_t> || std::is_same_v<T, bool> ||
                      std::is_same_v<T, wstring> || std::is_same_v<T, MpBlob>,
                  "GUI pins carry float, int, bool, text or blob values");

public:
    // What the pin holds: T, except that a bool pin holds its byte.
    using Value = PinValue<T>;

    bool storeBytes(int32_t, int32_t size, const void* data) override;
    int32_t typeCode() const override;
    virtual int32_t byteCount() const;
    virtual const void* bytePointer() const;
    virtual int32_t unusedEntry() const { return 0; }

    // Module to pin: stores and sends only a different value. Before a host
    // is attached (or before addPin) the value is stored and nothing is sent.
    MpGuiPin& operator=(const Value& v) {
        if (samePinValue(value, v))
            return *this;
        value = v;
        if (owner_ != nullptr)
            owner_->sendPinValue(index_, byteCount(), bytePointer(), 0);
        return *this;
    }
    MpGuiPin& operator=(const MpGuiPin& other) { return *this = other.value; }
    operator const Value&() const { return value; }
    const Value& getValue() const { return value; }

    Value value{};
};

class StringGuiPin : public MpGuiPin<wstring> {
public:
    using MpGuiPin<wstring>::operator=;
};

// ---------------------------------------------------------------------------

template <class T>
int32_t MpGuiPin<T>::typeCode() const {
    return kDataTypeOf<T>;
}

template <class T>
int32_t MpGuiPin<T>::byteCount() const {
    return wire::byteCount(value);
}

template <class T>
const void* MpGuiPin<T>::bytePointer() const {
    return wire::bytePointer(value);
}

template <class T>
bool MpGuiPin<T>::storeBytes(int32_t, int32_t size, const void* data) {
    if (size < 0 || (size > 0 && data == nullptr))
        return false;
    return wire::store(value, size, data);
}

inline int32_t GuiPinOwner::storePinValue(int32_t index, int32_t voice, int32_t size, const void* data) {
    MpGuiPinBase* pin = findPin(index);
    if (pin == nullptr)
        return RC_FAILED;
    if (size < 0 || (size > 0 && data == nullptr))
        return RC_FAILED;  // bytes that cannot be read change nothing
    pin->storeBytes(voice, size, data);  // whether it changed is not looked at
    return RC_OK;
}

inline int32_t GuiPinOwner::announcePinChange(int32_t index, int32_t voice) {
    MpGuiPinBase* pin = findPin(index);
    if (pin == nullptr)
        return RC_FAILED;
    pin->invokeCallback(voice);  // every time, changed or not
    return RC_OK;
}

}  // namespace ovra
