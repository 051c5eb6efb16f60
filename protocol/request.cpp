#include "protocol/request.h"

#include <charconv>
#include <cstring>
#include <string>

#include "driver/connection.h"
#include "protocol/connection_attributes.h"
#include "protocol/connection_stream.h"
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
  out.insert(out.end(), text.begin(), text.end());
}

// Frames the request and sends it; false when it did not leave in full.
bool SendFramed(CHConnection& connection, ReceiveBuffer& buffer, std::string_view header,
                std::span<const std::uint8_t> body) {
  Session& s = connection.session;
  if (!s.link) {
    connection.Post(SqlState::HY010, u"No SQLConnect done on this ConnectionHandle.");
    return false;
  }
  s.current = &buffer;
  buffer.Reset(PacketSize(connection));

  std::string id = RequestIdentifier(connection.connection_number, s.request_number);
  id += ' ';
  buffer.expected_prefix = VString::FromAscii(id);
  s.request_number = static_cast<std::int32_t>(static_cast<std::uint32_t>(s.request_number) + 1);

  std::vector<std::uint8_t>& out = s.send_buffer;
  out.clear();
  out.reserve(id.size() + header.size() + kBlankLine.size() + body.size());
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
  const std::size_t header_bytes = out.size();
  out.insert(out.end(), body.begin(), body.end());

  bool sent = OpenStream(connection, StreamMode::Writing);
  if (sent) {
    std::size_t written = 0;
    const std::int64_t stall =
        s.read_timeout_seconds < 0 ? -1 : std::max<std::int64_t>(s.read_timeout_seconds, 1) * 1000;
    sent = s.link->WriteAll(out.data(), out.size(), stall, &written);
    if (!sent) {
      connection.Post(SqlState::S08S01, written < header_bytes ? u"Can't send request header."
                                                                : u"Can't send packet.");
    }
  }
  if (out.capacity() > kKeptSendBufferBytes) std::vector<std::uint8_t>().swap(out);
  return sent;
}

// How many bytes the header reader takes next: never past the blank line.
std::size_t NextChunk(const ReceiveBuffer& buffer) {
  if (buffer.count <= 0) return 1;
  const std::uint8_t* p = buffer.unconsumed();
  if (p[0] == '\n') return 1;
  if (p[0] == '\r') return 2;
  const std::string_view buffered(reinterpret_cast<const char*>(p),
                                  static_cast<std::size_t>(buffer.count));
  const std::size_t end = buffered.find(kBlankLine);
  return end == std::string_view::npos ? buffered.size() : end + kBlankLine.size();
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

void PostServerError(CHConnection& connection, const VString& header) {
  const std::int32_t native = ParseNative(GetReplyField(u"Error-Code", header));
  const SqlState state = ServerErrorState(header);
  constexpr std::u16string_view kDescription = u"Error-Description:";
  const std::size_t at = VString::FindFolded(header, kDescription);
  if (at != VString::npos && at > 0) {
    std::size_t start = at + kDescription.size();
    while (start < header.size() && header[start] == u' ') ++start;
    std::size_t end = header.size() >= 4 ? header.size() - 4 : header.size();
    if (end < start) end = start;
    connection.Post(state, std::u16string_view(header).substr(start, end - start), native);
  } else {
    connection.Post(state, header, native);
  }
}

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
  Session& s = connection.session;
  if (!s.link) return connection.return_code();
  s.current = &buffer;
  buffer.Reset(PacketSize(connection));

  std::string raw;
  for (;;) {
    const std::size_t take = NextChunk(buffer);
    const std::size_t old = raw.size();
    if (old + take > kMaxReplyHeaderBytes) {
      connection.Post(SqlState::S08S01, u"Can't read from server.");
      return connection.return_code();
    }
    raw.resize(old + take);
    if (!StreamRead(connection, buffer, raw.data() + old, take)) {
      connection.Post(SqlState::S08S01, u"Can't read from server.");
      return connection.return_code();
    }
    if (old == 0) {
      // Zero bytes in front of a reply are ignored.
      const std::size_t first = raw.find_first_not_of('\0');
      raw.erase(0, first == std::string::npos ? raw.size() : first);
    }
    if (raw.size() >= 4 && raw.find(kBlankLine, old >= 3 ? old - 3 : 0) != std::string::npos) break;
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

SQLRETURN SendRequest(CHConnection& connection, ReceiveBuffer& buffer, std::string_view header,
                      std::span<const std::uint8_t> body, VString* header_out) {
  if (SendFramed(connection, buffer, header, body)) ReadReply(connection, buffer, header_out);
  return connection.return_code();
}

void ResynchroniseStream(CHConnection& connection, ReceiveBuffer& buffer) {
  Session& s = connection.session;
  if (!s.link) return;
  s.resynchronising = true;
  for (int attempt = 17; attempt >= 1; --attempt) {
    char bogus[160];
    const int n = std::snprintf(bogus, sizeof bogus, "%s%d%d%d%d%s",
                                "****7Please,8cOUld9yOu10reSEnd11tHE12bAZarD13?", s.request_number,
                                attempt, CHConnection::NextConnectionNumber(),
                                connection.connection_number, "\r\n\r\n");
    if (n <= 0 || !StreamWrite(connection, bogus, static_cast<std::size_t>(n))) continue;
    std::string expected(bogus, static_cast<std::size_t>(n) - kBlankLine.size());
    expected += " ERROR\r\nError-Code:3001\r\nError-Description:Unknown command.\r\n\r\n";

    std::size_t matched = 0;
    bool failed = false;
    while (matched < expected.size()) {
      std::uint8_t byte = 0;
      if (!StreamRead(connection, buffer, &byte, 1)) {
        failed = true;
        break;
      }
      matched = byte == static_cast<std::uint8_t>(expected[matched]) ? matched + 1 : 0;
    }
    if (!failed) {
      s.out_of_step = false;
      break;
    }
  }
  s.resynchronising = false;
}

}  // namespace kestrion
