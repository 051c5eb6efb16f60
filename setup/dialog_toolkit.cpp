#include "setup/dialog_toolkit.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>
#include <string>

namespace kestrion {

namespace {

DialogToolkit* chosen = nullptr;
const char* reason = "";

bool DisplayNamed() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

// The directory of the library (or program) holding this code.
std::string OwnDirectory() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&OwnDirectory), &info) == 0 || !info.dli_fname) return {};
  std::string path = info.dli_fname;
  auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

DialogToolkit* LoadGtkModule() {
  static std::once_flag once;
  static DialogToolkit* toolkit = nullptr;
  static const char* why = "";
  std::call_once(once, [] {
    const std::string path = OwnDirectory() + kGtkModuleName;
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
      why = "the dialog module libkestrionodbc-gtk.so could not be loaded beside the driver";
      return;
    }
    using Entry = DialogToolkit* (*)(int);
    auto entry = reinterpret_cast<Entry>(::dlsym(module, kToolkitEntryName));
    toolkit = entry ? entry(kDialogToolkitVersion) : nullptr;
    // The module stays loaded: GTK cannot be unloaded safely.
    if (!toolkit) why = "the dialog module could not open the display";
  });
  reason = why;
  return toolkit;
}

}  // namespace

DialogToolkit* CurrentToolkit() {
  if (chosen) return chosen;
  if (!DisplayNamed()) {
    reason = "no display is available (neither DISPLAY nor WAYLAND_DISPLAY is set)";
    return nullptr;
  }
  return LoadGtkModule();
}

void UseToolkit(DialogToolkit* toolkit) { chosen = toolkit; }

const char* NoToolkitReason() { return reason; }

}  // namespace kestrion
