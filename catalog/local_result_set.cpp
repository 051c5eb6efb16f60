#include "catalog/local_result_set.h"

#include <memory>
#include <string>

#include "driver/connection.h"
#include "driver/descriptor.h"
#include "driver/statement.h"
#include "statement/close_statement.h"
#include "statement/describe_result.h"
#include "statement/fetch.h"
#include "statement/prepare_execute.h"
#include "statement/statement_settings.h"

namespace kestrion {

using corvane::VKind;
using corvane::VString;
using corvane::VValue;

namespace {

VString Ascii(std::string_view text) { return VString::FromAscii(text); }

void ReportRowCount(CHStatement& statement) {
  if (SQLULEN* fetched = RowsFetchedPtr(statement)) {
    *fetched = static_cast<SQLULEN>(statement.state.total_rows);
  }
}

}  // namespace

void PrivateStatementDeleter::operator()(CHStatement* statement) const { delete statement; }

PrivateStatement CreatePrivateStatement(CHStatement& statement) {
  CHConnection* connection = statement.connection();
  if (connection == nullptr) return nullptr;
  CSQLHandle* child = connection->_CreateChild(HandleKind::Statement);
  if (child == nullptr) return nullptr;
  PrivateStatement created(static_cast<CHStatement*>(child));
  if (created->defunct()) return nullptr;
  return created;
}

void OpenLocalResultSet(CHStatement& statement, std::span<const LocalColumn> columns) {
  if (columns.empty()) return;
  CloseStatement(statement);
  std::vector<VString> aliases, kinds, updatability;
  aliases.reserve(columns.size());
  kinds.reserve(columns.size());
  updatability.reserve(columns.size());
  for (const LocalColumn& c : columns) {
    aliases.push_back(Ascii(c.name));
    kinds.push_back(Ascii(c.kind));
    updatability.push_back(VString(u"N"));
  }
  ReplyLists& l = statement.state.lists;
  l.Reset();
  l.column_aliases = ReplyList(std::move(aliases));
  l.column_types = ReplyList(std::move(kinds));
  l.column_updateability = ReplyList(std::move(updatability));
  l.result_type = ReplyList({VString(u"Row-Set")});
  l.column_count = ReplyList({Ascii(std::to_string(columns.size()))});
  l.row_count = ReplyList({VString(u"0")});
  DescribeResult(statement);
}

void AppendLocalRow(CHStatement& statement, LocalRow row) {
  if (row.empty()) return;
  StatementState& s = statement.state;
  CHDescriptor* ird = statement.current_descriptor(DescriptorRole::ImpRow);
  const std::int32_t columns = (ird != nullptr ? std::max<std::int32_t>(ird->count(), 0) : 0) + 1;
  s.result_set_open = true;
  const std::int32_t index = s.cache.AppendRow(columns);
  const std::int32_t n = std::min<std::int32_t>(columns, static_cast<std::int32_t>(row.size()));
  for (std::int32_t c = 0; c < n; ++c) s.cache.cell(index, c) = std::move(row[static_cast<std::size_t>(c)]);
  s.total_rows = s.cache.rows();
  s.row_count = s.total_rows;
  ReportRowCount(statement);
}

namespace {

// A query that was canceled, ran out of time or lost the link is no empty
// answer: the calling statement reports it (other failures of the query
// leave the result empty and are not reported).
bool PassOnInterruption(const CHStatement& query, CHStatement& statement) {
  bool passed = false;
  for (const DiagnosticRecord& r : query.diagnostics()) {
    if (r.state == SqlState::HY008 || r.state == SqlState::HYT00 || r.state == SqlState::S08S01) {
      statement.Post(r.state, r.message, r.native_error);
      passed = true;
    }
  }
  return passed;
}

}  // namespace

bool RunCatalogQuery(CHStatement& statement, const VString& sql, const RowBuilder& builder) {
  bool accepted = false;
  if (!sql.empty() && builder && statement.ok()) {
    PrivateStatement query = CreatePrivateStatement(statement);
    if (query != nullptr) {
      // One row at a time, nothing bound: each fetch leaves the row in the
      // private statement's cache, where the builder reads its values.
      PrepareForDirectExecution(*query, sql);
      if (query->ok()) ExecuteStatement(*query);
      if (!query->ok()) PassOnInterruption(*query, statement);
      if (query->ok() && query->state.result_set_open) {
        CHDescriptor* ird = query->current_descriptor(DescriptorRole::ImpRow);
        const std::int32_t columns = ird != nullptr ? std::max<std::int32_t>(ird->count(), 0) : 0;
        const std::int64_t reported = query->state.total_rows;
        std::vector<LocalRow> kept;
        for (std::int64_t p = 0; p < reported && columns > 0 && statement.ok(); ++p) {
          const SQLRETURN rc = CommonFetch(*query, SQL_FETCH_NEXT, 1, nullptr, nullptr);
          if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
            if (query->return_code() == SQL_ERROR && !PassOnInterruption(*query, statement)) {
              statement.Post(SqlState::HY000, u"Internal error");
            }
            break;
          }
          const std::int64_t at = RowNumber(*query) - 1;
          const RowCache& cache = query->state.cache;
          if (!cache.Contains(at) || cache.columns() < columns + 1) {
            statement.Post(SqlState::HY000, u"Internal error");
            break;
          }
          const VValue* first = &cache.result_cell(at, 1);
          LocalRow row;
          row.reserve(16);
          row.push_back(corvane::VLong8(p));
          if (builder(row, std::span<const VValue>(first, static_cast<std::size_t>(columns)))) {
            kept.push_back(std::move(row));
            accepted = true;
          }
        }
        for (LocalRow& row : kept) AppendLocalRow(statement, std::move(row));
      }
    }
  }
  AllocateRowStatus(statement, statement.state.cache.rows());
  return accepted;
}

bool AllocateRowStatus(CHStatement& statement, std::int32_t rows) {
  RowCache& cache = statement.state.cache;
  const std::int32_t n = std::min(rows, cache.rows());
  for (std::int32_t i = 0; i < n; ++i) cache.status(i) = SQL_ROW_SUCCESS;
  return true;
}

std::int64_t IntegerValue(const VValue& value) {
  if (value.is_null()) return 0;
  switch (value.kind()) {
    case VKind::Real:
      return static_cast<std::int64_t>(value.real());
    case VKind::Float:
      return static_cast<std::int64_t>(value.decimal().ToDouble());
    case VKind::Text: {
      const long long n = ItemToInteger(value.text(), 0);
      return n;
    }
    default:
      return value.integer();
  }
}

VString TextValue(const VValue& value) {
  if (value.is_null() || value.kind() != VKind::Text) return VString();
  return value.text();
}

VValue TextOrNull(const VValue& value) {
  if (value.is_null()) return VValue::Null(VKind::Text);
  return VValue(TextValue(value));
}

}  // namespace kestrion
