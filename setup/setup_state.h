// The process-wide state of the setup and login dialogs. One dialog runs at a
// time; `DialogSlot` claims the state for the life of one dialog.
#pragma once

#include <array>
#include <optional>

#include "protocol/settings.h"
#include "toolbox/vstring.h"

namespace kestrion {

struct SetupState {
  // The name taken from ConfigDSNW's attributes, read by the dialog at start.
  corvane::VString data_source_name;
  // The name the dialog was opened with; removed before the new entries are
  // written, so that a rename leaves no old section behind.
  std::optional<corvane::VString> opening_name;
  // The driver name the data source is written with.
  corvane::VString driver_name;
  // 1 when the dialog ended with OK.
  int accepted = 0;
  // The login prompt's view of the connect's settings, in key order.
  std::array<std::optional<corvane::VString>*, kSettingCount> slots{};
};

SetupState& TheSetupState();

// Held while a dialog runs; a second dialog in the process at the same time
// is refused (busy() is then true) instead of sharing the state.
class DialogSlot {
 public:
  DialogSlot();
  ~DialogSlot();
  DialogSlot(const DialogSlot&) = delete;
  DialogSlot& operator=(const DialogSlot&) = delete;
  bool busy() const { return !held_; }

 private:
  bool held_;
};

}  // namespace kestrion
