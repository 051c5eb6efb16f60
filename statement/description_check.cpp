#include "statement/description_check.h"

#include <cstdint>
#include <string>

#include "driver/statement.h"

namespace kestrion {

using corvane::VString;

namespace {

bool Fault(CHStatement& statement, std::u16string_view text) {
  VString message = u"Malformed reply: ";
  message += text;
  statement.Post(SqlState::HY000, message);
  return false;
}

VString Number(std::size_t n) { return VString::FromAscii(std::to_string(n)); }

// Every item of `list` is an integer from 0 to `largest`; their sum in `sum`.
bool ItemsInRange(const ReplyList& list, long long largest, long long& sum, VString& bad) {
  sum = 0;
  for (std::size_t i = 0; i < list.remaining(); ++i) {
    const long long value = ItemToInteger(list.at(i), -1);
    if (value < 0 || value > largest) {
      bad = list.at(i);
      return false;
    }
    sum += value;
  }
  return true;
}

}  // namespace

bool CheckDescription(CHStatement& statement, const ReplyLists& l, bool with_row_count) {
  if (!l.bad_base64_field.empty()) {
    VString text = u"the field ";
    text += l.bad_base64_field;
    text += u" is not valid Base64.";
    return Fault(statement, text);
  }
  if (!l.column_count.present()) return true;
  long long columns = 0;
  VString bad;
  if (!ItemsInRange(l.column_count, 32767, columns, bad)) {
    VString text = u"Column-Count \"";
    text += bad.substr(0, 40);
    text += u"\" is not a column count from 0 to 32767.";
    return Fault(statement, text);
  }
  const std::size_t results = l.column_count.remaining();
  const struct {
    const ReplyList& list;
    std::u16string_view name;
  } per_column[] = {{l.column_types, u"Column-Types"},
                    {l.column_aliases, u"Column-Aliases"},
                    {l.column_updateability, u"Column-Updateability"}};
  for (const auto& field : per_column) {
    if (field.list.remaining() != static_cast<std::size_t>(columns)) {
      VString text(field.name);
      text += u" has ";
      text += Number(field.list.remaining());
      text += u" items where Column-Count gives ";
      text += Number(static_cast<std::size_t>(columns));
      text += u" columns.";
      return Fault(statement, text);
    }
  }
  if (l.column_sizes.present() && l.column_sizes.remaining() != static_cast<std::size_t>(columns)) {
    return Fault(statement, u"Column-Sizes and Column-Count disagree on the number of columns.");
  }
  if (l.result_type.present() && l.result_type.remaining() != results) {
    return Fault(statement, u"Result-Type and Column-Count disagree on the number of results.");
  }
  if (with_row_count && l.row_count.present()) {
    long long ignored = 0;
    if (!ItemsInRange(l.row_count, INT32_MAX, ignored, bad)) {
      VString text = u"Row-Count \"";
      text += bad.substr(0, 40);
      text += u"\" is not a row count from 0 to 2147483647.";
      return Fault(statement, text);
    }
    if (l.row_count.remaining() != results) {
      return Fault(statement, u"Row-Count and Column-Count disagree on the number of results.");
    }
  }
  return true;
}

}  // namespace kestrion
