// SQLGetInfoW through the exported function: every answered type in its form
// and length, the connection- and version-dependent answers, the buffer
// checks, cut text, and the refusal of everything else.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "driver/connection.h"
#include "driver/environment.h"
#include "driver/odbc.h"
#include "driver/registry.h"
#include "tests/support/dev_server.h"
#include "toolbox/vstring.h"

namespace {

using kestrion::CHConnection;
using kestrion::CHEnvironment;
using kestrion::HandleKind;
using kestrion::HandleRegistry;

// Every diagnostic of a connection, for failure messages.
std::string AllDiagnostics(SQLHDBC dbc) {
  std::string out;
  for (SQLSMALLINT i = 1;; ++i) {
    SQLWCHAR state[6] = {0};
    SQLWCHAR message[512] = {0};
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    if (!SQL_SUCCEEDED(
            SQLGetDiagRecW(SQL_HANDLE_DBC, dbc, i, state, &native, message, 512, &len))) {
      return out;
    }
    out += corvane::VString(reinterpret_cast<char16_t*>(state)).ToUtf8() + " " +
           corvane::VString(reinterpret_cast<char16_t*>(message)).ToUtf8() + "\n";
  }
}

struct Diagnostic {
  std::u16string state;
  std::u16string text;
};

Diagnostic FirstDiagnostic(SQLHDBC dbc, SQLSMALLINT record = 1) {
  SQLWCHAR state[6] = {0};
  SQLWCHAR text[512] = {0};
  SQLINTEGER native = 0;
  SQLSMALLINT len = 0;
  if (SQLGetDiagRecW(SQL_HANDLE_DBC, dbc, record, state, &native, text, 512, &len) != SQL_SUCCESS) {
    return {};
  }
  return {reinterpret_cast<char16_t*>(state), reinterpret_cast<char16_t*>(text)};
}

// Answered numbers, grouped by value as the driver documents them.
struct NumberGroup {
  int bits;
  uint32_t value;
  std::vector<uint16_t> ids;
};

const std::vector<NumberGroup>& NumberGroups() {
  static const std::vector<NumberGroup> groups = {
      {16, 0, {0, 1, 22, 31, 34, 84, 85, 97, 98, 99, 100, 101, 106, 114}},
      {16, 1, {75, 116}},
      {16, 2, {9, 15, 23, 24, 46, 74, 88}},
      {16, 4, {28, 93}},
      {16, 30, {30, 32, 35, 107, 10005}},
      {16, 92, {33}},
      {32, 0, {26,  43,  51,  54,  69,  71,  83,  91,  92,  96,  102, 104, 105,  108,   112,
               117, 124, 127, 128, 129, 130, 131, 133, 134, 136, 137, 138, 139,  140,   142,
               145, 147, 148, 149, 151, 156, 157, 158, 162, 163, 168, 173, 1750, 10021, 10022}},
      {32, 1, {8, 79, 141, 143, 146, 10001}},
      {32, 2, {120, 153, 166}},
      {32, 3, {80, 48, 121, 152, 154, 170, 172}},
      {32, 7, {78, 155}},
      {32, 8, {118}},
      {32, 10, {72}},
      {32, 15, {81, 165}},
      {32, 23, {95}},
      {32, 29, {82}},
      {32, 31, {44}},
      {32, 39, {115, 65003}},
      {32, 63, {159}},
      {32, 127, {169}},
      {32, 238, {164}},
      {32, 344, {161}},
      {32, 351, {109, 110}},
      {32, 769, {56}},
      {32, 4103, {119}},
      {32, 5633, {132}},
      {32, 7943, {160}},
      {32, 25595, {53, 58, 59, 60, 61, 62, 63, 64, 65, 68, 70}},
      {32, 29691, {55}},
      {32, 33537, {57}},
      {32, 91131, {66}},
      {32, 156667, {67}},
      {32, 495119, {144, 150, 167}},
      {32, 1074171, {123}},
      {32, 2072574, {52}},
      {32, 16547775, {50}},
      {32, 16777215, {49}},
      {32, 40, {86}},
  };
  return groups;
}

// Constant text answers.
const std::vector<std::pair<uint16_t, std::u16string>>& ConstantTexts() {
  static const std::vector<std::pair<uint16_t, std::u16string>> texts = {
      {6, u"ODBCKestrion.dll"},
      {7, u"18.00.0.0"},
      {11, u"N"},
      {14, u"\\"},
      {16, u""},
      {17, u"Kestrion"},
      {18, u"18.00.0000.0000"},
      {19, u"Y"},
      {20, u"Y"},
      {21, u"N"},
      {25, u"N"},
      {27, u"Y"},
      {29, u"`"},
      {36, u"Y"},
      {37, u"N"},
      {39, u"Owner"},
      {40, u"Procedure"},
      {41, u"."},
      {42, u""},
      {45, u"Table"},
      {73, u"Y"},
      {87, u"N"},
      {90, u"N"},
      {94, u""},
      {103, u"N"},
      {111, u"N"},
      {113, u"Y"},
      {10000, u"1995"},
      {10002, u"Y"},
      {10003, u"N"},
  };
  return texts;
}

// Text answers that depend on the connection or the environment.
const std::set<uint16_t> kComputedTexts = {2, 10, 13, 47, 77, 89, 10004};
constexpr uint16_t kAlterTable = 86;

struct GetInfo : ::testing::Test {
  SQLHENV env = nullptr;
  SQLHDBC dbc = nullptr;
  void SetUp() override {
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env), SQL_SUCCESS);
    ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_SUCCESS);
  }
  void TearDown() override {
    if (env != nullptr) SQLFreeHandle(SQL_HANDLE_ENV, env);
  }
  CHConnection& Connection() {
    return *HandleRegistry::FindAs<CHConnection>(dbc, HandleKind::Connection);
  }
  void SetOdbcVersion(int32_t version) {
    HandleRegistry::FindAs<CHEnvironment>(env, HandleKind::Environment)->odbc_version = version;
  }

  // Reads a text answer with a roomy buffer; checks success and the length.
  std::u16string Text(uint16_t type) {
    std::vector<SQLWCHAR> buffer(4096, 0xAAAA);
    SQLSMALLINT length = -1;
    SQLRETURN rc =
        SQLGetInfoW(dbc, type, buffer.data(), static_cast<SQLSMALLINT>(buffer.size() * 2), &length);
    EXPECT_EQ(rc, SQL_SUCCESS) << "type " << type;
    std::u16string text(reinterpret_cast<char16_t*>(buffer.data()));
    EXPECT_EQ(length, static_cast<SQLSMALLINT>(text.size() * 2)) << "type " << type;
    return text;
  }
  uint32_t Number(uint16_t type, int bits) {
    unsigned char buffer[8];
    std::memset(buffer, 0xAA, sizeof buffer);
    SQLSMALLINT length = -1;
    EXPECT_EQ(SQLGetInfoW(dbc, type, buffer, sizeof buffer, &length), SQL_SUCCESS) << type;
    EXPECT_EQ(length, bits / 8) << "type " << type;
    // Nothing beyond the integer is touched.
    for (int i = bits / 8; i < 8; ++i) EXPECT_EQ(buffer[i], 0xAA) << "type " << type;
    if (bits == 16) {
      uint16_t v;
      std::memcpy(&v, buffer, 2);
      return v;
    }
    uint32_t v;
    std::memcpy(&v, buffer, 4);
    return v;
  }
};

