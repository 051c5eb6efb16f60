#include "driver/attribute_access.h"

#include <cstring>

#include "driver/entry_guard.h"

namespace kestrion {

void SetAttributeValue(CSQLHandle& handle, int32_t id, SQLPOINTER value, SQLLEN length,
                       int16_t record, uint32_t access) {
  AttributeCell* cell = handle._GetAvailableAttribute(id, record, access);
  if (cell == nullptr) return;
  if (cell->kind != CellKind::String) {
    if (handle.ok()) handle._SetAttribute(*cell, id, value, length, record);
    return;
  }
  // A string: the new text, always terminated; the length passed on counts
  // bytes with the terminator.
  corvane::VString text;
  if (value != nullptr) {
    if (length == SQL_NTS) {
      text = corvane::VString::FromUnits(value);
    } else if (length <= 0 || length % 2 != 0) {
      handle.Post(SqlState::HY090, u"Must be an even >0 buffer length.");
    } else {
      text.assign(static_cast<const char16_t*>(value), static_cast<size_t>(length / 2));
    }
  }
  if (!handle.ok()) return;
  handle._SetAttribute(*cell, id, const_cast<char16_t*>(text.c_str()),
                       static_cast<SQLLEN>((text.size() + 1) * 2), record);
}

void GetAttributeValue(CSQLHandle& handle, int32_t id, SQLPOINTER buffer, SQLLEN& length,
                       int16_t record, uint32_t access) {
  if (buffer == nullptr) {
    handle.Post(SqlState::HY009, u"NULL attribute recipe");
    return;
  }
  AttributeCell* cell = handle._GetAvailableAttribute(id, record, access);
  if (cell == nullptr) {
    handle.Post(SqlState::HY001, u"Can't get the attribute/option value.");
    return;
  }
  switch (cell->kind) {
    case CellKind::Int32: {
      const int32_t v = cell->AsInt32();
      std::memcpy(buffer, &v, sizeof v);
      length = sizeof v;
      return;
    }
    case CellKind::Int16: {
      const int16_t v = cell->AsInt16();
      std::memcpy(buffer, &v, sizeof v);
      length = sizeof v;
      return;
    }
    case CellKind::Pointer: {
      const int64_t v = cell->value;
      std::memcpy(buffer, &v, sizeof v);
      length = sizeof v;
      return;
    }
    case CellKind::String:
      break;
  }
  const SQLLEN capacity = length;
  if (capacity < 2) {
    handle.Post(SqlState::HY090, u"Buffer length must be greater than sizeof(SQLWCHAR).");
    return;
  }
  if (capacity % 2 != 0) {
    handle.Post(SqlState::HY090,
                u"Must be an even buffer length ((charLength+1)*sizeof(SQLWCHAR)).");
    return;
  }
  const SQLLEN needed = static_cast<SQLLEN>((cell->text.size() + 1) * 2);
  SQLLEN copied = needed;
  if (capacity < needed) {
    handle.Post(SqlState::S01004);
    copied = capacity;
  }
  // The text without its terminator, then a terminator at the end of what
  // was copied, so that a cut text stays terminated inside the buffer.
  auto* out = static_cast<char16_t*>(buffer);
  const size_t units = static_cast<size_t>(copied / 2) - 1;
  std::memcpy(out, cell->text.data(), units * 2);
  out[units] = u'\0';
  length = copied - 2;
}

SQLRETURN SetAttributeEntry(HandleKind kind, SQLHANDLE handle, int32_t id, SQLPOINTER value,
                            SQLLEN length, int16_t record, const char* where) {
  return Guarded<CSQLHandle>(
      handle, kind,
      [&](CSQLHandle& h) {
        SetAttributeValue(h, id, value, length, record, kAppSet);
        return h.return_code();
      },
      where);
}

SQLRETURN GetAttributeEntry(HandleKind kind, SQLHANDLE handle, int32_t id, SQLPOINTER buffer,
                            SQLINTEGER buffer_length, SQLINTEGER* string_length, int16_t record,
                            const char* where) {
  return Guarded<CSQLHandle>(
      handle, kind,
      [&](CSQLHandle& h) {
        SQLLEN length = buffer_length;
        GetAttributeValue(h, id, buffer, length, record, kAppGet);
        if (h.ok() && string_length != nullptr) *string_length = static_cast<SQLINTEGER>(length);
        return h.return_code();
      },
      where);
}

}  // namespace kestrion
