// The description of a statement's last result, kept as the reply sent it,
// so that the next execute whose reply describes its result alike reuses the
// implementation row descriptor and column state built for it instead of
// parsing the lists and building every record again. A prepared statement
// executed in a loop (a point select, an insert) describes the same result
// each time.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "protocol/reply_field.h"
#include "toolbox/vstring.h"

namespace kestrion {

class CHDescriptor;
class CHStatement;

class KeptDescription {
 public:
  // Keeps the description fields of `fields` after they were described into
  // `statement`'s implementation row descriptor as its single result (a row
  // set or an update count, no further results).
  void Keep(const ReplyFields& fields, const CHStatement& statement);
  void Forget() { kept_ = false; }

  // Whether `fields` describe the kept result exactly as before, and nothing
  // changed the descriptor since: then only its row count is new.
  bool Matches(const ReplyFields& fields, const CHStatement& statement) const;
  bool updatable() const { return updatable_; }
  bool row_set() const { return row_set_; }
  // Puts back the lengths the description gave the descriptor's records,
  // which the rows of the last result may have grown.
  void RestoreLengths(CHDescriptor& ird) const;

 private:
  struct Field {
    bool present = false;
    bool base64 = false;
    corvane::VString value;
  };
  static constexpr std::size_t kFields = 6;
  std::array<Field, kFields> fields_;
  bool kept_ = false;
  bool updatable_ = false;
  bool row_set_ = false;
  std::int16_t columns_ = 0;
  std::uint32_t descriptor_writes_ = 0;
  // Per record (0 the bookmark): octet length and display size as described.
  std::vector<std::pair<std::int64_t, std::int32_t>> lengths_;
};

// The single item of "Row-Count" when it is a row count the protocol allows
// (0 to 2147483647); nothing otherwise.
std::optional<std::int64_t> SingleRowCount(const ReplyFields& fields);

}  // namespace kestrion