TEST_F(GetInfo, NumbersInTheirForms) {
  for (const NumberGroup& g : NumberGroups()) {
    for (uint16_t id : g.ids) EXPECT_EQ(Number(id, g.bits), g.value) << "type " << id;
  }
  // Named cross-checks of a few well-known ones.
  EXPECT_EQ(Number(SQL_TXN_CAPABLE, 16), 2u);
  EXPECT_EQ(Number(SQL_MAX_COLUMN_NAME_LEN, 16), 30u);
  EXPECT_EQ(Number(SQL_GETDATA_EXTENSIONS, 32), 0xFu);
  EXPECT_EQ(Number(SQL_OJ_CAPABILITIES, 32), 0x27u);
  EXPECT_EQ(Number(SQL_CONVERT_TIMESTAMP, 32), 0x263FBu);
}

TEST_F(GetInfo, ConstantTexts) {
  for (const auto& [id, text] : ConstantTexts()) EXPECT_EQ(Text(id), text) << "type " << id;
}

TEST_F(GetInfo, EveryOtherTypeIsRefused) {
  std::set<uint16_t> answered = kComputedTexts;
  answered.insert(kAlterTable);
  for (const auto& [id, text] : ConstantTexts()) answered.insert(id);
  for (const NumberGroup& g : NumberGroups()) answered.insert(g.ids.begin(), g.ids.end());
  ASSERT_EQ(answered.size(), 173u);

  unsigned char buffer[64];
  for (uint32_t id = 0; id <= 0xFFFF; ++id) {
    if (answered.count(static_cast<uint16_t>(id))) continue;
    SQLSMALLINT length = -7;
    ASSERT_EQ(SQLGetInfoW(dbc, static_cast<SQLUSMALLINT>(id), buffer, sizeof buffer, &length),
              SQL_ERROR)
        << "type " << id;
    ASSERT_EQ(length, -7) << "type " << id;
  }
  // The handle functions, the outer join bits of ODBC 2 and the wide
  // conversions are among them, with the message of their own.
  for (uint16_t id : {3, 4, 5, 12, 38, 76, 122, 125, 126, 135, 171}) {
    EXPECT_EQ(SQLGetInfoW(dbc, id, buffer, sizeof buffer, nullptr), SQL_ERROR);
    Diagnostic d = FirstDiagnostic(dbc);
    EXPECT_EQ(d.state, u"HY024");
    EXPECT_EQ(d.text, u"Invalid attribute value:\nInvalid attribute value.");
  }
}

