#include "server/held_rows.h"

#include <algorithm>
#include <cstring>

namespace kestrion::server {

namespace {

// The first block is small, so that a result of a few rows (a point select)
// costs little memory; each next one doubles, up to 256 KiB.
constexpr std::size_t kFirstBlockSize = std::size_t{4} << 10;
constexpr std::size_t kBlockSize = std::size_t{256} << 10;

// A cell is its storage class in one byte, then 8 bytes for an integer or a
// double, or a 4-byte length and the bytes for text and blobs.
template <class T>
void Put(std::uint8_t* at, T value) {
  std::memcpy(at, &value, sizeof value);
}

template <class T>
T Get(const std::uint8_t* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

}  // namespace

std::uint8_t* HeldRows::Room(std::size_t bytes) {
  if (block_ != nullptr && used_ + bytes <= block_size_) {
    std::uint8_t* at = block_ + used_;
    used_ += bytes;
    return at;
  }
  // The row so far moves along, so that every row lies in one block.
  const std::uint8_t* row = starts_.back();
  const std::size_t row_bytes = block_ != nullptr ? static_cast<std::size_t>(block_ + used_ - row) : 0;
  const std::size_t step = block_ == nullptr ? kFirstBlockSize : std::min(2 * block_size_, kBlockSize);
  const std::size_t size = std::max(step, 2 * (row_bytes + bytes));
  // Not zeroed: every byte is written before it is read.
  auto block = std::make_unique_for_overwrite<std::uint8_t[]>(size);
  if (row_bytes > 0) std::memcpy(block.get(), row, row_bytes);
  // The old block loses the partial row; it is not read again.
  if (block_ != nullptr) used_ -= row_bytes;
  block_ = block.get();
  block_size_ = size;
  blocks_.push_back(std::move(block));
  starts_.back() = block_;
  used_ = row_bytes + bytes;
  return block_ + row_bytes;
}

void HeldRows::Append(sqlite3_stmt* s, int width, std::span<unsigned> classes) {
  starts_.push_back(block_ != nullptr ? block_ + used_ : nullptr);
  if (block_ == nullptr) Room(0);
  for (int i = 0; i < width; ++i) {
    const SqlCell c = CellFromColumn(s, i);
    if (c.type != SQLITE_NULL && static_cast<std::size_t>(i) < classes.size()) {
      classes[static_cast<std::size_t>(i)] |= 1u << c.type;
    }
    switch (c.type) {
      case SQLITE_INTEGER: {
        std::uint8_t* at = Room(9);
        at[0] = SQLITE_INTEGER;
        Put(at + 1, c.i);
        break;
      }
      case SQLITE_FLOAT: {
        std::uint8_t* at = Room(9);
        at[0] = SQLITE_FLOAT;
        Put(at + 1, c.d);
        break;
      }
      case SQLITE_TEXT:
      case SQLITE_BLOB: {
        const std::size_t size = c.p != nullptr && c.n > 0 ? static_cast<std::size_t>(c.n) : 0;
        std::uint8_t* at = Room(5 + size);
        at[0] = static_cast<std::uint8_t>(c.type);
        Put(at + 1, static_cast<std::uint32_t>(size));
        if (size > 0) std::memcpy(at + 5, c.p, size);
        break;
      }
      default:
        *Room(1) = SQLITE_NULL;
        break;
    }
  }
}

void HeldRows::Cells(std::size_t row, int width, SqlCell* out) const {
  const std::uint8_t* p = starts_[row];
  for (int i = 0; i < width; ++i) {
    SqlCell& c = out[i];
    c = SqlCell{};
    c.type = *p++;
    switch (c.type) {
      case SQLITE_INTEGER:
        c.i = Get<std::int64_t>(p);
        p += 8;
        break;
      case SQLITE_FLOAT:
        c.d = Get<double>(p);
        p += 8;
        break;
      case SQLITE_TEXT:
      case SQLITE_BLOB: {
        const auto n = Get<std::uint32_t>(p);
        p += 4;
        c.p = p;
        c.n = static_cast<int>(n);
        p += n;
        break;
      }
      default:
        c.type = SQLITE_NULL;
        break;
    }
  }
}

void HeldRows::Reuse() {
  if (blocks_.size() != 1 || block_size_ > kFirstBlockSize || starts_.capacity() > kFirstBlockSize) {
    Clear();
    return;
  }
  used_ = 0;
  starts_.clear();
}

void HeldRows::Clear() {
  blocks_.clear();
  block_ = nullptr;
  block_size_ = 0;
  used_ = 0;
  std::vector<const std::uint8_t*>().swap(starts_);
}

}  // namespace kestrion::server
