// GUI pins: one typed value of a GUI module, shared with the host by index.
//
// Values come in through deliverPinValue (stored, no callback) and
// signalPinChange (runs the callback); they go out when the module assigns a
// different value, through the owner's sendPinValue. [GUI thread]
#pragma once

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <type_traits>

#include "abi/abi.h"

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

    void assign(const void* bytes, int64_t size) {
        if (size < 0)
            size = 0;
        if (size != size_) {
            delete[] data_;
            data_ = nullptr;
            size_ = size;
            if (size > 0)
                data_ = new uint8_t[static_cast<size_t>(size)];
        }
        if (size > 0 && bytes != nullptr)
            std::memmove(data_, bytes, static_cast<size_t>(size));
    }
    bool equals(const void* bytes, int64_t size) const {
        return size == size_ && (size == 0 || std::memcmp(data_, bytes, static_cast<size_t>(size)) == 0);
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
// same value: uplink and downlink count an unordered comparison as equal (a
// NaN is never passed on); guikit follows IEEE (a NaN is always sent again).
inline bool sameFloat(float a, float b) {
#if OVRA_FLOAT_UNORDERED_EQUAL
    return a == b || std::isunordered(a, b);
#else
    return a == b;
#endif
}

class MpGuiPinBase {
public:
    MpGuiPinBase() = default;
    MpGuiPinBase(const MpGuiPinBase&) = delete;
    virtual ~MpGuiPinBase() = default;

    // Host to pin: answers whether the value changed. The caller guarantees
    // size >= 0 and that size bytes can be read from data.
    virtual bool storeBytes(int32_t voice, int32_t size, const void* data) = 0;
    virtual int32_t typeCode() const = 0;

    int32_t index() const { return index_; }
    bool hasCallback() const { return callback_ != nullptr; }
    void invokeCallback(int32_t voice) {
        if (callback_)
            callback_->invoke(voice);
    }

    // Set by the module's addPin.
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

protected:
    // The shared behaviour of both families' deliverPinValue and
    // signalPinChange.
    int32_t storePinValue(int32_t index, int32_t voice, int32_t size, const void* data);
    int32_t announcePinChange(int32_t index, int32_t voice);

    std::map<int32_t, MpGuiPinBase*> pins_;
};

template <class T>
class MpGuiPin : public MpGuiPinBase {
public:
    bool storeBytes(int32_t, int32_t size, const void* data) override;
    int32_t typeCode() const override;
    virtual int32_t byteCount() const;
    virtual const void* bytePointer() const;
    virtual int32_t unusedEntry() const { return 0; }

    // Module to pin: stores and sends only a different value.
    MpGuiPin& operator=(const T& v) {
        if (isSame(v))
            return *this;
        value = v;
        if (owner_ != nullptr)
            owner_->sendPinValue(index_, byteCount(), bytePointer(), 0);
        return *this;
    }
    MpGuiPin& operator=(const MpGuiPin& other) { return *this = other.value; }
    operator const T&() const { return value; }
    const T& getValue() const { return value; }

    T value{};

private:
    bool isSame(const T& v) const {
        if constexpr (std::is_same_v<T, float>)
            return sameFloat(value, v);
        else
            return value == v;
    }
};

class StringGuiPin : public MpGuiPin<wstring> {
public:
    using MpGuiPin<wstring>::operator=;
};

// ---------------------------------------------------------------------------

template <class T>
int32_t MpGuiPin<T>::typeCode() const {
    if constexpr (std::is_same_v<T, float>)
        return DATATYPE_FLOAT;
    else if constexpr (std::is_same_v<T, int32_t>)
        return DATATYPE_INT;
    else if constexpr (std::is_same_v<T, bool>)
        return DATATYPE_BOOL;
    else if constexpr (std::is_same_v<T, wstring>)
        return DATATYPE_TEXT;
    else
        return DATATYPE_BLOB;
}

template <class T>
int32_t MpGuiPin<T>::byteCount() const {
    if constexpr (std::is_same_v<T, wstring>)
        return static_cast<int32_t>(value.size() * 2);
    else if constexpr (std::is_same_v<T, MpBlob>)
        return static_cast<int32_t>(value.size());
    else if constexpr (std::is_same_v<T, bool>)
        return 1;
    else
        return 4;
}

template <class T>
const void* MpGuiPin<T>::bytePointer() const {
    if constexpr (std::is_same_v<T, wstring> || std::is_same_v<T, MpBlob>)
        return value.data();
    else
        return &value;
}

template <class T>
bool MpGuiPin<T>::storeBytes(int32_t, int32_t size, const void* data) {
    if (size < 0)
        return false;
    if constexpr (std::is_same_v<T, float> || std::is_same_v<T, int32_t>) {
        // Compared by bits: -0.0 over 0.0 is a change.
        if (size == 4 && std::memcmp(&value, data, 4) == 0)
            return false;
        std::memcpy(&value, data, size < 4 ? static_cast<size_t>(size) : 4u);
        return true;
    } else if constexpr (std::is_same_v<T, bool>) {
        if (size == 1) {
            const bool b = *static_cast<const uint8_t*>(data) != 0;
            if (b == value)
                return false;
            value = b;
            return true;
        }
        if (size == 4) {
            int32_t v;
            std::memcpy(&v, data, 4);
            value = v != 0;
            return true;
        }
        value = size == 0 ? false : *static_cast<const uint8_t*>(data) != 0;
        return true;
    } else if constexpr (std::is_same_v<T, wstring>) {
        const size_t units = static_cast<size_t>(size) / 2;  // an odd last byte is dropped
        if (static_cast<size_t>(size) == value.size() * 2 && (units == 0 || std::memcmp(value.data(), data, size) == 0))
            return false;
        value.resize(units);
        if (units > 0)
            std::memcpy(value.data(), data, units * 2);
        return true;
    } else {
        if (value.equals(data, size))
            return false;
        value.assign(data, size);
        return true;
    }
}

inline int32_t GuiPinOwner::storePinValue(int32_t index, int32_t voice, int32_t size, const void* data) {
    MpGuiPinBase* pin = findPin(index);
    if (pin == nullptr)
        return RC_FAILED;
    if (size < 0 || (size > 0 && data == nullptr))
        return RC_FAILED;  // bytes that cannot be read change nothing
    pin->storeBytes(voice, size, data);
    return RC_OK;
}

inline int32_t GuiPinOwner::announcePinChange(int32_t index, int32_t voice) {
    MpGuiPinBase* pin = findPin(index);
    if (pin == nullptr)
        return RC_FAILED;
    pin->invokeCallback(voice);
    return RC_OK;
}

}  // namespace ovra
