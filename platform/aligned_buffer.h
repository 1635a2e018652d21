// A zero-filled byte buffer aligned for unbuffered device I/O.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <span>

namespace zd::platform {

class AlignedBuffer {
public:
    // Page alignment satisfies the transfer alignment of every block device.
    static constexpr std::size_t kAlignment = 4096;

    AlignedBuffer() = default;
    explicit AlignedBuffer(std::size_t size) : size_(size)
    {
        if (size_ == 0)
            return;
        data_ = static_cast<std::byte*>(::operator new (RoundedSize(), std::align_val_t{kAlignment}));
        std::memset(data_, 0, size_);
    }
    ~AlignedBuffer() { Free(); }

    AlignedBuffer(AlignedBuffer&& other) noexcept : data_(other.data_), size_(other.size_)
    {
        other.data_ = nullptr;
        other.size_ = 0;
    }
    AlignedBuffer& operator=(AlignedBuffer&& other) noexcept
    {
        if (this != &other) {
            Free();
            data_ = other.data_;
            size_ = other.size_;
            other.data_ = nullptr;
            other.size_ = 0;
        }
        return *this;
    }
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;

    std::byte* data() { return data_; }
    const std::byte* data() const { return data_; }
    std::size_t size() const { return size_; }
    std::span<std::byte> span() { return {data_, size_}; }
    std::span<const std::byte> span() const { return {data_, size_}; }
    void Zero()
    {
        if (data_)
            std::memset(data_, 0, size_);
    }

private:
    std::size_t RoundedSize() const { return (size_ + kAlignment - 1) / kAlignment * kAlignment; }
    void Free()
    {
        if (data_)
            ::operator delete (data_, std::align_val_t{kAlignment});
        data_ = nullptr;
    }

    std::byte* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace zd::platform
