// Sessions against the development server through a proxy that flips,
// drops and doubles random bytes of every reply, at several rates: no call
// crashes or outlasts its time-outs, and the server still serves a clean
// connection afterwards. Run under the sanitizer build, leaks end the run.
#include <chrono>
#include <memory>
#include <string>

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
        return h.Connect(proxy.port(), ";LoginTimeout=1;QueryTimeout=1;DefaultPageSize=7");
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

TEST(RandomMutation, SessionsSurviveDamagedRepliesAtSeveralRates) {
  DevServer server;
  ASSERT_TRUE(server.ok()) << server.error();
  FaultProxy proxy(server.port());
  ASSERT_GT(proxy.port(), 0);

  // Per reply byte: rare, occasional and frequent damage.
  const double rates[] = {0.0002, 0.002, 0.02};
  constexpr int kSessionsPerRate = 100;
  // The run stops early rather than take more than this on a slow machine.
  constexpr double kBudgetSeconds = 45;
  const auto start = Clock::now();
  Tally tally;
  std::uint32_t seed = 1;
  for (double rate : rates) {
    for (int i = 0; i < kSessionsPerRate && SecondsSince(start) < kBudgetSeconds; ++i) {
      FaultProxy::Fault mutate;
      mutate.kind = FaultProxy::Fault::Kind::kMutate;
      mutate.rate = rate;
      mutate.seed = seed++;
      proxy.Plan({mutate});
      Session(proxy, tally);
    }
  }
  RecordProperty("sessions", tally.sessions);
  std::printf("%d sessions, %d connected, %d complete, longest call %.2f s, %.1f s in all\n",
              tally.sessions, tally.connected, tally.complete, tally.longest, SecondsSince(start));
  EXPECT_GE(tally.sessions, 100);
  EXPECT_LT(tally.longest, kLongestCall);
  // Some sessions get through untouched at the lowest rate.
  EXPECT_GT(tally.complete, 0);

  // The server is unharmed: a clean session reads every row.
  proxy.Plan({});
  Tally clean;
  Session(proxy, clean);
  EXPECT_EQ(clean.complete, 1);
}

}  // namespace
}  // namespace kestrion_test
