#include "statement/transaction.h"

#include "driver/connection.h"
#include "driver/environment.h"
#include "driver/statement.h"
#include "statement/close_statement.h"
#include "statement/statement_exchange.h"

namespace kestrion {

void CHStatement::_EndTransaction(int16_t completion) {
  {
    StatementExchange check(*this);
    if (!check.CheckConnection()) return;
  }
  const bool commit = completion == SQL_COMMIT;
  if (!commit) CloseStatement(*this);
  StatementExchange exchange(*this);
  CHConnection& c = exchange.connection();
  SendTransactionEnd(c, state.buffer, commit);
  exchange.Sync();
}

void EndConnectionTransaction(CHConnection& connection, std::int16_t completion) {
  if (!TransactionOpen(connection)) return;
  if (!connection.session.LinkAlive()) {
    connection.Post(SqlState::HY010, u"No database connection.");
    return;
  }
  SendTransactionEnd(connection, connection.session.own_buffer, completion == SQL_COMMIT);
}

void CommitOpenTransaction(CHConnection& connection) {
  EndConnectionTransaction(connection, SQL_COMMIT);
}

namespace {

void EndOnConnection(CHConnection& connection, SQLSMALLINT completion) {
  connection._EndTransaction(completion);
  // A child's own failure is already reported as "ChildHandle error.".
  EndConnectionTransaction(connection, completion);
}

}  // namespace

SQLRETURN EndTransaction(CSQLHandle& handle, SQLSMALLINT completion) {
  if (handle.kind() != HandleKind::Environment && handle.kind() != HandleKind::Connection) {
    return handle.Post(SqlState::HY092,
                       u"Only SQL_HANDLE_ENV or SQL_HANDLE_DBC allowed for Handle type.");
  }
  if (completion != SQL_COMMIT && completion != SQL_ROLLBACK) {
    return handle.Post(SqlState::HY012,
                       u"Only SQL_ROLLBACK or SQL_COMMIT allowed for Completion type.");
  }
  if (handle.kind() == HandleKind::Connection) {
    EndOnConnection(static_cast<CHConnection&>(handle), completion);
  } else {
    for (CSQLHandle* child : handle.Children()) {
      if (child->kind() != HandleKind::Connection) continue;
      auto& connection = static_cast<CHConnection&>(*child);
      const std::size_t before = connection.diagnostics().size();
      EndOnConnection(connection, completion);
      if (ErrorSince(connection, before)) handle.Post(SqlState::HY000, u"ChildHandle error.");
    }
  }
  return handle.return_code();
}

}  // namespace kestrion
