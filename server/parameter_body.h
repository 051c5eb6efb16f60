// The parameter body of a request: one status byte per parameter marker of
// the statement text ('1' and a value of the kind named for it on the
// "PARAMETER-TYPES:" line, '0' for NULL).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "toolbox/stream.h"
#include "toolbox/value.h"

namespace kestrion::server {

// Kind names of the "PARAMETER-TYPES:" line: one per value sent, each after
// one space (an empty name stays an empty item). The names are views into
// `raw`; `out` keeps its memory from one request to the next.
void SplitParameterTypes(std::string_view raw, std::vector<std::string_view>& out);
std::vector<std::string_view> SplitParameterTypes(std::string_view raw);

// Reads the body. False with `error` set when it is malformed or short; the
// stream may then be anywhere inside the body.
bool ReadParameterBody(corvane::VStream& s, int markers, const std::vector<std::string_view>& kinds,
                       std::vector<corvane::VValue>& out, std::string& error);

}  // namespace kestrion::server
