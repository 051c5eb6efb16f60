// VValue: one typed value as the protocol exchanges it. A kind, a null flag and
// the payload; no virtual dispatch, cheap to move.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "toolbox/vfloat.h"
#include "toolbox/vstring.h"

namespace corvane {

// The toolbox kind numbers. Text and image numbers never travel on the wire.
enum class VKind : std::uint8_t {
  Unknown = 0,
  Boolean = 1,
  Byte = 2,
  Word = 3,
  Long = 4,
  Long8 = 5,
  Real = 6,
  Float = 7,
  Time = 8,
  Duration = 9,
  Text = 10,
  Blob = 11,
  Image = 12,
  Uuid = 13,
};

// Kind from a header name: "VK_BOOLEAN" ... "VK_UUID"; "VK_STRING" and
// "VK_TEXT" give Text, "VK_BLOB" and "VK_BLOB_OBJ" give Blob, "VK_IMAGE"
// Image. Anything else is Unknown.
VKind KindFromName(std::string_view name);
// Canonical header name of a kind ("VK_TEXT" for Text, "VK_UNKNOWN" for Unknown).
std::string_view KindName(VKind kind);

// Calendar date and time of day to the millisecond. All zero is the empty date.
struct VTime {
  std::uint16_t year = 0;
  std::uint8_t month = 0;  // 1..12
  std::uint8_t day = 0;    // 1..31
  std::uint32_t ms = 0;    // milliseconds since midnight

  bool IsEmpty() const { return year == 0 && month == 0 && day == 0 && ms == 0; }
  // A real calendar date (leap years included) and a time below 24 hours.
  bool IsValid() const;
  friend bool operator==(const VTime&, const VTime&) = default;
};

struct VUUID {
  std::array<std::uint8_t, 16> bytes{};
  friend bool operator==(const VUUID&, const VUUID&) = default;
};

using VBytes = std::vector<std::uint8_t>;

class VValue {
 public:
  VValue() = default;  // Unknown, null
  // A null value of a kind.
  static VValue Null(VKind kind) {
    VValue v;
    v.kind_ = kind;
    return v;
  }
  // Implicit: a decimal, a time, a UUID or a text is a value of its kind.
  VValue(VFloat f) : kind_(VKind::Float), null_(false), payload_(std::move(f)) {}
  VValue(VTime t) : kind_(VKind::Time), null_(false), payload_(t) {}
  VValue(VUUID u) : kind_(VKind::Uuid), null_(false), payload_(u) {}
  VValue(VString s) : kind_(VKind::Text), null_(false), payload_(std::move(s)) {}

  static VValue Integer(VKind kind, std::int64_t v) { return VValue(kind, v); }
  static VValue Real(double v) { return VValue(VKind::Real, v); }
  static VValue Bytes(VKind kind, VBytes b) { return VValue(kind, std::move(b)); }

  VKind kind() const { return kind_; }
  bool is_null() const { return null_; }
  void set_null() {
    null_ = true;
    payload_ = std::monostate{};
  }

  // Payload accessors. Calling one that does not match the kind gives the
  // default of its type; check kind() first.
  // Boolean (0/1), Byte, Word, Long, Long8 and Duration.
  std::int64_t integer() const { return Get<std::int64_t>(0); }
  bool boolean() const { return integer() != 0; }
  double real() const { return Get<double>(0.0); }
  const VFloat& decimal() const;
  const VTime& time() const;
  const VUUID& uuid() const;
  const VString& text() const;
  const VBytes& bytes() const;  // Blob and Image

  // Mutable payloads; they make the value a non-null text, blob (an image
  // stays one) or decimal, keeping the payload's storage when it already is
  // one, so that a value read again into the same cell does not allocate.
  VString& mutable_text();
  VBytes& mutable_bytes();
  VFloat& mutable_decimal();
  // Makes the value a non-null integer (Boolean 0/1, Byte, Word, Long, Long8,
  // Duration), a real or a time of the given kind without reallocating.
  void SetInteger(VKind kind, std::int64_t v) { Set(kind, v); }
  void SetReal(double v) { Set(VKind::Real, v); }
  void SetTime(const VTime& t) { Set(VKind::Time, t); }

  friend bool operator==(const VValue& a, const VValue& b) {
    return a.kind_ == b.kind_ && a.null_ == b.null_ && a.payload_ == b.payload_;
  }

 private:
  template <typename T>
  VValue(VKind k, T v) : kind_(k), null_(false), payload_(std::move(v)) {}

  template <typename T>
  void Set(VKind kind, T v) {
    kind_ = kind;
    null_ = false;
    payload_ = v;
  }

  template <typename T>
  T Get(T fallback) const {
    const T* p = std::get_if<T>(&payload_);
    return p ? *p : fallback;
  }

  VKind kind_ = VKind::Unknown;
  bool null_ = true;
  std::variant<std::monostate, std::int64_t, double, VFloat, VTime, VUUID, VString, VBytes> payload_;
};

// Typed helpers named after the protocol's value classes.
inline VValue VBoolean(bool v) { return VValue::Integer(VKind::Boolean, v ? 1 : 0); }
inline VValue VByte(std::int8_t v) { return VValue::Integer(VKind::Byte, v); }
inline VValue VWord(std::int16_t v) { return VValue::Integer(VKind::Word, v); }
inline VValue VLong(std::int32_t v) { return VValue::Integer(VKind::Long, v); }
inline VValue VLong8(std::int64_t v) { return VValue::Integer(VKind::Long8, v); }
inline VValue VReal(double v) { return VValue::Real(v); }
inline VValue VDuration(std::int64_t ms) { return VValue::Integer(VKind::Duration, ms); }
inline VValue VBlob(VBytes b) { return VValue::Bytes(VKind::Blob, std::move(b)); }
inline VValue VImage(VBytes b) { return VValue::Bytes(VKind::Image, std::move(b)); }
inline VValue VText(VString s) { return VValue(std::move(s)); }

}  // namespace corvane
