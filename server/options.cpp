#include "server/options.h"

#include <charconv>
#include <string_view>

namespace kestrion::server {

const char* HelpText() {
  return R"(Usage: kestrion-server [options]

A development server for the Kestrion ODBC driver: it speaks the driver's
protocol and runs SQL on SQLite 3. It runs in the foreground and stops cleanly
on SIGINT or SIGTERM.

Options:
  --database FILE        SQLite database file (created when missing; WAL mode).
                         Default: a fresh database in a temporary file that is
                         removed when the server stops.
  --sample               Load the sample schema (customers, products, orders,
                         order_lines, the view order_totals; a few thousand rows)
                         unless its tables exist already.
  --listen HOST:PORT     Address to listen on. Default 127.0.0.1:19812.
                         Port 0 picks a free port (see --port-file).
  --port-file FILE       Write the port actually listened on to FILE.
  --user NAME:PASSWORD   Accept this login (repeatable). Without any --user,
                         every login is accepted.
  --tls-cert FILE        PEM certificate; with --tls-key every connection is TLS.
  --tls-key FILE         PEM private key of --tls-cert.
  --tls-self-signed      Every connection is TLS, with a certificate generated in
                         memory at start-up.
  --max-connections N    Clients served at once (default 64); further clients
                         are disconnected at once.
  --idle-timeout SEC     Disconnect a client silent for SEC seconds between
                         requests (default 0: never).
  --busy-timeout MS      How long a statement waits for a lock that another
                         client holds (default 5000); a wait that runs out is
                         the error "database is locked" (4005, SQLSTATE HYT00,
                         retryable).
                         START TRANSACTION takes the write lock at once, so two
                         writers queue instead of deadlocking.
  --max-header-bytes N   Largest request header accepted (default 67108864,
                         64 MiB); a larger request is answered with an error.
  --log-level LEVEL      error, warning, info (default) or debug; debug logs one
                         line per request.
  --no-capabilities      Announce no capabilities at login and serve only the
                         base protocol (to test drivers against such a server).
  --delay-fetch MS       Wait MS milliseconds before serving each FETCH-RESULT
                         (default 0); a cancel ends the wait (for testing
                         clients' cancel).
  --delay-catalog MS     The same for statements that read the system tables
                         (the driver's catalog queries).
  --help                 Show this text.
)";
}

namespace {
bool ParseInt(std::string_view s, int& out, int lo, int hi) {
  int v = 0;
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size() || v < lo || v > hi) return false;
  out = v;
  return true;
}
}  // namespace

int ParseCommandLine(int argc, char** argv, ServerOptions& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    auto value = [&](std::string_view& v) -> bool {
      if (i + 1 >= argc) {
        error = std::string(a) + " needs a value";
        return false;
      }
      v = argv[++i];
      return true;
    };
    std::string_view v;
    if (a == "--help" || a == "-h") return 1;
    if (a == "--sample") {
      o.sample = true;
    } else if (a == "--tls-self-signed") {
      o.tls_self_signed = true;
    } else if (a == "--database") {
      if (!value(v)) return -1;
      o.database = v;
    } else if (a == "--listen") {
      if (!value(v)) return -1;
      auto colon = v.rfind(':');
      if (colon == std::string_view::npos || !ParseInt(v.substr(colon + 1), o.listen_port, 0, 65535)) {
        error = "--listen wants HOST:PORT";
        return -1;
      }
      o.listen_host = v.substr(0, colon);
      if (o.listen_host.size() >= 2 && o.listen_host.front() == '[' && o.listen_host.back() == ']')
        o.listen_host = o.listen_host.substr(1, o.listen_host.size() - 2);
      if (o.listen_host.empty()) o.listen_host = "127.0.0.1";
    } else if (a == "--port-file") {
      if (!value(v)) return -1;
      o.port_file = v;
    } else if (a == "--user") {
      if (!value(v)) return -1;
      auto colon = v.find(':');
      if (colon == std::string_view::npos) {
        error = "--user wants NAME:PASSWORD";
        return -1;
      }
      o.users.push_back({std::string(v.substr(0, colon)), std::string(v.substr(colon + 1))});
    } else if (a == "--tls-cert") {
      if (!value(v)) return -1;
      o.tls_cert = v;
    } else if (a == "--tls-key") {
      if (!value(v)) return -1;
      o.tls_key = v;
    } else if (a == "--max-connections") {
      if (!value(v) || !ParseInt(v, o.max_connections, 1, 100000)) {
        error = "--max-connections wants a number from 1";
        return -1;
      }
    } else if (a == "--idle-timeout") {
      if (!value(v) || !ParseInt(v, o.idle_timeout, 0, 86400 * 365)) {
        error = "--idle-timeout wants seconds";
        return -1;
      }
    } else if (a == "--busy-timeout") {
      if (!value(v) || !ParseInt(v, o.busy_timeout_ms, 0, 86400 * 1000)) {
        error = "--busy-timeout wants milliseconds";
        return -1;
      }
    } else if (a == "--no-capabilities") {
      o.capabilities = false;
    } else if (a == "--delay-fetch" || a == "--delay-catalog") {
      int& delay = a == "--delay-fetch" ? o.delay_fetch_ms : o.delay_catalog_ms;
      if (!value(v) || !ParseInt(v, delay, 0, 3600 * 1000)) {
        error = std::string(a) + " wants milliseconds";
        return -1;
      }
    } else if (a == "--max-header-bytes") {
      if (!value(v) || !ParseInt(v, o.max_header_bytes, 4096, 1 << 30)) {
        error = "--max-header-bytes wants a number from 4096 to 1073741824";
        return -1;
      }
    } else if (a == "--log-level") {
      if (!value(v) || !ParseLogLevel(v, o.log_level)) {
        error = "--log-level wants error, warning, info or debug";
        return -1;
      }
    } else {
      error = "unknown option " + std::string(a) + " (see --help)";
      return -1;
    }
  }
  if (o.tls_cert.empty() != o.tls_key.empty()) {
    error = "--tls-cert and --tls-key go together";
    return -1;
  }
  if (o.tls_self_signed && !o.tls_cert.empty()) {
    error = "--tls-self-signed and --tls-cert exclude each other";
    return -1;
  }
  return 0;
}

}  // namespace kestrion::server
