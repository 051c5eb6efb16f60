// Error codes of the server's error replies.
#pragma once

namespace kestrion::server {

enum ErrorCode : int {
  kUnknownCommand = 3001,     // "Unknown command." (also what resynchronisation waits for)
  kNotLoggedIn = 3002,        // a command other than LOGIN or QUIT before LOGIN
  kLoginRefused = 3003,       // unknown user or wrong password
  kHeaderTooLarge = 3004,     // request header above --max-header-bytes; the rest is skipped
  kBadRequest = 3005,         // a field is missing or malformed
  kUnknownStatement = 3006,   // no kept result with that Statement-ID / COMMAND-INDEX
  kBadParameterBody = 3007,   // parameter body malformed or short; the connection is closed
  kBadBulkModify = 3008,      // BULK-MODIFY body malformed or result not updatable
  kRowNotFound = 3009,        // BULK-MODIFY names a row id that does not exist
  kSqlErrorBase = 4000,       // 4000 + SQLite's primary result code, with SQLite's message
};

}  // namespace kestrion::server
