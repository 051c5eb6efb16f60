// A receive buffer: the bytes received from the link and not yet consumed,
// and the identifier that the reply to the last request sent through it
// must carry. The connection has one for LOGIN, LOGOUT and QUIT; each
// statement owns one for its own requests.
#pragma once

#include <cstdint>
#include <memory>

#include "toolbox/vstring.h"

namespace kestrion {

struct ReceiveBuffer {
  std::unique_ptr<std::uint8_t[]> data;
  std::int32_t count = 0;     // bytes received and not yet consumed
  std::int32_t offset = 0;    // position of the first unconsumed byte
  std::int32_t capacity = 0;  // size of data
  // Request identifier of the last request sent through this buffer and one
  // space, e.g. "3.17 ".
  corvane::VString expected_prefix;

  // Discards the contents and makes the capacity `size` bytes. The storage
  // is kept when it holds at least that and no more than kKeptCapacity (a
  // buffer grown for a whole page stays grown). False when it cannot be had.
  bool Reset(std::int32_t size);
  // Makes room for `size` unconsumed bytes in all, keeping those it holds
  // (moved to the front). False when the memory cannot be had.
  bool Reserve(std::int32_t size);
  static constexpr std::int32_t kKeptCapacity = 1 << 20;
  const std::uint8_t* unconsumed() const { return data.get() + offset; }
  // Consumes `n` buffered bytes.
  void Consume(std::int32_t n) {
    offset += n;
    count -= n;
    if (count == 0) offset = 0;
  }
};

}  // namespace kestrion
