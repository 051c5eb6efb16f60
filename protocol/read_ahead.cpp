// Skipping the reply to a request sent ahead of need (SendReadAhead) when
// something else must go out on the connection first.
#include <optional>

#include "driver/connection.h"
#include "protocol/connection_stream.h"
#include "protocol/reply_field.h"
#include "protocol/request.h"

namespace kestrion {

bool SkipReadAhead(CHConnection& connection) {
  Session& s = connection.session;
  if (!s.read_ahead) return true;
  const ReadAhead ahead = std::move(*s.read_ahead);
  s.read_ahead.reset();
  if (!s.link) return true;
  ReceiveBuffer& buffer = *ahead.buffer;
  const std::size_t before = connection.diagnostics().size();
  corvane::VString header;
  ReadNextReply(connection, buffer, ahead.id, &header);
  if (ErrorSince(connection, before)) {
    if (!s.link) return false;
    // The server refused the page, or answered out of step and the link
    // was put back in step: either way nobody waits for that page.
    connection.DropDiagnosticsFrom(before);
    return true;
  }
  const std::optional<std::int64_t> length = ReplyBodyLength(header);
  if (!length) {
    // Without a size the rows cannot be skipped by count.
    if (ResynchroniseStream(connection, buffer)) return true;
    s.MarkDead();
    connection.Post(SqlState::S08S01,
                    u"Can't skip the reply to a page read ahead; the connection was closed.");
    return false;
  }
  if (!StreamSkip(connection, buffer, *length)) {
    PostLinkFailure(connection, u"Can't read the reply to a page read ahead.");
    return false;
  }
  return true;
}

}  // namespace kestrion
