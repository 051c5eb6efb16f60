#include "driver/registry.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>

#include "catalog/sql_keywords.h"
#include "toolbox/process.h"

namespace kestrion {
namespace {

struct ProcessState {
  std::mutex lock;
  std::unique_ptr<corvane::VProcess> process;
  corvane::VTextConverters* converters = nullptr;
  std::unique_ptr<std::set<const void*>> registry;
  std::unique_ptr<corvane::VString> keywords;
  int start_count = 0;
  int fail_at = 0;
};

// Not a static object: handles may still be freed from other libraries'
// destructors after this library's static objects would be gone. The
// library's unload hook releases it once nothing is left.
std::atomic<ProcessState*> g_state{nullptr};

// Every ODBC call validates its handle here, so the usual case is one load.
ProcessState& State() {
  if (ProcessState* s = g_state.load(std::memory_order_acquire)) [[likely]] return *s;
  auto* created = new ProcessState();
  ProcessState* expected = nullptr;
  if (!g_state.compare_exchange_strong(expected, created, std::memory_order_acq_rel)) {
    delete created;  // another thread was first
    return *expected;
  }
  return *created;
}

// Counts the handles unregistered since the library was loaded (and the
// registries shut down): a handle validated while the count stood still is
// registered yet.
std::atomic<std::uint64_t> g_unregistered{1};

// The last handle this thread found registered, and the count then. An
// application calls on the same statement again and again: it is validated
// without the lock while nothing was freed in between.
struct LastFound {
  const void* handle = nullptr;
  HandleKind kind = HandleKind::None;
  std::uint64_t unregistered = 0;
};
thread_local LastFound t_last_found;

// Shut-down, with the lock held: registry, keyword list, then the toolbox.
void ShutDownLocked(ProcessState& s) {
  g_unregistered.fetch_add(1, std::memory_order_release);
  s.registry.reset();
  s.keywords.reset();
  if (s.process) {
    corvane::NetworkShutdown();
    corvane::VTextConverters::Destroy();
    s.converters = nullptr;
    s.process.reset();
  }
}

}  // namespace

void HandleRegistry::ReleaseProcessState() {
  ProcessState* s = g_state.load(std::memory_order_acquire);
  if (s == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(s->lock);
    ShutDownLocked(*s);
  }
  g_state.store(nullptr, std::memory_order_release);
  delete s;
}

HandleKind HandleRegistry::KindOf(const void* handle) {
  if (handle == nullptr) return HandleKind::None;
  LastFound& last = t_last_found;
  if (last.handle == handle &&
      last.unregistered == g_unregistered.load(std::memory_order_acquire)) [[likely]] {
    return last.kind;
  }
  ProcessState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!s.registry || s.registry->empty()) return HandleKind::None;
  if (s.registry->find(handle) == s.registry->end()) return HandleKind::None;
  const HandleKind kind = static_cast<const CSQLHandle*>(handle)->kind();
  last = {handle, kind, g_unregistered.load(std::memory_order_relaxed)};
  return kind;
}

CSQLHandle* HandleRegistry::Find(const void* handle, HandleKind kind) {
  if (KindOf(handle) != kind || kind == HandleKind::None) return nullptr;
  return static_cast<CSQLHandle*>(const_cast<void*>(handle));
}

std::u16string HandleRegistry::StartUp() {
  ProcessState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.process) return {};
  int fail = s.fail_at;
  s.fail_at = 0;
  ++s.start_count;
  if (fail == 1) return u"Can't init the Corvane.";
  s.process = std::make_unique<corvane::VProcess>();
  if (fail == 2 || !s.process->Initialize(64)) {
    s.process.reset();
    return u"Can't init the threading system.";
  }
  s.converters = corvane::VTextConverters::Instance(true);
  corvane::NetworkStartup();
  if (fail == 5) return u"Can't create the handles pool.";
  s.registry = std::make_unique<std::set<const void*>>();
  if (fail == 6) return u"Can't create the static VString.";
  s.keywords = std::make_unique<corvane::VString>(corvane::VString::FromAscii(kSqlKeywordList));
  return {};
}

bool HandleRegistry::Register(CSQLHandle* handle) {
  ProcessState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!s.registry) return false;
  return s.registry->insert(handle).second;
}

void HandleRegistry::Unregister(CSQLHandle* handle) {
  ProcessState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  g_unregistered.fetch_add(1, std::memory_order_release);
  if (s.registry) s.registry->erase(handle);
  if (!s.registry || s.registry->empty()) ShutDownLocked(s);
}

bool HandleRegistry::ToolboxUp() {
  ProcessState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.process != nullptr;
}

size_t HandleRegistry::Count() {
  ProcessState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.registry ? s.registry->size() : 0;
}

void HandleRegistry::AddChild(CSQLHandle* parent, CSQLHandle* child) {
  std::lock_guard<std::mutex> guard(State().lock);
  parent->children_.insert(child);
}

void HandleRegistry::RemoveChild(CSQLHandle* parent, CSQLHandle* child) {
  std::lock_guard<std::mutex> guard(State().lock);
  parent->children_.erase(child);
}

CSQLHandle* HandleRegistry::LowestChild(const CSQLHandle* parent) {
  std::lock_guard<std::mutex> guard(State().lock);
  return parent->children_.empty() ? nullptr : *parent->children_.begin();
}

std::vector<CSQLHandle*> HandleRegistry::ChildrenOf(const CSQLHandle* parent) {
  std::lock_guard<std::mutex> guard(State().lock);
  return {parent->children_.begin(), parent->children_.end()};
}

CSQLHandle* HandleRegistry::LowestHandle() {
  ProcessState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  if (!s.registry || s.registry->empty()) return nullptr;
  return static_cast<CSQLHandle*>(const_cast<void*>(*s.registry->begin()));
}

const corvane::VString& HandleRegistry::Keywords() {
  static const corvane::VString empty;
  ProcessState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.keywords ? *s.keywords : empty;
}

int HandleRegistry::StartCount() {
  ProcessState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.start_count;
}

void HandleRegistry::FailNextStartUpAt(int step) {
  ProcessState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.fail_at = step;
}

}  // namespace kestrion
