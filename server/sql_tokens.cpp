#include "server/sql_tokens.h"

namespace kestrion::server {

namespace {
bool IsWordChar(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
         c >= 0x80;
}
}  // namespace

std::vector<SqlToken> TokenizeSql(std::string_view s) {
  std::vector<SqlToken> out;
  std::size_t i = 0, n = s.size();
  while (i < n) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
      ++i;
      continue;
    }
    if (c == '-' && i + 1 < n && s[i + 1] == '-') {
      while (i < n && s[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < n && s[i + 1] == '*') {
      std::size_t end = s.find("*/", i + 2);
      i = end == std::string_view::npos ? n : end + 2;
      continue;
    }
    std::size_t start = i;
    if (c == '\'' || c == '"' || c == '`' || c == '[') {
      char close = c == '[' ? ']' : static_cast<char>(c);
      std::string text;
      ++i;
      while (i < n) {
        if (s[i] == close) {
          if (close != ']' && i + 1 < n && s[i + 1] == close) {  // doubled quote
            text.push_back(close);
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        text.push_back(s[i++]);
      }
      out.push_back({c == '\'' ? SqlToken::kString : SqlToken::kIdentifier, std::move(text), start});
      continue;
    }
    if (c == '?') {
      ++i;
      while (i < n && s[i] >= '0' && s[i] <= '9') ++i;
      out.push_back({SqlToken::kMarker, std::string(s.substr(start, i - start)), start});
      continue;
    }
    if ((c >= '0' && c <= '9') || (c == '.' && i + 1 < n && s[i + 1] >= '0' && s[i + 1] <= '9')) {
      while (i < n && (IsWordChar(static_cast<unsigned char>(s[i])) || s[i] == '.')) ++i;
      out.push_back({SqlToken::kNumber, std::string(s.substr(start, i - start)), start});
      continue;
    }
    if (IsWordChar(c)) {
      std::string text;
      while (i < n && IsWordChar(static_cast<unsigned char>(s[i]))) {
        char ch = s[i++];
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
        text.push_back(ch);
      }
      out.push_back({SqlToken::kWord, std::move(text), start});
      continue;
    }
    // Two-character operators.
    if (i + 1 < n) {
      std::string_view two = s.substr(i, 2);
      if (two == "<=" || two == ">=" || two == "<>" || two == "!=" || two == "==" || two == "||") {
        out.push_back({SqlToken::kSymbol, std::string(two), start});
        i += 2;
        continue;
      }
    }
    out.push_back({SqlToken::kSymbol, std::string(1, static_cast<char>(c)), start});
    ++i;
  }
  return out;
}

int CountMarkers(std::string_view s) {
  int count = 0;
  char open = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\\') {
      ++i;
      continue;
    }
    if (open) {
      if ((open == '"' && c == '"') || (open == '\'' && c == '\'') || (open == '[' && c == ']')) open = 0;
      continue;
    }
    if (c == '"' || c == '\'' || c == '[') open = c;
    else if (c == '?') ++count;
  }
  return count;
}

}  // namespace kestrion::server
