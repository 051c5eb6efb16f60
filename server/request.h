// A parsed request header: identifier, command word and field lines.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace kestrion::server {

// The parts are views into the header text, which must outlive the request.
struct Request {
  std::string_view id;       // first line up to its first space (the whole line without one)
  std::string_view command;  // the word after the identifier; empty when none
  struct Field {
    std::string_view name;   // as sent, trimmed
    std::string_view value;  // after the colon, leading and trailing spaces removed
    std::string_view raw;    // after the colon, untouched
  };
  std::vector<Field> fields;

  // Case-blind lookup of a field ("ROW-COUNT : 5" is found as "ROW-COUNT").
  const std::string_view* Find(std::string_view name) const;
  const Field* FindField(std::string_view name) const;
  // A field read as a decimal integer; nothing when absent or not a number.
  std::optional<long long> FindInt(std::string_view name) const;
};

// Parses a header that ends with CR LF CR LF into `req`, whose field list
// keeps its memory from one request to the next.
void ParseRequest(std::string_view header, Request& req);
Request ParseRequest(std::string_view header);

}  // namespace kestrion::server
