// Requests and replies. A request is its identifier ("<connection>.<request>"),
// a space, the header text (command word and field lines joined by CR LF),
// a blank line and an optional body; it leaves in a single send. A reply is
// read up to its blank line and no further, so its body starts with the next
// byte read through the same receive buffer.
//
// All operations post their failures on the connection and answer its
// return code; a statement that issued the request copies them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "driver/odbc.h"
#include "protocol/receive_buffer.h"
#include "toolbox/vstring.h"

namespace kestrion {

class CHConnection;

// The identifier of a request: "3.17" for request 17 of connection 3.
std::string RequestIdentifier(std::int32_t connection_number, std::int32_t request_number);

// Frames and sends a request through `buffer` (emptied, and made the current
// buffer). `header` is UTF-8 text without the final line end.
SQLRETURN SendRequestHeader(CHConnection& connection, ReceiveBuffer& buffer,
                            std::string_view header, std::span<const std::uint8_t> body = {});
SQLRETURN SendRequestHeader(CHConnection& connection, ReceiveBuffer& buffer,
                            std::u16string_view header, std::span<const std::uint8_t> body = {});

// Reads one reply header through `buffer`, within the session's deadline.
// A reply with the request's identifier that does not say "OK" posts 08004
// with the server's Error-Description and Error-Code. A reply to another
// request means the link is out of step: it is resynchronised (HY000) or,
// failing that, closed (08S01). `header_out` receives the header text,
// blank line included.
SQLRETURN ReadReply(CHConnection& connection, ReceiveBuffer& buffer,
                    corvane::VString* header_out = nullptr);

// Several requests in one send (servers with the pipeline capability): each
// is framed into `out` with FrameRequest, which answers its identifier and
// a space; SendFramedRequests sends them all through `buffer`, and
// ReadNextReply reads the reply to each in the order they were framed,
// keeping what the buffer already holds of the replies that follow.
// Nothing else may be sent on the connection until every reply was read.
std::string FrameRequest(CHConnection& connection, std::vector<std::uint8_t>& out,
                         std::string_view header, std::span<const std::uint8_t> body = {});
SQLRETURN SendFramedRequests(CHConnection& connection, ReceiveBuffer& buffer,
                             const std::vector<std::uint8_t>& requests);
SQLRETURN ReadNextReply(CHConnection& connection, ReceiveBuffer& buffer, std::string_view id,
                        corvane::VString* header_out = nullptr);

// A request sent ahead of need: it leaves while the reply to the last
// request is still being read through `buffer`, which keeps what it holds.
// Its reply is recorded as read ahead (Session::read_ahead): the caller
// reads it later with ReadNextReply, and any other request on the connection
// first skips it (SkipReadAhead). Answers the identifier and a space, as
// FrameRequest does; empty when the
// request did not leave (the failure is posted on the connection).
std::string SendReadAhead(CHConnection& connection, ReceiveBuffer& buffer, std::string_view header);

// Reads and skips the reply to the request sent ahead, when there is one:
// a page nobody asked for yet is dropped before another request goes out.
// A refusal of it by the server is dropped too. False, with the failure
// posted on the connection, when the link was lost or the reply could not
// be skipped (the link is then closed).
bool SkipReadAhead(CHConnection& connection);

// Sends a request and, when it left, reads its reply.
SQLRETURN SendRequest(CHConnection& connection, ReceiveBuffer& buffer, std::string_view header,
                      std::span<const std::uint8_t> body = {},
                      corvane::VString* header_out = nullptr);

// Puts the link back in step after a reply body was lost: sends a bogus
// command and skips everything up to the server's answer to it, within the
// session's deadline (10 seconds at most). Posts nothing; false when the
// link could not be put back in step.
bool ResynchroniseStream(CHConnection& connection, ReceiveBuffer& buffer);

}  // namespace kestrion
