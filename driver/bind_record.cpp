#include "driver/bind_record.h"

#include "driver/descriptor.h"
#include "statement/type_tables.h"

namespace kestrion {

namespace {

bool IsSigned(int16_t type) {
  switch (type) {
    case kClassGuid: case kClassTinyInt: case kClassBigInt: case kClassNumeric:
    case kClassInteger: case kClassSmallInt: case kClassReal: case kClassDouble:
      return true;
    default:
      return false;
  }
}

}  // namespace

void BindRecord(CHDescriptor& descriptor, int16_t record, int16_t type, SQLPOINTER data,
                SQLLEN buffer_length, SQLLEN* length_or_indicator) {
  DescriptorRecord* r = descriptor.record(record);
  if (r == nullptr) {
    descriptor.Post(SqlState::S07009);
    return;
  }
  r->set_pointer(RecordField::DataPtr, data);

  const int32_t fixed = FixedSize(type);
  SQLLEN length = fixed;
  if (fixed == -3) {
    length = 512;
  } else if (fixed <= 0 || type == kClassWChar || type == kClassBinary || type == kClassChar) {
    length = buffer_length;
  }
  r->set_length(RecordField::Length, length);
  r->set_length(RecordField::OctetLength, length);

  descriptor._SetAttribute(r->cell(RecordField::ConciseType), SQL_DESC_CONCISE_TYPE,
                           reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(type)), 0, record);

  r->set_int16(RecordField::Nullable, record != 0 ? SQL_NULLABLE : SQL_NO_NULLS);
  r->set_int16(RecordField::Unsigned, IsSigned(type) ? SQL_FALSE : SQL_TRUE);
  int16_t verbose = type;
  int16_t subcode = 0;
  switch (type) {
    case kClassDate: verbose = SQL_DATETIME; subcode = SQL_CODE_DATE; break;
    case kClassTimestamp: verbose = SQL_DATETIME; subcode = SQL_CODE_TIMESTAMP; break;
    case kClassInterval: verbose = SQL_DATETIME; subcode = SQL_CODE_TIME; break;
    default: break;
  }
  r->set_int16(RecordField::Type, verbose);
  r->set_int16(RecordField::DatetimeIntervalCode, subcode);
  r->set_text(RecordField::TypeName, SqlTypeName(type));
  r->set_pointer(RecordField::IndicatorPtr, length_or_indicator);
  r->set_pointer(RecordField::OctetLengthPtr, length_or_indicator);
}

}  // namespace kestrion
