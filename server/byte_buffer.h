// ByteBuffer: the growable buffer that result rows are encoded into. Unlike
// a std::vector it hands out room without zeroing it first, and it grows
// with realloc, which moves the pages of a large buffer instead of copying
// its bytes, so encoding a result of many megabytes touches each byte once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace kestrion::server {

class ByteBuffer {
 public:
  ByteBuffer() = default;
  ~ByteBuffer() { std::free(data_); }
  ByteBuffer(ByteBuffer&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
        capacity_(std::exchange(other.capacity_, 0)) {}
  ByteBuffer& operator=(ByteBuffer&& other) noexcept {
    if (this != &other) {
      std::free(data_);
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
      capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
  }
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;

  // Room for `n` more bytes at the end, uninitialised: the caller writes all
  // of them (or gives back what it did not use with Truncate). Throws
  // std::bad_alloc when memory runs out, as a vector would.
  std::uint8_t* Extend(std::size_t n) {
    if (capacity_ - size_ < n) Grow(n);
    std::uint8_t* p = data_ + size_;
    size_ += n;
    return p;
  }
  void Push(std::uint8_t b) { *Extend(1) = b; }
  // Drops the bytes from `size` on (size must not exceed size()).
  void Truncate(std::size_t size) { size_ = size; }
  void Clear() { size_ = 0; }

  std::uint8_t* data() { return data_; }
  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }

 private:
  void Grow(std::size_t n);

  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace kestrion::server
