#include "server/reply.h"

#include <charconv>
#include <string>

namespace kestrion::server {

void Reply::Begin(std::string_view id) {
  buf_.clear();
  Text(id);
  Text(" OK\r\n");
}

void Reply::Field(std::string_view name, std::string_view value) {
  Text(name);
  Text(": ");
  Text(value);
  Text("\r\n");
}

void Reply::Field(std::string_view name, long long value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  Field(name, std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

void Reply::EndHeader() { Text("\r\n"); }

void Reply::Append(const void* data, std::size_t n) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  buf_.insert(buf_.end(), p, p + n);
}

void Reply::AppendI32(std::int32_t v) {
  auto u = static_cast<std::uint32_t>(v);
  std::uint8_t b[4] = {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
                       static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>(u >> 24)};
  Append(b, 4);
}

void Reply::Error(std::string_view id, int code, std::string_view description, std::string_view sqlstate) {
  buf_.clear();
  Text(id);
  Text(" ERROR\r\nError-Code:");
  Text(std::to_string(code));
  // Before the description: a reader takes everything after
  // "Error-Description:" up to the blank line as the message.
  if (!sqlstate.empty()) {
    Text("\r\nError-SQLState: ");
    Text(sqlstate);
  }
  Text("\r\nError-Description:");
  // One line: the reader takes everything up to the blank line.
  for (char c : description) buf_.push_back(c == '\r' || c == '\n' ? ' ' : static_cast<std::uint8_t>(c));
  Text("\r\n\r\n");
}

}  // namespace kestrion::server
