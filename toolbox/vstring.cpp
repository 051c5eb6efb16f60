#include "toolbox/vstring.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvane {

VString VString::FromUnits(const void* units, std::ptrdiff_t count) {
  if (units == nullptr) return {};
  const auto* p = static_cast<const char16_t*>(units);
  if (count < 0) {
    count = 0;
    while (p[count] != 0) ++count;
  }
  return VString(p, static_cast<std::size_t>(count));
}

VString VString::FromAscii(std::string_view ascii) {
  VString out;
  out.reserve(ascii.size());
  for (char c : ascii) out.push_back(static_cast<unsigned char>(c));
  return out;
}

namespace {

// The length of the run of ASCII bytes at the start of `bytes` (eight at a
// time: protocol text is almost all ASCII).
std::size_t AsciiRun(const unsigned char* bytes, std::size_t n) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    if ((word & 0x8080808080808080ULL) != 0) break;
  }
  while (i < n && bytes[i] < 0x80) ++i;
  return i;
}

// Widens `n` ASCII bytes to UTF-16 units, sixteen at a time where the
// processor has SSE2 (every x86-64 one).
void WidenAscii(const unsigned char* bytes, char16_t* out, std::size_t n) {
  std::size_t k = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; k + 16 <= n; k += 16) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_unpacklo_epi8(b, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k + 8), _mm_unpackhi_epi8(b, zero));
  }
#endif
  for (; k < n; ++k) out[k] = bytes[k];
}

}  // namespace

