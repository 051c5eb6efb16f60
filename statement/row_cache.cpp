#include "statement/row_cache.h"

#include <sqlext.h>

namespace kestrion {

namespace {
// A page is kept in storage up to this many cells; a larger one is given
// back when the cache is cleared.
constexpr std::size_t kKeptCells = std::size_t{1} << 16;
}  // namespace

void RowCache::Clear() {
  const std::size_t used = static_cast<std::size_t>(rows_) * columns_;
  if (cells_.size() > kKeptCells) {
    std::vector<corvane::VValue>().swap(cells_);
  } else {
    for (std::size_t i = 0; i < used && i < cells_.size(); ++i) cells_[i].set_null();
  }
  statuses_.clear();
  faults_.clear();
  rows_ = 0;
  first_row_ = 0;
}

void RowCache::Start(std::int64_t first_row, std::int32_t rows, std::int32_t columns) {
  Clear();
  first_row_ = first_row;
  columns_ = columns;
  const std::size_t cells = static_cast<std::size_t>(rows) * columns;
  if (cells_.size() < cells) cells_.resize(cells);
  statuses_.assign(static_cast<std::size_t>(rows), SQL_ROW_SUCCESS);
  rows_ = rows;
}

void RowCache::Grow(std::int32_t rows) {
  const std::size_t needed = static_cast<std::size_t>(rows_ + rows) * columns_;
  if (cells_.size() < needed) cells_.resize(needed);
  statuses_.resize(static_cast<std::size_t>(rows_ + rows), SQL_ROW_SUCCESS);
  rows_ += rows;
}

void RowCache::Restart(std::int64_t first_row, std::int32_t columns) {
  if (columns != columns_ || cells_.size() > kKeptCells) Clear();
  statuses_.clear();
  rows_ = 0;
  first_row_ = first_row;
  columns_ = columns;
}

void RowCache::GrowForOverwrite(std::int32_t rows) {
  const std::size_t needed = static_cast<std::size_t>(rows_ + rows) * columns_;
  if (cells_.size() < needed) cells_.resize(needed);
  statuses_.resize(static_cast<std::size_t>(rows_ + rows), SQL_ROW_SUCCESS);
  rows_ += rows;
}

std::int32_t RowCache::AppendRow(std::int32_t columns) {
  if (rows_ == 0) columns_ = columns;
  const std::size_t needed = static_cast<std::size_t>(rows_ + 1) * columns_;
  if (cells_.size() < needed) cells_.resize(needed);
  for (std::size_t i = needed - columns_; i < needed; ++i) cells_[i].set_null();
  statuses_.push_back(SQL_ROW_SUCCESS);
  return rows_++;
}

}  // namespace kestrion
