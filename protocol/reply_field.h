// Named fields of a reply header, and the splitting of a field value into
// tokens.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "toolbox/vstring.h"

namespace kestrion {

using TokenList = std::vector<corvane::VString>;

// The field lines of a reply header, found in one pass over it, so that
// several lookups in one reply compare names only. A line is "Name: value";
// the value runs to the line's first CR. The first line (the reply's
// identifier and status) is no field. Names match ignoring case and
// accents; the first line of a name wins. Views into the header, which must
// outlive this.
class ReplyFields {
 public:
  explicit ReplyFields(std::u16string_view header);

  // The raw value of field `name`: the plain form "Name:" is preferred over
  // "Name-Base64:" (`base64` then tells which was found). Nothing when
  // neither is present.
  std::optional<std::u16string_view> Raw(std::u16string_view name, bool& base64) const;
  // The tokens of field `name`, as GetReplyField answers them.
  std::optional<TokenList> Get(std::u16string_view name, bool* bad_base64 = nullptr) const;
  // Whether these are the fields of `header` (the very same text).
  bool Of(std::u16string_view header) const {
    return header.data() == header_.data() && header.size() == header_.size();
  }

 private:
  struct Line {
    std::u16string_view name;
    std::u16string_view value;
  };
  std::u16string_view header_;
  std::vector<Line> lines_;
};

// The tokens of field `name` in a reply header. The plain form "Name:" is
// preferred over "Name-Base64:", whose value is decoded (and kept raw when it
// is not valid Base64; `bad_base64`, when given, is then set, so that callers
// that must not use the raw text can refuse it). Names match ignoring case
// and accents, never on the first line. Nothing when the field is absent or
// its value is empty.
std::optional<TokenList> GetReplyField(std::u16string_view name, std::u16string_view header,
                                       bool* bad_base64 = nullptr);

// The body size a reply announces ("Body-Length": digits, optionally
// signed); nothing when it is absent, malformed or negative.
std::optional<std::int64_t> ReplyBodyLength(const ReplyFields& fields);
std::optional<std::int64_t> ReplyBodyLength(std::u16string_view header);

// Splits on spaces; a token opening with a double quote or an apostrophe runs
// to the next such character, one opening with "[" to the next "]", spaces
// included and the delimiters kept. An unclosed one is dropped.
TokenList Tokenize(std::u16string_view value);

// Base64 of the UTF-8 form of a text, and the inverse (nothing when the
// input is not valid Base64).
std::string Base64OfText(std::u16string_view text);
std::optional<corvane::VString> TextOfBase64(std::u16string_view base64);

}  // namespace kestrion
