// VString: the toolbox's text class. Text inside the driver is held as UTF-16
// code units, the same units as SQLWCHAR on the ODBC interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

class VString : public std::u16string {
 public:
  using std::u16string::u16string;
  VString() = default;
  VString(const std::u16string& s) : std::u16string(s) {}
  VString(std::u16string&& s) noexcept : std::u16string(std::move(s)) {}
  VString(std::u16string_view s) : std::u16string(s) {}

  // From the ODBC interface: `units` code units, or up to the terminating zero
  // when `units` is negative. A null pointer gives an empty text.
  static VString FromUnits(const void* units, std::ptrdiff_t count = -1);

  // UTF-8 (invalid sequences become U+FFFD).
  static VString FromUtf8(std::string_view bytes);
  std::string ToUtf8() const;

  // ASCII only; every byte is one unit. For protocol words and constants.
  static VString FromAscii(std::string_view ascii);

  // The character set of the current locale (nl_langinfo(CODESET)), through
  // iconv. Characters the locale cannot hold become '?'.
  static VString FromLocal(std::string_view bytes);
  std::string ToLocal() const;

  // Comparison ignoring letter case and accents (Latin letters with
  // diacritics compare equal to their base letter).
  static bool EqualsFolded(std::u16string_view a, std::u16string_view b);
  // Position of `needle` in `haystack` from `from`, ignoring case and accents;
  // npos when absent.
  static std::size_t FindFolded(std::u16string_view haystack, std::u16string_view needle,
                                std::size_t from = 0);

  // Removes spaces and tabs at both ends.
  VString Trimmed() const;

  const char16_t* c_units() const { return data(); }
};

// The base letter of a unit, lower-cased, for case- and accent-blind matching.
char16_t FoldUnitBeyondAscii(char16_t unit);
inline char16_t FoldUnit(char16_t unit) {
  if (unit < 0x80) return (unit >= u'A' && unit <= u'Z') ? static_cast<char16_t>(unit + 32) : unit;
  return FoldUnitBeyondAscii(unit);
}

}  // namespace corvane
