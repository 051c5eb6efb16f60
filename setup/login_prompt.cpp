#include "setup/login_prompt.h"

namespace kestrion {

bool ShowLoginPrompt(void* /*window*/, Settings& /*settings*/) { return false; }

}  // namespace kestrion
