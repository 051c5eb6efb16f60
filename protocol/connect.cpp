#include "protocol/connect.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "driver/connection.h"
#include "protocol/connection_attributes.h"
#include "protocol/connection_stream.h"
#include "protocol/installer.h"
#include "protocol/reply_field.h"
#include "protocol/request.h"
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

// Milliseconds a TLS handshake may take: the login time-out, at least a second.
std::int64_t HandshakeLimitMs(std::int32_t login_timeout) {
  return std::max<std::int64_t>(login_timeout, 1) * 1000;
}

void ResetSessionFields(Session& s) {
  s.server_address = u"127.0.0.1";
  s.port = 19812;
  s.user_name.clear();
  s.first_page_size.clear();
  s.preferred_image_types.clear();
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
  s.read_timeout_seconds = ReadConnectionAttribute(connection, SQL_ATTR_LOGIN_TIMEOUT, 30);

  s.server_address = settings.Given(Setting::Server) ? settings.Text(Setting::Server) : u"localhost";
  if (settings.Given(Setting::Port)) {
    auto port = ParseInt32(settings.Text(Setting::Port));
    s.port = port ? static_cast<std::uint16_t>(static_cast<std::uint32_t>(*port) & 0xFFFF) : 0;
  }
  s.tls = IsTrueSetting(settings[Setting::SSL]);
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
  s.read_timeout_seconds = login_timeout;

  auto link = Link::Open(s.server_address.ToUtf8(), s.port, std::int64_t{connect_timeout} * 1000);
  // A user who asked for TLS never gets a plain connection.
  if (link && s.tls && !link->StartTls(HandshakeLimitMs(login_timeout))) link.reset();
  if (!link) {
    connection.Post(SqlState::S08001, kNotStarted);
    return;
  }
  s.link = std::move(link);
  s.mode = StreamMode::Closed;
  s.out_of_step = false;
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
  SendRequest(connection, s.own_buffer, header);
  if (connection.ok()) {
    s.read_timeout_seconds = -1;
    return;
  }
  Disconnect(connection, /*logged_in=*/false);
}

void Disconnect(CHConnection& connection, bool logged_in) {
  Session& s = connection.session;
  s.data_source_name = u"DEFAULT";
  ResetSessionFields(s);
  s.read_timeout_seconds = ReadConnectionAttribute(connection, SQL_ATTR_LOGIN_TIMEOUT, 30);
  if (s.link) {
    CloseStream(connection);
    // A link whose last read ran out of time would answer LOGOUT with the
    // late reply, after another wait: close it without logging out.
    if (!s.out_of_step && s.LinkAlive()) {
      if (logged_in) SendRequest(connection, s.own_buffer, "LOGOUT");
      SendRequest(connection, s.own_buffer, "QUIT");
    }
    CloseStream(connection);
    s.link.reset();
    s.current = nullptr;
    s.out_of_step = false;
  } else {
    connection.Post(SqlState::S01002, u"Disconnect error");
  }
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
