// Dates as SQLite stores them (ISO 8601 text) and durations as text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "toolbox/value.h"

namespace kestrion::server {

// "YYYY-MM-DD", optionally followed by " " or "T" and "HH:MM", "HH:MM:SS" or
// "HH:MM:SS.fff" (more fraction digits only when they are zero), and an
// optional "Z". Nothing for anything else or an impossible date.
std::optional<corvane::VTime> ParseIsoTime(std::string_view text);
// "YYYY-MM-DD" at midnight, else "YYYY-MM-DD HH:MM:SS" with ".fff" when needed.
std::string FormatIsoTime(const corvane::VTime& t);
// The same text written into `out`, which has room for kIsoTimeMax
// characters; returns its length.
constexpr std::size_t kIsoTimeMax = 40;
std::size_t WriteIsoTime(const corvane::VTime& t, char* out);

// "[-]H:MM", "[-]H:MM:SS" or "[-]H:MM:SS.fff" (hours unbounded) in milliseconds.
std::optional<std::int64_t> ParseDurationText(std::string_view text);

}  // namespace kestrion::server
