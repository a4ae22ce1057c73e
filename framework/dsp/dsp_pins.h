// DSP pins: members of a module, registered with addPin in its constructor.
#pragma once

#include <cstring>
#include <type_traits>

#include "abi/bool_byte.h"
#include "abi/pin_bytes.h"
#include "dsp/mp_base.h"

namespace ovra {

class MpPinBase {
public:
    MpPinBase() = default;
    MpPinBase(const MpPinBase&) = delete;
    MpPinBase& operator=(const MpPinBase&) = delete;
    virtual ~MpPinBase() = default;

    virtual void bindBuffer(float*) {}
    virtual void eventPassOne(const HostEvent&) {}
    virtual void eventPassTwo(const HostEvent& event) {
        if (callback_ != nullptr && module_ != nullptr)
            (static_cast<MpBase2*>(module_)->*callback_)(&event);
    }
    virtual void eventPassThree(const HostEvent&) {}
    virtual int32_t typeCode() const = 0;
    virtual int32_t directionCode() const = 0;
    virtual void defaultNotifier(PinCallback& out) const { out = nullptr; }
    virtual void announceInitial() {}

    int32_t pinIndex() const { return pinIndex_; }

    // Set by the module's addPin.
    void attach(int32_t pinIndex, MpPluginBase* module, PinCallback callback) {
        pinIndex_ = pinIndex;
        module_ = module;
        callback_ = callback;
    }

protected:
    MpBase2& module() const { return *static_cast<MpBase2*>(module_); }
    IMpDspHost* host() const { return module_ != nullptr ? module_->host() : nullptr; }
    int32_t blockPosition() const { return module_ != nullptr ? module_->blockPosition() : 0; }

    int32_t pinIndex_ = -1;
    MpPluginBase* module_ = nullptr;
    PinCallback callback_ = nullptr;
};

// ---------------------------------------------------------------------------
// Control pins.

template <class T, int32_t DataType>
class MpControlPinBase : public MpPinBase {
public:
    // What the pin holds: T, except that a bool pin holds its byte.
    using Value = PinValue<T>;

    void bindBuffer(float*) override {}  // control pins have no samples

    void eventPassOne(const HostEvent& event) override {
        if (event.kind != EV_PIN_VALUE)
            return;
        storeBytes(event.valueSize, event.valuePointer != nullptr ? event.valuePointer : event.inlineValue);
        changedNow = true;
    }
    void eventPassThree(const HostEvent& event) override {
        if (event.kind == EV_PIN_VALUE)
            changedNow = false;
    }
    int32_t typeCode() const override { return DataType; }

    // Takes a value as it travels on the wire. The caller guarantees that
    // size bytes can be read from data (size >= 0).
    virtual void storeBytes(int32_t size, const void* data) { store(size, data); }
    virtual void storeBytesAgain(int32_t size, const void* data) { store(size, data); }
    virtual int32_t byteCount() const { return wire::byteCount(value); }
    virtual const void* bytePointer() const { return wire::bytePointer(value); }

    // Sends the value to the host, at the block position unless told.
    void transmit(int32_t sampleOffset = -1) {
        if (IMpDspHost* h = host())
            h->publishPinValue(sampleOffset == -1 ? blockPosition() : sampleOffset, pinIndex_, byteCount(),
                               bytePointer());
    }

    Value value{};
    bool changedNow = false;

private:
    void store(int32_t size, const void* data) {
        if (size >= 0)
            wire::store(value, size, data);
    }
};

// A control pin; its data type follows from the value type.
template <class T, int32_t Direction, int32_t DataType = kDataTypeOf<T>>
class MpControlPin : public MpControlPinBase<T, DataType> {
public:
    int32_t directionCode() const override { return Direction; }
    void announceInitial() override { this->transmit(this->blockPosition()); }

    using Value = typename MpControlPinBase<T, DataType>::Value;

    MpControlPin& operator=(const Value& v) {
        this->value = v;
        return *this;
    }
    operator const Value&() const { return this->value; }
};

// ---------------------------------------------------------------------------
// Audio pins.

class MpAudioPinBase : public MpPinBase {
public:
    int32_t typeCode() const override { return DATATYPE_AUDIO; }
    virtual void unusedAudioEntry() {}
};

class AudioInPin : public MpAudioPinBase {
public:
    void bindBuffer(float* buffer) override { buffer_ = buffer; }
    void eventPassOne(const HostEvent& event) override;
    void eventPassThree(const HostEvent& event) override {
        if (event.kind == EV_STREAM_ON || event.kind == EV_STREAM_OFF)
            changedNow = false;
    }
    int32_t directionCode() const override { return DIRECTION_IN; }

    // The sample at index, or at the block position when index is negative.
    // A pin without a buffer reads silence.
    float sampleAt(int32_t index = -1) const {
        if (buffer_ == nullptr)
            return 0.0f;
        return buffer_[index < 0 ? blockPosition() : index];
    }
    // The samples from the block position on, or null without a buffer.
    const float* blockSamples() const { return buffer_ != nullptr ? buffer_ + blockPosition() : nullptr; }
    bool isStreaming() const { return streamingFlag; }

    float* buffer_ = nullptr;
    bool streamingFlag = false;
    bool changedNow = true;
};

class AudioOutPin : public MpAudioPinBase {
public:
    void bindBuffer(float* buffer) override { buffer_ = buffer; }
    int32_t directionCode() const override { return DIRECTION_OUT; }
    void announceInitial() override { setOutputStreaming(true, -1); }

    // Tells the host whether the output changes from sample to sample. Every
    // call announces; a stop also asks the host to refill the countdown.
    void setOutputStreaming(bool streaming, int32_t sampleOffset = -1);

    // Where the module writes from the block position on, or null without a
    // buffer.
    float* blockSamples() const { return buffer_ != nullptr ? buffer_ + blockPosition() : nullptr; }
    bool isStreaming() const { return streamingFlag; }

    float* buffer_ = nullptr;
    bool streamingFlag = false;
};

}  // namespace ovra
