// The SQLSTATE table: every condition the driver reports, with its default text.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kestrion {

// Ordinals into the table; 0 (00000) is never recorded. Codes that begin with a
// digit carry an S in front of their name.
enum class SqlState : int32_t {
  S00000 = 0,
  S01000 = 1,
  S01001 = 2,
  S01002 = 3,
  S01003 = 4,
  S01004 = 5,
  S01006 = 6,
  S01007 = 7,
  S01S00 = 8,
  S01S01 = 9,
  S01S02 = 10,
  S01S06 = 11,
  S01S07 = 12,
  S01S08 = 13,
  S01S09 = 14,
  S07001 = 15,
  S07002 = 16,
  S07005 = 17,
  S07006 = 18,
  S07009 = 19,
  S07S01 = 20,
  S08001 = 21,
  S08002 = 22,
  S08003 = 23,
  S08004 = 24,
  S08007 = 25,
  S08S01 = 26,
  S21S01 = 27,
  S21S02 = 28,
  S22001 = 29,
  S22002 = 30,
  S22003 = 31,
  S22007 = 32,
  S22008 = 33,
  S22012 = 34,
  S22015 = 35,
  S22018 = 36,
  S22019 = 37,
  S22025 = 38,
  S22026 = 39,
  S23000 = 40,
  S24000 = 41,
  S25000 = 42,
  S25S01 = 43,
  S25S02 = 44,
  S25S03 = 45,
  S28000 = 46,
  S34000 = 47,
  S3C000 = 48,
  S3D000 = 49,
  S3F000 = 50,
  S40001 = 51,
  S40002 = 52,
  S40003 = 53,
  S42000 = 54,
  S42S01 = 55,
  S42S02 = 56,
  S42S11 = 57,
  S42S12 = 58,
  S42S21 = 59,
  S42S22 = 60,
  S44000 = 61,
  HY000 = 62,
  HY001 = 63,
  HY003 = 64,
  HY004 = 65,
  HY007 = 66,
  HY008 = 67,
  HY009 = 68,
  HY010 = 69,
  HY011 = 70,
  HY012 = 71,
  HY013 = 72,
  HY014 = 73,
  HY015 = 74,
  HY016 = 75,
  HY017 = 76,
  HY018 = 77,
  HY019 = 78,
  HY020 = 79,
  HY021 = 80,
  HY024 = 81,
  HY090 = 82,
  HY091 = 83,
  HY092 = 84,
  HY095 = 85,
  HY096 = 86,
  HY097 = 87,
  HY098 = 88,
  HY099 = 89,
  HY100 = 90,
  HY101 = 91,
  HY103 = 92,
  HY104 = 93,
  HY105 = 94,
  HY106 = 95,
  HY107 = 96,
  HY109 = 97,
  HY110 = 98,
  HY111 = 99,
  HYC00 = 100,
  HYT00 = 101,
  HYT01 = 102,
  IM007 = 103,
  IM008 = 104,
  S1C00 = 105,
};

inline constexpr int32_t kSqlStateCount = 106;

// The five-character code of an ordinal.
std::u16string_view SqlStateCode(SqlState state);
// The default text of an ordinal.
std::u16string_view SqlStateText(SqlState state);
// The ordinal of a five-character code of the table (letters in any case);
// nothing for a code the table does not have or for 00000.
std::optional<SqlState> SqlStateFromCode(std::u16string_view code);
// True for the warning class "01", which yields SQL_SUCCESS_WITH_INFO.
bool IsWarning(SqlState state);

}  // namespace kestrion
