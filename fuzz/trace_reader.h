// Reads a fuzzer's input from the front as bytes and little-endian numbers; past the end every
// byte reads as 0, so any input is a whole trace.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

class Trace {
public:
    Trace(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool AtEnd() const { return at_ >= size_; }
    size_t Remaining() const { return at_ < size_ ? size_ - at_ : 0; }

    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t U16() {
        const uint8_t low = Byte();
        return static_cast<uint16_t>(low | Byte() << 8);
    }
    uint32_t U32() {
        const uint32_t low = U16();
        return low | static_cast<uint32_t>(U16()) << 16;
    }
    double F64() {
        const uint64_t low = U32();
        const uint64_t bits = low | static_cast<uint64_t>(U32()) << 32;
        double value;
        memcpy(&value, &bits, sizeof value);
        return value;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};
