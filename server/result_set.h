// One result of a batch as the server keeps it: its description and, for a row
// set, the rows as SQLite gave them; a page is encoded for the wire when a
// reply needs it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "server/byte_buffer.h"
#include "server/held_rows.h"
#include "toolbox/value.h"

namespace kestrion::server {

struct ResultColumn {
  std::string alias;            // UTF-8
  corvane::VKind kind = corvane::VKind::Text;
  std::string origin;           // base column name when the result is updatable
  // The size the column's declaration gives: characters of VARCHAR(n) and
  // the like, 2147483647 for unbounded text and byte strings (TEXT, BLOB...),
  // 0 when the declaration names no size (numbers, dates, expressions).
  std::int32_t declared_size = 0;

  bool operator==(const ResultColumn&) const = default;
};

struct ResultSet {
  bool row_set = true;          // false: an update count
  std::int64_t update_count = 0;
  std::vector<ResultColumn> columns;
  // Updatable: a plain SELECT of one rowid table; each row starts with the
  // row id as column 0 (not counted in the columns).
  bool updatable = false;
  std::string table;

  // The rows as stepped: the columns, then the row id of an updatable
  // result.
  HeldRows held;

  std::size_t row_count() const { return held.rows(); }
  // Empties the result for another run, keeping the memory of a small one.
  void Reuse();
  // Appends rows [first, last] (inclusive, already clamped) to `out` as
  // they go on the wire.
  void EncodeRows(std::size_t first, std::size_t last, ByteBuffer& out) const;
};

// Every result of one executed batch, kept under its Statement-ID.
struct KeptStatement {
  std::vector<ResultSet> results;
};

}  // namespace kestrion::server
