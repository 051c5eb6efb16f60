#include "setup/message_box.h"

#include <cstdio>
#include <string>

#include "toolbox/vstring.h"

namespace kestrion {

void ShowMessageBox(std::u16string_view title, std::u16string_view text, void* /*owner*/) {
  const std::string line =
      corvane::VString(title).ToUtf8() + ": " + corvane::VString(text).ToUtf8() + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

}  // namespace kestrion
