// The library's load and unload hooks. Loading creates a hidden environment,
// so the toolbox is started once per load and stays up between the
// application's own handles; unloading destroys every remaining handle,
// lowest address first.
#include "driver/environment.h"
#include "driver/registry.h"

namespace kestrion {
namespace {

CHEnvironment* g_hidden_environment = nullptr;

__attribute__((constructor)) void OnLibraryLoad() {
  try {
    g_hidden_environment = CHEnvironment::Create();
  } catch (...) {
    g_hidden_environment = nullptr;
  }
}

__attribute__((destructor)) void OnLibraryUnload() {
  try {
    while (CSQLHandle* lowest = HandleRegistry::LowestHandle()) delete lowest;
  } catch (...) {
  }
  g_hidden_environment = nullptr;
  HandleRegistry::ReleaseProcessState();
}

}  // namespace
}  // namespace kestrion

namespace kestrion {

// Whether the load hook created the hidden environment (tests use this; it
// also keeps this file linked into programs that use the static library).
bool HiddenEnvironmentExists() {
  return g_hidden_environment != nullptr &&
         HandleRegistry::KindOf(g_hidden_environment) == HandleKind::Environment;
}

}  // namespace kestrion
