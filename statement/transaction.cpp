#include "statement/transaction.h"

#include "driver/connection.h"
#include "driver/entry_guard.h"
#include "driver/environment.h"
#include "driver/statement.h"
#include "statement/close_statement.h"
#include "statement/statement_exchange.h"

namespace kestrion {

void CHStatement::_EndTransaction(int16_t completion) {
  // A lost link is reported once, by the connection.
  if (ConnectionDead(*connection())) return;
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
  if (ConnectionDead(connection)) {
    // Without a transaction open when the link went there is nothing to end.
    if (connection.transaction_link == nullptr) return;
    connection.transaction_link = nullptr;
    connection.Post(SqlState::S08S01,
                    u"The link to the server is lost; the transaction was not ended.");
    return;
  }
  if (!TransactionOpen(connection)) return;
  if (!connection.session.LinkAlive()) {
    connection.session.MarkDead();
    connection.Post(SqlState::S08S01,
                    u"The link to the server is lost; the transaction was not ended.");
    return;
  }
  // The query time-out bounds the exchange, as for a statement's request.
  Session& s = connection.session;
  const auto saved = s.deadline;
  const std::int32_t timeout = connection.query_timeout();
  s.SetDeadlineSeconds(timeout > 0 ? timeout : -1);
  SendTransactionEnd(connection, s.own_buffer, completion == SQL_COMMIT);
  s.deadline = saved;
}

void CommitOpenTransaction(CHConnection& connection) {
  EndConnectionTransaction(connection, SQL_COMMIT);
}

namespace {

void EndOnConnection(CHConnection& connection, SQLSMALLINT completion) {
  const std::size_t before = connection.diagnostics().size();
  connection._EndTransaction(completion);
  if (ConnectionDead(connection)) {
    // The lost link is the cause, not a child's error: a COMMIT that may
    // have reached the server is 08007, anything else 08S01.
    bool uncertain = false;
    for (std::size_t i = before; i < connection.diagnostics().size(); ++i) {
      if (connection.diagnostics()[i].state == SqlState::S08007) uncertain = true;
    }
    connection.DropDiagnosticsFrom(before);
    if (uncertain) {
      connection.Post(SqlState::S08007,
                      u"The link to the server was lost during COMMIT; whether the transaction "
                      u"was committed is unknown.");
    } else {
      EndConnectionTransaction(connection, completion);
    }
    return;
  }
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
      // Each connection's transaction ends between the calls other threads
      // make on that connection, never inside one of their exchanges.
      const CallLockHolder held(connection);
      const std::size_t before = connection.diagnostics().size();
      EndOnConnection(connection, completion);
      if (ErrorSince(connection, before)) handle.Post(SqlState::HY000, u"ChildHandle error.");
    }
  }
  return handle.return_code();
}

}  // namespace kestrion
