// An ODBC application for the desktop test: goes through unixODBC's installer
// (SQLConfigDataSourceW) and Driver Manager (SQLDriverConnectW) as a
// graphical application would, and prints what it got.
//   desktop_client config add|configure|remove DRIVER ATTRIBUTES
//   desktop_client prompt|connect CONNECTION-STRING
#include <odbcinst.h>
#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "toolbox/vstring.h"

namespace {

using corvane::VString;

int Config(const char* what, const char* driver, const char* attributes) {
  const WORD request = std::strcmp(what, "add") == 0         ? ODBC_ADD_DSN
                       : std::strcmp(what, "configure") == 0 ? ODBC_CONFIG_DSN
                                                              : ODBC_REMOVE_DSN;
  VString d = VString::FromUtf8(driver);
  VString a = VString::FromUtf8(attributes);
  a.push_back(0);  // the list ends with an empty attribute
  const BOOL ok = SQLConfigDataSourceW(nullptr, request, reinterpret_cast<LPCWSTR>(d.c_str()),
                                       reinterpret_cast<LPCWSTR>(a.c_str()));
  std::printf("%s\n", ok ? "TRUE" : "FALSE");
  for (WORD i = 1; i <= 8; ++i) {
    DWORD code = 0;
    char message[512] = {};
    if (SQLInstallerError(i, &code, message, sizeof message, nullptr) != SQL_SUCCESS) break;
    std::printf("installer error %u: %s\n", static_cast<unsigned>(code), message);
  }
  return ok ? 0 : 1;
}

void PrintDiagnostics(SQLHDBC dbc) {
  SQLCHAR state[6], text[1024];
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  for (SQLSMALLINT i = 1;
       SQLGetDiagRec(SQL_HANDLE_DBC, dbc, i, state, &native, text, sizeof text, &length) ==
       SQL_SUCCESS;
       ++i) {
    std::printf("diagnostic %s %s\n", state, text);
  }
}

int Connect(bool prompt, const char* text) {
  SQLHENV env = nullptr;
  SQLHDBC dbc = nullptr;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  VString in = VString::FromUtf8(text);
  SQLWCHAR out[1024] = {};
  SQLSMALLINT out_length = 0;
  // The window handle is opaque to the driver; the Driver Manager wants one
  // that is not null before it lets a driver prompt.
  const SQLRETURN rc = SQLDriverConnectW(
      dbc, prompt ? reinterpret_cast<SQLHWND>(1) : nullptr, reinterpret_cast<SQLWCHAR*>(in.data()),
      SQL_NTS, out, 1024, &out_length, prompt ? SQL_DRIVER_PROMPT : SQL_DRIVER_NOPROMPT);
  std::printf("connect %d\n", static_cast<int>(rc));
  PrintDiagnostics(dbc);
  int status = 1;
  if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) {
    SQLHSTMT stmt = nullptr;
    SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    SQLINTEGER count = -1;
    SQLLEN indicator = 0;
    if (SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>("SELECT COUNT(*) FROM customers")),
                      SQL_NTS) != SQL_ERROR &&
        SQLFetch(stmt) == SQL_SUCCESS &&
        SQLGetData(stmt, 1, SQL_C_SLONG, &count, 0, &indicator) != SQL_ERROR) {
      std::printf("customers %d\n", static_cast<int>(count));
      status = 0;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    SQLDisconnect(dbc);
  }
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc == 5 && std::strcmp(argv[1], "config") == 0) return Config(argv[2], argv[3], argv[4]);
  if (argc == 3 && std::strcmp(argv[1], "prompt") == 0) return Connect(true, argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "connect") == 0) return Connect(false, argv[2]);
  std::fputs("usage: desktop_client config add|configure|remove DRIVER ATTRIBUTES\n"
             "       desktop_client prompt|connect CONNECTION-STRING\n",
             stderr);
  return 2;
}
