#include "server/result_set.h"

namespace kestrion::server {

void ResultSet::Reuse() {
  row_set = true;
  update_count = 0;
  columns.clear();
  updatable = false;
  table.clear();
  held.Reuse();
}

void ResultSet::EncodeRows(std::size_t first, std::size_t last, ByteBuffer& out) const {
  const int n = static_cast<int>(columns.size());
  const int width = n + (updatable ? 1 : 0);
  SqlCell small[16];
  std::vector<SqlCell> large;
  SqlCell* cells = small;
  if (width > 16) {
    large.resize(static_cast<std::size_t>(width));
    cells = large.data();
  }
  for (std::size_t row = first; row <= last && row < held.rows(); ++row) {
    held.Cells(row, width, cells);
    // An updatable result sends the row id first.
    if (updatable) EncodeCell(out, corvane::VKind::Long, cells[n]);
    for (int i = 0; i < n; ++i) EncodeCell(out, columns[static_cast<std::size_t>(i)].kind, cells[i]);
  }
}

}  // namespace kestrion::server
