// Measures the development server alone: a table of N rows of mixed kinds is
// selected whole and read page by page with FETCH-RESULT. The client skips
// each reply body by its Body-Length field without decoding it, so the
// measure is the server's. Prints rows per second for the execute (query,
// encoding of every row, first page) and for the paging.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tests/server/raw_client.h"
#include "tests/support/dev_server.h"

using namespace kestrion_test;
using Clock = std::chrono::steady_clock;

namespace {
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }
}  // namespace

int main(int argc, char** argv) {
  long rows = 200000, page = 1000, rounds = 3;
  bool tls = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    if (a == "--rows" && i + 1 < argc) rows = std::atol(argv[++i]);
    else if (a == "--page" && i + 1 < argc) page = std::atol(argv[++i]);
    else if (a == "--rounds" && i + 1 < argc) rounds = std::atol(argv[++i]);
    else if (a == "--tls") tls = true;
    else {
      std::fprintf(stderr, "usage: server_bench [--rows N] [--page N] [--rounds N] [--tls]\n");
      return 2;
    }
  }
  if (rows < 1 || page < 1 || rounds < 1) return 2;
  std::vector<std::string> args;
  if (tls) args.push_back("--tls-self-signed");
  DevServer server(args);
  if (!server.ok()) {
    std::fprintf(stderr, "%s\n", server.error().c_str());
    return 1;
  }
  RawClient c(server.port(), tls);
  if (!c.Login().ok) return 1;
  auto t0 = Clock::now();
  RawReply r = c.Execute(
      "create table bench(id INTEGER PRIMARY KEY, name VARCHAR(40), amount DECIMAL(10,2), ratio REAL, "
      "at TIMESTAMP, flag BOOLEAN); "
      "with recursive k(i) as (select 1 union all select i + 1 from k where i < " + std::to_string(rows) + ") "
      "insert into bench select i, 'name number ' || i, (i % 1000) + 0.25, i / 7.0, "
      "printf('2024-%02d-%02d 12:34:56', 1 + i % 12, 1 + i % 28), i % 2 from k");
  if (!r.ok) {
    std::fprintf(stderr, "%s\n", r.header.c_str());
    return 1;
  }
  c.ReadBytesExact(4);
  std::printf("filled %ld rows in %.3f s\n", rows, Seconds(t0, Clock::now()));

  double exec_total = 0, page_total = 0;
  long paged_rows = 0;
  for (long round = 0; round < rounds; ++round) {
    auto a = Clock::now();
    r = c.Execute("select id, name, amount, ratio, at, flag from bench", static_cast<int>(page));
    if (!r.ok) return 1;
    long sent = std::stol(r.Field("Row-Count-Sent"));
    // The client only counts bytes: the measure is the server's.
    c.ReadBytesExact(std::stoul(r.Field("Body-Length")));
    auto b = Clock::now();
    exec_total += Seconds(a, b);
    std::string id = r.Field("Statement-ID");
    for (long first = sent; first < rows; first += page) {
      long last = std::min(rows, first + page) - 1;
      r = c.Request("FETCH-RESULT", {"STATEMENT-ID: " + id, "COMMAND-INDEX: 0",
                                     "FIRST-ROW-INDEX: " + std::to_string(first),
                                     "LAST-ROW-INDEX: " + std::to_string(last), "OUTPUT-MODE: RELEASE"});
      if (!r.ok) return 1;
      c.ReadBytesExact(std::stoul(r.Field("Body-Length")));
      paged_rows += last - first + 1;
    }
    page_total += Seconds(b, Clock::now());
    c.Request("CLOSE-STATEMENT", {"STATEMENT-ID: " + id});
  }
  std::printf("execute (query, encode all, first page): %.0f rows/s (%.3f s per round)\n",
              rows * rounds / exec_total, exec_total / rounds);
  std::printf("paging with FETCH-RESULT, %ld rows per page: %.0f rows/s\n", page, paged_rows / page_total);
  c.Request("QUIT");
  return 0;
}
