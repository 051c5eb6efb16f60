#include "statement/statement_text.h"

#include <string>
#include <string_view>

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

// Where the quoted or bracketed part opening at `open` closes: the index of
// its closing delimiter, a doubled delimiter inside standing for one
// character; npos when it is not closed.
std::size_t CloseOfQuoted(std::u16string_view text, std::size_t open) {
  const char16_t closing = ClosingOf(text[open]);
  for (std::size_t i = open + 1; i < text.size(); ++i) {
    if (text[i] != closing) continue;
    if (i + 1 < text.size() && text[i + 1] == closing) {
      ++i;
      continue;
    }
    return i;
  }
  return std::u16string_view::npos;
}

// Identifiers in double quotes or backquotes become bracketed ones: "x""y"
// is [x"y] and a ']' inside is doubled. Literals and bracketed names are
// copied as they are.
void QuotesToBrackets(corvane::VString& text) {
  if (text.find_first_of(u"\"`") == std::u16string::npos) return;
  std::u16string out;
  out.reserve(text.size() + 8);
  const std::u16string_view view(text);
  std::size_t i = 0;
  while (i < view.size()) {
    const char16_t c = view[i];
    if (ClosingOf(c) == 0) {
      out.push_back(c);
      ++i;
      continue;
    }
    const std::size_t close = CloseOfQuoted(view, i);
    if (close == std::u16string_view::npos) {
      out.append(view.substr(i));  // an unclosed part stays as it is
      break;
    }
    if (c == u'\'' || c == u'[') {
      out.append(view.substr(i, close + 1 - i));
    } else {
      out.push_back(u'[');
      for (std::size_t k = i + 1; k < close; ++k) {
        const char16_t d = view[k];
        if (d == c) ++k;  // the first of a doubled quote
        out.push_back(d);
        if (d == u']') out.push_back(u']');
      }
      out.push_back(u']');
    }
    i = close + 1;
  }
  text.assign(out);
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
      if (c != closing) continue;
      // A doubled delimiter is one character of the quoted part.
      if (i + 1 < text.size() && text[i + 1] == closing) {
        ++i;
        continue;
      }
      closing = 0;
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