TEST_F(GetInfo, ConnectionAnswersBeforeAndAfterSettings) {
  // A connection that never connected answers the defaults.
  EXPECT_EQ(Text(SQL_SERVER_NAME), u"127.0.0.1:19812");
  EXPECT_EQ(Text(SQL_DATA_SOURCE_NAME), u"DEFAULT");
  EXPECT_EQ(Text(SQL_USER_NAME), u"");
  EXPECT_EQ(Text(SQL_COLLATION_SEQ), u"UTF-8");

  CHConnection& c = Connection();
  c.session.server_address = u"db-host.invalid";
  c.session.port = 65535;
  c.session.data_source_name = u"Sales \u00e9t\u00e9";
  c.session.user_name = u"alice";
  c.charset = kestrion::Charset::Local;
  EXPECT_EQ(Text(SQL_SERVER_NAME), u"db-host.invalid:65535");
  c.session.port = 0;
  EXPECT_EQ(Text(SQL_SERVER_NAME), u"db-host.invalid:0");
  EXPECT_EQ(Text(SQL_DATA_SOURCE_NAME), u"Sales \u00e9t\u00e9");
  EXPECT_EQ(Text(SQL_USER_NAME), u"alice");
  EXPECT_EQ(Text(SQL_COLLATION_SEQ), u"ISO 8859-1");
}

// The connection answers follow a real login and go back to the defaults at
// disconnect.
TEST_F(GetInfo, ConnectionAnswersAfterLogin) {
  kestrion_test::DevServer server({"--user", "ann:secret"});
  ASSERT_TRUE(server.ok()) << server.error();
  corvane::VString text =
      corvane::VString::FromUtf8("DSN=*;Server=127.0.0.1;Port=" + std::to_string(server.port()) +
                                 ";UID=ann;PWD=secret;CharsEncoding=System;LoginTimeout=5");
  ASSERT_TRUE(
      SQL_SUCCEEDED(SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(text.data()),
                                      SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT)))
      << AllDiagnostics(dbc);
  EXPECT_EQ(Text(SQL_SERVER_NAME),
            u"127.0.0.1:" + corvane::VString::FromUtf8(std::to_string(server.port())));
  EXPECT_EQ(Text(SQL_USER_NAME), u"ann");
  EXPECT_EQ(Text(SQL_DATA_SOURCE_NAME), u"DEFAULT");
  EXPECT_EQ(Text(SQL_COLLATION_SEQ), u"ISO 8859-1");
  ASSERT_EQ(SQLDisconnect(dbc), SQL_SUCCESS);
  EXPECT_EQ(Text(SQL_SERVER_NAME), u"127.0.0.1:19812");
  EXPECT_EQ(Text(SQL_USER_NAME), u"");
}

