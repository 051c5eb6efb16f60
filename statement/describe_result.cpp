#include "statement/describe_result.h"

#include <algorithm>
#include <cstring>

#include "driver/descriptor.h"
#include "driver/statement.h"
#include "statement/close_statement.h"
#include "statement/describe_record.h"
#include "statement/statement_settings.h"
#include "statement/type_tables.h"

namespace kestrion {

using corvane::VString;

namespace {

constexpr std::int64_t kDynamicBufferBytes = 512;
// The declared size of unbounded text and byte strings.
constexpr long long kUnboundedSize = 2147483647;

VString Unquoted(VString alias) {
  if (alias.size() >= 2) {
    const char16_t c = alias.front();
    if (c == u'"' || c == u'\'' || c == u'[' || c == u'`') return VString(alias.substr(1, alias.size() - 2));
  }
  return alias;
}

// The result state every description starts from.
void StartResult(CHStatement& statement) {
  StatementState& s = statement.state;
  s.updatable = false;
  s.total_rows = 0;
  s.short_page_end = -1;
  s.row_count = 0;
  s.result_set_open = false;
  s.rowset_first = 0;
  ClearRowCache(statement);
}

SQLRETURN Describe(CHStatement& statement) {
  StatementState& s = statement.state;
  StartResult(statement);
  s.kept_description.Forget();

  const bool dynamic = DynamicBind(statement) == 8;
  CHDescriptor* ard = statement.current_descriptor(DescriptorRole::AppRow);
  if (dynamic && ard != nullptr) {
    ard->SetCount(0);
    s.dynamic_buffers.clear();
  }
  CHDescriptor* ird = statement.current_descriptor(DescriptorRole::ImpRow);
  if (ird == nullptr) {
    return statement.Post(SqlState::HYC00,
                          u"Unrecoverable error: Lack of implementation row descriptor.");
  }
  if (SQLULEN* fetched = RowsFetchedPtr(statement)) *fetched = 0;

  ReplyLists& l = s.lists;
  s.described = true;
  if (!l.column_count.has_item() || !l.column_types.present() || !l.column_aliases.present() ||
      !l.result_type.has_item() || !l.column_updateability.present()) {
    return SQL_NO_DATA;
  }
  // Checked when the reply was read (CheckDescription): 0 to 32767.
  const auto columns =
      static_cast<std::int32_t>(std::clamp<long long>(ItemToInteger(l.column_count.Take(), 0), 0, 32767));

  BindDescribedRecord(*ird, 0, SQL_INTEGER, nullptr, 4, nullptr);
  // Only this result's items count: in a batch, a later updatable result
  // must not make this one expect a row identifier in front of each row.
  const std::size_t own = std::min<std::size_t>(l.column_updateability.remaining(),
                                                static_cast<std::size_t>(columns));
  for (std::size_t i = 0; i < own; ++i) {
    if (l.column_updateability.at(i) == u"Y") s.updatable = true;
  }
  SQLRETURN rc = SQL_SUCCESS;
  if (l.row_count.has_item()) {
    s.total_rows = ItemToInteger(l.row_count.Take(), 0);
    if (s.total_rows < 0) s.total_rows = 0;
    if (SQLULEN* fetched = RowsFetchedPtr(statement)) *fetched = static_cast<SQLULEN>(s.total_rows);
  } else {
    rc = SQL_NO_DATA;
  }
  const bool update_count = columns == 1 && l.result_type.front() == u"Update-Count";
  if (update_count) {
    s.column_kinds.clear();
    ird->SetCount(0);
    l.column_types.Take();
    l.column_aliases.Take();
    l.column_updateability.Take();
    l.column_sizes.Take();
    s.long_columns.clear();
  } else {
    s.row_count = s.total_rows;
    s.result_set_open = true;
    ird->SetCount(static_cast<std::int16_t>(columns));
    s.column_kinds.assign(static_cast<std::size_t>(columns) + 1, corvane::VKind::Unknown);
    s.long_columns.assign(static_cast<std::size_t>(columns) + 1, false);
    for (std::int32_t i = 1; i <= columns; ++i) {
      const auto n = static_cast<std::int16_t>(i);
      TypeNameEntry entry{0, 0};
      const VString kind_name = l.column_types.Take();
      LookUpTypeName(kind_name, 0, entry);
      const corvane::VKind kind = corvane::KindFromName(kind_name.ToUtf8());
      s.column_kinds[static_cast<std::size_t>(n)] = kind;
      // Byte strings are always long; text only when the server says its
      // declaration is unbounded (a server without "Column-Sizes" describes
      // all text alike).
      const bool unbounded = ItemToInteger(l.column_sizes.Take(), 0) >= kUnboundedSize;
      s.long_columns[static_cast<std::size_t>(n)] =
          entry.sql_type == kClassBinary || (entry.sql_type == kClassWChar && unbounded);
      const VString alias = Unquoted(l.column_aliases.Take());
      const bool updatable = l.column_updateability.Take() == u"Y";
      BindDescribedRecord(*ird, n, entry.sql_type, nullptr, entry.column_size, nullptr);
      DescriptorRecord& r = ird->records[static_cast<std::size_t>(n)];
      r.set_text(RecordField::Name, alias);
      r.set_text(RecordField::Label, alias);
      r.set_text(RecordField::BaseColumnName, alias);
      r.set_int16(RecordField::Updatable, updatable ? SQL_ATTR_WRITE : SQL_ATTR_READONLY);
      if (dynamic && ard != nullptr) {
        auto buffer = std::make_unique<std::uint8_t[]>(kDynamicBufferBytes);
        std::memset(buffer.get(), 0, kDynamicBufferBytes);
        BindDescribedRecord(*ard, n, entry.sql_type, buffer.get(), kDynamicBufferBytes, nullptr);
        s.dynamic_buffers[n] = std::move(buffer);
      }
    }
  }
  l.result_type.Take();
  ++s.result_index;
  return rc;
}

}  // namespace

SQLRETURN DescribeKeptResult(CHStatement& statement, std::int64_t total_rows) {
  StatementState& s = statement.state;
  StartResult(statement);
  s.lists.Reset();
  s.described = true;
  s.updatable = s.kept_description.updatable();
  s.total_rows = total_rows;
  if (CHDescriptor* ird = statement.current_descriptor(DescriptorRole::ImpRow)) {
    s.kept_description.RestoreLengths(*ird);
  }
  if (s.kept_description.row_set()) {
    s.row_count = total_rows;
    s.result_set_open = true;
  }
  if (SQLULEN* fetched = RowsFetchedPtr(statement)) *fetched = static_cast<SQLULEN>(total_rows);
  ++s.result_index;
  SetRowNumber(statement, 0);
  return statement.return_code();
}

SQLRETURN DescribeResult(CHStatement& statement) {
  const SQLRETURN rc = Describe(statement);
  SetRowNumber(statement, 0);
  if (rc == SQL_NO_DATA) return statement.ok() ? SQL_NO_DATA : statement.return_code();
  return rc == SQL_SUCCESS ? statement.return_code() : rc;
}

}  // namespace kestrion
