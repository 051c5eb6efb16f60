// One diagnostic record of a handle.
#pragma once

#include <cstdint>

#include "driver/sqlstate.h"
#include "toolbox/vstring.h"

namespace kestrion {

struct DiagnosticRecord {
  SqlState state;
  int32_t native_error = 0;
  corvane::VString message;  // the poster's own text; empty when none

  // The text an application reads: the default text, then ":" LF and the
  // message when there is one.
  corvane::VString FullText() const;
};

}  // namespace kestrion
