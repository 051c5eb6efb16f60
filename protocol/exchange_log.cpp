#include "protocol/exchange_log.h"

#include <cstdio>

#include "driver/connection.h"
#include "protocol/reply_field.h"
#include "protocol/request.h"

namespace kestrion {

using corvane::VString;

namespace {

// The value of a request header field, ignoring the case of its name.
std::string_view RequestField(std::string_view header, std::string_view name) {
  std::size_t line = header.find("\r\n");
  while (line != std::string_view::npos) {
    const std::size_t start = line + 2;
    std::size_t end = header.find("\r\n", start);
    const std::string_view text =
        header.substr(start, (end == std::string_view::npos ? header.size() : end) - start);
    const std::size_t colon = text.find(':');
    if (colon != std::string_view::npos && colon == name.size()) {
      bool same = true;
      for (std::size_t i = 0; i < colon && same; ++i) {
        same = (text[i] | 0x20) == (name[i] | 0x20);
      }
      if (same) {
        std::string_view value = text.substr(colon + 1);
        while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
        return value;
      }
    }
    line = end;
  }
  return {};
}

std::string ReplyLine(const VString& reply, std::u16string_view prefix) {
  const std::size_t at = VString::FindFolded(reply, prefix);
  if (at == VString::npos) return {};
  std::size_t start = at + prefix.size();
  while (start < reply.size() && reply[start] == u' ') ++start;
  std::size_t end = reply.find(u'\r', start);
  if (end == VString::npos) end = reply.size();
  return VString(std::u16string_view(reply).substr(start, end - start)).ToUtf8();
}

}  // namespace

std::string ExchangeLine(std::string_view request_id, std::string_view request_header,
                         std::size_t body_bytes, const VString& reply,
                         std::chrono::microseconds elapsed, std::string_view failure, bool& ok) {
  const std::string_view command = request_header.substr(0, request_header.find("\r\n"));
  std::string statement = ReplyLine(reply, u"Statement-ID:");
  if (statement.empty()) statement = std::string(RequestField(request_header, "STATEMENT-ID"));

  std::string line = "request ";
  line += request_id;
  line += ' ';
  line += command;
  if (!statement.empty()) {
    line += " statement ";
    line += statement;
  }
  // The frame: identifier, space, header, blank line, body.
  line += " sent ";
  line += std::to_string(request_id.size() + 1 + request_header.size() + 4 + body_bytes);
  line += " bytes, reply header ";
  line += std::to_string(reply.empty() ? 0 : reply.ToUtf8().size());
  line += " bytes, ";
  char took[32];
  std::snprintf(took, sizeof took, "%.3f ms", static_cast<double>(elapsed.count()) / 1000.0);
  line += took;

  const std::size_t first_end = reply.find(u'\r');
  const std::u16string_view first =
      std::u16string_view(reply).substr(0, first_end == VString::npos ? reply.size() : first_end);
  ok = first.size() >= 3 && first.substr(first.size() - 3) == u" OK";
  if (ok) {
    line += ", OK";
  } else if (!reply.empty()) {
    line += ", ERROR ";
    line += ReplyLine(reply, u"Error-Code:");
    line += ": ";
    line += ReplyLine(reply, u"Error-Description:");
  } else {
    line += ", failed: ";
    line += failure;
  }
  return line;
}

ExchangeLog::ExchangeLog(const CHConnection& connection)
    : active_(connection.log.Enabled(LogLevel::Error)) {
  if (!active_) return;
  request_number_ = connection.session.request_number;
  diagnostics_before_ = connection.diagnostics().size();
  start_ = std::chrono::steady_clock::now();
}

void ExchangeLog::Finish(const CHConnection& connection, std::string_view request_header,
                         std::size_t body_bytes, const VString& reply) const {
  if (!active_) return;
  try {
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start_);
    // Without a reply, the link failure left its diagnostic on the connection.
    std::string failure;
    if (reply.empty()) {
      failure = "no reply";
      if (connection.diagnostics().size() > diagnostics_before_) {
        const DiagnosticRecord& last = connection.diagnostics().back();
        failure = VString(SqlStateCode(last.state)).ToUtf8();
        failure += ' ';
        failure += last.message.ToUtf8();
      }
    }
    bool ok = false;
    const std::string line =
        ExchangeLine(RequestIdentifier(connection.connection_number, request_number_),
                     request_header, body_bytes, reply, elapsed, failure, ok);
    connection.log.Write(ok ? LogLevel::Info : LogLevel::Error, connection.connection_number,
                         line);
  } catch (...) {
    // A line that cannot be built is dropped.
  }
}

}  // namespace kestrion
