// kestrion-server: see --help.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <string>
#include <thread>

#include "server/log.h"
#include "server/options.h"
#include "server/server.h"

int main(int argc, char** argv) {
  using namespace kestrion::server;
  ServerOptions options;
  std::string error;
  int parsed = ParseCommandLine(argc, argv, options, error);
  if (parsed == 1) {
    std::fputs(HelpText(), stdout);
    return 0;
  }
  if (parsed < 0) {
    std::fprintf(stderr, "kestrion-server: %s\n", error.c_str());
    return 2;
  }
  SetLogLevel(options.log_level);

  // Signals are taken by one thread with sigwait; every other thread blocks them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  Server server(options);
  if (!server.Start(error)) {
    std::fprintf(stderr, "kestrion-server: %s\n", error.c_str());
    return 1;
  }
  std::thread signals([&] {
    int sig = 0;
    sigwait(&stop_signals, &sig);
    if (sig != 0) server.Stop();
  });
  server.Run();
  // Run ended without a signal (listener failure): wake the signal thread.
  pthread_kill(signals.native_handle(), SIGTERM);
  signals.join();
  Log(LogLevel::kInfo, "stopped");
  return 0;
}