TEST_F(GetInfo, OdbcVersionAnswers) {
  EXPECT_EQ(Text(SQL_DRIVER_ODBC_VER), u"03.52");
  EXPECT_EQ(Text(SQL_ODBC_VER), u"03.52.0000");
  EXPECT_EQ(Number(SQL_ALTER_TABLE, 32), 40u);
  ASSERT_EQ(
      SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC2), 0),
      SQL_SUCCESS);
  EXPECT_EQ(Text(SQL_DRIVER_ODBC_VER), u"02.00");
  EXPECT_EQ(Text(SQL_ODBC_VER), u"02.00.0000");
  EXPECT_EQ(Number(SQL_ALTER_TABLE, 32), 3u);
  ASSERT_EQ(
      SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
      SQL_SUCCESS);
  EXPECT_EQ(Text(SQL_ODBC_VER), u"03.52.0000");
  // Should the environment ever accept ODBC 3.8 behaviour, it answers as 3.
  SetOdbcVersion(SQL_OV_ODBC3_80);
  EXPECT_EQ(Text(SQL_DRIVER_ODBC_VER), u"03.52");
  EXPECT_EQ(Number(SQL_ALTER_TABLE, 32), 40u);
}

TEST_F(GetInfo, KeywordListInItsOwnOrder) {
  const std::u16string keywords = Text(SQL_KEYWORDS);
  std::vector<std::u16string> words;
  for (size_t start = 0;;) {
    size_t comma = keywords.find(u',', start);
    words.push_back(keywords.substr(start, comma - start));
    if (comma == std::u16string::npos) break;
    start = comma + 1;
  }
  ASSERT_EQ(words.size(), 242u);
  EXPECT_EQ(keywords.size(), 1734u);
  EXPECT_EQ(words.front(), u"ABSOLUTE");
  EXPECT_EQ(words.back(), u"ZONE");
  auto index = [&](std::u16string_view w) {
    for (size_t i = 0; i < words.size(); ++i) {
      if (words[i] == w) return static_cast<long>(i);
    }
    return -1L;
  };
  // Not sorted: these follow the words they were added after.
  EXPECT_EQ(index(u"BOOLEAN"), index(u"CATALOG") + 1);
  EXPECT_EQ(index(u"BLOB"), index(u"BOOLEAN") + 1);
  EXPECT_EQ(index(u"CLOB"), index(u"BLOB") + 1);
  EXPECT_EQ(index(u"INT8"), index(u"ISOLATION") + 1);
  EXPECT_EQ(index(u"INT64"), index(u"INT8") + 3);
  EXPECT_EQ(index(u"LIMIT"), index(u"LOWER") + 1);
  EXPECT_EQ(index(u"TEXT"), index(u"TIMEZONE_MINUTE") + 1);
  EXPECT_EQ(index(u"END-EXEC"), index(u"END") + 1);
  EXPECT_EQ(keywords.find(u' '), std::u16string::npos);
}

TEST_F(GetInfo, CutTextKeepsWholeCharacters) {
  SQLWCHAR buffer[16];
  SQLSMALLINT length = -1;
  // 20 bytes: nine characters and the terminator.
  std::memset(buffer, 0xAA, sizeof buffer);
  EXPECT_EQ(SQLGetInfoW(dbc, SQL_KEYWORDS, buffer, 20, &length), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(buffer)), u"ABSOLUTE,");
  EXPECT_EQ(length, 18);
  EXPECT_EQ(buffer[10], 0xAAAA);
  EXPECT_EQ(FirstDiagnostic(dbc).state, u"01004");

  // An odd byte count: the last byte is not half a character.
  std::memset(buffer, 0xAA, sizeof buffer);
  EXPECT_EQ(SQLGetInfoW(dbc, SQL_KEYWORDS, buffer, 21, &length), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(buffer)), u"ABSOLUTE,");
  EXPECT_EQ(length, 18);
  EXPECT_EQ(reinterpret_cast<unsigned char*>(buffer)[20], 0xAA);

  // Two bytes hold only the terminator.
  EXPECT_EQ(SQLGetInfoW(dbc, SQL_DBMS_NAME, buffer, 2, &length), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(length, 0);

  // "Kestrion" needs 18 bytes: exactly that fits, one less is cut.
  EXPECT_EQ(SQLGetInfoW(dbc, SQL_DBMS_NAME, buffer, 18, &length), SQL_SUCCESS);
  EXPECT_EQ(length, 16);
  EXPECT_TRUE(FirstDiagnostic(dbc).state.empty());
  EXPECT_EQ(SQLGetInfoW(dbc, SQL_DBMS_NAME, buffer, 17, &length), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(buffer)), u"Kestrio");
  EXPECT_EQ(length, 14);

  // An empty answer needs only its terminator.
  EXPECT_EQ(SQLGetInfoW(dbc, SQL_CATALOG_TERM, buffer, 2, &length), SQL_SUCCESS);
  EXPECT_EQ(length, 0);
}

