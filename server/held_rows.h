// The rows of a result as SQLite gave them, copied into blocks of memory while
// the statement is stepped. Rows are encoded for the wire only when a page is
// asked for, so that the reply to an execute leaves as soon as the query has
// run, and later pages are encoded while the client reads earlier ones.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "server/cell_encoder.h"

namespace kestrion::server {

class HeldRows {
 public:
  // Copies the current row of `s`, columns 0 to `width` - 1 (the same width
  // for every row). `classes`, one per column, collects the storage classes
  // seen (bit 1 << SQLITE_INTEGER and so on).
  void Append(sqlite3_stmt* s, int width, std::span<unsigned> classes);

  std::size_t rows() const { return starts_.size(); }
  // The cells of row `row`, `width` of them, into `out`; texts and blobs
  // point into the held memory and stay valid until Clear.
  void Cells(std::size_t row, int width, SqlCell* out) const;
  // Gives the memory back.
  void Clear();
  // Forgets the rows but keeps the memory of a few, so that the next result
  // of a few rows (a point select) allocates nothing; gives a larger one back.
  void Reuse();

 private:
  // Room for `bytes` more bytes of the row being appended, which stays in
  // one block (it is moved to a new block when it does not fit).
  std::uint8_t* Room(std::size_t bytes);

  std::vector<std::unique_ptr<std::uint8_t[]>> blocks_;
  std::uint8_t* block_ = nullptr;  // the last block
  std::size_t block_size_ = 0;
  std::size_t used_ = 0;           // bytes of the last block in use
  std::vector<const std::uint8_t*> starts_;  // where each row starts
};

}  // namespace kestrion::server
