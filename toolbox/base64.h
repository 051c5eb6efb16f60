// Base64 of RFC 4648 (standard alphabet, "=" padding, no line breaks).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

std::string Base64Encode(std::span<const std::uint8_t> bytes);
std::string Base64Encode(std::string_view bytes);

// Spaces, tabs, CR and LF are ignored; anything else outside the alphabet,
// misplaced padding or a length that is not a multiple of 4 fails.
std::optional<std::vector<std::uint8_t>> Base64Decode(std::string_view text);
// The same, decoding into a byte string (for UTF-8 texts).
std::optional<std::string> Base64DecodeText(std::string_view text);

}  // namespace corvane
