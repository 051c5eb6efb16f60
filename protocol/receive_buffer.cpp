#include "protocol/receive_buffer.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace kestrion {

bool ReceiveBuffer::Reset(std::int32_t size) {
  count = 0;
  offset = 0;
  if (size < 1) size = 1;
  if (data && capacity >= size && capacity <= std::max(size, kKeptCapacity)) return true;
  data.reset();
  capacity = 0;
  data.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)]);
  if (!data) return false;
  capacity = size;
  return true;
}

bool ReceiveBuffer::Reserve(std::int32_t size) {
  if (size <= capacity - offset) return true;
  if (size <= capacity && data) {
    std::memmove(data.get(), data.get() + offset, static_cast<std::size_t>(count));
    offset = 0;
    return true;
  }
  std::unique_ptr<std::uint8_t[]> grown(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(size)]);
  if (!grown) return false;
  if (count > 0) std::memcpy(grown.get(), data.get() + offset, static_cast<std::size_t>(count));
  data = std::move(grown);
  offset = 0;
  capacity = size;
  return true;
}

}  // namespace kestrion
