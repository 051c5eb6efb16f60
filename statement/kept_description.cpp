#include "statement/kept_description.h"

#include <algorithm>

#include "driver/descriptor.h"
#include "driver/statement.h"
#include "statement/reply_lists.h"

namespace kestrion {

namespace {

// Everything a result's description is built from, "Row-Count" aside.
constexpr std::u16string_view kDescriptionFields[] = {
    u"Column-Count",         u"Column-Types", u"Column-Aliases",
    u"Column-Updateability", u"Column-Sizes", u"Result-Type"};

const CHDescriptor* RowDescriptor(const CHStatement& statement) {
  return statement.current_descriptor(DescriptorRole::ImpRow);
}

}  // namespace

void KeptDescription::Keep(const ReplyFields& fields, const CHStatement& statement) {
  const CHDescriptor* ird = RowDescriptor(statement);
  kept_ = ird != nullptr;
  if (!kept_) return;
  for (std::size_t i = 0; i < kFields; ++i) {
    Field& kept = fields_[i];
    const std::optional<std::u16string_view> value = fields.Raw(kDescriptionFields[i], kept.base64);
    kept.present = value.has_value();
    kept.value.assign(value.value_or(std::u16string_view()));
  }
  updatable_ = statement.state.updatable;
  row_set_ = statement.state.result_set_open;
  columns_ = ird->count();
  descriptor_writes_ = ird->app_writes;
  lengths_.clear();
  for (const DescriptorRecord& r : ird->records) lengths_.emplace_back(r.octet_length(), r.display_size());
}

void KeptDescription::RestoreLengths(CHDescriptor& ird) const {
  const std::size_t n = std::min(lengths_.size(), ird.records.size());
  for (std::size_t i = 0; i < n; ++i) {
    DescriptorRecord& r = ird.records[i];
    if (r.octet_length() != lengths_[i].first) r.set_length(RecordField::OctetLength, lengths_[i].first);
    if (r.display_size() != lengths_[i].second) r.set_int32(RecordField::DisplaySize, lengths_[i].second);
  }
}

bool KeptDescription::Matches(const ReplyFields& fields, const CHStatement& statement) const {
  if (!kept_) return false;
  const CHDescriptor* ird = RowDescriptor(statement);
  if (ird == nullptr || ird->count() != columns_ || ird->app_writes != descriptor_writes_) return false;
  for (std::size_t i = 0; i < kFields; ++i) {
    const Field& kept = fields_[i];
    bool base64 = false;
    const std::optional<std::u16string_view> value = fields.Raw(kDescriptionFields[i], base64);
    if (value.has_value() != kept.present) return false;
    if (value && (base64 != kept.base64 || *value != kept.value)) return false;
  }
  return true;
}

std::optional<std::int64_t> SingleRowCount(const ReplyFields& fields) {
  bool base64 = false;
  const std::optional<std::u16string_view> raw = fields.Raw(u"Row-Count", base64);
  if (!raw || base64) return std::nullopt;
  std::u16string_view item = *raw;
  while (!item.empty() && item.front() == u' ') item.remove_prefix(1);
  while (!item.empty() && item.back() == u' ') item.remove_suffix(1);
  if (item.empty() || item.size() > 10) return std::nullopt;
  for (const char16_t c : item) {
    if (c < u'0' || c > u'9') return std::nullopt;
  }
  const long long count = ItemToInteger(item, -1);
  if (count < 0 || count > 2147483647) return std::nullopt;
  return count;
}

}  // namespace kestrion
