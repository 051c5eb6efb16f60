#include "protocol/header_end.h"

#include <string_view>

namespace kestrion {

namespace {

// One step of a streaming match of CR LF CR LF: the count of its bytes that
// end the text read so far, after `byte`.
int Step(int matched, std::uint8_t byte) {
  if (byte == '\r') return matched == 2 ? 3 : 1;
  if (byte == '\n' && (matched == 1 || matched == 3)) return matched + 1;
  return 0;
}

}  // namespace

std::size_t ScanForHeaderEnd(const std::uint8_t* bytes, std::size_t from, std::size_t available,
                             int& matched) {
  std::size_t i = from;
  // A blank line begun in the block before is finished byte by byte.
  while (i < available && matched > 0 && matched < 4) matched = Step(matched, bytes[i++]);
  if (matched == 4 || i == available) return i;
  const std::string_view rest(reinterpret_cast<const char*>(bytes + i), available - i);
  const std::size_t end = rest.find("\r\n\r\n");
  if (end != std::string_view::npos) {
    matched = 4;
    return i + end + 4;
  }
  // None here: only the block's last three bytes can begin one.
  for (std::size_t k = rest.size() > 3 ? rest.size() - 3 : 0; k < rest.size(); ++k) {
    matched = Step(matched, static_cast<std::uint8_t>(rest[k]));
  }
  return available;
}

}  // namespace kestrion
