// The execution state of a statement: text, reply lists, result description
// state and row cache.
#pragma once

namespace kestrion {

struct StatementState {};

}  // namespace kestrion
