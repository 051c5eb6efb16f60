#include "protocol/request.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "driver/connection.h"
#include "protocol/connection_attributes.h"
#include "protocol/connection_stream.h"
#include "protocol/exchange_log.h"
#include "protocol/header_end.h"
#include "protocol/reply_field.h"

namespace kestrion {

using corvane::VString;

namespace {

constexpr std::string_view kBlankLine = "\r\n\r\n";
// A reply header longer than this is not a reply of this protocol.
constexpr std::size_t kMaxReplyHeaderBytes = std::size_t{64} << 20;
// A send buffer that grew past this for one large body is given back.
constexpr std::size_t kKeptSendBufferBytes = std::size_t{1} << 20;

void Append(std::vector<std::uint8_t>& out, std::string_view text) {
  // As bytes, so that the copy is one memmove rather than a loop.
  const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
  out.insert(out.end(), p, p + text.size());
}

// Appends the framed request to `out`: its identifier (the next request
// number), the header, the closes waiting for a request to carry them, the
// blank line and the body. Answers the identifier with its space.
std::string AppendFramed(CHConnection& connection, std::vector<std::uint8_t>& out,
                         std::string_view header, std::span<const std::uint8_t> body) {
  Session& s = connection.session;
  std::string id = RequestIdentifier(connection.connection_number, s.request_number);
  id += ' ';
  s.interruption = Interruption();
  const auto next = static_cast<std::int32_t>(static_cast<std::uint32_t>(s.request_number) + 1);
  // A probe made before this request was framed still stands for its send.
  if (s.alive_before_request == s.request_number) s.alive_before_request = next;
  s.request_number = next;
  const std::size_t needed = out.size() + id.size() + header.size() + kBlankLine.size() + body.size();
  if (needed > out.capacity()) out.reserve(std::max(needed, 2 * out.capacity()));
  Append(out, id);
  Append(out, header);
  // Results closed since the last request are closed by this one.
  if (!s.pending_closes.empty() && s.capabilities.deferred_close()) {
    Append(out, "\r\nCLOSE-STATEMENT-IDS:");
    for (const std::int32_t closed : s.pending_closes) {
      out.push_back(' ');
      Append(out, std::to_string(closed));
    }
    s.pending_closes.clear();
  }
  Append(out, kBlankLine);
  out.insert(out.end(), body.begin(), body.end());
  return id;
}

// Sends the framed bytes in `out` in one write; false when they did not
// leave in full. `header_bytes` is where the first request's body starts, to
// name what was not sent.
bool SendBytes(CHConnection& connection, const std::vector<std::uint8_t>& out,
               std::size_t header_bytes) {
  Session& s = connection.session;
  bool sent = OpenStream(connection, StreamMode::Writing);
  std::size_t written = 0;
  if (sent) {
    sent = s.link->WriteAll(out.data(), out.size(), s.RemainingMs(), &written);
    s.reply_pending = sent;
    if (!sent) {
      s.failure = s.deadline && s.RemainingMs() == 0 ? LinkFailure::kTimeout : LinkFailure::kLost;
      // Part of a request is on the wire: nothing that follows can be in step.
      s.MarkDead();
    }
  }
  if (!sent) {
    PostLinkFailure(connection, written < header_bytes ? u"Can't send request header."
                                                       : u"Can't send packet.");
  }
  return sent;
}

bool NoLink(CHConnection& connection) {
  Session& s = connection.session;
  if (s.link) return false;
  s.failure = LinkFailure::kNoLink;
  PostLinkFailure(connection, u"Can't send request header.");
  return true;
}

// Frames the request and sends it; false when it did not leave in full.
bool SendFramed(CHConnection& connection, ReceiveBuffer& buffer, std::string_view header,
                std::span<const std::uint8_t> body) {
  Session& s = connection.session;
  if (!SkipReadAhead(connection) || NoLink(connection)) return false;
  s.current = &buffer;
  buffer.Reset(PacketSize(connection));

  std::vector<std::uint8_t>& out = s.send_buffer;
  out.clear();
  buffer.expected_prefix = VString::FromAscii(AppendFramed(connection, out, header, body));
  const bool sent = SendBytes(connection, out, out.size() - body.size());
  if (out.capacity() > kKeptSendBufferBytes) std::vector<std::uint8_t>().swap(out);
  return sent;
}

std::int32_t ParseNative(const std::optional<TokenList>& tokens) {
  if (!tokens || tokens->empty()) return 0;
  const std::string text = tokens->front().ToUtf8();
  long long value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || ptr != text.data() + text.size()) return 0;
  if (value < INT32_MIN || value > INT32_MAX) return 0;
  return static_cast<std::int32_t>(value);
}

// The class of a server error: the reply's "Error-SQLState" when the server
// sends one and the table knows it as an error (HY000 otherwise);
// 08004 from a server that does not classify its errors.
SqlState ServerErrorState(const VString& header) {
  const std::optional<TokenList> field = GetReplyField(u"Error-SQLState", header);
  if (!field) return SqlState::S08004;
  const std::optional<SqlState> state =
      field->empty() ? std::nullopt : SqlStateFromCode(field->front());
  // An error reply is an error: a warning class would report it as success.
  if (!state || IsWarning(*state)) return SqlState::HY000;
  return *state;
}

// The text of an error reply: its Error-Description up to the blank line,
// or the whole header when it has none.
VString ErrorDescription(const VString& header) {
  constexpr std::u16string_view kDescription = u"Error-Description:";
  const std::size_t at = VString::FindFolded(header, kDescription);
  if (at == VString::npos || at == 0) return header;
  std::size_t start = at + kDescription.size();
  while (start < header.size() && header[start] == u' ') ++start;
  std::size_t end = header.size() >= 4 ? header.size() - 4 : header.size();
  if (end < start) end = start;
  return VString(std::u16string_view(header).substr(start, end - start));
}

// Posts an error reply. The answer of a request the driver interrupted is
// the interruption: HY008 after SQLCancel, HYT00 after the query time-out,
// whatever the server calls it.
void PostServerError(CHConnection& connection, const VString& header) {
  const std::int32_t native = ParseNative(GetReplyField(u"Error-Code", header));
  const SqlState state = ServerErrorState(header);
  switch (connection.session.interruption.cause) {
    case InterruptCause::kCancel:
      connection.Post(SqlState::HY008, u"The statement was canceled: " + ErrorDescription(header) + u".",
                      native);
      return;
    case InterruptCause::kTimeout:
      connection.Post(SqlState::HYT00,
                      u"The query time-out expired; the server canceled the statement: " +
                          ErrorDescription(header) + u".",
                      native);
      return;
    case InterruptCause::kNone:
      break;
  }
  connection.Post(state, ErrorDescription(header), native);
}

// Reads one reply header through `buffer`, after the bytes it already holds,
// and checks it against the buffer's expected identifier.
SQLRETURN ReadReplyHeader(CHConnection& connection, ReceiveBuffer& buffer, VString* header_out);

}  // namespace

