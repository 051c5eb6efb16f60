// One result of a batch as the server keeps it: its description and, for a row
// set, the rows already encoded as they go on the wire, with row offsets, so
// that any page is a plain copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "server/byte_buffer.h"
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
};

struct ResultSet {
  bool row_set = true;          // false: an update count
  std::int64_t update_count = 0;
  std::vector<ResultColumn> columns;
  // Updatable: a plain SELECT of one rowid table; each row starts with the
  // row id as column 0 (not counted in the columns).
  bool updatable = false;
  std::string table;

  ByteBuffer rows;                    // encoded rows, one after another
  std::vector<std::size_t> offsets;   // start of each row, plus the end

  std::size_t row_count() const { return offsets.empty() ? 0 : offsets.size() - 1; }
  // Bytes of rows [first, last] (inclusive, already clamped).
  const std::uint8_t* page_data(std::size_t first) const { return rows.data() + offsets[first]; }
  std::size_t page_size(std::size_t first, std::size_t last) const { return offsets[last + 1] - offsets[first]; }
};

// Every result of one executed batch, kept under its Statement-ID.
struct KeptStatement {
  std::vector<ResultSet> results;
};

}  // namespace kestrion::server
