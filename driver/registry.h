// The handle registry: every live handle of the process, and the toolbox
// services that run while at least one handle is alive.
//
// One lock guards the registry and every handle's set of children, so that
// applications may allocate and free handles of different connections on
// several threads at once. Validation is a lookup in an ordered set and
// allocates nothing; the handle a thread found last is found again without
// the lock while no handle was unregistered in between.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "driver/handle.h"
#include "toolbox/vstring.h"

namespace kestrion {

class HandleRegistry {
 public:
  // The kind of a registered handle; None for null or unknown values.
  static HandleKind KindOf(const void* handle);
  // The handle when it is registered with the given kind, else null.
  static CSQLHandle* Find(const void* handle, HandleKind kind);
  template <class T>
  static T* FindAs(const void* handle, HandleKind kind) {
    return static_cast<T*>(Find(handle, kind));
  }

  // Starts the toolbox when it is not up (first handle of a period). Answers
  // the failure message, empty on success.
  static std::u16string StartUp();
  // Registers a handle; false when its address is already registered.
  static bool Register(CSQLHandle* handle);
  // Unregisters; when the registry becomes empty the toolbox is shut down.
  static void Unregister(CSQLHandle* handle);
  static bool ToolboxUp();
  static size_t Count();

  static void AddChild(CSQLHandle* parent, CSQLHandle* child);
  static void RemoveChild(CSQLHandle* parent, CSQLHandle* child);
  static CSQLHandle* LowestChild(const CSQLHandle* parent);
  static std::vector<CSQLHandle*> ChildrenOf(const CSQLHandle* parent);
  static CSQLHandle* LowestHandle();

  // The SQL keyword list, built at start-up.
  static const corvane::VString& Keywords();

  // How many times the toolbox has been started in this process (for tests).
  static int StartCount();
  // Makes the next start-up fail at step 1-6 (for tests); 0 disables.
  static void FailNextStartUpAt(int step);
  // Shuts the toolbox down and frees the process-wide state (the library's
  // unload hook, once every handle is gone), so that loading and unloading
  // the library again and again leaks nothing.
  static void ReleaseProcessState();
};

}  // namespace kestrion