std::string RequestIdentifier(std::int32_t connection_number, std::int32_t request_number) {
  std::string id = std::to_string(connection_number);
  id += '.';
  id += std::to_string(request_number);
  return id;
}

SQLRETURN SendRequestHeader(CHConnection& connection, ReceiveBuffer& buffer,
                            std::string_view header, std::span<const std::uint8_t> body) {
  SendFramed(connection, buffer, header, body);
  return connection.return_code();
}

SQLRETURN SendRequestHeader(CHConnection& connection, ReceiveBuffer& buffer,
                            std::u16string_view header, std::span<const std::uint8_t> body) {
  return SendRequestHeader(connection, buffer, std::string_view(VString(header).ToUtf8()), body);
}

SQLRETURN ReadReply(CHConnection& connection, ReceiveBuffer& buffer, VString* header_out) {
  if (!connection.session.link) return connection.return_code();
  buffer.Reset(PacketSize(connection));
  return ReadReplyHeader(connection, buffer, header_out);
}

std::string FrameRequest(CHConnection& connection, std::vector<std::uint8_t>& out,
                         std::string_view header, std::span<const std::uint8_t> body) {
  return AppendFramed(connection, out, header, body);
}

SQLRETURN SendFramedRequests(CHConnection& connection, ReceiveBuffer& buffer,
                             const std::vector<std::uint8_t>& requests) {
  if (!SkipReadAhead(connection) || NoLink(connection)) return connection.return_code();
  connection.session.current = &buffer;
  buffer.Reset(PacketSize(connection));
  SendBytes(connection, requests, requests.size());
  return connection.return_code();
}

