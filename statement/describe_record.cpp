#include "statement/describe_record.h"

#include "driver/bind_record.h"
#include "driver/descriptor.h"
#include "statement/type_tables.h"

namespace kestrion {

void BindDescribedRecord(CHDescriptor& d, std::int16_t record, std::int16_t type, void* data,
                         std::int64_t buffer_length, SQLLEN* indicator) {
  if (d.count() < record) d.SetCount(record);
  BindRecord(d, record, type, data, static_cast<SQLLEN>(buffer_length), indicator);
  // A described timestamp's length is its length in characters; its octet
  // length stays the size of the timestamp structure.
  if (type == kClassTimestamp) {
    if (DescriptorRecord* r = d.record(record)) r->set_length(RecordField::Length, kTimestampChars);
  }
}

}  // namespace kestrion
