// One client's session: its link, its SQLite connection, its login state and
// the results it keeps. Runs on the client's own thread.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "server/batch.h"
#include "server/cancel_registry.h"
#include "server/client_link.h"
#include "server/options.h"
#include "server/reply.h"
#include "server/request.h"
#include "server/result_set.h"
#include "server/session_interrupt.h"
#include "server/statement_cache.h"

namespace kestrion::server {

class Session {
 public:
  // `number` names the session in CANCEL requests, listed in `cancels`.
  Session(ClientLink& link, const ServerOptions& options, std::string database_path, int number,
          CancelRegistry& cancels);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Serves requests until the client quits, disconnects or breaks the protocol.
  void Run();

 private:
  enum class Next { kContinue, kClose };
  Next Handle(const Request& req);
  Next Login(const Request& req);
  Next Logout(const Request& req);
  Next Prepare(const Request& req, const std::string& sql);
  Next Execute(const Request& req, const std::string& sql, const std::vector<corvane::VValue>& params);
  Next Fetch(const Request& req);
  Next Close(const Request& req);
  Next BulkModify(const Request& req);
  // CANCEL: interrupts a request of another session that names its key.
  Next Cancel(const Request& req);
  // Waits `ms` (a test option) unless the request is cancelled meanwhile.
  bool Delay(int ms) { return ms <= 0 || interrupt_.Sleep(ms); }
  // Forgets the kept results named in a CLOSE-STATEMENT-IDS list.
  void CloseListed(std::string_view ids);
  // Keeps the results of an execute under `id`.
  void Keep(std::int32_t id, KeptStatement kept);
  // Forgets the results kept under `id`, keeping their memory as the spare;
  // false when there are none.
  bool Forget(std::int32_t id);

  // A statement text as the request sends it (Base64) and as it runs.
  struct StatementText {
    bool valid = false;
    std::string base64;
    std::string sql;       // decoded, ODBC escapes and maximum lengths removed
    bool catalog = false;  // mentions the system tables
    int markers = 0;       // parameter markers
  };
  // The decoded text of a STATEMENT-BASE64 value, or null when it is not
  // valid Base64 of UTF-8. The last one is kept: a prepared statement
  // executed again and again sends the same text, decoded only once.
  const StatementText* DecodeStatementText(std::string_view base64);

  Next Fail(const Request& req, int code, const std::string& text, Next next = Next::kContinue,
            std::string_view sqlstate = {});
  // An SQL error; any error of a cancelled request is reported as the
  // interruption.
  Next Fail(const Request& req, const SqlError& error);
  bool Send();
  bool OpenDatabase(std::string& error);
  void EndSession();
  // The kept result named by STATEMENT-ID and COMMAND-INDEX, or null.
  ResultSet* FindResult(const Request& req, std::string& error);

  ClientLink& link_;
  const ServerOptions& options_;
  std::string database_path_;
  int number_;
  sqlite3* db_ = nullptr;
  bool logged_in_ = false;
  std::int32_t next_statement_id_ = 1;
  std::map<std::int32_t, KeptStatement> kept_;
  // The memory of forgotten results and of their place in kept_, which the
  // next execute uses again: a point select then allocates little.
  KeptStatement spare_;
  std::map<std::int32_t, KeptStatement>::node_type spare_node_;
  StatementCache statements_;
  StatementText last_text_;
  // The request being served (its parts point into Run's header text), its
  // parameter kinds and values; kept so that their memory serves the next.
  Request request_;
  std::vector<std::string_view> parameter_kinds_;
  std::vector<corvane::VValue> params_;
  Reply reply_;
  // The rows of the page being answered, encoded; kept between requests.
  ByteBuffer page_;
  CancelRegistry& cancels_;
  const std::string cancel_key_ = CancelRegistry::NewKey();
  SessionInterrupt interrupt_{link_};
};

// The largest request header accepted.

}  // namespace kestrion::server
