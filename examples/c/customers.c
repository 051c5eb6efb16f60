/* Lists the first customers of the sample database through the ODBC C API.
 *
 * Build: cc -o customers customers.c -lodbc       (Debian: unixodbc-dev)
 * Usage: ./customers "DSN=KestrionSample;UID=demo;PWD=demo" [LIMIT]
 */
#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <stdlib.h>

/* Prints every diagnostic record of a handle: SQLSTATE, native error, text. */
static void print_diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  SQLCHAR state[6], text[1024];
  SQLINTEGER native;
  SQLSMALLINT length;
  for (SQLSMALLINT i = 1;
       SQL_SUCCEEDED(SQLGetDiagRec(type, handle, i, state, &native, text, sizeof text, &length));
       ++i) {
    fprintf(stderr, "%s (%ld): %s\n", (char *)state, (long)native, (char *)text);
  }
}

int main(int argc, char **argv) {
  const char *connection_string = argc > 1 ? argv[1] : "DSN=KestrionSample";
  SQLINTEGER limit = argc > 2 ? atoi(argv[2]) : 5;
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  int status = 1;

  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, NULL, (SQLCHAR *)connection_string, SQL_NTS, NULL, 0,
                                      NULL, SQL_DRIVER_NOPROMPT))) {
    fprintf(stderr, "connect failed\n");
    print_diagnostics(SQL_HANDLE_DBC, dbc);
    goto done;
  }

  SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
  if (!SQL_SUCCEEDED(SQLPrepare(
          stmt, (SQLCHAR *)"SELECT id, name, email FROM customers WHERE id <= ? ORDER BY id",
          SQL_NTS)) ||
      !SQL_SUCCEEDED(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0,
                                      &limit, 0, NULL)) ||
      !SQL_SUCCEEDED(SQLExecute(stmt))) {
    print_diagnostics(SQL_HANDLE_STMT, stmt);
    goto done;
  }

  SQLINTEGER id;
  SQLCHAR name[64], email[128];
  SQLLEN id_ind, name_ind, email_ind;
  SQLBindCol(stmt, 1, SQL_C_SLONG, &id, 0, &id_ind);
  SQLBindCol(stmt, 2, SQL_C_CHAR, name, sizeof name, &name_ind);
  SQLBindCol(stmt, 3, SQL_C_CHAR, email, sizeof email, &email_ind);
  SQLRETURN rc;
  while (SQL_SUCCEEDED(rc = SQLFetch(stmt))) {
    printf("%3d  %-14s %s\n", (int)id, (char *)name,
           email_ind == SQL_NULL_DATA ? "(no e-mail)" : (char *)email);
  }
  if (rc != SQL_NO_DATA) {
    print_diagnostics(SQL_HANDLE_STMT, stmt);
    goto done;
  }
  /* The statement is used again for another result: close the cursor and
     drop the bindings of the columns it no longer has. */
  SQLCloseCursor(stmt);
  SQLFreeStmt(stmt, SQL_UNBIND);

  SQLBIGINT orders = 0;
  if (!SQL_SUCCEEDED(SQLExecDirect(stmt, (SQLCHAR *)"SELECT COUNT(*) FROM orders", SQL_NTS)) ||
      !SQL_SUCCEEDED(SQLFetch(stmt)) ||
      !SQL_SUCCEEDED(SQLGetData(stmt, 1, SQL_C_SBIGINT, &orders, 0, NULL))) {
    print_diagnostics(SQL_HANDLE_STMT, stmt);
    goto done;
  }
  printf("orders: %lld\n", (long long)orders);
  status = 0;

done:
  if (stmt != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return status;
}
