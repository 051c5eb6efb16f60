// The shared library exports exactly the ODBC entry points and ConfigDSNW.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <set>
#include <string>

namespace {

std::set<std::string> DefinedDynamicSymbols(const std::string& library) {
  std::set<std::string> names;
  std::string command = "nm -D --defined-only '" + library + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return names;
  std::array<char, 512> line{};
  while (fgets(line.data(), line.size(), pipe) != nullptr) {
    char address[64], type[8], name[400];
    if (sscanf(line.data(), "%63s %7s %399s", address, type, name) == 3) names.insert(name);
  }
  pclose(pipe);
  return names;
}

TEST(Exports, ExactlyTheOdbcEntryPointsAndConfigDSNW) {
  const std::set<std::string> expected = {
      "SQLAllocHandle", "SQLFreeHandle", "SQLFreeStmt", "SQLCloseCursor", "SQLSetEnvAttr",
      "SQLGetEnvAttr", "SQLSetConnectAttrW", "SQLGetConnectAttrW", "SQLSetStmtAttrW",
      "SQLGetStmtAttrW", "SQLSetDescFieldW", "SQLGetDescFieldW", "SQLSetDescRec",
      "SQLGetDescRecW", "SQLBindParameter", "SQLBindCol", "SQLSetPos", "SQLBulkOperations",
      "SQLColumnsW", "SQLTablesW", "SQLPrimaryKeysW", "SQLForeignKeysW", "SQLSpecialColumnsW",
      "SQLStatisticsW", "SQLProceduresW", "SQLProcedureColumnsW", "SQLTablePrivilegesW",
      "SQLColumnPrivilegesW", "SQLColAttributeW", "SQLDescribeColW", "SQLConnectW",
      "SQLDisconnect", "SQLDriverConnectW", "SQLGetDiagFieldW", "SQLGetDiagRecW", "SQLPrepareW",
      "SQLNativeSqlW", "SQLExecute", "SQLExecDirectW", "SQLEndTran", "SQLCancel", "SQLRowCount",
      "SQLNumResultCols", "SQLNumParams", "SQLPutData", "SQLParamData", "SQLFetch",
      "SQLFetchScroll", "SQLExtendedFetch", "SQLGetData", "SQLMoreResults", "SQLGetInfoW",
      "SQLGetTypeInfoW", "SQLDescribeParam", "ConfigDSNW"};
  std::set<std::string> actual = DefinedDynamicSymbols(KESTRION_DRIVER_PATH);
  ASSERT_FALSE(actual.empty()) << "nm could not read " << KESTRION_DRIVER_PATH;
  // Version-script node names (not symbols) are not listed by nm; anything
  // else beyond the expected set is a leak of an internal symbol.
  EXPECT_EQ(actual, expected);
}

}  // namespace
