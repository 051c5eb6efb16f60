// The statement text rewrite (identifier quotes to brackets, escaped
// underscores) and the parameter marker count.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "statement/statement_text.h"
#include "toolbox/vstring.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const corvane::VString original =
      corvane::VString::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  corvane::VString text = original;
  const std::int32_t markers = kestrion::RewriteAndCountMarkers(text);
  if (markers < 0 || static_cast<std::size_t>(markers) > text.size()) std::abort();
  // The rewrite lengthens a text only by doubling a ']' inside a quoted name.
  if (text.size() > 2 * original.size()) std::abort();
  if (kestrion::CountParameterMarkers(text) != markers) std::abort();
  return 0;
}
