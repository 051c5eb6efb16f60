// SQLNumResultCols, SQLDescribeColW, SQLColAttributeW, SQLRowCount,
// SQLMoreResults, SQLCloseCursor and SQLCancel.
#include "driver/descriptor.h"
#include "driver/entry_guard.h"
#include "driver/statement.h"
#include "statement/close_statement.h"
#include "statement/describe_column.h"
#include "statement/more_results.h"

using namespace kestrion;

extern "C" {

KESTRION_EXPORT SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT StatementHandle, SQLSMALLINT *ColumnCount) {
  return Guarded<CHStatement>(StatementHandle, HandleKind::Statement, [&](CHStatement& st) -> SQLRETURN {
    CHDescriptor* ird = st.current_descriptor(DescriptorRole::ImpRow);
    if (ColumnCount != nullptr) {
      *ColumnCount = ird != nullptr ? std::max<SQLSMALLINT>(ird->count(), 0) : 0;
    }
    return st.return_code();
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLDescribeColW(SQLHSTMT hstmt, SQLUSMALLINT icol, SQLWCHAR *szColName, SQLSMALLINT cbColNameMax, SQLSMALLINT *pcbColName, SQLSMALLINT *pfSqlType, SQLULEN *pcbColDef, SQLSMALLINT *pibScale, SQLSMALLINT *pfNullable) {
  return Guarded<CHStatement>(hstmt, HandleKind::Statement, [&](CHStatement& st) -> SQLRETURN {
    return DescribeColumn(st, icol, szColName, cbColNameMax, pcbColName, pfSqlType, pcbColDef,
                          pibScale, pfNullable);
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLColAttributeW(SQLHSTMT hstmt, SQLUSMALLINT iCol, SQLUSMALLINT iField, SQLPOINTER pCharAttr, SQLSMALLINT cbCharAttrMax, SQLSMALLINT *pcbCharAttr, SQLLEN *pNumAttr) {
  return Guarded<CHStatement>(hstmt, HandleKind::Statement, [&](CHStatement& st) -> SQLRETURN {
    return ColumnAttribute(st, iCol, iField, pCharAttr, cbCharAttrMax, pcbCharAttr, pNumAttr);
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLRowCount(SQLHSTMT StatementHandle, SQLLEN *RowCount) {
  return Guarded<CHStatement>(StatementHandle, HandleKind::Statement, [&](CHStatement& st) -> SQLRETURN {
    if (RowCount != nullptr) *RowCount = static_cast<SQLLEN>(st.state.row_count);
    return st.return_code();
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLMoreResults(SQLHSTMT hstmt) {
  return Guarded<CHStatement>(hstmt, HandleKind::Statement,
                              [&](CHStatement& st) -> SQLRETURN { return MoreResults(st); });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT StatementHandle) {
  return Guarded<CHStatement>(StatementHandle, HandleKind::Statement, [&](CHStatement& st) -> SQLRETURN {
    if (!CloseStatement(st)) st.Post(SqlState::S24000, u"No cursor was open on this StatementHandle.");
    return st.return_code();
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLCancel(SQLHSTMT StatementHandle) {
  // A call of this statement running on another thread holds the
  // connection's call lock: it is only signalled, and answers HY008 itself.
  // The statement's diagnostics belong to that call and stay untouched.
  if (CSQLHandle* h = HandleRegistry::Find(StatementHandle, HandleKind::Statement)) {
    CancelSignal* signal = h->_CancelSignal();
    if (signal != nullptr && signal->Request(h)) return SQL_SUCCESS;
  }
  // Nothing runs: close the cursor and end a data-at-execution sequence.
  return Guarded<CHStatement>(StatementHandle, HandleKind::Statement, [&](CHStatement& st) -> SQLRETURN {
    st.state.need_data = false;
    st.state.pieces.clear();
    CloseStatement(st);
    return st.return_code();
  });
}

}  // extern "C"
