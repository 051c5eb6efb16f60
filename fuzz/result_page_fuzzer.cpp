// The driver against a hostile server: the input is the server's side of a
// session after LOGIN (see support/fuzz_server.h), played to the driver while
// it prepares and executes a query, describes the result, fetches every page
// of rows into the row cache and converts each column, reads further results
// and the diagnostics, closes and disconnects. The first input byte chooses
// how the application calls: prepare and execute or execute directly, the
// rowset size and the C type of the column values.
#include <sql.h>
#include <sqlext.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/connection.h"
#include "fuzz/support/fuzz_input.h"
#include "fuzz/support/fuzz_server.h"
#include "toolbox/vstring.h"

namespace {

constexpr SQLSMALLINT kCTypes[] = {SQL_C_WCHAR,     SQL_C_CHAR,      SQL_C_SLONG,
                                   SQL_C_DOUBLE,    SQL_C_NUMERIC,   SQL_C_TYPE_TIMESTAMP,
                                   SQL_C_BINARY,    SQL_C_SBIGINT,   SQL_C_BIT,
                                   SQL_C_TYPE_DATE, SQL_C_TYPE_TIME, SQL_C_GUID};

std::u16string W(const std::string& text) { return corvane::VString::FromUtf8(text); }

void ReadDiagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  for (SQLSMALLINT i = 1; i < 32; ++i) {
    SQLWCHAR state[6];
    SQLWCHAR text[512];
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, i, state, &native, text, 512, &length))) break;
  }
}

void Query(SQLHDBC dbc, std::uint8_t mode) {
  SQLHSTMT stmt = nullptr;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt))) return;
  const SQLULEN rowset = (mode & 0x10) ? 7 : 1;
  SQLSetStmtAttrW(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(rowset), 0);
  std::u16string sql = W("SELECT * FROM fuzz");
  SQLRETURN rc;
  if (mode & 0x20) {
    rc = SQLPrepareW(stmt, reinterpret_cast<SQLWCHAR*>(sql.data()), SQL_NTS);
    if (SQL_SUCCEEDED(rc)) rc = SQLExecute(stmt);
  } else {
    rc = SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(sql.data()), SQL_NTS);
  }
  ReadDiagnostics(SQL_HANDLE_STMT, stmt);
  const SQLSMALLINT ctype = kCTypes[(mode & 0x0F) % (sizeof kCTypes / sizeof kCTypes[0])];
  for (int result = 0; result < 8 && SQL_SUCCEEDED(rc); ++result) {
    SQLLEN count = 0;
    SQLRowCount(stmt, &count);
    SQLSMALLINT columns = 0;
    SQLNumResultCols(stmt, &columns);
    for (SQLUSMALLINT c = 1; c <= columns && c <= 64; ++c) {
      SQLWCHAR name[128];
      SQLSMALLINT name_length = 0, type = 0, digits = 0, nullable = 0;
      SQLULEN column_size = 0;
      SQLDescribeColW(stmt, c, name, 128, &name_length, &type, &column_size, &digits, &nullable);
      SQLLEN numeric = 0;
      SQLColAttributeW(stmt, c, SQL_DESC_DISPLAY_SIZE, nullptr, 0, nullptr, &numeric);
    }
    for (int fetches = 0; fetches < 200; ++fetches) {
      rc = SQLFetchScroll(stmt, SQL_FETCH_NEXT, 0);
      ReadDiagnostics(SQL_HANDLE_STMT, stmt);
      if (!SQL_SUCCEEDED(rc)) break;
      for (SQLUSMALLINT c = 1; c <= columns && c <= 64; ++c) {
        alignas(16) unsigned char buffer[300];
        SQLLEN indicator = 0;
        for (int piece = 0; piece < 4; ++piece) {
          SQLRETURN got = SQLGetData(stmt, c, ctype, buffer, sizeof buffer, &indicator);
          if (got != SQL_SUCCESS_WITH_INFO) break;
        }
      }
    }
    rc = SQLMoreResults(stmt);
    ReadDiagnostics(SQL_HANDLE_STMT, stmt);
  }
  SQLCloseCursor(stmt);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static kestrion_fuzz::FuzzServer* server = new kestrion_fuzz::FuzzServer();
  static SQLHENV env = [] {
    SQLHENV e = nullptr;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &e);
    SQLSetEnvAttr(e, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    return e;
  }();
  kestrion_fuzz::FuzzInput input(data, size);
  const std::uint8_t mode = input.Byte();

  const std::int32_t number = kestrion::CHConnection::NextConnectionNumber();
  SQLHDBC dbc = nullptr;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) return 0;
  server->Serve(number, input.Rest());
  std::u16string text = W("DSN=*;Server=127.0.0.1;Port=" + std::to_string(server->port()) +
                          ";UID=fuzz;PWD=x;LoginTimeout=5;QueryTimeout=5");
  SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS,
                                   nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  if (SQL_SUCCEEDED(rc)) {
    if (mode & 0x40) SQLSetConnectAttrW(dbc, SQL_ATTR_AUTOCOMMIT, SQL_AUTOCOMMIT_OFF, 0);
    Query(dbc, mode);
    if (mode & 0x40) SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT);
    SQLDisconnect(dbc);
  }
  ReadDiagnostics(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  return 0;
}
