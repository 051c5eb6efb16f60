#include "statement/reply_lists.h"

#include "protocol/reply_field.h"

namespace kestrion {

using corvane::VString;

namespace {

const VString& EmptyText() {
  static const VString empty;
  return empty;
}

ReplyList ListOf(std::u16string_view name, const ReplyFields& fields, VString& bad_base64_field) {
  bool bad = false;
  std::optional<TokenList> tokens = fields.Get(name, &bad);
  if (bad && bad_base64_field.empty()) {
    bad_base64_field = VString(name);
    bad_base64_field += u"-Base64";
  }
  if (!tokens) return ReplyList();
  return ReplyList(std::move(*tokens));
}

}  // namespace

const VString& ReplyList::front() const { return has_item() ? items_[next_] : EmptyText(); }

VString ReplyList::Take() {
  if (!has_item()) return VString();
  VString item = std::move(items_[next_++]);
  if (next_ >= items_.size()) Reset();
  return item;
}

void ReplyLists::Reset() {
  column_count.Reset();
  column_types.Reset();
  column_aliases.Reset();
  column_updateability.Reset();
  column_sizes.Reset();
  result_type.Reset();
  row_count.Reset();
  parameter_types.Reset();
  bad_base64_field.clear();
}

void ReplyLists::ReadDescription(std::u16string_view header, bool with_row_count,
                                 bool with_parameter_types) {
  Reset();
  const ReplyFields fields(header);
  VString& bad = bad_base64_field;
  column_types = ListOf(u"Column-Types", fields, bad);
  column_count = ListOf(u"Column-Count", fields, bad);
  column_aliases = ListOf(u"Column-Aliases", fields, bad);
  column_updateability = ListOf(u"Column-Updateability", fields, bad);
  column_sizes = ListOf(u"Column-Sizes", fields, bad);
  result_type = ListOf(u"Result-Type", fields, bad);
  if (with_row_count) row_count = ListOf(u"Row-Count", fields, bad);
  if (with_parameter_types) parameter_types = ListOf(u"Parameter-Types", fields, bad);
}

long long ItemToInteger(std::u16string_view item, long long fallback) {
  std::size_t i = 0;
  bool negative = false;
  if (i < item.size() && (item[i] == u'-' || item[i] == u'+')) negative = item[i++] == u'-';
  if (i >= item.size()) return fallback;
  long long value = 0;
  for (; i < item.size(); ++i) {
    const char16_t c = item[i];
    if (c < u'0' || c > u'9') return fallback;
    if (value > (INT64_MAX - 9) / 10) return fallback;
    value = value * 10 + (c - u'0');
  }
  return negative ? -value : value;
}

}  // namespace kestrion
