// The protocol state of a connection: its link, receive buffer, request
// numbering and the settings taken at login.
#pragma once

namespace kestrion {

struct Session {};

}  // namespace kestrion
