#include "protocol/reply_field.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

namespace {

// The position of the next colon or CR at or after `from` (the header's
// size when there is none), eight units at a time where the processor has
// SSE2 (every x86-64 one).
std::size_t NextColonOrCr(std::u16string_view header, std::size_t from) {
  std::size_t i = from;
  const std::size_t n = header.size();
#if defined(__SSE2__)
  const __m128i colon = _mm_set1_epi16(static_cast<short>(u':'));
  const __m128i cr = _mm_set1_epi16(static_cast<short>(u'\r'));
  for (; i + 8 <= n; i += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(header.data() + i));
    const int found = _mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi16(units, colon), _mm_cmpeq_epi16(units, cr)));
    if (found != 0) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(found))) / 2;
  }
#endif
  for (; i < n; ++i) {
    if (header[i] == u':' || header[i] == u'\r') return i;
  }
  return n;
}

}  // namespace

ReplyFields::ReplyFields(std::u16string_view header) : header_(header) {
  lines_.reserve(16);
  // One pass. A line starts after each CR LF; its name runs to its first
  // colon and its value from there to the next CR.
  constexpr std::size_t kNone = std::u16string_view::npos;
  const std::size_t n = header.size();
  std::size_t start = kNone;  // the current line's first unit (none: first line)
  std::size_t colon = kNone;
  std::size_t value_end = kNone;
  for (std::size_t i = NextColonOrCr(header, 0); i < n; i = NextColonOrCr(header, i + 1)) {
    const char16_t c = header[i];
    if (c == u':') {
      if (colon == kNone) colon = i;
      continue;
    }
    if (colon != kNone && value_end == kNone) value_end = i;
    if (i + 1 >= n || header[i + 1] != u'\n') continue;
    if (start != kNone && colon != kNone) {
      lines_.push_back(Line{header.substr(start, colon - start),
                            header.substr(colon + 1, value_end - colon - 1)});
    }
    start = i + 2;
    colon = value_end = kNone;
    ++i;
  }
  if (start != kNone && colon != kNone) {
    if (value_end == kNone) value_end = n;
    lines_.push_back(Line{header.substr(start, colon - start),
                          header.substr(colon + 1, value_end - colon - 1)});
  }
}

std::optional<std::u16string_view> ReplyFields::Raw(std::u16string_view name, bool& base64) const {
  static constexpr std::u16string_view kBase64 = u"-Base64";
  const Line* encoded = nullptr;
  for (const Line& line : lines_) {
    if (line.name.size() == name.size()) {
      if (VString::EqualsFolded(line.name, name)) {
        base64 = false;
        return line.value;
      }
    } else if (encoded == nullptr && line.name.size() == name.size() + kBase64.size() &&
               VString::EqualsFolded(line.name.substr(0, name.size()), name) &&
               VString::EqualsFolded(line.name.substr(name.size()), kBase64)) {
      encoded = &line;
    }
  }
  if (encoded == nullptr) return std::nullopt;
  base64 = true;
  return encoded->value;
}

std::optional<TokenList> ReplyFields::Get(std::u16string_view name, bool* bad_base64) const {
  bool base64 = false;
  const std::optional<std::u16string_view> value = Raw(name, base64);
  if (!value || value->empty()) return std::nullopt;
  if (base64) {
    if (auto decoded = TextOfBase64(*value)) return Tokenize(*decoded);
    if (bad_base64 != nullptr) *bad_base64 = true;
  }
  return Tokenize(*value);
}

std::optional<TokenList> GetReplyField(std::u16string_view name, std::u16string_view header,
                                       bool* bad_base64) {
  return ReplyFields(header).Get(name, bad_base64);
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
  return ReplyBodyLength(ReplyFields(header));
}

std::optional<std::int64_t> ReplyBodyLength(const ReplyFields& fields) {
  const std::optional<TokenList> tokens = fields.Get(u"Body-Length");
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
