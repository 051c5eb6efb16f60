// The protocol state of a connection: its link, receive buffer, request
// numbering and the settings taken at login.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "protocol/capabilities.h"
#include "protocol/link.h"
#include "protocol/receive_buffer.h"
#include "toolbox/vstring.h"

namespace kestrion {

// Direction the connection's byte stream is open in.
enum class StreamMode { Closed, Reading, Writing };

struct Session {
  // Set at login, reset at disconnect.
  corvane::VString data_source_name = u"DEFAULT";
  corvane::VString server_address = u"127.0.0.1";
  std::uint16_t port = 19812;
  corvane::VString user_name;
  bool tls = false;
  // Sent with EXECUTE-STATEMENT: FIRST-PAGE-SIZE and PREFERRED-IMAGE-TYPES.
  corvane::VString first_page_size;
  corvane::VString preferred_image_types;
  // What the server announced at login ("Capabilities:").
  ServerCapabilities capabilities;
  // Kept results whose close goes out with the next request (servers with
  // the deferred-close capability).
  std::vector<std::int32_t> pending_closes;

  // Number of the next request; survives disconnects.
  std::int32_t request_number = 0;

  // Present while connected (TLS channel included).
  std::unique_ptr<Link> link;
  // The connection's own receive buffer (LOGIN, LOGOUT, QUIT).
  ReceiveBuffer own_buffer;
  // The buffer the link's reads currently go through.
  ReceiveBuffer* current = nullptr;
  StreamMode mode = StreamMode::Closed;

  // Seconds a stream read may go on receiving nothing; negative: no limit.
  // The login time-out while LOGIN (and LOGOUT/QUIT) run; callers may set it
  // for their own requests (a statement's query time-out) and clear it after.
  std::int32_t read_timeout_seconds = -1;
  bool resynchronising = false;
  // Set when a read ran out of time: a late reply may still arrive, so the
  // replies no longer match the requests until the stream is resynchronised.
  bool out_of_step = false;

  // Reused for each request so that header and body leave in one send.
  std::vector<std::uint8_t> send_buffer;

  // The liveness probe behind SQL_ATTR_CONNECTION_DEAD: false without a link,
  // or when the link is found closed or failed.
  bool LinkAlive() const { return link && link->IsAlive(); }
};

}  // namespace kestrion
