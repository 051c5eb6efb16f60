#include "server/value_binding.h"

#include "server/time_text.h"

namespace kestrion::server {

using corvane::VKind;

int BindValue(sqlite3_stmt* s, int index, const corvane::VValue& v, std::string& error) {
  if (v.is_null()) return sqlite3_bind_null(s, index);
  switch (v.kind()) {
    case VKind::Boolean:
    case VKind::Byte:
    case VKind::Word:
    case VKind::Long:
    case VKind::Long8:
    case VKind::Duration:
      return sqlite3_bind_int64(s, index, v.integer());
    case VKind::Real:
      return sqlite3_bind_double(s, index, v.real());
    case VKind::Float: {
      const corvane::VFloat& f = v.decimal();
      if (auto i = f.ToInt64()) return sqlite3_bind_int64(s, index, *i);
      // Up to 15 significant digits a double holds the decimal exactly (its
      // shortest text gives the same digits back); beyond, keep the text.
      if (f.digits().size() <= 15 && f.exponent() > -300 && f.exponent() < 300)
        return sqlite3_bind_double(s, index, f.ToDouble());
      std::string text = f.ToText();
      return sqlite3_bind_text(s, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    case VKind::Time: {
      const corvane::VTime& t = v.time();
      if (t.IsEmpty()) return sqlite3_bind_null(s, index);
      if (!t.IsValid()) {
        error = "Invalid date in parameter " + std::to_string(index) + ".";
        return SQLITE_MISMATCH;
      }
      char text[kIsoTimeMax];
      const std::size_t n = WriteIsoTime(t, text);
      return sqlite3_bind_text(s, index, text, static_cast<int>(n), SQLITE_TRANSIENT);
    }
    case VKind::Text: {
      std::string utf8 = v.text().ToUtf8();
      return sqlite3_bind_text64(s, index, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    case VKind::Blob:
    case VKind::Image: {
      const auto& b = v.bytes();
      return sqlite3_bind_blob64(s, index, b.empty() ? "" : static_cast<const void*>(b.data()), b.size(),
                                 SQLITE_TRANSIENT);
    }
    case VKind::Uuid: {
      // Canonical text, lower case: the form SQL literals and most programs
      // write, so that a comparison finds a UUID however it was inserted.
      static constexpr char kDigits[] = "0123456789abcdef";
      char text[36];
      std::size_t n = 0;
      for (std::size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text[n++] = '-';
        text[n++] = kDigits[v.uuid().bytes[i] >> 4];
        text[n++] = kDigits[v.uuid().bytes[i] & 0xF];
      }
      return sqlite3_bind_text(s, index, text, 36, SQLITE_TRANSIENT);
    }
    case VKind::Unknown:
      break;
  }
  return sqlite3_bind_null(s, index);
}

}  // namespace kestrion::server
