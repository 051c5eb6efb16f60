#include "setup/setup_state.h"

#include <atomic>

namespace kestrion {

namespace {
std::atomic<bool> dialog_running{false};
}  // namespace

SetupState& TheSetupState() {
  static SetupState state;
  return state;
}

DialogSlot::DialogSlot() : held_(!dialog_running.exchange(true)) {}

DialogSlot::~DialogSlot() {
  if (held_) dialog_running.store(false);
}

}  // namespace kestrion