std::string SendReadAhead(CHConnection& connection, ReceiveBuffer& buffer, std::string_view header) {
  Session& s = connection.session;
  if (s.read_ahead || NoLink(connection)) return {};
  std::vector<std::uint8_t>& out = s.send_buffer;
  out.clear();
  std::string id = AppendFramed(connection, out, header, {});
  if (!SendBytes(connection, out, out.size())) return {};
  // The reply is read later, when it has most likely arrived.
  s.reply_pending = false;
  s.read_ahead = ReadAhead{id, &buffer};
  return id;
}

SQLRETURN ReadNextReply(CHConnection& connection, ReceiveBuffer& buffer, std::string_view id,
                        VString* header_out) {
  if (!connection.session.link) return connection.return_code();
  buffer.expected_prefix = VString::FromAscii(id);
  return ReadReplyHeader(connection, buffer, header_out);
}

namespace {

SQLRETURN ReadReplyHeader(CHConnection& connection, ReceiveBuffer& buffer, VString* header_out) {
  Session& s = connection.session;
  s.current = &buffer;

  // The header is taken a received block at a time, up to and including its
  // blank line; what follows stays buffered as the start of the body.
  std::string raw;
  int matched = 0;
  bool leading = true;
  while (matched < 4) {
    if (buffer.count == 0 && !FillBuffer(connection, buffer)) {
      PostLinkFailure(connection, u"Can't read from server.");
      return connection.return_code();
    }
    const std::uint8_t* p = buffer.unconsumed();
    const auto available = static_cast<std::size_t>(buffer.count);
    std::size_t i = 0;
    if (leading) {
      // Zero bytes in front of a reply are ignored.
      while (i < available && p[i] == 0) ++i;
      leading = i == available;
    }
    const std::size_t from = i;
    i = ScanForHeaderEnd(p, i, available, matched);
    raw.append(reinterpret_cast<const char*>(p + from), i - from);
    buffer.Consume(static_cast<std::int32_t>(i));
    if (raw.size() > kMaxReplyHeaderBytes) {
      s.MarkDead();
      connection.Post(SqlState::S08S01,
                      u"The server's reply header has no end within 64 MiB; the connection was "
                      u"closed.");
      return connection.return_code();
    }
  }

  const std::string prefix = buffer.expected_prefix.ToUtf8();
  if (raw.compare(0, prefix.size(), prefix) != 0) {
    // An answer to another request: the replies no longer match the requests.
    const std::size_t line_end = raw.find_first_of("\r\n");
    VString message = u"The server answered another request (";
    message += VString::FromUtf8(raw.substr(0, std::min<std::size_t>(line_end, 40)));
    message += u") instead of request ";
    message += VString::FromUtf8(prefix.substr(0, prefix.size() - 1));
    if (ResynchroniseStream(connection, buffer)) {
      message += u".";
      connection.Post(SqlState::HY000, message);
    } else {
      message += u"; the link could not be put back in step and was closed.";
      s.MarkDead();
      connection.Post(SqlState::S08S01, message);
    }
    if (header_out) header_out->clear();
    return connection.return_code();
  }

  VString header = connection.charset == Charset::Local ? VString::FromLocal(raw)
                                                        : VString::FromUtf8(raw);
  VString success = buffer.expected_prefix;
  success += u"OK\r\n";
  const bool ok = header.size() >= success.size() &&
                  VString::EqualsFolded(std::u16string_view(header).substr(0, success.size()),
                                        success);
  if (!ok) PostServerError(connection, header);
  if (header_out) *header_out = std::move(header);
  return connection.return_code();
}

}  // namespace

SQLRETURN SendRequest(CHConnection& connection, ReceiveBuffer& buffer, std::string_view header,
                      std::span<const std::uint8_t> body, VString* header_out) {
  // Without a driver log nothing else happens here: no clock, no formatting.
  if (!connection.log.Enabled(LogLevel::Error)) [[likely]] {
    if (SendFramed(connection, buffer, header, body)) ReadReply(connection, buffer, header_out);
    return connection.return_code();
  }
  const ExchangeLog log(connection);
  VString reply;
  if (SendFramed(connection, buffer, header, body)) ReadReply(connection, buffer, &reply);
  log.Finish(connection, header, body.size(), reply);
  if (header_out != nullptr && !reply.empty()) *header_out = std::move(reply);
  return connection.return_code();
}

