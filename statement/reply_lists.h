// The reply lists of a prepare or execute answer: the items of the fields
// that describe its results, consumed one result at a time.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

#include "toolbox/vstring.h"

namespace kestrion {

// The items of one reply field. An absent field has no list, which is not the
// same as an empty one; a list whose last item is consumed becomes absent.
class ReplyList {
 public:
  ReplyList() = default;
  explicit ReplyList(std::vector<corvane::VString> items)
      : items_(std::move(items)), present_(!items_.empty()) {}

  bool present() const { return present_; }
  bool has_item() const { return present_ && next_ < items_.size(); }
  // The next item (empty when there is none).
  const corvane::VString& front() const;
  // Removes and answers the next item (empty when there is none).
  corvane::VString Take();
  // The items not yet consumed.
  std::size_t remaining() const { return present_ ? items_.size() - next_ : 0; }
  const corvane::VString& at(std::size_t i) const { return items_[next_ + i]; }
  void Reset() {
    items_.clear();
    next_ = 0;
    present_ = false;
  }

 private:
  std::vector<corvane::VString> items_;
  std::size_t next_ = 0;
  bool present_ = false;
};

// The lists of one answer, by reply field.
struct ReplyLists {
  ReplyList column_count;          // "Column-Count": one per result
  ReplyList column_types;          // "Column-Types": one per column
  ReplyList column_aliases;        // "Column-Aliases": one per column
  ReplyList column_updateability;  // "Column-Updateability": one per column
  ReplyList column_sizes;          // "Column-Sizes": one per column (optional)
  ReplyList result_type;           // "Result-Type": one per result
  ReplyList row_count;             // "Row-Count": one per result (execute only)
  ReplyList parameter_types;       // "Parameter-Types": one per parameter (prepare)
  // The first field sent in Base64 that did not decode (empty: none).
  corvane::VString bad_base64_field;

  void Reset();
  // Takes the description lists (and, when asked, "Row-Count" and
  // "Parameter-Types") out of a reply header.
  void ReadDescription(std::u16string_view header, bool with_row_count,
                       bool with_parameter_types);
};

// A decimal item as an integer; `fallback` when it is not one.
long long ItemToInteger(std::u16string_view item, long long fallback = 0);

}  // namespace kestrion
