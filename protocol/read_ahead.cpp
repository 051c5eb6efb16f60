// Skipping the reply to a request sent ahead of need (SendReadAhead) when
// something else must go out on the connection first.
#include <algorithm>
#include <charconv>
#include <optional>
#include <string>

#include "driver/connection.h"
#include "protocol/connection_stream.h"
#include "protocol/reply_field.h"
#include "protocol/request.h"

namespace kestrion {

namespace {

// The body size a reply announces ("Body-Length"), when it does.
std::optional<std::int64_t> BodyLength(const corvane::VString& header) {
  const std::optional<TokenList> tokens = GetReplyField(u"Body-Length", header);
  if (!tokens || tokens->empty()) return std::nullopt;
  const std::string text = corvane::VString(tokens->front()).ToUtf8();
  std::int64_t length = -1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), length);
  if (ec != std::errc() || end != text.data() + text.size() || length < 0) return std::nullopt;
  return length;
}

}  // namespace

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
  const std::optional<std::int64_t> length = BodyLength(header);
  if (!length) {
    // Without a size the rows cannot be skipped by count.
    if (ResynchroniseStream(connection, buffer)) return true;
    s.MarkDead();
    connection.Post(SqlState::S08S01,
                    u"Can't skip the reply to a page read ahead; the connection was closed.");
    return false;
  }
  std::int64_t left = *length;
  std::uint8_t scratch[4096];
  while (left > 0) {
    const auto n = static_cast<std::size_t>(std::min<std::int64_t>(left, sizeof scratch));
    if (!StreamRead(connection, buffer, scratch, n)) {
      PostLinkFailure(connection, u"Can't read the reply to a page read ahead.");
      return false;
    }
    left -= static_cast<std::int64_t>(n);
  }
  return true;
}

}  // namespace kestrion
