// BULK-MODIFY: row items applied to the table of an updatable kept result, all
// in one transaction. Items: "1" update by row id, "2" insert, "3" delete by
// row id, "5" nothing (the column items are read and dropped).
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "server/batch.h"
#include "server/result_set.h"
#include "toolbox/stream.h"
#include "toolbox/value.h"

namespace kestrion::server {

struct BulkItem {
  char op = 0;
  std::int32_t row_id = 0;
  std::vector<std::pair<std::uint16_t, corvane::VValue>> columns;  // index from 0 = result column 1
};

// Reads `count` items whose values have the kinds of `result`'s columns.
// False with `error` when the body is malformed (the stream is then lost).
// A "5" item ends the reading with `rest_unread` set: its column items have no
// count, so the caller discards the rest of the body.
bool ReadBulkItems(corvane::VStream& s, const ResultSet& result, long long count, std::vector<BulkItem>& items,
                   bool& rest_unread, std::string& error);

// Applies the items; on success `new_ids` holds one row id per "2" item.
bool ApplyBulkItems(sqlite3* db, const ResultSet& result, const std::vector<BulkItem>& items,
                    std::vector<std::int64_t>& new_ids, SqlError& error);

}  // namespace kestrion::server
