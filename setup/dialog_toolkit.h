// Which toolkit shows the dialogs. By default the GTK module beside the
// driver, loaded only when a dialog is to be shown and a display is named
// (DISPLAY or WAYLAND_DISPLAY); the driver itself links no toolkit. Tests and
// the command-line tool put the headless host in its place.
#pragma once

#include "setup/dialog.h"

namespace kestrion {

// The file name of the GTK module, looked for in the driver's own directory.
inline constexpr const char* kGtkModuleName = "libkestrionodbc-gtk.so";

// The toolkit to use, or null when none can show windows.
DialogToolkit* CurrentToolkit();

// Uses `toolkit` instead of the GTK module; null goes back to the module.
void UseToolkit(DialogToolkit* toolkit);

// Why no toolkit is available, for messages.
const char* NoToolkitReason();

}  // namespace kestrion
