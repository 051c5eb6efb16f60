// The toolbox's process-wide services: the process object, the text
// converters and the network layer. Each is started once and stopped once.
#pragma once

#include <atomic>

namespace corvane {

// The process object. Initialize runs the one-time set-up of the threading
// system with the given options.
class VProcess {
 public:
  bool Initialize(int options);
  bool initialized() const { return initialized_; }

 private:
  bool initialized_ = false;
};

// The text converters (character-set conversion is done through iconv by
// VString; this object carries the process's conversion settings).
class VTextConverters {
 public:
  // The singleton; created on first request when `create` is set.
  static VTextConverters* Instance(bool create);
  static void Destroy();
};

// The network layer: a counted start (OpenSSL initialisation) and stop.
void NetworkStartup();
void NetworkShutdown();
int NetworkUseCount();

}  // namespace corvane
