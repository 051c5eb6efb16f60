#include "server/byte_buffer.h"

#include <algorithm>
#include <cstdint>
#include <new>

namespace kestrion::server {

void ByteBuffer::Grow(std::size_t n) {
  if (n > SIZE_MAX / 2 - size_) throw std::bad_alloc();
  // Doubling keeps the number of moves logarithmic in the final size.
  const std::size_t wanted = std::max({size_ + n, std::min(capacity_, SIZE_MAX / 4) * 2, std::size_t{4096}});
  void* p = std::realloc(data_, wanted);
  if (!p) throw std::bad_alloc();
  data_ = static_cast<std::uint8_t*>(p);
  capacity_ = wanted;
}

}  // namespace kestrion::server
