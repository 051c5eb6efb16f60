// SQLFetch, SQLFetchScroll, SQLExtendedFetch and SQLGetData.
#include "driver/entry_guard.h"
#include "driver/statement.h"
#include "statement/fetch.h"
#include "statement/get_data.h"

using namespace kestrion;

extern "C" {

KESTRION_EXPORT SQLRETURN SQL_API SQLFetch(SQLHSTMT StatementHandle) {
  return Guarded<CHStatement>(StatementHandle, HandleKind::Statement, [&](CHStatement& st) -> SQLRETURN {
    return CommonFetch(st, SQL_FETCH_NEXT, 1, st.row_status_ptr(), nullptr);
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT StatementHandle, SQLSMALLINT FetchOrientation, SQLLEN FetchOffset) {
  return Guarded<CHStatement>(StatementHandle, HandleKind::Statement, [&](CHStatement& st) -> SQLRETURN {
    return CommonFetch(st, FetchOrientation, FetchOffset, st.row_status_ptr(), nullptr);
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLExtendedFetch(SQLHSTMT hstmt, SQLUSMALLINT fFetchType, SQLLEN irow, SQLULEN *pcrow, SQLUSMALLINT *rgfRowStatus) {
  return Guarded<CHStatement>(hstmt, HandleKind::Statement, [&](CHStatement& st) -> SQLRETURN {
    return CommonFetch(st, static_cast<SQLSMALLINT>(fFetchType), irow, rgfRowStatus, pcrow);
  });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLGetData(SQLHSTMT StatementHandle, SQLUSMALLINT ColumnNumber, SQLSMALLINT TargetType, SQLPOINTER TargetValue, SQLLEN BufferLength, SQLLEN *StrLen_or_Ind) {
  return Guarded<CHStatement>(StatementHandle, HandleKind::Statement, [&](CHStatement& st) -> SQLRETURN {
    return GetData(st, ColumnNumber, TargetType, TargetValue, BufferLength, StrLen_or_Ind);
  });
}

}  // extern "C"
