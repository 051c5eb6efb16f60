#include "statement/parameters.h"

#include <cstring>

#include "driver/descriptor.h"
#include "driver/statement.h"
#include "statement/convert_from_c.h"
#include "statement/deliver_value.h"
#include "statement/kind_conversion.h"
#include "statement/statement_settings.h"
#include "statement/type_tables.h"
#include "toolbox/stream.h"
#include "toolbox/value_codec.h"

namespace kestrion {

namespace {

template <class T>
T* Offset(T* p, std::int64_t bytes) {
  if (p == nullptr || bytes == 0) return p;
  return reinterpret_cast<T*>(reinterpret_cast<std::uintptr_t>(p) + bytes);
}

SQLLEN LoadLength(const SQLLEN* at) {
  SQLLEN value = 0;
  std::memcpy(&value, at, sizeof value);
  return value;
}

}  // namespace

ParameterBuffer ApplicationParameter(CHStatement& statement, std::int16_t number,
                                     std::int64_t set) {
  ParameterBuffer p;
  CHDescriptor* apd = statement.current_descriptor(DescriptorRole::AppParam);
  if (apd == nullptr || number < 1 || apd->count() < number) return p;
  const DescriptorRecord& r = apd->records[static_cast<std::size_t>(number)];
  const SQLLEN* offset_ptr = ParamBindOffsetPtr(statement);
  const std::int64_t offset = offset_ptr != nullptr ? *offset_ptr : 0;
  p.c_type = r.concise_type();
  p.c_class = FoldType(r.concise_type(), OdbcVersion(statement));
  p.buffer_length = r.octet_length();
  // The element of set `set`: row-wise binding steps every pointer by the
  // structure size, column-wise binding the data by its element size and
  // the lengths by an SQLLEN.
  const std::int64_t row_size = ParamBindType(statement);
  const std::int64_t data_step = row_size > 0 ? row_size : FixedBufferSize(p.c_class, p.buffer_length);
  const std::int64_t length_step = row_size > 0 ? row_size : static_cast<std::int64_t>(sizeof(SQLLEN));
  p.data = Offset(static_cast<const std::uint8_t*>(r.data_ptr()), offset + set * data_step);
  const SQLLEN* indicator = Offset(r.indicator_ptr(), offset + set * length_step);
  const SQLLEN* length = Offset(r.octet_length_ptr(), offset + set * length_step);
  // Arrays of structures may place lengths at any address (pyodbc packs its
  // rows): read them byte-wise.
  if (indicator != nullptr) p.indicator = LoadLength(indicator);
  if (length != nullptr) p.length = LoadLength(length);
  p.charset = statement.charset;
  p.windev = statement.windev;
  return p;
}

bool NeedsData(CHStatement& statement, std::int16_t number, std::int64_t set) {
  const ParameterBuffer p = ApplicationParameter(statement, number, set);
  if (p.c_class != kClassChar && p.c_class != kClassWChar && p.c_class != kClassBinary) return false;
  if (!p.indicator) return false;
  return *p.indicator == SQL_DATA_AT_EXEC || *p.indicator <= SQL_LEN_DATA_AT_EXEC_OFFSET;
}

namespace {

bool AllMarkersBound(CHStatement& statement) {
  CHDescriptor* apd = statement.current_descriptor(DescriptorRole::AppParam);
  const std::int16_t bound = apd != nullptr ? std::max<std::int16_t>(apd->count(), 0) : 0;
  return bound >= statement.state.marker_count;
}

}  // namespace

bool EveryMarkerBound(CHStatement& statement) {
  if (AllMarkersBound(statement)) return true;
  statement.Post(SqlState::S07002, u"Fewer parameters are bound than the statement has markers.");
  return false;
}

bool AddParameters(CHStatement& statement, ParameterUse use, std::string& header,
                   std::vector<std::uint8_t>& body, std::int64_t set) {
  StatementState& s = statement.state;
  body.clear();
  const std::int16_t markers = s.marker_count;
  if (markers <= 0) return true;
  if (use == ParameterUse::kPrepare && !AllMarkersBound(statement)) return true;
  if (!EveryMarkerBound(statement)) return false;
  CHDescriptor* ipd = statement.current_descriptor(DescriptorRole::ImpParam);
  const std::int32_t version = OdbcVersion(statement);

  corvane::VMemoryStream stream;
  stream.buffer().reserve(static_cast<std::size_t>(markers) * 16);
  std::string kinds;
  corvane::VValue value;
  for (std::int16_t i = 1; i <= markers; ++i) {
    // A prepare is about to describe the parameters anew: what an earlier
    // prepare said of them does not apply, so values go in their C kinds.
    std::int16_t sql_class = kClassDefault;
    if (use == ParameterUse::kExecute && ipd != nullptr && ipd->count() >= i) {
      sql_class = FoldType(ipd->records[static_cast<std::size_t>(i)].concise_type(), version);
    }
    ParameterBuffer p = ApplicationParameter(statement, i, set);
    auto piece = s.pieces.find({set, i});
    if (piece != s.pieces.end()) {
      // Data supplied at execution stands in for the application's buffer.
      const std::int64_t size = static_cast<std::int64_t>(piece->second.bytes.size());
      p.data = piece->second.bytes.data();
      p.buffer_length = size;
      p.indicator = piece->second.null ? std::optional<std::int64_t>(SQL_NULL_DATA) : size;
      p.length = p.indicator;
    }
    value = corvane::VValue();
    const ParameterValue made = MakeParameterValue(p, sql_class, value);
    if (made.status != Conversion::kOk) {
      PostConversionFailure(statement, made.status);
      return false;
    }
    if (value.kind() == corvane::VKind::Text && use == ParameterUse::kExecute &&
        static_cast<std::size_t>(i) <= s.described_kinds.size() &&
        s.described_kinds[static_cast<std::size_t>(i - 1)] == corvane::VKind::Uuid) {
      // The text of a UUID (with or without dashes and braces) for a UUID
      // column goes as the UUID itself; any other text goes as it is.
      corvane::VValue uuid = value;
      if (ConvertToKind(uuid, corvane::VKind::Uuid) == Conversion::kOk) value = std::move(uuid);
    }
    if (made.state == BufferValue::kValue && value.kind() != corvane::VKind::Unknown) {
      stream.PutU8('1');
      if (!corvane::WriteValue(stream, value)) {
        statement.Post(SqlState::HY000, u"A parameter value could not be encoded.");
        return false;
      }
      kinds += ' ';
      kinds += corvane::KindName(value.kind());
    } else {
      // NULL, pending data, or no value that can be made: sent as NULL.
      stream.PutU8('0');
    }
  }
  header += "\r\nPARAMETER-TYPES:";
  header += kinds;
  body = stream.TakeBuffer();
  return true;
}

}  // namespace kestrion
