#include "protocol/reply_field.h"

#include "toolbox/base64.h"

namespace kestrion {

using corvane::VString;

TokenList Tokenize(std::u16string_view value) {
  TokenList tokens;
  const std::size_t n = value.size();
  std::size_t i = 0;
  while (i < n) {
    const char16_t c = value[i];
    if (c == u' ') {
      ++i;
      continue;
    }
    std::size_t end;
    if (c == u'"' || c == u'\'' || c == u'[') {
      const char16_t close = c == u'[' ? u']' : c;
      end = value.find(close, i + 1);
      if (end == std::u16string_view::npos) break;  // unclosed: dropped
      ++end;
    } else {
      end = value.find(u' ', i);
      if (end == std::u16string_view::npos) end = n;
    }
    tokens.emplace_back(value.substr(i, end - i));
    i = end;
  }
  return tokens;
}

std::optional<TokenList> GetReplyField(std::u16string_view name, std::u16string_view header,
                                       bool* bad_base64) {
  VString needle = u"\r\n";
  needle += name;
  needle += u':';
  bool base64 = false;
  std::size_t pos = VString::FindFolded(header, needle);
  if (pos == VString::npos) {
    needle.pop_back();
    needle += u"-Base64:";
    pos = VString::FindFolded(header, needle);
    if (pos == VString::npos) return std::nullopt;
    base64 = true;
  }
  const std::size_t start = pos + needle.size();
  std::size_t end = header.find(u'\r', start);
  if (end == std::u16string_view::npos) end = header.size();
  std::u16string_view value = header.substr(start, end - start);
  if (value.empty()) return std::nullopt;
  if (base64) {
    if (auto decoded = TextOfBase64(value)) return Tokenize(*decoded);
    if (bad_base64 != nullptr) *bad_base64 = true;
  }
  return Tokenize(value);
}

std::string Base64OfText(std::u16string_view text) {
  return corvane::Base64Encode(VString(text).ToUtf8());
}

std::optional<VString> TextOfBase64(std::u16string_view base64) {
  std::string ascii;
  ascii.reserve(base64.size());
  for (char16_t c : base64) {
    if (c > 0x7F) return std::nullopt;
    ascii.push_back(static_cast<char>(c));
  }
  auto bytes = corvane::Base64DecodeText(ascii);
  if (!bytes) return std::nullopt;
  return VString::FromUtf8(*bytes);
}

std::optional<std::int64_t> ReplyBodyLength(std::u16string_view header) {
  const std::optional<TokenList> tokens = GetReplyField(u"Body-Length", header);
  if (!tokens || tokens->empty()) return std::nullopt;
  std::u16string_view item = tokens->front();
  if (!item.empty() && item.front() == u'+') item.remove_prefix(1);
  if (item.empty()) return std::nullopt;
  std::int64_t length = 0;
  for (const char16_t c : item) {
    if (c < u'0' || c > u'9' || length > (INT64_MAX - 9) / 10) return std::nullopt;
    length = length * 10 + (c - u'0');
  }
  return length;
}

}  // namespace kestrion
