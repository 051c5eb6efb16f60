// The table behind SQLGetInfoW: every information type the driver answers,
// with its form and its constant value or the source it is computed from.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "catalog/driver_info.h"

namespace kestrion {

// Where an answer comes from.
enum class InfoSource : uint8_t {
  Constant,        // `number` or `text` of the entry
  DataSourceName,  // the connection's data source name
  ServerName,      // server address ":" port
  UserName,        // the connection's user name
  DriverOdbcVer,   // "02.00" or "03.52" by the ODBC behaviour version
  OdbcVer,         // the same followed by ".0000"
  Keywords,        // the keyword list
  CollationSeq,    // by the connection's character set
  AlterTable,      // bitmask by the ODBC behaviour version
};

struct InfoEntry {
  uint16_t id;
  InfoForm form;
  InfoSource source;
  uint32_t number;
  std::u16string_view text;
};

// Every answered type, sorted by id.
std::span<const InfoEntry> InfoEntries();
// The entry of a type; null when the driver does not answer it.
const InfoEntry* FindInfoEntry(uint16_t id);

}  // namespace kestrion
