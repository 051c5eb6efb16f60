#include "statement/cell_fault.h"

#include <string>

#include "driver/descriptor.h"
#include "driver/statement.h"

namespace kestrion {

using corvane::VString;

void PostCellFault(CHStatement& statement, std::int32_t column, std::int32_t code) {
  VString message = u"Column ";
  message += VString::FromAscii(std::to_string(column));
  CHDescriptor* ird = statement.current_descriptor(DescriptorRole::ImpRow);
  if (ird != nullptr && column >= 0 && column <= ird->count()) {
    const VString& name = ird->records[static_cast<std::size_t>(column)].name();
    if (!name.empty()) {
      message += u" (";
      message += name;
      message += u")";
    }
  }
  SqlState state = SqlState::S22018;
  switch (code) {
    case 1:
      state = SqlState::S22003;
      message += u": the server could not represent the value in the column's type (out of range).";
      break;
    case kFaultInvalidDate:
      state = SqlState::S22007;
      message += u": the value is not a valid date or time.";
      break;
    default:
      message += u": the server could not represent the value in the column's type.";
      break;
  }
  statement.Post(state, message);
}

}  // namespace kestrion
