// An attribute cell: one stored attribute or descriptor field with its kind.
#pragma once

#include <cstdint>

#include "toolbox/vstring.h"

namespace kestrion {

enum class CellKind : int32_t {
  Int32 = 4,     // read back as 4 bytes
  Int16 = 5,     // read back as 2 bytes
  Pointer = -5,  // pointer-size: a pointer, a handle or a 64-bit length; 8 bytes
  String = -8,   // owned UTF-16 text, never null (empty when unset)
};

// Access modes passed to every attribute lookup.
enum AccessMode : uint32_t {
  kAppGet = 0x0001,
  kInternalGet = 0x0002,
  kAppSet = 0x0100,
  kInternalSet = 0x0200,
  kAnyAccess = kAppGet | kInternalGet | kAppSet | kInternalSet,
};

struct AttributeCell {
  CellKind kind = CellKind::Int32;
  int64_t value = 0;  // Int32, Int16 and Pointer cells
  corvane::VString text;  // String cells

  static AttributeCell Int32(int32_t v) { return {CellKind::Int32, v, {}}; }
  static AttributeCell Int16(int16_t v) { return {CellKind::Int16, v, {}}; }
  static AttributeCell Pointer(const void* p) {
    return {CellKind::Pointer, static_cast<int64_t>(reinterpret_cast<intptr_t>(p)), {}};
  }
  static AttributeCell String() { return {CellKind::String, 0, {}}; }

  int32_t AsInt32() const { return static_cast<int32_t>(value); }
  int16_t AsInt16() const { return static_cast<int16_t>(value); }
  void* AsPointer() const { return reinterpret_cast<void*>(static_cast<intptr_t>(value)); }
};

}  // namespace kestrion
