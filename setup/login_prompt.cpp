#include "setup/login_prompt.h"

#include "setup/common_handler.h"
#include "setup/control_values.h"
#include "setup/dialog_templates.h"
#include "setup/dialog_toolkit.h"
#include "setup/setup_state.h"

namespace kestrion {

using corvane::VString;

bool LoginPromptProcedure(Dialog& dialog, const DialogMessage& message) {
  SetupState& state = TheSetupState();
  if (message.kind == MessageKind::InitDialog) {
    for (std::size_t slot = 1; slot < kDialogKeyCount; ++slot) {
      std::optional<VString>* value = state.slots[slot];
      WriteControlValue(dialog, KeyControls()[slot],
                        value ? *value : std::optional<VString>());
    }
    state.accepted = 0;
  } else if (message.kind == MessageKind::Command && message.id == control::kOk &&
             message.notification == kClicked) {
    for (std::size_t slot = 1; slot < kDialogKeyCount; ++slot) {
      std::optional<VString>* value = state.slots[slot];
      if (!value) continue;
      value->reset();
      // A cleared field leaves its setting absent: without a user name the
      // connect then does not log in.
      std::optional<VString> shown = ReadControlValue(dialog, KeyControls()[slot]);
      if (shown && !shown->empty()) *value = std::move(shown);
    }
    state.accepted = 1;
    dialog.End(control::kOk);
    return true;
  }
  return CommonHandler(dialog, message, LoginPromptAdvancedControls(), false);
}

PromptOutcome ShowLoginPrompt(void* window, Settings& settings, std::string* why) {
  DialogToolkit* toolkit = CurrentToolkit();
  if (!toolkit) {
    if (why) *why = NoToolkitReason();
    return PromptOutcome::Unavailable;
  }
  DialogSlot claim;
  if (claim.busy()) {
    if (why) *why = "another dialog of the driver is open in this process";
    return PromptOutcome::Unavailable;
  }
  SetupState& state = TheSetupState();
  for (std::size_t slot = 0; slot < kSettingCount; ++slot) state.slots[slot] = &settings.slots[slot];
  state.accepted = 0;
  const std::optional<int> result = toolkit->RunModal(LoginPromptTemplate(), LoginPromptProcedure, window);
  state.slots.fill(nullptr);
  if (!result) {
    if (why) *why = "the dialog could not be shown";
    return PromptOutcome::Unavailable;
  }
  return state.accepted == 1 ? PromptOutcome::Accepted : PromptOutcome::Cancelled;
}

}  // namespace kestrion
