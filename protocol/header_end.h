// The end of a reply header: the blank line (CR LF CR LF) after its last
// field, found in blocks of received bytes as they come.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrion {

// Scans bytes [from, available) of `bytes` for the end of a CR LF CR LF,
// `matched` bytes of which ended the bytes scanned before (0 at the start of
// a header). Answers the position right after it, with `matched` 4; or
// `available`, with `matched` the count of its bytes that end the block.
std::size_t ScanForHeaderEnd(const std::uint8_t* bytes, std::size_t from, std::size_t available,
                             int& matched);

}  // namespace kestrion
