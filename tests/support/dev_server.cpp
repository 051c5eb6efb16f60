#include "tests/support/dev_server.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

namespace kestrion_test {

namespace {
std::string ServerPath() {
  const char* env = getenv("KESTRION_SERVER_PATH");
  return env && *env ? env : KESTRION_SERVER_PATH;
}
}  // namespace

DevServer::DevServer(std::vector<std::string> extra) {
  char tmpl[] = "/tmp/kestrion-dev-server-XXXXXX";
  if (!mkdtemp(tmpl)) {
    error_ = "cannot create a temporary directory";
    return;
  }
  dir_ = tmpl;
  std::string port_file = dir_ + "/port";
  log_path_ = dir_ + "/server.log";
  std::string path = ServerPath();
  std::vector<std::string> args = {path, "--listen", "127.0.0.1:0", "--port-file", port_file};
  args.insert(args.end(), extra.begin(), extra.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_ = fork();
  if (pid_ < 0) {
    error_ = "fork failed";
    return;
  }
  if (pid_ == 0) {
    int fd = open(log_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) {
      dup2(fd, 2);
      close(fd);
    }
    int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, 0);
      dup2(null, 1);
      close(null);
    }
    // The test process may block signals in its threads; the server must not inherit that.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execv(path.c_str(), argv.data());
    _exit(127);
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream f(port_file);
    int port = 0;
    if (f >> port && port > 0) {
      port_ = port;
      return;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      error_ = "kestrion-server (" + path + ") exited at start: " + Log();
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  error_ = "kestrion-server did not start within 30 s: " + Log();
}

std::string DevServer::Log() const {
  std::ifstream f(log_path_);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

int DevServer::Stop(int timeout_ms) {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return status;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return -1;
}

void DevServer::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

DevServer::~DevServer() {
  if (pid_ > 0) {
    int status = Stop();
    if (status == -1) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      ADD_FAILURE() << "kestrion-server did not stop on SIGTERM; its log:\n" << Log();
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      // A crash or a sanitizer report in the server fails the test that ran it.
      ADD_FAILURE() << "kestrion-server ended with status " << status << "; its log:\n" << Log();
    }
  }
  if (!dir_.empty()) {
    std::remove((dir_ + "/port").c_str());
    std::remove(log_path_.c_str());
    rmdir(dir_.c_str());
  }
}

}  // namespace kestrion_test
