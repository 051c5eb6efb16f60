// Values on the wire through the connection's stream: the byte layouts of
// every value class, written in a request body and read from a reply body.
#include "protocol/connection_stream.h"
#include "protocol/request.h"
#include "tests/protocol/connection_fixture.h"
#include "toolbox/value_codec.h"

namespace {

using corvane::VKind;
using corvane::VValue;
using kestrion_test::OkReply;
using kestrion_test::ScriptedServer;

struct Example {
  VValue value;
  std::string bytes;
};

std::string B(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

std::vector<Example> Examples() {
  corvane::VUUID uuid;
  for (int i = 0; i < 16; ++i) uuid.bytes[i] = static_cast<std::uint8_t>(0xA0 + i);
  return {
      {corvane::VText(u"AB"), B({0xFE, 0xFF, 0xFF, 0xFF, 0x41, 0, 0x42, 0})},
      {corvane::VText(u""), B({0, 0, 0, 0})},
      {corvane::VByte(-2), B({0xFE, 0xFF})},
      {corvane::VBoolean(true), B({1, 0})},
      {corvane::VWord(0x1234), B({0x34, 0x12})},
      {corvane::VLong(1), B({1, 0, 0, 0})},
      {corvane::VLong8(-1), std::string(8, '\xFF')},
      {corvane::VDuration(-1000), B({0x18, 0xFC, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
      {corvane::VReal(1.0), B({0, 0, 0, 0, 0, 0, 0xF0, 0x3F})},
      {VValue(corvane::VTime{2024, 3, 1, 1500}), B({0xE8, 0x07, 3, 1, 0xDC, 0x05, 0, 0})},
      {corvane::VBlob({}), B({0, 0, 0, 0})},
      {corvane::VBlob({1, 2, 3}), B({3, 0, 0, 0, 1, 2, 3})},
      {VValue(*corvane::VFloat::FromParts(1, 1, "15")), B({1, 0, 0, 0, 1, 2, 0, 0, 0, 15, 0})},
      {VValue(uuid), B({0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB,
                        0xAC, 0xAD, 0xAE, 0xAF})},
  };
}

class ValueEncoding : public kestrion_test::ConnectionTest {};

TEST_F(ValueEncoding, EveryClassIsWrittenInItsLayout) {
  ScriptedServer server;
  ConnectTo(server);
  corvane::VMemoryStream body;
  std::string expected;
  for (const auto& e : Examples()) {
    ASSERT_TRUE(corvane::WriteValue(body, e.value));
    expected += e.bytes;
  }
  // Values written straight onto the connection's stream arrive the same way.
  server.Expect(Id(1) + " EXECUTE-STATEMENT\r\n\r\n" + expected + B({1, 0, 0, 0}), OkReply(Id(1)));
  auto& buffer = conn().session.own_buffer;
  ASSERT_EQ(kestrion::SendRequestHeader(conn(), buffer, std::string_view("EXECUTE-STATEMENT"),
                                        body.buffer()),
            SQL_SUCCESS);
  kestrion::ConnectionStream stream(conn(), buffer);
  ASSERT_TRUE(corvane::WriteValue(stream, corvane::VLong(1)));
  EXPECT_EQ(kestrion::ReadReply(conn(), buffer), SQL_SUCCESS) << Diagnostics();
  EXPECT_EQ(server.Finish(1000), "");
}

TEST_F(ValueEncoding, EveryClassIsReadFromAReplyBody) {
  ScriptedServer server;
  ConnectTo(server);
  std::string body;
  for (const auto& e : Examples()) body += e.bytes;
  // A text in its third form: length 2, character-set code 1, 3 units.
  body += B({2, 0, 0, 0, 1, 0, 0, 0, 0x43, 0, 0x44, 0, 0, 0});
  ScriptedServer::Step step{Id(1) + " FETCH\r\n\r\n", OkReply(Id(1)) + body};
  step.one_byte_segments = true;  // values split across arrivals
  server.Then(step);
  auto& buffer = conn().session.own_buffer;
  ASSERT_EQ(kestrion::SendRequest(conn(), buffer, "FETCH"), SQL_SUCCESS);
  kestrion::ConnectionStream stream(conn(), buffer);
  for (const auto& e : Examples()) {
    VValue v;
    ASSERT_TRUE(corvane::ReadValue(stream, e.value.kind(), v)) << static_cast<int>(e.value.kind());
    EXPECT_EQ(v, e.value) << static_cast<int>(e.value.kind());
  }
  VValue third;
  ASSERT_TRUE(corvane::ReadValue(stream, VKind::Text, third));
  EXPECT_EQ(third.text(), u"CD");
}

TEST_F(ValueEncoding, AnAbsurdLengthIsAStreamErrorNotAnAllocation) {
  ScriptedServer server;
  ConnectTo(server);
  // A blob claiming 2 GiB - 1 bytes, then the link closes.
  ScriptedServer::Step step{Id(1) + " FETCH\r\n\r\n", OkReply(Id(1)) + B({0xFF, 0xFF, 0xFF, 0x7F, 1, 2})};
  step.close_after = true;
  server.Then(step);
  auto& buffer = conn().session.own_buffer;
  ASSERT_EQ(kestrion::SendRequest(conn(), buffer, "FETCH"), SQL_SUCCESS);
  kestrion::ConnectionStream stream(conn(), buffer);
  VValue v;
  EXPECT_FALSE(corvane::ReadValue(stream, VKind::Blob, v));
  EXPECT_FALSE(stream.ok());
}

}  // namespace