TEST_F(GetInfo, BufferChecksComeFirst) {
  SQLSMALLINT length = -7;
  // A null output buffer is refused for every type, answered or not.
  for (uint16_t id :
       std::initializer_list<uint16_t>{SQL_DBMS_NAME, SQL_MAX_DRIVER_CONNECTIONS,
                                       SQL_NUMERIC_FUNCTIONS, SQL_OUTER_JOINS, 4242}) {
    EXPECT_EQ(SQLGetInfoW(dbc, id, nullptr, 100, &length), SQL_ERROR);
    Diagnostic d = FirstDiagnostic(dbc);
    EXPECT_EQ(d.state, u"HY090");
    EXPECT_EQ(d.text, u"Invalid string or buffer length:\nYou provided a NULL output buffer.");
    EXPECT_EQ(length, -7);
  }
  // A length of zero or less is refused even for the integer forms.
  uint32_t value = 0xAAAAAAAA;
  for (SQLSMALLINT bad : {0, -1, -32768}) {
    EXPECT_EQ(SQLGetInfoW(dbc, SQL_MAX_DRIVER_CONNECTIONS, &value, bad, &length), SQL_ERROR);
    Diagnostic d = FirstDiagnostic(dbc);
    EXPECT_EQ(d.state, u"HY090");
    EXPECT_EQ(d.text, u"Invalid string or buffer length:\nYou provided a minus buffer length.");
    EXPECT_EQ(length, -7);
    EXPECT_EQ(value, 0xAAAAAAAA);
  }
  // One byte is too small for a text answer, which then writes no length.
  SQLWCHAR text[4] = {0x4141, 0x4141, 0, 0};
  EXPECT_EQ(SQLGetInfoW(dbc, SQL_DBMS_NAME, text, 1, &length), SQL_ERROR);
  EXPECT_EQ(FirstDiagnostic(dbc).state, u"HY090");
  EXPECT_EQ(length, -7);
  EXPECT_EQ(text[0], 0x4141);
  // The integer forms do not need BufferLength to cover them.
  EXPECT_EQ(SQLGetInfoW(dbc, SQL_NUMERIC_FUNCTIONS, &value, 1, &length), SQL_SUCCESS);
  EXPECT_EQ(value, 0xFFFFFFu);
  EXPECT_EQ(length, 4);
  // No length pointer is fine.
  EXPECT_EQ(SQLGetInfoW(dbc, SQL_DBMS_NAME, text, 4, nullptr), SQL_SUCCESS_WITH_INFO);
}

TEST_F(GetInfo, WantsAConnectionHandle) {
  unsigned char buffer[16];
  EXPECT_EQ(SQLGetInfoW(nullptr, SQL_DBMS_NAME, buffer, 16, nullptr), SQL_INVALID_HANDLE);
  EXPECT_EQ(SQLGetInfoW(env, SQL_DBMS_NAME, buffer, 16, nullptr), SQL_INVALID_HANDLE);
  SQLHSTMT stmt = nullptr;
  ASSERT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
  EXPECT_EQ(SQLGetInfoW(stmt, SQL_DBMS_NAME, buffer, 16, nullptr), SQL_INVALID_HANDLE);
}

// Diagnostics of an earlier call do not survive the next one.
TEST_F(GetInfo, EachCallStartsClean) {
  unsigned char buffer[16];
  EXPECT_EQ(SQLGetInfoW(dbc, SQL_OUTER_JOINS, buffer, 16, nullptr), SQL_ERROR);
  EXPECT_EQ(SQLGetInfoW(dbc, SQL_TXN_CAPABLE, buffer, 16, nullptr), SQL_SUCCESS);
  EXPECT_TRUE(FirstDiagnostic(dbc).state.empty());
}

}  // namespace
