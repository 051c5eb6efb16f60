// Loading and unloading the driver library again and again while the
// application leaves handles behind, some of them connected with an open
// cursor: the unload hook destroys what is left (the sanitizer build checks
// that nothing leaks), and every load starts afresh.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "driver/odbc.h"
#include "tests/support/dev_server.h"
#include "toolbox/vstring.h"

namespace {

template <typename F>
F Symbol(void* library, const char* name) {
  return reinterpret_cast<F>(dlsym(library, name));
}

TEST(Unload, HundredLoadsWithLiveHandlesLeftBehind) {
  kestrion_test::DevServer server({"--sample"});
  ASSERT_TRUE(server.ok()) << server.error();
  const std::u16string connect = corvane::VString::FromUtf8(
      "DSN=*;Server=127.0.0.1;Port=" + std::to_string(server.port()) + ";UID=;LoginTimeout=5");
  const std::u16string query = u"SELECT id, name FROM customers";
  for (int round = 0; round < 100; ++round) {
    void* library = dlopen(KESTRION_DRIVER_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto alloc = Symbol<SQLRETURN (*)(SQLSMALLINT, SQLHANDLE, SQLHANDLE*)>(library, "SQLAllocHandle");
    auto set_env = Symbol<SQLRETURN (*)(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER)>(library, "SQLSetEnvAttr");
    auto driver_connect =
        Symbol<SQLRETURN (*)(SQLHDBC, SQLHWND, SQLWCHAR*, SQLSMALLINT, SQLWCHAR*, SQLSMALLINT, SQLSMALLINT*,
                             SQLUSMALLINT)>(library, "SQLDriverConnectW");
    auto exec = Symbol<SQLRETURN (*)(SQLHSTMT, SQLWCHAR*, SQLINTEGER)>(library, "SQLExecDirectW");
    auto fetch = Symbol<SQLRETURN (*)(SQLHSTMT)>(library, "SQLFetch");
    ASSERT_TRUE(alloc && set_env && driver_connect && exec && fetch);

    SQLHENV env = nullptr;
    SQLHDBC dbc = nullptr;
    SQLHSTMT stmt = nullptr;
    ASSERT_EQ(alloc(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    set_env(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    ASSERT_EQ(alloc(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
    if (round % 10 == 0) {
      // A live connection with an open cursor and a page of rows cached.
      std::u16string text = connect;
      ASSERT_TRUE(SQL_SUCCEEDED(driver_connect(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS,
                                               nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)));
      ASSERT_EQ(alloc(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
      std::u16string sql = query;
      ASSERT_EQ(exec(stmt, reinterpret_cast<SQLWCHAR*>(sql.data()), SQL_NTS), SQL_SUCCESS);
      ASSERT_EQ(fetch(stmt), SQL_SUCCESS);
    } else {
      alloc(SQL_HANDLE_STMT, dbc, &stmt);  // refused: not connected
    }
    // Nothing is freed: unloading must take care of it.
    ASSERT_EQ(dlclose(library), 0);
  }
  // The server saw every connection end and still serves.
  EXPECT_EQ(server.Stop(), 0);
}

}  // namespace
