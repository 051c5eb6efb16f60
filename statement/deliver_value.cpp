#include "statement/deliver_value.h"

#include "driver/statement.h"

namespace kestrion {

void PostConversionFailure(CHStatement& statement, Conversion status) {
  switch (status) {
    case Conversion::kNotPossible:
      statement.Post(SqlState::S07006, u"The value cannot be converted to the requested C type.");
      break;
    case Conversion::kOutOfRange:
      statement.Post(SqlState::S22003, u"The value does not fit the requested C type.");
      break;
    case Conversion::kInvalidText:
      statement.Post(SqlState::S22018, u"The text does not read as the requested C type.");
      break;
    case Conversion::kDatetimeOverflow:
      statement.Post(SqlState::S22008, u"The span of time is not a time of day.");
      break;
    case Conversion::kNoMemory:
      statement.Post(SqlState::HY001, u"Can't allocate memory for the value.");
      break;
    case Conversion::kOk:
      break;
  }
}

CellResult DeliverValue(CHStatement& statement, const CellTarget& cell,
                        const corvane::VValue& value) {
  CellResult r;
  r.target.c_class = cell.c_class;
  r.target.buffer = cell.data;
  r.target.capacity = FixedBufferSize(cell.c_class, cell.buffer_length);
  r.target.charset = statement.charset;
  r.target.scale = cell.scale;
  r.target.unsigned_integer = cell.unsigned_integer;
  r.target.offset = cell.offset;
  r.target.access_compatible = statement.access_compatible;
  if (value.is_null()) {
    r.null = true;
    if (cell.data != nullptr) {
      if (cell.c_class == kClassWChar && cell.buffer_length >= 2) {
        static_cast<SQLWCHAR*>(cell.data)[0] = 0;
      } else if (cell.c_class == kClassChar && cell.buffer_length >= 1) {
        static_cast<char*>(cell.data)[0] = 0;
      }
    }
    return r;
  }
  r.conversion = ConvertToC(r.target, value);
  if (r.conversion.status != Conversion::kOk) {
    r.failed = true;
    PostConversionFailure(statement, r.conversion.status);
    return r;
  }
  const std::int64_t left = r.conversion.full_length - r.target.offset;
  if ((cell.c_class == kClassChar || cell.c_class == kClassWChar || cell.c_class == kClassBinary) &&
      left > r.target.capacity) {
    r.truncated = true;
  }
  return r;
}

}  // namespace kestrion
