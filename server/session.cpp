#include "server/session.h"

#include <charconv>
#include <chrono>
#include <cstdint>

#include "server/batch.h"
#include "server/bulk_modify.h"
#include "server/dialect_types.h"
#include "server/error_codes.h"
#include "server/error_state.h"
#include "server/log.h"
#include "server/odbc_escapes.h"
#include "server/parameter_body.h"
#include "server/parameter_types.h"
#include "server/result_description.h"
#include "server/sql_tokens.h"
#include "server/system_tables.h"
#include "toolbox/base64.h"

namespace kestrion::server {

namespace {
constexpr int kDefaultPageSize = 100;
constexpr int kBodyTimeoutMs = 30000;
// deferred-close: CLOSE-STATEMENT-IDS on any request closes those results.
// execute-describes: the EXECUTE-STATEMENT reply describes every result as
// PREPARE-STATEMENT would.
// cancel: another connection may interrupt a request with CANCEL, naming the
// Session-ID and Cancel-Key of the LOGIN reply.
// pipeline: requests are read while earlier ones are answered, each reply in
// turn, so a client may send several before reading the first reply.
constexpr const char* kCapabilities = "deferred-close execute-describes cancel pipeline";

SqlError Interrupted() { return {kSqlErrorBase + SQLITE_INTERRUPT, "interrupted", "HY008"}; }
}  // namespace

Session::Session(ClientLink& link, const ServerOptions& options, std::string database_path, int number,
                 CancelRegistry& cancels)
    : link_(link), options_(options), database_path_(std::move(database_path)), number_(number),
      cancels_(cancels) {
  link_.set_body_timeout_ms(kBodyTimeoutMs);
}

Session::~Session() {
  // No cancel may reach the connection once it is closed.
  cancels_.Remove(number_);
  statements_.Clear();
  if (db_) sqlite3_close_v2(db_);
}

bool Session::OpenDatabase(std::string& error) {
  if (db_) return true;
  int rc = sqlite3_open_v2(database_path_.c_str(), &db_,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    error = db_ ? sqlite3_errmsg(db_) : "cannot open the database";
    sqlite3_close_v2(db_);
    db_ = nullptr;
    return false;
  }
  // A statement that meets another session's lock waits for it; a wait that
  // runs out fails with SQLITE_BUSY, which the client may retry.
  InstallBusyWait(db_, options_.busy_timeout_ms);
  interrupt_.Attach(db_);
  sqlite3_exec(db_, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
  // Database pages are read through a shared mapping of the file instead of
  // a read system call each, once they fall out of the session's page cache.
  sqlite3_exec(db_, "PRAGMA mmap_size = 268435456", nullptr, nullptr, nullptr);
  if (!CreateSystemTables(db_)) {
    error = sqlite3_errmsg(db_);
    return false;
  }
  // After the system tables, which are temporary, are made.
  statements_.WatchTempSchema(db_);
  return true;
}

Session::Next Session::Fail(const Request& req, const SqlError& error) {
  const SqlError& reported = interrupt_.cancelled() ? Interrupted() : error;
  return Fail(req, reported.code, reported.message, Next::kContinue, reported.sqlstate);
}

bool Session::Send() {
  // A page buffer grown for one large page is given back.
  if (page_.capacity() > (std::size_t{4} << 20)) page_ = ByteBuffer();
  return link_.SendReply(reply_.bytes().data(), reply_.bytes().size());
}

Session::Next Session::Fail(const Request& req, int code, const std::string& text, Next next,
                            std::string_view sqlstate) {
  reply_.Error(req.id, code, text, sqlstate);
  if (LogEnabled(LogLevel::kDebug))
    Log(LogLevel::kDebug, "client " + std::to_string(number_) + ": " + std::string(req.id) + " " +
                              std::string(req.command) + " -> error " +
                              std::to_string(code) + " " + text);
  if (!Send()) return Next::kClose;
  return next;
}

void Session::EndSession() {
  kept_.clear();
  logged_in_ = false;
  if (db_ && !sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Session::Run() {
  std::string header;
  const int idle_ms = options_.idle_timeout * 1000;
  for (;;) {
    const auto max_bytes = static_cast<std::size_t>(options_.max_header_bytes);
    auto status = link_.ReadHeader(header, max_bytes, idle_ms, kBodyTimeoutMs);
    if (status == ClientLink::HeaderStatus::kTooLarge) {
      Request req = ParseRequest(std::string_view(header).substr(0, header.find("\r\n")));
      if (Fail(req, kHeaderTooLarge,
               "Request header larger than " + std::to_string(max_bytes) + " bytes.") == Next::kClose)
        break;
      // The rest of the header is skipped. A parameter body after it cannot
      // be told from the next request, so then the link is closed.
      bool parameters = false;
      if (!link_.SkipHeader(kBodyTimeoutMs, parameters)) break;
      if (parameters) {
        link_.CloseGracefully();
        break;
      }
      continue;
    }
    if (status == ClientLink::HeaderStatus::kTimeout) {
      Log(LogLevel::kInfo, "client " + std::to_string(number_) + ": idle time-out");
      break;
    }
    if (status != ClientLink::HeaderStatus::kOk) break;
    Request& req = request_;
    ParseRequest(header, req);
    interrupt_.Begin(req.id);
    const Next next = Handle(req);
    interrupt_.End();
    if (next == Next::kClose) {
      if (req.command != "QUIT") link_.CloseGracefully();
      break;
    }
  }
  link_.Flush();
  EndSession();
}

Session::Next Session::Handle(const Request& req) {
  const bool debug = LogEnabled(LogLevel::kDebug);
  const auto started = debug ? std::chrono::steady_clock::now() : std::chrono::steady_clock::time_point();
  const std::string_view cmd = req.command;

  // A parameter body follows exactly when the header names parameter kinds;
  // read it first so that the stream stays aligned whatever happens next.
  std::vector<corvane::VValue>& params = params_;
  params.clear();
  const StatementText* text = nullptr;
  if (const std::string_view* b64 = req.Find("STATEMENT-BASE64")) text = DecodeStatementText(*b64);
  const bool has_sql = text != nullptr;
  static const std::string kNoText;
  const std::string& sql = text ? text->sql : kNoText;
  if (const Request::Field* types = req.FindField("PARAMETER-TYPES")) {
    if (!has_sql) return Fail(req, kBadParameterBody, "Parameters without a readable statement text.", Next::kClose);
    std::string error;
    SplitParameterTypes(types->raw, parameter_kinds_);
    if (!ReadParameterBody(link_, text->markers, parameter_kinds_, params, error)) {
      link_.ClearError();
      return Fail(req, kBadParameterBody, error, Next::kClose);
    }
  }

  // Results the client closed since its last request.
  if (logged_in_ && options_.capabilities) {
    if (const std::string_view* ids = req.Find("CLOSE-STATEMENT-IDS")) CloseListed(*ids);
  }

  Next next;
  if (cmd == "LOGIN") {
    next = Login(req);
  } else if (cmd == "CANCEL" && options_.capabilities) {
    next = Cancel(req);
  } else if (cmd == "QUIT") {
    reply_.Begin(req.id);
    reply_.EndHeader();
    Send();
    next = Next::kClose;
  } else if (cmd != "LOGOUT" && cmd != "PREPARE-STATEMENT" && cmd != "EXECUTE-STATEMENT" && cmd != "FETCH-RESULT" &&
             cmd != "CLOSE-STATEMENT" && cmd != "BULK-MODIFY") {
    next = Fail(req, kUnknownCommand, "Unknown command.");
  } else if (!logged_in_) {
    next = Fail(req, kNotLoggedIn, "Not logged in.");
  } else if (cmd == "LOGOUT") {
    next = Logout(req);
  } else if (cmd == "PREPARE-STATEMENT" || cmd == "EXECUTE-STATEMENT") {
    if (!has_sql) {
      next = Fail(req, kBadRequest, "Missing or invalid STATEMENT-BASE64.");
    } else {
      const bool catalog = text->catalog;
      if (catalog && !Delay(options_.delay_catalog_ms)) {
        next = Fail(req, Interrupted());
      } else {
        if (catalog) RefreshSystemTables(db_);
        next = cmd == "PREPARE-STATEMENT" ? Prepare(req, sql) : Execute(req, sql, params);
      }
    }
  } else if (cmd == "FETCH-RESULT") {
    next = Fetch(req);
  } else if (cmd == "CLOSE-STATEMENT") {
    next = Close(req);
  } else {
    next = BulkModify(req);
  }
  params.clear();  // large values are not kept until the next request
  if (debug) {
    auto us = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started).count();
    Log(LogLevel::kDebug, "client " + std::to_string(number_) + ": " + std::string(req.id) + " " + std::string(cmd) +
                              (has_sql ? " [" + sql.substr(0, 200) + "]" : std::string()) + " " +
                              std::to_string(reply_.bytes().size()) + " bytes, " + std::to_string(us) + " us");
  }
  return next;
}

const Session::StatementText* Session::DecodeStatementText(std::string_view base64) {
  if (last_text_.valid && last_text_.base64 == base64) return &last_text_;
  last_text_.valid = false;
  auto text = corvane::Base64DecodeText(base64);
  if (!text) return nullptr;
  last_text_.base64 = base64;
  last_text_.sql = WithoutOdbcEscapes(WithoutMaxLengths(std::move(*text)));
  last_text_.catalog = MentionsSystemTables(last_text_.sql);
  last_text_.markers = CountMarkers(last_text_.sql);
  last_text_.valid = true;
  return &last_text_;
}

Session::Next Session::Login(const Request& req) {
  const std::string_view* user64 = req.Find("USER-NAME-BASE64");
  const std::string_view* pass64 = req.Find("USER-PASSWORD-BASE64");
  auto user = corvane::Base64DecodeText(user64 ? *user64 : std::string_view());
  auto pass = corvane::Base64DecodeText(pass64 ? *pass64 : std::string_view());
  if (!user || !pass) return Fail(req, kBadRequest, "User name or password is not valid Base64.");
  bool accepted = options_.users.empty();
  for (const UserEntry& u : options_.users)
    if (u.name == *user && u.password == *pass) accepted = true;
  if (!accepted) {
    Log(LogLevel::kInfo, "client " + std::to_string(number_) + ": login refused for '" + *user + "'");
    return Fail(req, kLoginRefused, "Login refused: unknown user or wrong password.");
  }
  std::string error;
  if (!OpenDatabase(error)) return Fail(req, kSqlErrorBase + SQLITE_CANTOPEN, "Cannot open the database: " + error);
  EndSession();
  logged_in_ = true;
  Log(LogLevel::kInfo, "client " + std::to_string(number_) + ": logged in as '" + *user + "'");
  reply_.Begin(req.id);
  reply_.Field("Server-Name", "kestrion-server");
  reply_.Field("Protocol-Version", "0.1a");
  if (options_.capabilities) {
    reply_.Field("Capabilities", kCapabilities);
    reply_.Field("Session-ID", static_cast<long long>(number_));
    reply_.Field("Cancel-Key", cancel_key_);
    cancels_.Add(number_, cancel_key_, &interrupt_);
  }
  reply_.EndHeader();
  return Send() ? Next::kContinue : Next::kClose;
}

Session::Next Session::Logout(const Request& req) {
  EndSession();
  reply_.Begin(req.id);
  reply_.EndHeader();
  return Send() ? Next::kContinue : Next::kClose;
}

Session::Next Session::Prepare(const Request& req, const std::string& sql) {
  std::vector<ResultSet> results;
  SqlError error;
  if (!DescribeBatch(db_, sql, results, error)) return Fail(req, error);
  reply_.Begin(req.id);
  DescribeResults(reply_, results, false, options_.capabilities);
  const std::string_view* describe = req.Find("describe-parameters");
  if (describe && (*describe == "Y" || *describe == "y")) {
    std::vector<std::string> kinds = DescribeParameterKinds(db_, sql);
    if (!kinds.empty()) {
      std::string list;
      for (const std::string& k : kinds) {
        if (!list.empty()) list.push_back(' ');
        list += k;
      }
      reply_.Field("Parameter-Types", list);
    }
  }
  reply_.EndHeader();
  return Send() ? Next::kContinue : Next::kClose;
}

Session::Next Session::Execute(const Request& req, const std::string& sql,
                               const std::vector<corvane::VValue>& params) {
  KeptStatement kept = std::move(spare_);
  SqlError error;
  const bool in_transaction = !sqlite3_get_autocommit(db_);
  CachedStatement* cached = nullptr;
  if (!ExecuteBatch(db_, sql, params, kept.results, error, &statements_, &cached)) {
    if (in_transaction && sqlite3_get_autocommit(db_)) {
      // SQLite rolled the whole transaction back (an interrupted change does
      // that). The client still counts on an open one: a new, empty one is
      // opened, so that what it runs next is not committed on its own.
      sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
      SqlError reported = interrupt_.cancelled() ? Interrupted() : error;
      reported.message += "; the open transaction was rolled back";
      return Fail(req, reported.code, reported.message, Next::kContinue, reported.sqlstate);
    }
    return Fail(req, error);
  }
  long long page = kDefaultPageSize;
  if (auto p = req.FindInt("FIRST-PAGE-SIZE"); p && *p > 0) page = *p;

  bool any_rows = false;
  for (const ResultSet& r : kept.results) any_rows = any_rows || r.row_set;
  std::int32_t id = 0;
  if (any_rows) {
    id = next_statement_id_;
    next_statement_id_ = next_statement_id_ == INT32_MAX ? 1 : next_statement_id_ + 1;
  }

  reply_.Begin(req.id);
  DescribeResults(reply_, kept.results, true, options_.capabilities, cached ? &cached->description : nullptr);
  reply_.Field("Statement-ID", id);
  std::size_t sent = 0;
  const ResultSet* first = kept.results.empty() ? nullptr : &kept.results.front();
  if (first && first->row_set) sent = std::min<std::size_t>(first->row_count(), static_cast<std::size_t>(page));
  page_.Clear();
  if (sent > 0) first->EncodeRows(0, sent - 1, page_);
  reply_.Field("Row-Count-Sent", static_cast<long long>(sent));
  std::size_t body = first && !first->row_set ? 4 : page_.size();
  reply_.Field("Body-Length", static_cast<long long>(body));
  reply_.EndHeader();
  if (first && !first->row_set) {
    std::int64_t c = first->update_count;
    reply_.AppendI32(static_cast<std::int32_t>(std::min<std::int64_t>(c, INT32_MAX)));
  } else if (sent > 0) {
    reply_.Append(page_.data(), page_.size());
  }
  if (any_rows) Keep(id, std::move(kept));
  else spare_ = std::move(kept);
  return Send() ? Next::kContinue : Next::kClose;
}

ResultSet* Session::FindResult(const Request& req, std::string& error) {
  auto id = req.FindInt("STATEMENT-ID");
  if (!id) {
    error = "Missing STATEMENT-ID.";
    return nullptr;
  }
  auto it = kept_.find(static_cast<std::int32_t>(*id));
  if (it == kept_.end() || *id != it->first) {
    error = "Unknown statement id " + std::to_string(*id) + ".";
    return nullptr;
  }
  long long index = req.FindInt("COMMAND-INDEX").value_or(0);
  if (index < 0 || index >= static_cast<long long>(it->second.results.size())) {
    error = "Unknown result " + std::to_string(index) + " of statement " + std::to_string(*id) + ".";
    return nullptr;
  }
  return &it->second.results[static_cast<std::size_t>(index)];
}

Session::Next Session::Fetch(const Request& req) {
  if (!Delay(options_.delay_fetch_ms)) return Fail(req, Interrupted());
  std::string error;
  ResultSet* r = FindResult(req, error);
  if (!r) return Fail(req, kUnknownStatement, error);
  if (!r->row_set) return Fail(req, kUnknownStatement, "That result is an update count, not rows.");
  long long total = static_cast<long long>(r->row_count());
  long long first = std::max(0LL, req.FindInt("FIRST-ROW-INDEX").value_or(0));
  long long last = std::min(total - 1, req.FindInt("LAST-ROW-INDEX").value_or(total - 1));
  long long count = last >= first ? last - first + 1 : 0;
  page_.Clear();
  if (count > 0) r->EncodeRows(static_cast<std::size_t>(first), static_cast<std::size_t>(last), page_);
  reply_.Begin(req.id);
  reply_.Field("Row-Count-Sent", count);
  reply_.Field("Body-Length", static_cast<long long>(page_.size()));
  reply_.EndHeader();
  if (count > 0) reply_.Append(page_.data(), page_.size());
  return Send() ? Next::kContinue : Next::kClose;
}

void Session::CloseListed(std::string_view ids) {
  std::size_t at = 0;
  while (at < ids.size()) {
    std::size_t end = ids.find(' ', at);
    if (end == std::string_view::npos) end = ids.size();
    std::int32_t id = 0;
    auto r = std::from_chars(ids.data() + at, ids.data() + end, id);
    // Unknown or malformed ids are ignored: the client no longer needs them.
    if (r.ec == std::errc() && r.ptr == ids.data() + end) Forget(id);
    at = end + 1;
  }
}

void Session::Keep(std::int32_t id, KeptStatement kept) {
  if (spare_node_.empty()) {
    kept_[id] = std::move(kept);
    return;
  }
  spare_node_.key() = id;
  spare_node_.mapped() = std::move(kept);
  auto placed = kept_.insert(std::move(spare_node_));
  if (!placed.inserted) {
    // The id came round again: the new results replace the old.
    placed.position->second = std::move(placed.node.mapped());
    spare_node_ = std::move(placed.node);
  }
}

bool Session::Forget(std::int32_t id) {
  auto node = kept_.extract(id);
  if (node.empty()) return false;
  spare_ = std::move(node.mapped());
  if (spare_.results.size() > 1) spare_.results.resize(1);
  if (!spare_.results.empty()) spare_.results.front().Reuse();
  spare_node_ = std::move(node);
  return true;
}

Session::Next Session::Cancel(const Request& req) {
  const auto session = req.FindInt("SESSION-ID");
  const std::string_view* key = req.Find("CANCEL-KEY");
  const std::string_view* request = req.Find("REQUEST-ID");
  // The answer is the same whether anything matched: it tells no one
  // whether a session or a key exists.
  const bool matched = session && key && request && *session >= INT32_MIN && *session <= INT32_MAX &&
                       cancels_.Cancel(static_cast<int>(*session), *key, *request);
  Log(LogLevel::kDebug, "client " + std::to_string(number_) + ": cancel of session " +
                            (session ? std::to_string(*session) : std::string("?")) +
                            (matched ? "" : " ignored (no such session or wrong key)"));
  reply_.Begin(req.id);
  reply_.EndHeader();
  if (!Send()) return Next::kClose;
  // A connection that only came to cancel ends here.
  return logged_in_ ? Next::kContinue : Next::kClose;
}

Session::Next Session::Close(const Request& req) {
  auto id = req.FindInt("STATEMENT-ID");
  if (!id) return Fail(req, kBadRequest, "Missing STATEMENT-ID.");
  if (*id != 0 && !Forget(static_cast<std::int32_t>(*id)))
    return Fail(req, kUnknownStatement, "Unknown statement id " + std::to_string(*id) + ".");
  reply_.Begin(req.id);
  reply_.EndHeader();
  return Send() ? Next::kContinue : Next::kClose;
}

Session::Next Session::BulkModify(const Request& req) {
  // The body must be consumed whatever the header says, so read the count first.
  auto count = req.FindInt("ROW-COUNT");
  if (!count || *count < 0 || *count > 1000000) {
    link_.DiscardInput(100);
    return Fail(req, kBadBulkModify, "Missing or invalid ROW-COUNT.", Next::kClose);
  }
  std::string error;
  ResultSet* r = FindResult(req, error);
  if (!r || !r->updatable) {
    link_.DiscardInput(100);
    return Fail(req, r ? kBadBulkModify : kUnknownStatement, r ? "That result is not updatable." : error);
  }
  std::vector<BulkItem> items;
  bool rest_unread = false;
  if (!ReadBulkItems(link_, *r, *count, items, rest_unread, error)) {
    link_.ClearError();
    return Fail(req, kBadBulkModify, error, Next::kClose);
  }
  if (rest_unread) link_.DiscardInput(100);
  std::vector<std::int64_t> ids;
  SqlError sql_error;
  if (!ApplyBulkItems(db_, *r, items, ids, sql_error)) return Fail(req, sql_error);
  reply_.Begin(req.id);
  reply_.Field("Row-Count", static_cast<long long>(items.size()));
  reply_.Field("Body-Length", static_cast<long long>(4 * ids.size()));
  reply_.EndHeader();
  for (std::int64_t id : ids) reply_.AppendI32(static_cast<std::int32_t>(id));
  return Send() ? Next::kContinue : Next::kClose;
}

}  // namespace kestrion::server
