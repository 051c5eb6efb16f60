#include "toolbox/stream.h"

#include <cstring>

namespace corvane {

bool VStream::Read(void* dst, std::size_t n) {
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

bool VStream::GetU8(std::uint8_t& v) {
  v = 0;
  return Read(&v, 1);
}

bool VStream::GetI8(std::int8_t& v) {
  std::uint8_t u;
  bool r = GetU8(u);
  v = static_cast<std::int8_t>(u);
  return r;
}

bool VStream::GetU16(std::uint16_t& v) {
  std::uint8_t b[2];
  v = 0;
  if (!Read(b, 2)) return false;
  v = static_cast<std::uint16_t>(b[0] | (b[1] << 8));
  return true;
}

bool VStream::GetI16(std::int16_t& v) {
  std::uint16_t u;
  bool r = GetU16(u);
  v = static_cast<std::int16_t>(u);
  return r;
}

bool VStream::GetU32(std::uint32_t& v) {
  std::uint8_t b[4];
  v = 0;
  if (!Read(b, 4)) return false;
  for (int i = 3; i >= 0; --i) v = (v << 8) | b[i];
  return true;
}

bool VStream::GetI32(std::int32_t& v) {
  std::uint32_t u;
  bool r = GetU32(u);
  v = static_cast<std::int32_t>(u);
  return r;
}

bool VStream::GetU64(std::uint64_t& v) {
  std::uint8_t b[8];
  v = 0;
  if (!Read(b, 8)) return false;
  for (int i = 7; i >= 0; --i) v = (v << 8) | b[i];
  return true;
}

bool VStream::GetI64(std::int64_t& v) {
  std::uint64_t u;
  bool r = GetU64(u);
  v = static_cast<std::int64_t>(u);
  return r;
}

bool VStream::GetDouble(double& v) {
  std::uint64_t bits;
  v = 0;
  if (!GetU64(bits)) return false;
  std::memcpy(&v, &bits, sizeof v);
  return true;
}

void VMemoryStream::Reset() {
  buffer_.clear();
  read_pos_ = 0;
  ClearError();
}

std::span<const std::uint8_t> VMemoryStream::current_source() const {
  if (has_source_) return source_;
  return {buffer_.data(), buffer_.size()};
}

std::size_t VMemoryStream::remaining() const {
  auto src = current_source();
  return read_pos_ <= src.size() ? src.size() - read_pos_ : 0;
}

bool VMemoryStream::ReadBytes(void* dst, std::size_t n) {
  auto src = current_source();
  if (read_pos_ > src.size() || src.size() - read_pos_ < n) {
    read_pos_ = src.size();
    return false;
  }
  std::memcpy(dst, src.data() + read_pos_, n);
  read_pos_ += n;
  return true;
}

bool VMemoryStream::WriteBytes(const void* src, std::size_t n) {
  const auto* p = static_cast<const std::uint8_t*>(src);
  buffer_.insert(buffer_.end(), p, p + n);
  return true;
}

}  // namespace corvane
