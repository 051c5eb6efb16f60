// The message handling that the configuration dialog and the login prompt
// share: Advanced collapse and expand, Enter and Escape, the encoding pair,
// the image format list, Cancel, closing the window and the connection test.
#pragma once

#include <vector>

#include "setup/dialog.h"

namespace kestrion {

// `advanced`: the controls Advanced shows and hides. `keep_position` false
// (the login prompt) moves OK and Cancel up beside the Advanced button while
// collapsed. True when the message was handled.
bool CommonHandler(Dialog& dialog, const DialogMessage& message, const std::vector<int>& advanced,
                   bool keep_position);

// Expands the dialog when the Advanced button's text ends with ">", else
// collapses it.
void ToggleAdvanced(Dialog& dialog, const std::vector<int>& advanced, bool keep_position);

// Connects with the values on screen, without prompting, and tells the user
// the outcome in a message box.
void TestConnection(Dialog& dialog);

}  // namespace kestrion
