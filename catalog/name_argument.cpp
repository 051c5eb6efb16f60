#include "catalog/name_argument.h"

namespace kestrion {

using corvane::VString;

std::optional<VString> TakeNameArgument(const SQLWCHAR* name, SQLSMALLINT length) {
  if (name == nullptr || name[0] == 0 || length == 0) return std::nullopt;
  if (length < 0 && length != SQL_NTS) return std::nullopt;
  const char16_t* units = reinterpret_cast<const char16_t*>(name);
  std::size_t n = 0;
  if (length == SQL_NTS) {
    while (units[n] != 0) ++n;
  } else {
    while (n < static_cast<std::size_t>(length) && units[n] != 0) ++n;
  }
  return VString(std::u16string_view(units, n));
}

bool IsEmptyNameArgument(const SQLWCHAR* name, SQLSMALLINT length) {
  if (name == nullptr) return false;
  if (length == 0) return true;
  return (length == SQL_NTS || length > 0) && name[0] == 0;
}

std::optional<VString> PrepareName(const SQLWCHAR* name, SQLSMALLINT length, const NameRules& rules) {
  std::optional<VString> taken = TakeNameArgument(name, length);
  if (!taken) return std::nullopt;
  VString text = std::move(*taken);
  if (rules.percent_alone_absent && text == u"%") return std::nullopt;
  if (rules.trim) text = text.Trimmed();
  if (rules.remove_backslashes) std::erase(text, u'\\');
  if (rules.remove_brackets && text.size() >= 2 && text.front() == u'[' && text.back() == u']') {
    text = VString(std::u16string_view(text).substr(1, text.size() - 2));
  }
  return text;
}

VString QuotedName(const VString& name) {
  VString quoted;
  if (name.empty()) return quoted;
  quoted.reserve(name.size() + 2);
  quoted.push_back(u'\'');
  for (char16_t c : name) {
    if (c == u'\'') quoted.push_back(u'\'');
    quoted.push_back(c);
  }
  quoted.push_back(u'\'');
  return quoted;
}

}  // namespace kestrion
