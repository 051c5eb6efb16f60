// Sessions against the development server through a proxy that flips,
// drops and doubles random bytes of every reply, at several rates: no call
// crashes or outlasts its time-outs, and the server still serves a clean
// connection afterwards. The sessions run in several processes at once, as
// most of their time is spent waiting for time-outs; under the sanitizer
// build each process ends with a leak check.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/statement/statement_fixture.h"
#include "tests/support/fault_proxy.h"

namespace kestrion_test {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

const std::string kQuery =
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30) "
    "SELECT i, 'row ' || i, i * 0.5, date('2024-01-01', '+' || i || ' days') FROM n";

// Longest a single call may take with one-second time-outs: the time-out,
// and a resynchronisation bounded by the same deadline, with slack for a
// loaded machine.
constexpr double kLongestCall = 4.0;

struct Tally {
  int sessions = 0;
  int connected = 0;
  int complete = 0;
  double longest = 0;
};

// One session: connect, run the query, read every cell as text, close,
// disconnect. Every call is timed.
void Session(FaultProxy& proxy, Tally& tally) {
  OdbcHandles h;
  auto timed = [&](auto call) {
    const auto start = Clock::now();
    const SQLRETURN rc = call();
    const double took = SecondsSince(start);
    if (took > tally.longest) tally.longest = took;
    return rc;
  };
  ++tally.sessions;
  if (!SQL_SUCCEEDED(timed([&] {
        return h.Connect(proxy.port(), ";QueryTimeout=1;DefaultPageSize=7", 1);
      }))) {
    return;
  }
  ++tally.connected;
  SQLHSTMT stmt = h.NewStatement();
  bool complete = SQL_SUCCEEDED(timed([&] { return ExecDirect(stmt, kQuery); }));
  int rows = 0;
  while (complete) {
    const SQLRETURN rc = timed([&] { return SQLFetch(stmt); });
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) {
      complete = false;
      break;
    }
    ++rows;
    for (SQLUSMALLINT c = 1; c <= 4; ++c) {
      SQLWCHAR text[64];
      SQLLEN ind = 0;
      timed([&] { return SQLGetData(stmt, c, SQL_C_WCHAR, text, sizeof text, &ind); });
    }
  }
  if (complete && rows == 30) ++tally.complete;
  timed([&] { return SQLFreeStmt(stmt, SQL_CLOSE); });
  timed([&] { return SQLFreeHandle(SQL_HANDLE_STMT, stmt); });
  timed([&] { return SQLDisconnect(h.dbc); });
}

// Runs `count` sessions in a child process once a byte arrives on `go[0]`;
// its tally comes back through a pipe. Answers the child's process id.
pid_t RunChild(FaultProxy& proxy, int count, int out, const int go[2]) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::close(go[1]);
  char byte = 0;
  if (::read(go[0], &byte, 1) != 1) ::_exit(4);
  Tally tally;
  for (int i = 0; i < count; ++i) Session(proxy, tally);
  const bool written = ::write(out, &tally, sizeof tally) == static_cast<ssize_t>(sizeof tally);
  // _exit: the child's heap still holds what the parent's proxy threads had
  // allocated, which a leak check here would report as leaks (the driver's
  // own leaks are checked by the in-process fault tests).
  ::_exit(written ? 0 : 3);
}

TEST(RandomMutation, SessionsSurviveDamagedRepliesAtSeveralRates) {
  DevServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  FaultProxy proxy(server.port());
  ASSERT_GT(proxy.port(), 0);

  // Per reply byte: rare, occasional and frequent damage; 324 sessions.
  const double rates[] = {0.0002, 0.002, 0.02};
  constexpr int kChildren = 9;
  constexpr int kSessionsPerChild = 12;
  const auto start = Clock::now();
  Tally total;
  std::uint32_t seed = 1;
  for (double rate : rates) {
    FaultProxy::Fault mutate;
    mutate.kind = FaultProxy::Fault::Kind::kMutate;
    mutate.rate = rate;
    mutate.seed = seed;
    seed += 1000;
    proxy.Plan({mutate});
    // Every child is forked while the proxy carries no traffic, and only then
    // do they start: a fork while another thread holds the allocator's lock
    // (a proxy thread forwarding a reply) leaves the child stuck on it.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    std::vector<std::pair<pid_t, int>> children;
    for (int c = 0; c < kChildren; ++c) {
      int fds[2];
      ASSERT_EQ(::pipe(fds), 0);
      const pid_t pid = RunChild(proxy, kSessionsPerChild, fds[1], go);
      ::close(fds[1]);
      ASSERT_GT(pid, 0);
      children.emplace_back(pid, fds[0]);
    }
    ::close(go[0]);
    const std::string start(kChildren, 'g');
    ASSERT_EQ(::write(go[1], start.data(), start.size()), static_cast<ssize_t>(start.size()));
    ::close(go[1]);
    for (auto [pid, in] : children) {
      Tally t;
      const bool got = ::read(in, &t, sizeof t) == static_cast<ssize_t>(sizeof t);
      ::close(in);
      int status = 0;
      ::waitpid(pid, &status, 0);
      // A crash, a sanitizer report or a leak ends the child otherwise.
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
          << "session process " << pid << " ended with status " << status << " at rate " << rate;
      if (!got) continue;
      total.sessions += t.sessions;
      total.connected += t.connected;
      total.complete += t.complete;
      if (t.longest > total.longest) total.longest = t.longest;
    }
  }
  std::printf("%d sessions, %d connected, %d complete, longest call %.2f s, %.1f s in all\n",
              total.sessions, total.connected, total.complete, total.longest, SecondsSince(start));
  EXPECT_EQ(total.sessions, 3 * kChildren * kSessionsPerChild);
  EXPECT_LT(total.longest, kLongestCall);
  // Some sessions get through untouched at the lowest rate.
  EXPECT_GT(total.complete, 0);

  // The server is unharmed: a clean session reads every row.
  proxy.Plan({});
  Tally clean;
  Session(proxy, clean);
  EXPECT_EQ(clean.complete, 1);
}

}  // namespace
}  // namespace kestrion_test
