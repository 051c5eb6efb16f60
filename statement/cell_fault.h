// Cells the server marked as not representable in their column's kind, and
// dates that are no dates: fetching such a cell is an error of its row,
// reported with the column's number and name.
#pragma once

#include <cstdint>

namespace kestrion {

class CHStatement;

// Fault code of a cell whose date or timestamp is not a real calendar date.
inline constexpr std::int32_t kFaultInvalidDate = 3;

// Posts the diagnostic of a faulty cell of `column` (22003 out of range,
// 22007 invalid date, 22018 another sort of value).
void PostCellFault(CHStatement& statement, std::int32_t column, std::int32_t code);

}  // namespace kestrion
