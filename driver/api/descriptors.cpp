// SQLSetDescRec and SQLGetDescRecW: several fields of one record at once,
// each through the generic setter or getter.
#include "driver/attribute_access.h"
#include "driver/descriptor.h"
#include "driver/entry_guard.h"

using namespace kestrion;

namespace {

SQLPOINTER AsValue(SQLLEN v) { return reinterpret_cast<SQLPOINTER>(static_cast<intptr_t>(v)); }

}  // namespace

extern "C" {

KESTRION_EXPORT SQLRETURN SQL_API SQLSetDescRec(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                                SQLSMALLINT Type, SQLSMALLINT SubType,
                                                SQLLEN Length, SQLSMALLINT Precision,
                                                SQLSMALLINT Scale, SQLPOINTER Data,
                                                SQLLEN* StringLength, SQLLEN* Indicator) {
  return Guarded<CHDescriptor>(
      DescriptorHandle, HandleKind::Descriptor, [&](CHDescriptor& descriptor) {
        // After a refusal the later fields are still looked up (and their
        // refusals reported) but no longer stored.
        const struct {
          int32_t field;
          SQLPOINTER value;
        } fields[] = {
            {SQL_DESC_TYPE, AsValue(Type)},
            {SQL_DESC_DATETIME_INTERVAL_CODE, AsValue(SubType)},
            {SQL_DESC_OCTET_LENGTH, AsValue(Length)},
            {SQL_DESC_PRECISION, AsValue(Precision)},
            {SQL_DESC_SCALE, AsValue(Scale)},
            {SQL_DESC_DATA_PTR, Data},
            {SQL_DESC_OCTET_LENGTH_PTR, StringLength},
            {SQL_DESC_INDICATOR_PTR, Indicator},
        };
        for (const auto& f : fields) {
          SetAttributeValue(descriptor, f.field, f.value, 0, RecNumber, kAppSet);
        }
        return descriptor.return_code();
      });
}

KESTRION_EXPORT SQLRETURN SQL_API SQLGetDescRecW(SQLHDESC hdesc, SQLSMALLINT iRecord,
                                                 SQLWCHAR* szName, SQLSMALLINT cbNameMax,
                                                 SQLSMALLINT* pcbName, SQLSMALLINT* pfType,
                                                 SQLSMALLINT* pfSubType, SQLLEN* pLength,
                                                 SQLSMALLINT* pPrecision, SQLSMALLINT* pScale,
                                                 SQLSMALLINT* pNullable) {
  return Guarded<CHDescriptor>(hdesc, HandleKind::Descriptor, [&](CHDescriptor& descriptor) {
    // The name's buffer and length count characters, as ODBC defines for
    // this function; the generic getter counts bytes.
    if (pcbName != nullptr) *pcbName = cbNameMax;
    if (szName != nullptr) {
      SQLLEN length = static_cast<SQLLEN>(cbNameMax) * 2;
      GetAttributeValue(descriptor, SQL_DESC_NAME, szName, length, iRecord, kAppGet);
      if (pcbName != nullptr) *pcbName = static_cast<SQLSMALLINT>(length / 2);
    }
    const struct {
      int32_t field;
      void* out;
    } fields[] = {
        {SQL_DESC_TYPE, pfType},         {SQL_DESC_DATETIME_INTERVAL_CODE, pfSubType},
        {SQL_DESC_OCTET_LENGTH, pLength}, {SQL_DESC_PRECISION, pPrecision},
        {SQL_DESC_SCALE, pScale},         {SQL_DESC_NULLABLE, pNullable},
    };
    for (const auto& f : fields) {
      if (f.out == nullptr) continue;
      SQLLEN length = 0;
      GetAttributeValue(descriptor, f.field, f.out, length, iRecord, kAppGet);
    }
    return descriptor.return_code();
  });
}

}  // extern "C"
