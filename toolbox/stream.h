// VStream: a byte stream with little-endian integer and double primitives.
// A stream keeps its first error; after an error every operation does nothing
// and reports the error, so a sequence of reads or writes can be checked once
// at its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace corvane {

enum class VStreamError : int {
  kNone = 0,
  kShortRead = 1,    // the source ended or failed before the wanted bytes came
  kWriteFailed = 2,  // the sink refused bytes
  kBadValue = 3,     // the bytes read do not form a valid value
  kTooLong = 4,      // a length read from the stream exceeds the allowed bound
  kNotOpen = 5,      // the stream cannot be read or written
};

class VStream {
 public:
  virtual ~VStream() = default;
  VStream() = default;
  VStream(const VStream&) = delete;
  VStream& operator=(const VStream&) = delete;

  // Reads exactly n bytes; on failure the stream's error is set.
  bool Read(void* dst, std::size_t n) {
    // Decoders read a few bytes at a time: bytes in the window need no
    // virtual call.
    if (n <= static_cast<std::size_t>(window_end_ - window_) && ok()) [[likely]] {
      if (n != 0) std::memcpy(dst, window_, n);
      window_ += n;
      return true;
    }
    return ReadThrough(dst, n);
  }
  // Writes n bytes; on failure the stream's error is set.
  bool Write(const void* src, std::size_t n);

  bool ok() const { return error_ == VStreamError::kNone; }
  VStreamError error() const { return error_; }
  // Records an error unless one is recorded already.
  void Fail(VStreamError e) {
    if (error_ == VStreamError::kNone) error_ = e;
  }
  void ClearError() { error_ = VStreamError::kNone; }

  bool PutU8(std::uint8_t v) { return Write(&v, 1); }
  bool PutI8(std::int8_t v) { return PutU8(static_cast<std::uint8_t>(v)); }
  bool PutU16(std::uint16_t v);
  bool PutI16(std::int16_t v) { return PutU16(static_cast<std::uint16_t>(v)); }
  bool PutU32(std::uint32_t v);
  bool PutI32(std::int32_t v) { return PutU32(static_cast<std::uint32_t>(v)); }
  bool PutU64(std::uint64_t v);
  bool PutI64(std::int64_t v) { return PutU64(static_cast<std::uint64_t>(v)); }
  bool PutDouble(double v);

  // Getters leave the output at 0 when the read fails.
  bool GetU8(std::uint8_t& v) {
    v = 0;
    return Read(&v, 1);
  }
  bool GetI8(std::int8_t& v) { return GetAs<std::uint8_t>(v); }
  bool GetU16(std::uint16_t& v) { return GetLittleEndian(v); }
  bool GetI16(std::int16_t& v) { return GetAs<std::uint16_t>(v); }
  bool GetU32(std::uint32_t& v) { return GetLittleEndian(v); }
  bool GetI32(std::int32_t& v) { return GetAs<std::uint32_t>(v); }
  bool GetU64(std::uint64_t& v) { return GetLittleEndian(v); }
  bool GetI64(std::int64_t& v) { return GetAs<std::uint64_t>(v); }
  bool GetDouble(double& v) {
    std::uint64_t bits;
    v = 0;
    if (!GetU64(bits)) return false;
    std::memcpy(&v, &bits, sizeof v);
    return true;
  }

 protected:
  // Implementations move exactly n bytes or return false.
  virtual bool ReadBytes(void* dst, std::size_t n) = 0;
  virtual bool WriteBytes(const void* src, std::size_t n) = 0;

  // Bytes an implementation holds in memory and that Read takes before it
  // calls ReadBytes; [begin, end) must stay valid until the window is moved.
  void SetWindow(const std::uint8_t* begin, const std::uint8_t* end) {
    window_ = begin;
    window_end_ = end;
  }
  const std::uint8_t* WindowPosition() const { return window_; }

 private:
  bool ReadThrough(void* dst, std::size_t n);
  template <class U>
  bool GetLittleEndian(U& v) {
    std::uint8_t b[sizeof(U)];
    v = 0;
    if (!Read(b, sizeof b)) return false;
    for (int i = static_cast<int>(sizeof b) - 1; i >= 0; --i) v = static_cast<U>((v << 8) | b[i]);
    return true;
  }
  template <class U, class S>
  bool GetAs(S& v) {
    U u = 0;
    const bool r = GetLittleEndian(u);
    v = static_cast<S>(u);
    return r;
  }

  VStreamError error_ = VStreamError::kNone;
  const std::uint8_t* window_ = nullptr;
  const std::uint8_t* window_end_ = nullptr;
};

// Writes append to a growable buffer; reads consume a byte span (by default
// the buffer written so far).
class VMemoryStream : public VStream {
 public:
  VMemoryStream() = default;
  // A stream reading the given bytes; they must outlive the stream.
  explicit VMemoryStream(std::span<const std::uint8_t> source) { SetSource(source); }

  const std::vector<std::uint8_t>& buffer() const { return buffer_; }
  std::vector<std::uint8_t>& buffer() { return buffer_; }
  std::vector<std::uint8_t> TakeBuffer() { return std::move(buffer_); }
  // Empties the written buffer and the read position, and clears the error.
  void Reset();

  // Bytes of the read source not consumed yet.
  std::size_t remaining() const;
  std::size_t position() const;
  // Switches reading to another span (which must outlive the stream) and
  // rewinds; the span is read through the window.
  void SetSource(std::span<const std::uint8_t> source);

 protected:
  bool ReadBytes(void* dst, std::size_t n) override;
  bool WriteBytes(const void* src, std::size_t n) override;

 private:
  std::span<const std::uint8_t> current_source() const;

  std::vector<std::uint8_t> buffer_;
  std::span<const std::uint8_t> source_;
  bool has_source_ = false;
  // Where reading the written buffer stands; a source is read through the
  // window instead.
  std::size_t read_pos_ = 0;
};

}  // namespace corvane
