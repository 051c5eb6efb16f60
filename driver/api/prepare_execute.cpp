// SQLPrepareW, SQLExecDirectW, SQLExecute, SQLNumParams, SQLDescribeParam,
// SQLParamData and SQLPutData.
#include "driver/descriptor.h"
#include "driver/entry_guard.h"
#include "driver/statement.h"
#include "statement/close_statement.h"
#include "statement/data_at_execution.h"
#include "statement/describe_column.h"
#include "statement/prepare_execute.h"

using namespace kestrion;

namespace {

// Runs the execute, or answers SQL_NEED_DATA when a parameter waits for
// data at execution.
SQLRETURN ExecuteOrNeedData(CHStatement& st) {
  if (FirstParameterNeedingData(st) != 0) return SQL_NEED_DATA;
  return ExecuteStatement(st);
}

}  // namespace

extern "C" {

KESTRION_EXPORT SQLRETURN SQL_API SQLPrepareW(SQLHSTMT hstmt, SQLWCHAR *szSqlStr, SQLINTEGER cbSqlStr) {
  return Guarded<CHStatement>(hstmt, HandleKind::Statement, [&](CHStatement& st) -> SQLRETURN {
    st.state.need_data = false;
    corvane::VString text;
    if (!TakeStatementText(st, szSqlStr, cbSqlStr, text)) return st.return_code();
    return PrepareStatement(st, std::move(text));
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLExecute(SQLHSTMT StatementHandle) {
  return Guarded<CHStatement>(StatementHandle, HandleKind::Statement,
                              [&](CHStatement& st) -> SQLRETURN { return ExecuteOrNeedData(st); });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT hstmt, SQLWCHAR *szSqlStr, SQLINTEGER cbSqlStr) {
  return Guarded<CHStatement>(hstmt, HandleKind::Statement, [&](CHStatement& st) -> SQLRETURN {
    st.state.need_data = false;
    corvane::VString text;
    if (!TakeStatementText(st, szSqlStr, cbSqlStr, text)) return st.return_code();
    const SQLRETURN rc = PrepareForDirectExecution(st, std::move(text));
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) return rc;
    return ExecuteOrNeedData(st);
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLNumParams(SQLHSTMT hstmt, SQLSMALLINT *pcpar) {
  return Guarded<CHStatement>(hstmt, HandleKind::Statement, [&](CHStatement& st) -> SQLRETURN {
    CHDescriptor* ipd = st.current_descriptor(DescriptorRole::ImpParam);
    if (pcpar != nullptr) *pcpar = ipd != nullptr ? std::max<SQLSMALLINT>(ipd->count(), 0) : 0;
    return st.return_code();
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLDescribeParam(SQLHSTMT hstmt, SQLUSMALLINT ipar, SQLSMALLINT *pfSqlType, SQLULEN *pcbParamDef, SQLSMALLINT *pibScale, SQLSMALLINT *pfNullable) {
  return Guarded<CHStatement>(hstmt, HandleKind::Statement, [&](CHStatement& st) -> SQLRETURN {
    return DescribeParameter(st, ipar, pfSqlType, pcbParamDef, pibScale, pfNullable);
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLParamData(SQLHSTMT StatementHandle, SQLPOINTER *Value) {
  return Guarded<CHStatement>(StatementHandle, HandleKind::Statement, [&](CHStatement& st) -> SQLRETURN {
    if (!st.state.need_data) {
      return st.Post(SqlState::HY010, u"No data-at-execution parameter is waiting for data.");
    }
    SQLPOINTER token = nullptr;
    if (NextParameterNeedingData(st, Value != nullptr ? Value : &token) != 0) return SQL_NEED_DATA;
    st.state.need_data = false;
    return ExecuteStatement(st);
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLPutData(SQLHSTMT StatementHandle, SQLPOINTER Data, SQLLEN StrLen_or_Ind) {
  return Guarded<CHStatement>(StatementHandle, HandleKind::Statement, [&](CHStatement& st) -> SQLRETURN {
    return PutData(st, Data, StrLen_or_Ind);
  });
}

}  // extern "C"
