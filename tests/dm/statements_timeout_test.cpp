// The query time-out against a server that stops answering: a loopback
// proxy forwards the login and the first statements faithfully, then
// swallows everything. The statement fails with HYT00 within the time-out
// and the connection reports itself dead instead of hanging.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "tests/dm/statements_fixture.h"

namespace kestrion_dm {
namespace {

// Forwards one client connection to 127.0.0.1:`target` until Stall(), then
// reads and drops whatever either side sends.
class StallingProxy {
 public:
  explicit StallingProxy(int target) : target_(target) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listen_fd_, 4) != 0 ||
        ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
      return;
    }
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~StallingProxy() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listen_fd_ >= 0) ::close(listen_fd_);
  }
  int port() const { return port_; }
  void Stall() { stall_ = true; }

 private:
  void Run() {
    int client = -1, server = -1;
    char buf[65536];
    while (!stop_) {
      if (client < 0) {
        pollfd p{listen_fd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        client = ::accept(listen_fd_, nullptr, nullptr);
        server = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(target_));
        if (::connect(server, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) break;
        continue;
      }
      pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
      if (::poll(p, 2, 50) <= 0) continue;
      for (int k = 0; k < 2; ++k) {
        if ((p[k].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        ssize_t n = ::read(p[k].fd, buf, sizeof buf);
        if (n <= 0) {
          stop_ = true;
          break;
        }
        if (stall_) continue;  // swallowed
        const int to = k == 0 ? server : client;
        for (ssize_t at = 0; at < n;) {
          ssize_t w = ::write(to, buf + at, static_cast<size_t>(n - at));
          if (w <= 0) break;
          at += w;
        }
      }
    }
    if (client >= 0) ::close(client);
    if (server >= 0) ::close(server);
  }

  int target_;
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stall_{false};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class TimeoutTest : public StatementsTest {};

TEST_F(TimeoutTest, StalledServerFailsTheQueryWithHYT00AndTheConnectionIsDead) {
  StallingProxy proxy(port());
  ASSERT_GT(proxy.port(), 0);
  SQLHDBC dbc = Connect("DRIVER={Kestrion};Server=127.0.0.1;Port=" + std::to_string(proxy.port()) +
                        ";UID=tester;PWD=secret;LoginTimeout=5");
  ASSERT_NE(dbc, nullptr);
  SQLHSTMT stmt = NewStatement(dbc);
  // Answers still arrive through the proxy.
  ASSERT_TRUE(ExecDirect(stmt, "SELECT 1"));
  STMT_OK(SQLCloseCursor(stmt));
  STMT_OK(SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(1), 0));
  SQLULEN timeout = 0;
  STMT_OK(SQLGetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, &timeout, 0, nullptr));
  EXPECT_EQ(timeout, 1u);

  proxy.Stall();
  const auto start = std::chrono::steady_clock::now();
  std::u16string sql = Utf16("SELECT 2");
  SQLRETURN rc = SQLExecDirectW(stmt, Wide(sql), SQL_NTS);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(rc, SQL_ERROR);
  EXPECT_EQ(FirstState(SQL_HANDLE_STMT, stmt), "HYT00") << Diagnostics(SQL_HANDLE_STMT, stmt);
  EXPECT_GE(seconds, 0.9);
  EXPECT_LT(seconds, 5.0);

  SQLUINTEGER dead = SQL_CD_FALSE;
  KESTRION_EXPECT_OK(SQLGetConnectAttr(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr), SQL_HANDLE_DBC, dbc);
  EXPECT_EQ(dead, static_cast<SQLUINTEGER>(SQL_CD_TRUE));
  // The next statement fails at once instead of waiting again.
  const auto again = std::chrono::steady_clock::now();
  EXPECT_EQ(SQLExecDirectW(stmt, Wide(sql), SQL_NTS), SQL_ERROR);
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - again).count(), 1.0);
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
}

}  // namespace
}  // namespace kestrion_dm
