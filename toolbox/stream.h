// VStream: a byte stream with little-endian integer and double primitives.
// A stream keeps its first error; after an error every operation does nothing
// and reports the error, so a sequence of reads or writes can be checked once
// at its end.
#pragma once

#include <cstddef>
#include <cstdint>
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
  bool Read(void* dst, std::size_t n);
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
  bool GetU8(std::uint8_t& v);
  bool GetI8(std::int8_t& v);
  bool GetU16(std::uint16_t& v);
  bool GetI16(std::int16_t& v);
  bool GetU32(std::uint32_t& v);
  bool GetI32(std::int32_t& v);
  bool GetU64(std::uint64_t& v);
  bool GetI64(std::int64_t& v);
  bool GetDouble(double& v);

 protected:
  // Implementations move exactly n bytes or return false.
  virtual bool ReadBytes(void* dst, std::size_t n) = 0;
  virtual bool WriteBytes(const void* src, std::size_t n) = 0;

 private:
  VStreamError error_ = VStreamError::kNone;
};

// Writes append to a growable buffer; reads consume a byte span (by default
// the buffer written so far).
class VMemoryStream : public VStream {
 public:
  VMemoryStream() = default;
  // A stream reading the given bytes; they must outlive the stream.
  explicit VMemoryStream(std::span<const std::uint8_t> source)
      : source_(source), has_source_(true) {}

  const std::vector<std::uint8_t>& buffer() const { return buffer_; }
  std::vector<std::uint8_t>& buffer() { return buffer_; }
  std::vector<std::uint8_t> TakeBuffer() { return std::move(buffer_); }
  // Empties the written buffer and the read position, and clears the error.
  void Reset();

  // Bytes of the read source not consumed yet.
  std::size_t remaining() const;
  std::size_t position() const { return read_pos_; }
  // Switches reading to another span (which must outlive the stream) and rewinds.
  void SetSource(std::span<const std::uint8_t> source) {
    source_ = source;
    has_source_ = true;
    read_pos_ = 0;
  }

 protected:
  bool ReadBytes(void* dst, std::size_t n) override;
  bool WriteBytes(const void* src, std::size_t n) override;

 private:
  std::span<const std::uint8_t> current_source() const;

  std::vector<std::uint8_t> buffer_;
  std::span<const std::uint8_t> source_;
  bool has_source_ = false;
  std::size_t read_pos_ = 0;
};

}  // namespace corvane
