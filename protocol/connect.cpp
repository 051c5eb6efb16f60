#include "protocol/connect.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "driver/connection.h"
#include "protocol/connection_attributes.h"
#include "protocol/connection_stream.h"
#include "protocol/installer.h"
#include "protocol/log_settings.h"
#include "protocol/reply_field.h"
#include "protocol/request.h"
#include "protocol/tls_verification.h"
#include "setup/login_prompt.h"

namespace kestrion {

using corvane::VString;

namespace {

constexpr std::u16string_view kNotStarted =
    u"Is the SQL Server Started ?\nClient unable to establish connection.";
constexpr std::int32_t kDefaultPacketSize = 131072;
constexpr std::int32_t kLargestPacketSize = 10485760;

// A setting read as a signed integer: leading digits after an optional sign
// (0 when there are none); nothing when the number does not fit in 32 bits.
std::optional<std::int32_t> ParseInt32(const VString& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10 + (text[i] - u'0');
    if (value > std::int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::int32_t TimeoutSetting(const Settings& settings, Setting slot) {
  if (!settings.Given(slot)) return 0;
  return ParseInt32(settings.Text(slot)).value_or(0);
}

bool ErrorRecordedSince(const CHConnection& connection, std::size_t first) {
  const auto& records = connection.diagnostics();
  for (std::size_t i = first; i < records.size(); ++i) {
    if (!IsWarning(records[i].state)) return true;
  }
  return false;
}

void ResetSessionFields(Session& s) {
  s.server_address = u"127.0.0.1";
  s.port = 19812;
  s.user_name.clear();
  s.first_page_size.clear();
  s.preferred_image_types.clear();
  s.capabilities.Clear();
  s.cancel_target.Clear();
  s.pending_closes.clear();
}

// The driver log's line for the end of a connect: where to and as whom, or
// the first error.
void LogConnectOutcome(const CHConnection& connection) {
  if (!connection.log.Enabled(LogLevel::Error)) return;
  const Session& s = connection.session;
  if (s.link) {
    if (!connection.log.Enabled(LogLevel::Info)) return;
    std::string line = "connected to " + s.server_address.ToUtf8() + ":" + std::to_string(s.port);
    line += s.tls ? " with TLS" : "";
    line += " as user '" + s.user_name.ToUtf8() + "'";
    connection.log.Write(LogLevel::Info, connection.connection_number, line);
    return;
  }
  std::string line = "connect failed";
  for (const DiagnosticRecord& record : connection.diagnostics()) {
    if (record.state == SqlState::S01000) continue;
    line += ": ";
    line += VString(SqlStateCode(record.state)).ToUtf8();
    line += ' ';
    line += record.message.ToUtf8();
    break;
  }
  connection.log.Write(LogLevel::Error, connection.connection_number, line);
}

std::int64_t CountUnits(const SQLWCHAR* text, SQLSMALLINT length) {
  if (text == nullptr) return 0;
  if (length == SQL_NTS) {
    std::int64_t n = 0;
    while (text[n] != 0) ++n;
    return n;
  }
  return length < 0 ? 0 : length;
}

}  // namespace

void Login(CHConnection& connection, const Settings& settings) {
  Session& s = connection.session;
  if (s.LinkAlive()) {
    connection.Post(SqlState::S01000, u"Already connected.");
    return;
  }
  ResetSessionFields(s);

  s.server_address = settings.Given(Setting::Server) ? settings.Text(Setting::Server) : u"localhost";
  if (settings.Given(Setting::Port)) {
    auto port = ParseInt32(settings.Text(Setting::Port));
    s.port = port ? static_cast<std::uint16_t>(static_cast<std::uint32_t>(*port) & 0xFFFF) : 0;
  }
  s.tls = IsTrueSetting(settings[Setting::SSL]);
  const std::optional<TlsVerifyMode> verify = ParseTlsVerify(settings[Setting::TLSVerify]);
  if (!verify) {
    connection.Post(SqlState::S08001, u"TLSVerify must be none, ca or full.");
  } else if (*verify != TlsVerifyMode::None) {
    // Whoever asks for the server's certificate to be checked never gets a
    // plain connection.
    s.tls = true;
  }
  connection.open_query = IsTrueSetting(settings[Setting::OpenQuery]);
  connection.access_compatible = IsTrueSetting(settings[Setting::MSAccess]);
  connection.windev = IsTrueSetting(settings[Setting::Windev]);
  connection.charset = Charset::Utf8;
  if (settings[Setting::CharsEncoding] &&
      !VString::EqualsFolded(*settings[Setting::CharsEncoding], u"UTF-8")) {
    connection.charset = Charset::Local;
  }
  if (settings.Given(Setting::DefaultPageSize)) s.first_page_size = settings.Text(Setting::DefaultPageSize);
  if (settings.Given(Setting::FavouriteImageFormats)) {
    s.preferred_image_types = settings.Text(Setting::FavouriteImageFormats);
  }
  if (settings.Given(Setting::NetworkCacheSize)) {
    auto kilobytes = ParseInt32(settings.Text(Setting::NetworkCacheSize));
    // The product is taken in 32 bits, as a 32-bit attribute holds it.
    const std::int32_t bytes =
        kilobytes ? static_cast<std::int32_t>(static_cast<std::uint32_t>(*kilobytes) * 1024u) : 0;
    const std::int32_t packet =
        (!kilobytes || bytes < 1024) ? kDefaultPacketSize : std::min(bytes, kLargestPacketSize);
    WriteConnectionAttribute(connection, SQL_ATTR_PACKET_SIZE, packet);
  }
  if (connection.return_code() == SQL_ERROR) return;

  const std::int32_t connect_timeout = TimeoutSetting(settings, Setting::PhysicalConnectionTimeout);
  const std::int32_t login_timeout = TimeoutSetting(settings, Setting::LoginTimeout);
  WriteConnectionAttribute(connection, SQL_ATTR_CONNECTION_TIMEOUT, connect_timeout);
  WriteConnectionAttribute(connection, SQL_ATTR_LOGIN_TIMEOUT, login_timeout);
  WriteConnectionAttribute(connection, SQL_ATTR_QUERY_TIMEOUT,
                           TimeoutSetting(settings, Setting::QueryTimeout));
  // The login time-out bounds the whole login: connect, TLS and LOGIN.
  s.SetDeadlineSeconds(login_timeout);
  s.dead = false;
  s.failure = LinkFailure::kNone;
  connection.transaction_link = nullptr;

  const std::int64_t connect_ms =
      connect_timeout > 0 ? std::min<std::int64_t>(std::int64_t{connect_timeout} * 1000, s.RemainingMs())
                          : s.RemainingMs();
  auto link = Link::Open(s.server_address.ToUtf8(), s.port, connect_ms);
  // A user who asked for TLS never gets a plain connection.
  if (link && s.tls && !link->StartTls(s.RemainingMs())) link.reset();
  if (!link) {
    s.deadline.reset();
    connection.Post(SqlState::S08001, kNotStarted);
    return;
  }
  // The certificate is checked before LOGIN sends the password.
  std::string why;
  if (!VerifyServerCertificate(link->tls_channel(), *verify, s.server_address.ToUtf8(),
                               settings.Text(Setting::TLSCAFile).ToUtf8(), why)) {
    connection.Post(SqlState::S08001, VString::FromUtf8("TLS verification failed: " + why + "."));
    return;
  }
  s.link = std::move(link);
  s.mode = StreamMode::Closed;
  if (connection.return_code() == SQL_ERROR) {
    Disconnect(connection, /*logged_in=*/false);
    return;
  }

  s.user_name = settings.Text(Setting::UID);
  std::string header = "LOGIN\r\nREPLY-WITH-BASE64-TEXT: Y\r\nUSER-NAME-BASE64: ";
  header += Base64OfText(s.user_name);
  header += "\r\nUSER-PASSWORD-BASE64: ";
  header += Base64OfText(settings.Text(Setting::PWD));
  header += "\r\nPROTOCOL-VERSION: 0.1a";
  corvane::VString reply;
  SendRequest(connection, s.own_buffer, header, {}, &reply);
  if (connection.ok()) {
    s.deadline.reset();
    s.capabilities = ServerCapabilities::FromReply(reply);
    if (s.capabilities.cancel()) {
      // A cancel reaches the server the way this connection did.
      CancelTarget& target = s.cancel_target;
      target.host = s.server_address.ToUtf8();
      target.port = s.port;
      target.tls = s.tls;
      target.verify = *verify;
      target.ca_file = settings.Text(Setting::TLSCAFile).ToUtf8();
      ReadCancelFields(reply, target);
    }
    return;
  }
  Disconnect(connection, /*logged_in=*/false);
}

void Disconnect(CHConnection& connection, bool logged_in) {
  Session& s = connection.session;
  s.data_source_name = u"DEFAULT";
  ResetSessionFields(s);
  if (s.link) {
    CloseStream(connection);
    // LOGOUT and QUIT share one login time-out. The connection is closed
    // whatever they answer, so their failures are at most a warning.
    s.SetDeadlineSeconds(ReadConnectionAttribute(connection, SQL_ATTR_LOGIN_TIMEOUT, 30));
    const std::size_t before = connection.diagnostics().size();
    if (s.LinkAlive()) {
      if (logged_in) SendRequest(connection, s.own_buffer, "LOGOUT");
      if (s.link) SendRequest(connection, s.own_buffer, "QUIT");
    }
    if (ErrorRecordedSince(connection, before)) {
      const VString message = connection.diagnostics()[before].message;
      connection.DropDiagnosticsFrom(before);
      if (logged_in) connection.Post(SqlState::S01002, message);
    }
    CloseStream(connection);
    s.link.reset();
    s.current = nullptr;
    s.read_ahead.reset();
  } else if (!s.dead) {
    connection.Post(SqlState::S01002, u"Disconnect error");
  }
  // A connection whose link was lost disconnects locally, without a warning.
  s.dead = false;
  s.deadline.reset();
  s.failure = LinkFailure::kNone;
  connection.transaction_link = nullptr;
  s.user_name.clear();
}

SQLRETURN ConnectProcedure(CHConnection& connection, void* window, const SQLWCHAR* in,
                           SQLSMALLINT in_length, SQLWCHAR* out, SQLSMALLINT out_bytes,
                           SQLSMALLINT* out_length, SQLUSMALLINT completion) {
  const VString input = (in == nullptr || (in_length < 0 && in_length != SQL_NTS))
                            ? VString()
                            : VString::FromUnits(in, in_length == SQL_NTS ? -1 : in_length);
  if (input.empty()) {
    connection.Post(SqlState::HY090);
    return SQL_ERROR;
  }

  Settings settings = GatherSettings(input, ReadDataSourceValue);
  connection.log = ChooseLogTarget(input, ReadDataSourceValue);
  if (connection.log.Enabled(LogLevel::Info)) {
    connection.log.Write(LogLevel::Info, connection.connection_number,
                         "connect " + MaskedConnectionString(input));
  }
  if (settings[Setting::DSN]) {
    connection.session.data_source_name =
        settings[Setting::DSN]->empty() ? VString(u"DEFAULT") : *settings[Setting::DSN];
  }
  auto complete = [&] {
    return settings[Setting::Server] && settings[Setting::Port] && settings[Setting::UID];
  };

  bool cancelled = false;
  bool attempt = true;
  bool prompt = false;
  switch (completion) {
    case SQL_DRIVER_NOPROMPT:
      break;
    case SQL_DRIVER_COMPLETE:
    case SQL_DRIVER_COMPLETE_REQUIRED:
      prompt = !complete();
      break;
    case SQL_DRIVER_PROMPT:
      prompt = true;
      break;
    default:
      connection.Post(SqlState::HY110);
      attempt = false;
      break;
  }
  if (prompt) {
    std::string why;
    switch (ShowLoginPrompt(window, settings, &why)) {
      case PromptOutcome::Accepted:
        break;
      case PromptOutcome::Cancelled:
        connection.Post(SqlState::S01000, u"User cancelled the connect dialog.");
        cancelled = true;
        break;
      case PromptOutcome::Unavailable:
        // The user cancelled nothing: the prompt could not be shown at all.
        connection.Post(SqlState::IM008,
                        VString::FromUtf8("The login dialog cannot be shown: " + why + "."));
        attempt = false;
        break;
    }
  }

  if (attempt && !cancelled && connection.return_code() != SQL_ERROR) {
    if (complete()) {
      Login(connection, settings);
      LogConnectOutcome(connection);
    } else {
      // Without a user name nothing can be logged in: say so rather than
      // answer success on a connection that is not connected.
      connection.Post(SqlState::S28000,
                      u"No user name: give UID in the data source or the connection string.");
    }
  }

  if (out != nullptr && out_bytes >= 1) {
    const std::ptrdiff_t chars = out_bytes / 2;
    const VString text = ComposeConnectionString(settings, chars);
    if (chars >= 1) {
      const std::size_t copied = std::min<std::size_t>(text.size(), static_cast<std::size_t>(chars - 1));
      std::memcpy(out, text.data(), copied * sizeof(SQLWCHAR));
      out[copied] = 0;
    }
    if (out_length != nullptr) {
      *out_length = static_cast<SQLSMALLINT>(std::min<std::size_t>(text.size(), 32767));
    }
    connection.Post(SqlState::S01000);
  }

  if (cancelled && connection.return_code() != SQL_ERROR) return SQL_NO_DATA;
  return connection.return_code();
}

SQLRETURN ConnectWithDataSource(CHConnection& connection, const SQLWCHAR* dsn,
                                SQLSMALLINT dsn_length, const SQLWCHAR* user,
                                SQLSMALLINT user_length, const SQLWCHAR* password,
                                SQLSMALLINT password_length) {
  const std::int64_t dsn_units = CountUnits(dsn, dsn_length);
  const std::int64_t user_units = CountUnits(user, user_length);
  const std::int64_t password_units = CountUnits(password, password_length);
  if (dsn_units == 0 || dsn_units > 32767) connection.Post(SqlState::HY090, u"See the DSN string.");
  if (user_units > 32767) connection.Post(SqlState::HY090, u"See the UID string.");
  if (password_units > 32767) connection.Post(SqlState::HY090, u"See the PWDstring.");
  if (connection.return_code() == SQL_ERROR) return SQL_ERROR;

  // Without a user name the data source's own UID and PWD apply.
  VString text = u"DSN=";
  text += VString::FromUnits(dsn, dsn_units);
  if (user_units > 0) {
    text += u";UID=";
    text += VString::FromUnits(user, user_units);
  }
  if (password_units > 0) {
    text += u";PWD=";
    text += VString::FromUnits(password, password_units);
  }
  return ConnectProcedure(connection, nullptr, reinterpret_cast<const SQLWCHAR*>(text.c_str()),
                          SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
}

}  // namespace kestrion
