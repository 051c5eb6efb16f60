#include "server/column_types.h"

#include <charconv>
#include <string>

namespace kestrion::server {

using corvane::VKind;

namespace {
struct Entry {
  std::string_view name;
  VKind kind;
  int code;
  std::int32_t length;
};
// Unbounded text and byte strings report the largest length a value may have.
constexpr std::int32_t kUnbounded = 2147483647;
constexpr Entry kTypes[] = {
    {"BOOLEAN", VKind::Boolean, 1, 2},   {"BOOL", VKind::Boolean, 1, 2},
    {"TINYINT", VKind::Byte, 2, 1},      {"INT8", VKind::Byte, 2, 1},
    {"SMALLINT", VKind::Word, 3, 2},     {"INT16", VKind::Word, 3, 2},
    {"INT", VKind::Long, 4, 4},          {"INTEGER", VKind::Long, 4, 4},
    {"INT32", VKind::Long, 4, 4},        {"MEDIUMINT", VKind::Long, 4, 4},
    {"BIGINT", VKind::Long8, 5, 8},      {"INT64", VKind::Long8, 5, 8},
    {"REAL", VKind::Real, 6, 8},         {"DOUBLE", VKind::Float, 7, 8},
    {"DOUBLE PRECISION", VKind::Float, 7, 8}, {"FLOAT", VKind::Float, 7, 8},
    {"NUMERIC", VKind::Float, 7, 8},     {"DECIMAL", VKind::Float, 7, 8},
    {"TIMESTAMP", VKind::Time, 8, 8},    {"DATETIME", VKind::Time, 8, 8},
    {"DATE", VKind::Time, 8, 8},         {"DURATION", VKind::Duration, 9, 8},
    {"TIME", VKind::Duration, 9, 8},     {"INTERVAL", VKind::Duration, 9, 8},
    {"VARCHAR", VKind::Text, 10, 0},     {"CHAR", VKind::Text, 10, 0},
    {"CHARACTER", VKind::Text, 10, 0},   {"NVARCHAR", VKind::Text, 10, 0},
    {"NCHAR", VKind::Text, 10, 0},       {"VARYING CHARACTER", VKind::Text, 10, 0},
    {"TEXT", VKind::Text, 14, kUnbounded}, {"CLOB", VKind::Text, 14, kUnbounded},
    {"BLOB", VKind::Blob, 11, kUnbounded}, {"BINARY", VKind::Blob, 11, kUnbounded},
    {"VARBINARY", VKind::Blob, 11, kUnbounded}, {"PICTURE", VKind::Image, 12, kUnbounded},
    {"IMAGE", VKind::Image, 12, kUnbounded}, {"UUID", VKind::Uuid, 13, 16},
    {"GUID", VKind::Uuid, 13, 16},
    // Names that other dialects declare for the same kinds.
    {"BIT", VKind::Boolean, 1, 2},       {"DATETIME2", VKind::Time, 8, 8},
    {"SMALLDATETIME", VKind::Time, 8, 8}, {"UNIQUEIDENTIFIER", VKind::Uuid, 13, 16},
    {"NTEXT", VKind::Text, 14, kUnbounded}, {"MONEY", VKind::Float, 7, 8},
    {"SMALLMONEY", VKind::Float, 7, 8},
};
}  // namespace

ColumnType ColumnTypeFromDeclared(std::string_view declared) {
  ColumnType out{VKind::Unknown, 14, kUnbounded};
  // Name: words before "(", upper-cased, single spaces.
  std::string name;
  std::size_t i = 0;
  for (; i < declared.size() && declared[i] != '('; ++i) {
    char c = declared[i];
    if (c == ' ' || c == '\t') {
      if (!name.empty() && name.back() != ' ') name.push_back(' ');
      continue;
    }
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    name.push_back(c);
  }
  while (!name.empty() && name.back() == ' ') name.pop_back();
  if (name.rfind("UNSIGNED ", 0) == 0) name.erase(0, 9);
  for (const auto& e : kTypes) {
    if (e.name != name) continue;
    out = {e.kind, e.code, e.length};
    if (e.code == 10) {
      // VARCHAR(n): n characters, 2n bytes; without a size, as unbounded text.
      std::int64_t n = 0;
      if (i < declared.size()) {
        std::string_view rest = declared.substr(i + 1);
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        std::from_chars(rest.data(), rest.data() + rest.size(), n);
      }
      if (n > 0 && n <= kUnbounded / 2) {
        out.data_length = static_cast<std::int32_t>(2 * n);
      } else {
        out.server_code = 14;
        out.data_length = kUnbounded;
      }
    }
    return out;
  }
  return out;
}

std::int32_t DeclaredSize(const ColumnType& type) {
  switch (type.kind) {
    case VKind::Text:
      return type.data_length == kUnbounded ? kUnbounded : type.data_length / 2;
    case VKind::Blob:
    case VKind::Image:
      return type.data_length;
    default:
      return 0;
  }
}

}  // namespace kestrion::server
