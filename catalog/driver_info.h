// SQLGetInfoW: the facts the driver answers about itself and its data source,
// and the text output rule shared with SQLNativeSqlW.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/odbc.h"

namespace kestrion {

class CHConnection;
class CSQLHandle;

// The three forms of an answer.
enum class InfoForm : uint8_t { Text, U16, U32 };

// What the few connection-dependent answers are made of. Nothing here is
// asked of the server.
struct InfoContext {
  std::u16string_view data_source_name;
  std::u16string_view server_address;
  uint16_t port = 0;
  std::u16string_view user_name;
  bool utf8 = true;          // the connection's character set
  int32_t odbc_version = 3;  // the environment's ODBC behaviour version
  std::u16string_view keywords;
};

// One answer. `text` points either into the driver's constants, into the
// context, or into `composed` (for answers assembled on the spot).
struct InfoAnswer {
  InfoForm form = InfoForm::U32;
  uint32_t number = 0;
  std::u16string_view text;
  std::u16string composed;
};

// Answers an information type; false when the driver does not answer it
// (refused and unknown types alike).
bool AnswerInfo(uint16_t info_type, const InfoContext& context, InfoAnswer& out);

// The context of a connection: its settings, its environment's ODBC version
// and the keyword list.
InfoContext InfoContextOf(CHConnection& connection);

// The SQLGetInfoW body, after the entry guard: checks the buffer, answers,
// posts HY090, HY024 or 01004 on the connection and answers its return code.
SQLRETURN GetInfo(CHConnection& connection, SQLUSMALLINT info_type, SQLPOINTER value,
                  SQLSMALLINT buffer_length, SQLSMALLINT* length);

// The text output rule: copies `text` into `buffer` of `buffer_bytes` bytes
// as zero-terminated UTF-16 and answers the byte length written before the
// terminator. A null buffer receives nothing (length 0); a buffer below two
// bytes posts HY090 on `handle` (length 0); a buffer too small for the whole
// text receives as many whole characters as fit before the terminator and
// posts 01004.
int64_t WriteTextAnswer(CSQLHandle& handle, std::u16string_view text, void* buffer,
                        int64_t buffer_bytes);

}  // namespace kestrion
