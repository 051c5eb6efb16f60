// SQLGetInfoW answers and the text output rule.
#include "catalog/driver_info.h"

#include <cstring>

#include "catalog/info_tables.h"
#include "driver/connection.h"
#include "driver/registry.h"

namespace kestrion {

namespace {

constexpr std::u16string_view kMinusBufferLength = u"You provided a minus buffer length.";

bool Odbc2Behaviour(int32_t odbc_version) { return odbc_version == SQL_OV_ODBC2; }

std::u16string_view DriverOdbcVersion(int32_t odbc_version) {
  return Odbc2Behaviour(odbc_version) ? u"02.00" : u"03.52";
}

void AppendDecimal(std::u16string& out, uint32_t value) {
  char16_t digits[10];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char16_t>(u'0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) out.push_back(digits[--n]);
}

}  // namespace

bool AnswerInfo(uint16_t info_type, const InfoContext& context, InfoAnswer& out) {
  const InfoEntry* entry = FindInfoEntry(info_type);
  if (entry == nullptr) return false;
  out.form = entry->form;
  out.number = entry->number;
  out.text = entry->text;
  switch (entry->source) {
    case InfoSource::Constant:
      break;
    case InfoSource::DataSourceName:
      out.text = context.data_source_name;
      break;
    case InfoSource::ServerName:
      out.composed.assign(context.server_address);
      out.composed.push_back(u':');
      AppendDecimal(out.composed, context.port);
      out.text = out.composed;
      break;
    case InfoSource::UserName:
      out.text = context.user_name;
      break;
    case InfoSource::DriverOdbcVer:
      out.text = DriverOdbcVersion(context.odbc_version);
      break;
    case InfoSource::OdbcVer:
      out.composed.assign(DriverOdbcVersion(context.odbc_version));
      out.composed.append(u".0000");
      out.text = out.composed;
      break;
    case InfoSource::Keywords:
      out.text = context.keywords;
      break;
    case InfoSource::CollationSeq:
      out.text = context.utf8 ? u"UTF-8" : u"ISO 8859-1";
      break;
    case InfoSource::AlterTable:
      // ODBC 3 bits (SQL_AT_ADD_COLUMN_SINGLE | SQL_AT_DROP_COLUMN_DEFAULT);
      // the ODBC 2 bits (SQL_AT_ADD_COLUMN | SQL_AT_DROP_COLUMN) otherwise.
      out.number = Odbc2Behaviour(context.odbc_version) ? 3u : 40u;
      break;
  }
  return true;
}

InfoContext InfoContextOf(CHConnection& connection) {
  InfoContext context;
  context.data_source_name = connection.session.data_source_name;
  context.server_address = connection.session.server_address;
  context.port = connection.session.port;
  context.user_name = connection.session.user_name;
  context.utf8 = connection.charset == Charset::Utf8;
  context.odbc_version = connection._GetODBCVersion();
  context.keywords = HandleRegistry::Keywords();
  return context;
}

int64_t WriteTextAnswer(CSQLHandle& handle, std::u16string_view text, void* buffer,
                        int64_t buffer_bytes) {
  if (buffer == nullptr) return 0;
  if (buffer_bytes < 2) {
    handle.Post(SqlState::HY090, kMinusBufferLength);
    return 0;
  }
  const int64_t needed = (static_cast<int64_t>(text.size()) + 1) * 2;
  int64_t chars = static_cast<int64_t>(text.size());
  if (buffer_bytes < needed) {
    handle.Post(SqlState::S01004);
    // Whole characters only: an odd last byte stays unused.
    chars = buffer_bytes / 2 - 1;
  }
  // The application's buffer need not be aligned for char16_t, and
  // SQLNativeSqlW may be given the same buffer for input and output.
  auto* out = static_cast<unsigned char*>(buffer);
  std::memmove(out, text.data(), static_cast<size_t>(chars) * 2);
  const char16_t zero = 0;
  std::memcpy(out + chars * 2, &zero, 2);
  return chars * 2;
}

SQLRETURN GetInfo(CHConnection& connection, SQLUSMALLINT info_type, SQLPOINTER value,
                  SQLSMALLINT buffer_length, SQLSMALLINT* length) {
  if (value == nullptr)
    return connection.Post(SqlState::HY090, u"You provided a NULL output buffer.");
  if (buffer_length <= 0) return connection.Post(SqlState::HY090, kMinusBufferLength);

  InfoAnswer answer;
  if (!AnswerInfo(info_type, InfoContextOf(connection), answer)) {
    return connection.Post(SqlState::HY024, u"Invalid attribute value.");
  }
  int64_t written = 0;
  switch (answer.form) {
    case InfoForm::U16: {
      const auto v = static_cast<uint16_t>(answer.number);
      std::memcpy(value, &v, sizeof v);
      written = sizeof v;
      break;
    }
    case InfoForm::U32: {
      const uint32_t v = answer.number;
      std::memcpy(value, &v, sizeof v);
      written = sizeof v;
      break;
    }
    case InfoForm::Text:
      written = WriteTextAnswer(connection, answer.text, value, buffer_length);
      break;
  }
  if (length != nullptr && connection.ok()) *length = static_cast<SQLSMALLINT>(written);
  return connection.return_code();
}

}  // namespace kestrion
