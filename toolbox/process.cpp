#include "toolbox/process.h"

#include <openssl/ssl.h>

#include <clocale>
#include <mutex>

namespace corvane {

bool VProcess::Initialize(int /*options*/) {
  initialized_ = true;
  return true;
}

namespace {
std::mutex g_converters_lock;
VTextConverters* g_converters = nullptr;
std::atomic<int> g_network_uses{0};
}  // namespace

VTextConverters* VTextConverters::Instance(bool create) {
  std::lock_guard<std::mutex> guard(g_converters_lock);
  if (g_converters == nullptr && create) g_converters = new VTextConverters();
  return g_converters;
}

void VTextConverters::Destroy() {
  std::lock_guard<std::mutex> guard(g_converters_lock);
  delete g_converters;
  g_converters = nullptr;
}

void NetworkStartup() {
  if (g_network_uses.fetch_add(1) == 0) OPENSSL_init_ssl(0, nullptr);
}

void NetworkShutdown() {
  int uses = g_network_uses.load();
  while (uses > 0 && !g_network_uses.compare_exchange_weak(uses, uses - 1)) {
  }
}

int NetworkUseCount() { return g_network_uses.load(); }

}  // namespace corvane
