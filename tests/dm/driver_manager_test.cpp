// The driver loaded by the unixODBC Driver Manager from a private
// odbcinst.ini: handles, attributes passed through, and diagnostics that
// come from the driver itself.
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <string>

#include "tests/support/odbc_config.h"

namespace {

std::u16string W(const char* s) { return std::u16string(s, s + std::char_traits<char>::length(s)); }

std::string Narrow(const SQLWCHAR* w) {
  std::string out;
  for (; *w; ++w) out.push_back(static_cast<char>(*w));
  return out;
}

TEST(DriverManager, LoadsTheDriverAndReadsItsDiagnostics) {
  kestrion_test::PrivateOdbcConfig config;
  SQLHENV env = nullptr;
  SQLHDBC dbc = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
  ASSERT_EQ(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
            SQL_SUCCESS);
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
  // Nothing listens on port 1 of loopback: the driver is loaded, tries and
  // reports its own diagnostic.
  std::u16string in = W("DRIVER={Kestrion};Server=127.0.0.1;Port=1;UID=u;PWD=p;"
                        "PhysicalConnectionTimeout=2;LoginTimeout=2");
  SQLWCHAR out[512];
  SQLSMALLINT out_len = 0;
  SQLRETURN rc = SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(in.data()), SQL_NTS,
                                   out, 512, &out_len, SQL_DRIVER_NOPROMPT);
  EXPECT_EQ(rc, SQL_ERROR);
  SQLWCHAR state[6] = {0};
  SQLWCHAR text[1024] = {0};
  SQLINTEGER native = 0;
  SQLSMALLINT text_len = 0;
  ASSERT_EQ(SQLGetDiagRecW(SQL_HANDLE_DBC, dbc, 1, state, &native, text, 1024, &text_len),
            SQL_SUCCESS);
  const std::string code = Narrow(state);
  // IM002/IM003 would mean the Driver Manager could not find or load the driver.
  EXPECT_NE(code, "IM002");
  EXPECT_NE(code, "IM003");
  EXPECT_NE(code, "IM004");
  std::printf("driver answered: %s %s\n", code.c_str(), Narrow(text).c_str());
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_DBC, dbc), SQL_SUCCESS);
  EXPECT_EQ(SQLFreeHandle(SQL_HANDLE_ENV, env), SQL_SUCCESS);
}

}  // namespace
