// BULK-MODIFY bodies as the development server reads them, for a result whose
// column kinds come from the input: the first byte gives the column count, one
// byte per column its kind, the next byte the item count, then the body.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fuzz/support/fuzz_input.h"
#include "server/bulk_modify.h"
#include "toolbox/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kestrion_fuzz::FuzzInput input(data, size);
  kestrion::server::ResultSet result;
  result.updatable = true;
  result.table = "t";
  const int columns = input.Byte() % 16;
  for (int c = 0; c < columns; ++c) {
    kestrion::server::ResultColumn column;
    column.alias = "c" + std::to_string(c);
    column.origin = column.alias;
    column.kind = static_cast<corvane::VKind>(1 + input.Byte() % 13);
    result.columns.push_back(column);
  }
  const long long count = input.Byte();
  const std::string_view body = input.Rest();
  corvane::VMemoryStream stream(
      std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()));
  std::vector<kestrion::server::BulkItem> items;
  bool rest_unread = false;
  std::string error;
  kestrion::server::ReadBulkItems(stream, result, count, items, rest_unread, error);
  return 0;
}