VString VString::FromUtf8(std::string_view in) {
  VString out;
  const auto* s = reinterpret_cast<const unsigned char*>(in.data());
  std::size_t i = 0, n = in.size();
  const std::size_t ascii = AsciiRun(s, n);
  out.resize(ascii);
  WidenAscii(s, out.data(), ascii);
  if (ascii == n) return out;
  out.reserve(n);
  i = ascii;
  while (i < n) {
    unsigned char c = s[i];
    char32_t cp;
    std::size_t len;
    if (c < 0x80) {
      cp = c;
      len = 1;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      len = 2;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      len = 3;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      len = 4;
    } else {
      out.push_back(u'\xFFFD');
      ++i;
      continue;
    }
    if (i + len > n) {
      out.push_back(u'\xFFFD');
      break;
    }
    bool ok = true;
    for (std::size_t k = 1; k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (!ok || cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(u'\xFFFD');
      i += ok ? len : 1;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

std::string VString::ToUtf8() const {
  std::string out;
  std::size_t ascii = 0;
  while (ascii < size() && (*this)[ascii] < 0x80) ++ascii;
  out.resize(ascii);
  for (std::size_t k = 0; k < ascii; ++k) out[k] = static_cast<char>((*this)[k]);
  if (ascii == size()) return out;
  out.reserve(size() + (size() - ascii) * 2);
  for (std::size_t i = ascii; i < size(); ++i) {
    char32_t cp = (*this)[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < size() && (*this)[i + 1] >= 0xDC00 &&
        (*this)[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + ((*this)[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

namespace {

const char* LocalCharset() {
  const char* cs = nl_langinfo(CODESET);
  return (cs != nullptr && *cs != 0) ? cs : "ANSI_X3.4-1968";
}

bool IsUtf8Charset(const char* cs) {
  return strcasecmp(cs, "UTF-8") == 0 || strcasecmp(cs, "UTF8") == 0;
}

// Converts with iconv, replacing what cannot be converted by `bad`.
std::string Iconv(const char* to, const char* from, const char* in, std::size_t n,
                  std::size_t in_unit, const std::string& bad) {
  std::string out;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  std::vector<char> buf(n * 4 + 16);
  char* src = const_cast<char*>(in);
  std::size_t left = n;
  while (left > 0) {
    char* dst = buf.data();
    std::size_t room = buf.size();
    std::size_t r = iconv(cd, &src, &left, &dst, &room);
    out.append(buf.data(), static_cast<std::size_t>(dst - buf.data()));
    if (r == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) continue;
      // Invalid or incomplete input: skip one unit and mark it.
      out += bad;
      std::size_t skip = left < in_unit ? left : in_unit;
      src += skip;
      left -= skip;
    }
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  iconv_close(cd);
  return out;
}

}  // namespace

VString VString::FromLocal(std::string_view bytes) {
  const char* cs = LocalCharset();
  if (IsUtf8Charset(cs)) return FromUtf8(bytes);
  std::string u16 = Iconv("UTF-16LE", cs, bytes.data(), bytes.size(), 1, std::string("\xFD\xFF", 2));
  VString out;
  out.resize(u16.size() / 2);
  std::memcpy(out.data(), u16.data(), out.size() * 2);
  return out;
}

std::string VString::ToLocal() const {
  const char* cs = LocalCharset();
  if (IsUtf8Charset(cs)) return ToUtf8();
  std::string to = std::string(cs);
  return Iconv(to.c_str(), "UTF-16LE", reinterpret_cast<const char*>(data()), size() * 2, 2, "?");
}

char16_t FoldUnitBeyondAscii(char16_t c) {
  if (c >= 0xC0 && c <= 0xFF) {
    // Latin-1 supplement letters to their base letters.
    static constexpr char16_t kBase[64] = {
        u'a', u'a', u'a', u'a', u'a', u'a', u'a', u'c', u'e', u'e', u'e', u'e', u'i', u'i',
        u'i', u'i', u'd', u'n', u'o', u'o', u'o', u'o', u'o', 0xD7, u'o', u'u', u'u', u'u',
        u'u', u'y', 0xFE, 0xDF, u'a', u'a', u'a', u'a', u'a', u'a', u'a', u'c', u'e', u'e',
        u'e', u'e', u'i', u'i', u'i', u'i', u'd', u'n', u'o', u'o', u'o', u'o', u'o', 0xF7,
        u'o', u'u', u'u', u'u', u'u', u'y', 0xFE, u'y'};
    return kBase[c - 0xC0];
  }
  if (c >= 0x100 && c <= 0x17F) {
    // Latin Extended-A: pairs of upper/lower case variants of one base letter.
    static constexpr char kBase[] =
        "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiiiiijjkkklllllll"
        "lllnnnnnnnnnoooooooorrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";
    std::size_t i = c - 0x100;
    if (i < sizeof(kBase) - 1) return static_cast<char16_t>(kBase[i]);
  }
  return c;
}

bool VString::EqualsFolded(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && FoldUnit(a[i]) != FoldUnit(b[i])) return false;
  }
  return true;
}

std::size_t VString::FindFolded(std::u16string_view hay, std::u16string_view needle,
                                std::size_t from) {
  if (needle.empty()) return from <= hay.size() ? from : npos;
  if (hay.size() < needle.size()) return npos;
  // An ASCII unit that is no letter matches only itself (the reply field
  // lookups start with CR): candidates are found with a plain search.
  const char16_t first = needle[0];
  const bool exact_first = first < 0x80 && FoldUnit(first) == first && !(first >= u'a' && first <= u'z');
  for (std::size_t i = from; i + needle.size() <= hay.size(); ++i) {
    if (exact_first) {
      i = hay.find(first, i);
      if (i == std::u16string_view::npos || i + needle.size() > hay.size()) return npos;
    }
    std::size_t k = 0;
    while (k < needle.size() && FoldUnit(hay[i + k]) == FoldUnit(needle[k])) ++k;
    if (k == needle.size()) return i;
  }
  return npos;
}

VString VString::Trimmed() const {
  std::size_t b = 0, e = size();
  while (b < e && ((*this)[b] == u' ' || (*this)[b] == u'\t')) ++b;
  while (e > b && ((*this)[e - 1] == u' ' || (*this)[e - 1] == u'\t')) --e;
  return VString(std::u16string_view(*this).substr(b, e - b));
}

}  // namespace corvane
