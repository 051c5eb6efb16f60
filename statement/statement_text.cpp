#include "statement/statement_text.h"

#include <string>

namespace kestrion {

namespace {

char16_t ClosingOf(char16_t open) {
  switch (open) {
    case u'\'':
      return u'\'';
    case u'"':
      return u'"';
    case u'`':
      return u'`';
    case u'[':
      return u']';
    default:
      return 0;
  }
}

// A copy of the text in which everything inside a quoted or bracketed part
// (the delimiters excepted) is masked by 'x'; positions are kept.
std::u16string MaskQuotedParts(std::u16string_view text) {
  std::u16string masked(text);
  char16_t closing = 0;
  for (char16_t& c : masked) {
    if (closing == 0) {
      closing = ClosingOf(c);
    } else if (c == closing) {
      closing = 0;
    } else {
      c = u'x';
    }
  }
  return masked;
}

void QuotesToBrackets(corvane::VString& text) {
  std::u16string masked = MaskQuotedParts(text);
  std::size_t from = 0;
  for (;;) {
    std::size_t open = masked.find_first_of(u"\"`", from);
    if (open == std::u16string::npos) return;
    std::size_t close = masked.find(masked[open], open + 1);
    // Masking leaves nothing after an unclosed quote, so there is no pair
    // further on either.
    if (close == std::u16string::npos) return;
    text[open] = u'[';
    text[close] = u']';
    masked[open] = u'[';
    masked[close] = u']';
    from = close + 1;
  }
}

void UnescapeUnderscores(corvane::VString& text) {
  bool in_literal = false;
  std::size_t out = 0;
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n; ++i) {
    char16_t c = text[i];
    if (c == u'\'') in_literal = !in_literal;
    if (!in_literal && c == u'\\' && i + 1 < n && text[i + 1] == u'_') continue;
    text[out++] = c;
  }
  text.resize(out);
}

}  // namespace

void RewriteStatementText(corvane::VString& text) {
  QuotesToBrackets(text);
  UnescapeUnderscores(text);
}

int32_t CountParameterMarkers(std::u16string_view text) {
  int32_t count = 0;
  char16_t closing = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == u'\\') {
      ++i;
      continue;
    }
    if (closing != 0) {
      if (c == closing) closing = 0;
    } else if (c == u'"' || c == u'\'' || c == u'[') {
      closing = ClosingOf(c);
    } else if (c == u'?') {
      ++count;
    }
  }
  return count;
}

int32_t RewriteAndCountMarkers(corvane::VString& text) {
  RewriteStatementText(text);
  return CountParameterMarkers(text);
}

}  // namespace kestrion
