// Splitting a fuzz input into the pieces a target needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrion_fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t remaining() const { return size_ - pos_; }
  // The next byte, 0 when the input is used up.
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  // Bytes up to the next `separator` (or the end); the separator is skipped.
  std::string_view Until(char separator) {
    std::string_view rest(reinterpret_cast<const char*>(data_) + pos_, size_ - pos_);
    std::size_t end = rest.find(separator);
    if (end == std::string_view::npos) {
      pos_ = size_;
      return rest;
    }
    pos_ += end + 1;
    return rest.substr(0, end);
  }
  // Everything not consumed yet.
  std::string_view Rest() {
    std::string_view rest(reinterpret_cast<const char*>(data_) + pos_, size_ - pos_);
    pos_ = size_;
    return rest;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace kestrion_fuzz
