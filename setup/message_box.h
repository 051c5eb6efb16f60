// Message boxes for the user. Without a display (the headless form, the only
// one so far) the title and the text go to standard error.
#pragma once

#include <string_view>

namespace kestrion {

// Shows a message with an OK button, owned by `owner` (a window, or null).
void ShowMessageBox(std::u16string_view title, std::u16string_view text, void* owner = nullptr);

}  // namespace kestrion
