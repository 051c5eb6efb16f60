#include <algorithm>
#include <string>
#include <vector>

#include "driver/connection.h"
#include "driver/descriptor.h"
#include "driver/statement.h"
#include "protocol/reply_field.h"
#include "statement/close_statement.h"
#include "statement/describe_record.h"
#include "statement/describe_result.h"
#include "statement/description_check.h"
#include "statement/parameters.h"
#include "statement/prepare_execute.h"
#include "statement/statement_exchange.h"
#include "statement/statement_text.h"
#include "statement/type_tables.h"

namespace kestrion {

using corvane::VString;

bool TakeStatementText(CHStatement& statement, const SQLWCHAR* text, SQLINTEGER length,
                       VString& out) {
  if (text == nullptr || length == 0 || (length < 0 && length != SQL_NTS)) {
    statement.Post(SqlState::HY090);
    return false;
  }
  out = length == SQL_NTS ? VString::FromUnits(text) : VString::FromUnits(text, length);
  if (out.empty()) {
    statement.Post(SqlState::HY090);
    return false;
  }
  return true;
}

namespace {

// The IPD from the reply's parameter kinds; as many records as markers.
void DescribeParameters(CHStatement& statement) {
  StatementState& s = statement.state;
  CHDescriptor* ipd = statement.current_descriptor(DescriptorRole::ImpParam);
  if (ipd == nullptr) return;
  ipd->SetCount(0);
  s.described_kinds.clear();
  std::int16_t n = 0;
  while (s.lists.parameter_types.has_item() && n < 32767) {
    ++n;
    TypeNameEntry entry{0, 0};
    const VString name = s.lists.parameter_types.Take();
    LookUpTypeName(name, 0, entry);
    s.described_kinds.push_back(corvane::KindFromName(name.ToUtf8()));
    std::int32_t size = entry.column_size;
    if (entry.sql_type == SQL_CHAR || entry.sql_type == SQL_WCHAR || entry.sql_type == SQL_BINARY) {
      size = 0;
    }
    BindDescribedRecord(*ipd, n, entry.sql_type, nullptr, size, nullptr);
  }
  if (ipd->count() < s.marker_count) ipd->SetCount(s.marker_count);
}

}  // namespace

namespace {

SQLRETURN Prepare(CHStatement& statement, VString text, bool direct) {
  StatementState& s = statement.state;
  const std::int32_t markers = RewriteAndCountMarkers(text);
  s.text = std::move(text);
  s.text_base64 = Base64OfText(s.text);
  s.marker_count = static_cast<std::int16_t>(std::min<std::int32_t>(markers, 32767));
  s.described_kinds.clear();
  {
    StatementExchange exchange(statement);
    if (!exchange.CheckConnection()) return statement.return_code();
  }
  CloseStatement(statement);
  if (direct && s.marker_count == 0 &&
      statement.connection()->session.capabilities.execute_describes()) {
    // The execute that follows describes the result: one round trip, not two.
    s.result_index = -1;
    s.lists.Reset();
    DescribeParameters(statement);
    return statement.return_code();
  }
  StatementExchange exchange(statement);

  std::string header = "PREPARE-STATEMENT";
  if (s.marker_count > 0) header += "\r\ndescribe-parameters:Y";
  header += "\r\nSTATEMENT-BASE64: ";
  header += s.text_base64;
  std::vector<std::uint8_t> body;
  if (!AddParameters(statement, ParameterUse::kPrepare, header, body)) {
    s.pieces.clear();
    return statement.return_code();
  }
  VString reply;
  const bool sent = exchange.Send(header, body, &reply);
  s.pieces.clear();
  if (sent) {
    s.result_index = -1;
    s.lists.ReadDescription(reply, false, true);
    const SQLRETURN rc =
        CheckDescription(statement, s.lists, false) ? DescribeResult(statement) : SQL_ERROR;
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO && rc != SQL_NO_DATA) {
      CloseStatement(statement);
    }
  }
  if (statement.ok()) DescribeParameters(statement);
  if (!statement.ok()) CloseStatement(statement);
  return statement.return_code();
}

}  // namespace

SQLRETURN PrepareStatement(CHStatement& statement, VString text) {
  return Prepare(statement, std::move(text), false);
}

SQLRETURN PrepareForDirectExecution(CHStatement& statement, VString text) {
  return Prepare(statement, std::move(text), true);
}

}  // namespace kestrion
