#include "protocol/receive_buffer.h"

#include <new>

namespace kestrion {

bool ReceiveBuffer::Reset(std::int32_t size) {
  count = 0;
  offset = 0;
  if (size < 1) size = 1;
  if (data && capacity == size) return true;
  data.reset();
  capacity = 0;
  data.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)]);
  if (!data) return false;
  capacity = size;
  return true;
}

}  // namespace kestrion
