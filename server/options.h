// Command line of kestrion-server.
#pragma once

#include <string>
#include <vector>

#include "server/log.h"

namespace kestrion::server {

struct UserEntry {
  std::string name;
  std::string password;
};

struct ServerOptions {
  std::string database;           // empty: a fresh temporary file, removed at stop
  bool sample = false;            // load the sample schema
  std::string listen_host = "127.0.0.1";
  int listen_port = 19812;        // 0 picks a free port
  std::string port_file;          // where the chosen port is written
  std::vector<UserEntry> users;   // none: any login is accepted
  std::string tls_cert, tls_key;  // PEM files
  bool tls_self_signed = false;
  int max_connections = 64;
  int idle_timeout = 0;           // seconds a client may stay silent; 0: no limit
  int busy_timeout_ms = 5000;     // how long a statement waits for another session's lock
  int max_header_bytes = 64 << 20;  // largest request header (statement texts are in it)
  LogLevel log_level = LogLevel::kInfo;
  // Announce and serve what goes beyond the base protocol (the LOGIN reply's
  // Capabilities field); off, the server answers as a base-protocol server.
  bool capabilities = true;
  // For testing clients' cancel: FETCH-RESULT, and statements that read the
  // system tables (catalog queries), wait this long before they are served;
  // a cancel or a closing client ends the wait. 0: no wait.
  int delay_fetch_ms = 0;
  int delay_catalog_ms = 0;

  bool tls() const { return tls_self_signed || !tls_cert.empty(); }
};

// Parses argv. Returns 0 to go on, 1 when --help was printed (exit 0), or -1
// after printing an error to `error`.
int ParseCommandLine(int argc, char** argv, ServerOptions& out, std::string& error);
const char* HelpText();

}  // namespace kestrion::server
