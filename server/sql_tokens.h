// A light SQL tokenizer for what the server needs to know about a statement
// text: its leading keywords, the clauses it uses and where its parameter
// markers stand. It does not validate SQL; SQLite does.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrion::server {

struct SqlToken {
  enum Kind { kWord, kIdentifier, kString, kNumber, kMarker, kSymbol } kind;
  std::string text;  // words upper-cased; identifiers without their quotes
  std::size_t offset;
};

// Comments are skipped; "?" (with an optional number) is a marker.
std::vector<SqlToken> TokenizeSql(std::string_view sql);

// Parameter markers as the driver counts them: a "?" outside '...', "..." and
// [...] and not right after a backslash.
int CountMarkers(std::string_view sql);

}  // namespace kestrion::server
