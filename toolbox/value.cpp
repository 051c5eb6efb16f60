#include "toolbox/value.h"

namespace corvane {

namespace {
struct KindNameEntry {
  std::string_view name;
  VKind kind;
};
constexpr KindNameEntry kKindNames[] = {
    {"VK_BOOLEAN", VKind::Boolean}, {"VK_BYTE", VKind::Byte},       {"VK_WORD", VKind::Word},
    {"VK_LONG", VKind::Long},       {"VK_LONG8", VKind::Long8},     {"VK_REAL", VKind::Real},
    {"VK_FLOAT", VKind::Float},     {"VK_TIME", VKind::Time},       {"VK_DURATION", VKind::Duration},
    {"VK_TEXT", VKind::Text},       {"VK_STRING", VKind::Text},     {"VK_BLOB", VKind::Blob},
    {"VK_BLOB_OBJ", VKind::Blob},   {"VK_IMAGE", VKind::Image},     {"VK_UUID", VKind::Uuid},
    {"VK_UNKNOWN", VKind::Unknown},
};

const VFloat kZeroFloat;
const VTime kEmptyTime;
const VUUID kZeroUuid;
const VString kEmptyText;
const VBytes kEmptyBytes;
}  // namespace

VKind KindFromName(std::string_view name) {
  for (const auto& e : kKindNames)
    if (e.name == name) return e.kind;
  return VKind::Unknown;
}

std::string_view KindName(VKind kind) {
  for (const auto& e : kKindNames)
    if (e.kind == kind) return e.name;
  return "VK_UNKNOWN";
}

bool VTime::IsValid() const {
  if (month < 1 || month > 12 || day < 1 || ms >= 86400000u) return false;
  static constexpr std::uint8_t kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (day > kDays[month - 1]) return false;
  if (month == 2 && day == 29) {
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (!leap) return false;
  }
  return true;
}

const VFloat& VValue::decimal() const {
  const VFloat* p = std::get_if<VFloat>(&payload_);
  return p ? *p : kZeroFloat;
}
const VTime& VValue::time() const {
  const VTime* p = std::get_if<VTime>(&payload_);
  return p ? *p : kEmptyTime;
}
const VUUID& VValue::uuid() const {
  const VUUID* p = std::get_if<VUUID>(&payload_);
  return p ? *p : kZeroUuid;
}
const VString& VValue::text() const {
  const VString* p = std::get_if<VString>(&payload_);
  return p ? *p : kEmptyText;
}
const VBytes& VValue::bytes() const {
  const VBytes* p = std::get_if<VBytes>(&payload_);
  return p ? *p : kEmptyBytes;
}

VString& VValue::mutable_text() {
  kind_ = VKind::Text;
  null_ = false;
  if (!std::holds_alternative<VString>(payload_)) payload_ = VString();
  return std::get<VString>(payload_);
}

VFloat& VValue::mutable_decimal() {
  kind_ = VKind::Float;
  null_ = false;
  if (!std::holds_alternative<VFloat>(payload_)) payload_ = VFloat();
  return std::get<VFloat>(payload_);
}

VBytes& VValue::mutable_bytes() {
  if (kind_ != VKind::Image) kind_ = VKind::Blob;
  null_ = false;
  if (!std::holds_alternative<VBytes>(payload_)) payload_ = VBytes();
  return std::get<VBytes>(payload_);
}

}  // namespace corvane