namespace {

// A streaming matcher for a fixed text (Knuth-Morris-Pratt): a byte that
// breaks a partial match is compared again with the longest prefix of the
// text that still ends the bytes seen.
class StreamMatcher {
 public:
  explicit StreamMatcher(std::string text) : text_(std::move(text)), fallback_(text_.size(), 0) {
    for (std::size_t i = 1, k = 0; i < text_.size(); ++i) {
      while (k > 0 && text_[i] != text_[k]) k = fallback_[k - 1];
      if (text_[i] == text_[k]) ++k;
      fallback_[i] = k;
    }
  }
  // Feeds one byte; true once the whole text has been seen.
  bool Feed(char byte) {
    while (matched_ > 0 && byte != text_[matched_]) matched_ = fallback_[matched_ - 1];
    if (byte == text_[matched_]) ++matched_;
    if (matched_ < text_.size()) return false;
    matched_ = fallback_[matched_ - 1];
    return true;
  }

 private:
  std::string text_;
  std::vector<std::size_t> fallback_;
  std::size_t matched_ = 0;
};

// Bytes of silence after which an attempt is given up for the next one.
constexpr auto kAttemptSilence = std::chrono::seconds(1);
// Longest resynchronisation when the call has no deadline of its own.
constexpr auto kResynchronisationLimit = std::chrono::seconds(10);

}  // namespace

bool ResynchroniseStream(CHConnection& connection, ReceiveBuffer& buffer) {
  Session& s = connection.session;
  if (!s.link) return false;
  // The answer to the bogus command follows every reply still awaited,
  // a page read ahead included: all of them are skipped.
  s.read_ahead.reset();
  s.resynchronising = true;
  ++s.resynchronisations;
  const auto limit = DeadlineClock::now() + kResynchronisationLimit;
  const DeadlineClock::time_point until = s.deadline ? std::min(*s.deadline, limit) : limit;
  bool done = false;
  for (int attempt = 17; attempt >= 1 && !done && s.link; --attempt) {
    char bogus[160];
    const int n = std::snprintf(bogus, sizeof bogus, "%s%d%d%d%d%s",
                                "****7Please,8cOUld9yOu10reSEnd11tHE12bAZarD13?", s.request_number,
                                attempt, CHConnection::NextConnectionNumber(),
                                connection.connection_number, "\r\n\r\n");
    if (n <= 0 || !OpenStream(connection, StreamMode::Writing) ||
        !s.link->WriteAll(bogus, static_cast<std::size_t>(n),
                          std::chrono::duration_cast<std::chrono::milliseconds>(
                              until - DeadlineClock::now()).count())) {
      break;
    }
    s.mode = StreamMode::Reading;
    std::string expected(bogus, static_cast<std::size_t>(n) - kBlankLine.size());
    expected += " ERROR\r\nError-Code:3001\r\nError-Description:Unknown command.\r\n\r\n";
    StreamMatcher matcher(std::move(expected));

    // Bytes already buffered first, then blocks from the link; an attempt
    // ends after a second of silence, all of them at the deadline.
    for (;;) {
      const std::uint8_t* p = buffer.unconsumed();
      std::int32_t i = 0;
      while (i < buffer.count && !done) done = matcher.Feed(static_cast<char>(p[i++]));
      buffer.Consume(i);
      if (done) break;
      if (buffer.capacity <= 0 || !buffer.data) break;
      const auto silence = std::min(until, DeadlineClock::now() + kAttemptSilence);
      std::size_t got = 0;
      const LinkFailure failure = ReadLink(s, buffer.data.get(),
                                           static_cast<std::size_t>(buffer.capacity), got, silence);
      if (failure == LinkFailure::kNone) {
        buffer.offset = 0;
        buffer.count = static_cast<std::int32_t>(got);
        continue;
      }
      if (failure != LinkFailure::kTimeout || DeadlineClock::now() >= until) attempt = 0;
      break;
    }
  }
  s.resynchronising = false;
  return done;
}

}  // namespace kestrion
