// The login prompt of SQLDriverConnectW: lets the user edit the settings of a
// connect before it is attempted. Without a display (the only form so far)
// nothing is shown and the prompt counts as cancelled.
#pragma once

#include "protocol/settings.h"

namespace kestrion {

// Shows the prompt modally, owned by `window`; edits `settings` in place.
// True when the user confirmed, false when the prompt was cancelled.
bool ShowLoginPrompt(void* window, Settings& settings);

}  // namespace kestrion
