// The login prompt of SQLDriverConnectW: lets the user edit the settings of a
// connect before it is attempted.
#pragma once

#include <string>

#include "protocol/settings.h"
#include "setup/dialog.h"

namespace kestrion {

enum class PromptOutcome { Accepted, Cancelled, Unavailable };

// Shows the prompt modally, owned by `window` (opaque, never dereferenced);
// edits `settings` in place when the user confirms. Unavailable when no
// dialog can be shown (no display, or another dialog of the driver is open);
// `why` then tells the reason.
PromptOutcome ShowLoginPrompt(void* window, Settings& settings, std::string* why = nullptr);

// The dialog procedure; edits the settings through the setup state's slots.
bool LoginPromptProcedure(Dialog& dialog, const DialogMessage& message);

}  // namespace kestrion
