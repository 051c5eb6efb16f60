// Reply builder: the header lines and the body go into one buffer so that a
// reply leaves in a single send.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrion::server {

class Reply {
 public:
  // Starts "<id> OK".
  void Begin(std::string_view id);
  void Field(std::string_view name, std::string_view value);
  void Field(std::string_view name, long long value);
  // Field lines built elsewhere, each ending with CR LF.
  void Lines(std::string_view lines) { Text(lines); }
  // Ends the header; body bytes may follow.
  void EndHeader();
  std::vector<std::uint8_t>& body() { return buf_; }
  void Append(const void* data, std::size_t n);
  void AppendI32(std::int32_t v);

  // "<id> ERROR", "Error-Code:<code>", "Error-SQLState: <state>" when a state
  // is given, "Error-Description:<text on one line>", blank line.
  void Error(std::string_view id, int code, std::string_view description, std::string_view sqlstate = {});

  const std::vector<std::uint8_t>& bytes() const { return buf_; }
  void Clear() { buf_.clear(); }

 private:
  // As bytes, so that the copy is one memmove rather than a loop.
  void Text(std::string_view s) { Append(s.data(), s.size()); }
  std::vector<std::uint8_t> buf_;
};

}  // namespace kestrion::server
