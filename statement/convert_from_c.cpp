#include "statement/convert_from_c.h"

#include <new>

#include "statement/type_tables.h"

namespace kestrion {

ParameterValue MakeParameterValue(const ParameterBuffer& p, int16_t sql_class, corvane::VValue& out) {
  ParameterValue r;
  try {
    r.state = ReadParameterBuffer(p, out);
    if (r.state != BufferValue::kValue) return r;
    const corvane::VKind kind = KindOfClass(sql_class);
    if (kind == corvane::VKind::Unknown) return r;
    r.status = ConvertToKind(out, kind);
  } catch (const std::bad_alloc&) {
    out = corvane::VValue();
    r.status = Conversion::kNoMemory;
  }
  return r;
}

}  // namespace kestrion
