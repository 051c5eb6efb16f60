#include "statement/close_statement.h"

#include "driver/statement.h"

namespace kestrion {

bool CloseStatement(CHStatement&) { return false; }

}  // namespace kestrion
