#include "toolbox/stream.h"

#include <cstring>

namespace corvane {

bool VStream::ReadThrough(void* dst, std::size_t n) {
  if (!ok()) return false;
  if (n == 0) return true;
  if (!ReadBytes(dst, n)) {
    Fail(VStreamError::kShortRead);
    return false;
  }
  return true;
}

bool VStream::Write(const void* src, std::size_t n) {
  if (!ok()) return false;
  if (n == 0) return true;
  if (!WriteBytes(src, n)) {
    Fail(VStreamError::kWriteFailed);
    return false;
  }
  return true;
}

bool VStream::PutU16(std::uint16_t v) {
  std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
  return Write(b, 2);
}

bool VStream::PutU32(std::uint32_t v) {
  std::uint8_t b[4];
  for (int i = 0; i < 4; ++i) b[i] = static_cast<std::uint8_t>(v >> (8 * i));
  return Write(b, 4);
}

bool VStream::PutU64(std::uint64_t v) {
  std::uint8_t b[8];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<std::uint8_t>(v >> (8 * i));
  return Write(b, 8);
}

bool VStream::PutDouble(double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return PutU64(bits);
}

void VMemoryStream::Reset() {
  buffer_.clear();
  read_pos_ = 0;
  ClearError();
  if (has_source_) SetWindow(source_.data(), source_.data() + source_.size());
}

void VMemoryStream::SetSource(std::span<const std::uint8_t> source) {
  source_ = source;
  has_source_ = true;
  SetWindow(source.data(), source.data() + source.size());
}

std::span<const std::uint8_t> VMemoryStream::current_source() const {
  if (has_source_) return source_;
  return {buffer_.data(), buffer_.size()};
}

std::size_t VMemoryStream::position() const {
  return has_source_ ? WindowPosition() - source_.data() : read_pos_;
}

std::size_t VMemoryStream::remaining() const {
  auto src = current_source();
  const std::size_t at = position();
  return at <= src.size() ? src.size() - at : 0;
}

bool VMemoryStream::ReadBytes(void* dst, std::size_t n) {
  if (has_source_) {
    // The window holds the unread rest of the source, so a read that comes
    // here is longer than what is left: it fails and consumes everything.
    const std::uint8_t* end = source_.data() + source_.size();
    SetWindow(end, end);
    return false;
  }
  // Reading back the buffer written so far, which may still grow.
  if (read_pos_ > buffer_.size() || buffer_.size() - read_pos_ < n) {
    read_pos_ = buffer_.size();
    return false;
  }
  std::memcpy(dst, buffer_.data() + read_pos_, n);
  read_pos_ += n;
  return true;
}

bool VMemoryStream::WriteBytes(const void* src, std::size_t n) {
  const auto* p = static_cast<const std::uint8_t*>(src);
  buffer_.insert(buffer_.end(), p, p + n);
  return true;
}

}  // namespace corvane
