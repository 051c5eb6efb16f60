// SQLNativeSqlW: answers the input text itself by the text output rule.
#include "catalog/native_sql.h"

#include <string_view>

#include "catalog/driver_info.h"
#include "driver/connection.h"

namespace kestrion {

namespace {

// The input as the application gave it: `length` characters, or up to the
// terminator for SQL_NTS, any other negative length being none; in every
// case cut at the first zero character.
std::u16string_view InputText(const SQLWCHAR* text, SQLINTEGER length) {
  if (text == nullptr) return {};
  const auto* units = reinterpret_cast<const char16_t*>(text);
  if (length == SQL_NTS) return std::u16string_view(units);
  if (length <= 0) return {};
  std::u16string_view view(units, static_cast<size_t>(length));
  return view.substr(0, view.find(u'\0'));
}

}  // namespace

SQLRETURN NativeSql(CHConnection& connection, const SQLWCHAR* in_text, SQLINTEGER in_length,
                    SQLWCHAR* out_text, SQLINTEGER buffer_length, SQLINTEGER* out_length) {
  const std::u16string_view text = InputText(in_text, in_length);
  if (text.empty()) return connection.Post(SqlState::HY090, u"Empty input string.");

  if (out_text != nullptr && buffer_length > 0) {
    const int64_t bytes = WriteTextAnswer(connection, text, out_text, int64_t{buffer_length} * 2);
    if (out_length != nullptr) *out_length = static_cast<SQLINTEGER>(bytes / 2);
  } else if (out_length != nullptr) {
    // The input length is bounded by a SQLINTEGER count, or by memory for
    // SQL_NTS; clamp the latter rather than wrap.
    *out_length = text.size() > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<SQLINTEGER>(text.size());
  }
  return connection.return_code();
}

}  // namespace kestrion
