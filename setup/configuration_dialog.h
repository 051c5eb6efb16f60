// The data source configuration dialog: fills its controls from the data
// source (or the defaults), validates and writes the data source on OK.
#pragma once

#include "setup/dialog.h"

namespace kestrion {

// The dialog procedure; reads and writes the process-wide setup state.
bool ConfigurationDialogProcedure(Dialog& dialog, const DialogMessage& message);

// The validation and write behind OK. True when the data source was written;
// otherwise the user has been told why in a message box.
bool AcceptConfiguration(Dialog& dialog);

}  // namespace kestrion
