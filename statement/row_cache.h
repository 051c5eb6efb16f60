// The row cache: one page of a result's rows, column 0 the bookmark, with a
// status per row. Its storage is kept between pages so that a forward scan
// does not allocate per row; local result sets append rows to it directly.
#pragma once

#include <cstdint>
#include <vector>

#include "toolbox/value.h"

namespace kestrion {

class RowCache {
 public:
  // 0-based index in the result of the first cached row.
  std::int64_t first_row() const { return first_row_; }
  std::int32_t rows() const { return rows_; }
  // Columns per row, bookmark included.
  std::int32_t columns() const { return columns_; }
  bool Contains(std::int64_t row) const {
    return row >= first_row_ && row < first_row_ + rows_;
  }

  // Empties the cache (values are released, storage kept) and resets the
  // first row to 0.
  void Clear();
  // Empties the cache and makes room for `rows` rows of `columns` columns
  // (bookmark included), all NULL with status SQL_ROW_SUCCESS, starting at
  // result row `first_row`.
  void Start(std::int64_t first_row, std::int32_t rows, std::int32_t columns);
  // Adds `rows` rows of NULLs with status SQL_ROW_SUCCESS at the end.
  void Grow(std::int32_t rows);
  // Empties the cache for a page of `columns` columns (bookmark included)
  // from result row `first_row` on, keeping what the cells hold so that the
  // next page is read into their storage.
  void Restart(std::int64_t first_row, std::int32_t columns);
  // Adds `rows` rows with status SQL_ROW_SUCCESS whose cells still hold
  // earlier values: the caller sets every one of them.
  void GrowForOverwrite(std::int32_t rows);
  // Appends one row of NULLs and answers its index in the cache. Used by
  // local result sets; the column count is fixed by the first row or Start.
  std::int32_t AppendRow(std::int32_t columns);

  // A cell by cache row (0-based within the page) and column.
  corvane::VValue& cell(std::int32_t row, std::int32_t column) {
    return cells_[static_cast<std::size_t>(row) * columns_ + column];
  }
  const corvane::VValue& cell(std::int32_t row, std::int32_t column) const {
    return cells_[static_cast<std::size_t>(row) * columns_ + column];
  }
  // The cell of a result row (must be cached).
  const corvane::VValue& result_cell(std::int64_t row, std::int32_t column) const {
    return cell(static_cast<std::int32_t>(row - first_row_), column);
  }
  std::uint16_t& status(std::int32_t row) { return statuses_[row]; }

  // Cells whose value the server could not represent in the column's kind
  // (status '2'), or that held no valid date: their row reads as an error.
  // Codes: 1 out of range, 2 another sort of value, 3 not a valid date.
  void AddFault(std::int32_t row, std::int32_t column, std::int32_t code) {
    faults_.push_back(Fault{row, column, code});
  }
  // The fault code of a result row's cell; 0 when it has none.
  std::int32_t result_fault(std::int64_t row, std::int32_t column) const {
    const auto r = static_cast<std::int32_t>(row - first_row_);
    for (const Fault& f : faults_) {
      if (f.row == r && f.column == column) return f.code;
    }
    return 0;
  }
  std::uint16_t result_status(std::int64_t row) const {
    return statuses_[static_cast<std::size_t>(row - first_row_)];
  }

 private:
  std::int64_t first_row_ = 0;
  std::int32_t rows_ = 0;
  std::int32_t columns_ = 0;
  std::vector<corvane::VValue> cells_;
  std::vector<std::uint16_t> statuses_;
  struct Fault {
    std::int32_t row;
    std::int32_t column;
    std::int32_t code;
  };
  std::vector<Fault> faults_;  // few; storage kept between pages
};

}  // namespace kestrion
