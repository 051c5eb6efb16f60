#include "driver/statement.h"

namespace kestrion {

void CHStatement::_EndTransaction(int16_t) {}

}  // namespace kestrion
