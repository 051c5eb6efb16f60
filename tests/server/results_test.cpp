// Statements, results, paging, value layouts and transactions.
#include <gtest/gtest.h>

#include "tests/server/raw_client.h"
#include "tests/support/dev_server.h"
#include "toolbox/base64.h"
#include "toolbox/value_codec.h"

using namespace kestrion_test;
using corvane::VKind;
using Bytes = std::vector<std::uint8_t>;

namespace {

class ServerResults : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new DevServer(); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(server_->ok()) << server_->error();
    client_ = std::make_unique<RawClient>(server_->port());
    ASSERT_TRUE(client_->Login().ok);
  }
  RawClient& c() { return *client_; }
  // Runs statements that answer update counts, checking success.
  void Run(const std::string& sql) {
    RawReply r = c().Execute(sql);
    ASSERT_TRUE(r.ok) << sql << "\n" << r.header;
    int results = static_cast<int>(r.List("Result-Type").size());
    if (results > 0 && r.List("Result-Type")[0] == "Update-Count") c().ReadBytesExact(4);
  }
  static DevServer* server_;
  std::unique_ptr<RawClient> client_;
};
DevServer* ServerResults::server_ = nullptr;

// The layouts of one value of every kind, in the column order of the tests
// below: text "AB", empty text, byte -2, true, long 1, long8 -1,
// 2024-03-01 00:00:01.5, empty blob, decimal 1.5, word -300, real 1.0,
// duration 3723004 ms, a UUID.
const std::vector<Bytes>& EveryKindCells() {
  static const std::vector<Bytes> cells = {
      {0xFE, 0xFF, 0xFF, 0xFF, 0x41, 0x00, 0x42, 0x00},
      {0x00, 0x00, 0x00, 0x00},
      {0xFE, 0xFF},
      {0x01, 0x00},
      {0x01, 0x00, 0x00, 0x00},
      Bytes(8, 0xFF),
      {0xE8, 0x07, 0x03, 0x01, 0xDC, 0x05, 0x00, 0x00},
      {0x00, 0x00, 0x00, 0x00},
      {0x01, 0x00, 0x00, 0x00, 0x01, 0x02, 0x00, 0x00, 0x00, 0x0F, 0x00},
      {0xD4, 0xFE},
      {0, 0, 0, 0, 0, 0, 0xF0, 0x3F},
      {0xFC, 0xCE, 0x38, 0x00, 0, 0, 0, 0},
      {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
  };
  return cells;
}

}  // namespace

TEST_F(ServerResults, PagingKeepsTheResultAndClampsTheRange) {
  Run("create table paging(n INTEGER, label VARCHAR(10))");
  Run("with recursive k(i) as (select 0 union all select i + 1 from k where i < 249) "
      "insert into paging select i, 'row ' || i from k");
  RawReply r = c().Execute("select n, label from paging order by n", 100);
  ASSERT_TRUE(r.ok) << r.header;
  EXPECT_EQ(r.Field("Row-Count"), "250");
  EXPECT_EQ(r.Field("Row-Count-Sent"), "100");
  EXPECT_EQ(r.Field("Column-Types"), "VK_LONG VK_TEXT");
  EXPECT_EQ(r.Field("Column-Updateability"), "Y Y");
  std::string id = r.Field("Statement-ID");
  // Updatable: each row starts with its row id.
  std::vector<VKind> kinds = {VKind::Long, VKind::Long, VKind::Text};
  auto rows = c().ReadRows(100, kinds);
  ASSERT_EQ(rows.size(), 100u);
  EXPECT_EQ(rows[99][1].integer(), 99);
  EXPECT_EQ(rows[99][2].text(), u"row 99");
  // The data changes, the kept result does not.
  Run("delete from paging where n >= 100");
  r = c().Request("FETCH-RESULT", {"STATEMENT-ID: " + id, "COMMAND-INDEX: 0", "FIRST-ROW-INDEX: 100",
                                   "LAST-ROW-INDEX: 199", "OUTPUT-MODE: RELEASE"});
  ASSERT_TRUE(r.ok) << r.header;
  EXPECT_EQ(r.Field("Row-Count-Sent"), "100");
  rows = c().ReadRows(100, kinds);
  ASSERT_EQ(rows.size(), 100u);
  EXPECT_EQ(rows[0][1].integer(), 100);
  EXPECT_EQ(rows[99][1].integer(), 199);
  EXPECT_EQ(rows[99][0].integer(), 200);  // row id
  // Past the end: clamped.
  r = c().Request("FETCH-RESULT", {"STATEMENT-ID: " + id, "COMMAND-INDEX: 0", "FIRST-ROW-INDEX: 240",
                                   "LAST-ROW-INDEX: 400", "OUTPUT-MODE: RELEASE"});
  EXPECT_EQ(r.Field("Row-Count-Sent"), "10");
  rows = c().ReadRows(10, kinds);
  EXPECT_EQ(rows[9][1].integer(), 249);
  // CLOSE-STATEMENT forgets it.
  EXPECT_TRUE(c().Request("CLOSE-STATEMENT", {"STATEMENT-ID: " + id}).ok);
  r = c().Request("FETCH-RESULT", {"STATEMENT-ID: " + id, "COMMAND-INDEX: 0", "FIRST-ROW-INDEX: 0",
                                   "LAST-ROW-INDEX: 9", "OUTPUT-MODE: RELEASE"});
  EXPECT_EQ(r.Field("Error-Code"), "3006");
  // The row id travels in front, yet positional ORDER BY keeps its meaning.
  r = c().Execute("select label, n from paging order by 2 desc limit 1");
  ASSERT_TRUE(r.ok) << r.header;
  rows = c().ReadRows(1, {VKind::Long, VKind::Text, VKind::Long});
  EXPECT_EQ(rows[0][0].integer(), 100);
  EXPECT_EQ(rows[0][2].integer(), 99);
  // A page size that is no number means 100.
  r = c().Execute("select n from paging", 0);
  EXPECT_EQ(r.Field("Row-Count-Sent"), "100");
}

// Rows are held as SQLite gave them and encoded page by page: rows larger
// than the server's blocks of held memory, NULLs, blobs and columns whose
// kind comes from the values read back whole, in any page order, as often
// as asked.
TEST_F(ServerResults, LargeRowsReadBackInAnyPageOrder) {
  Run("create table wide(n INTEGER, big TEXT, b BLOB)");
  // Rows of 0 to 600 000 characters: some fill several blocks on their own.
  Run("with recursive k(i) as (select 0 union all select i + 1 from k where i < 39) "
      "insert into wide select i, case when i % 7 = 3 then null else "
      "substr(replace(hex(zeroblob(300000)), '0', char(65 + i % 26)), 1, (i * 15401) % 600001) end, "
      "case when i % 5 = 0 then zeroblob(i) else x'00ff' end from k");
  const std::string sql = "select n, big, b, n * 2.5 from wide order by n";
  RawReply r = c().Execute(sql, 10);
  ASSERT_TRUE(r.ok) << r.header;
  EXPECT_EQ(r.Field("Row-Count"), "40");
  const std::string id = r.Field("Statement-ID");
  EXPECT_EQ(r.Field("Column-Types"), "VK_LONG VK_TEXT VK_BLOB VK_REAL");
  // The expression makes the result read-only: no row id in front.
  EXPECT_EQ(r.Field("Column-Updateability"), "N N N N");
  const std::vector<VKind> kinds = {VKind::Long, VKind::Text, VKind::Blob, VKind::Real};
  const auto check = [&](const std::vector<std::vector<corvane::VValue>>& rows, int first) {
    for (std::size_t k = 0; k < rows.size(); ++k) {
      const int i = first + static_cast<int>(k);
      ASSERT_EQ(rows[k][0].integer(), i);
      if (i % 7 == 3) {
        EXPECT_TRUE(rows[k][1].is_null()) << i;
      } else {
        const std::size_t length = static_cast<std::size_t>((i * 15401) % 600001);
        const std::u16string& text = rows[k][1].text();
        ASSERT_EQ(text.size(), std::min<std::size_t>(length, 600000)) << i;
        EXPECT_EQ(text.find_first_not_of(static_cast<char16_t>(u'A' + i % 26)), std::u16string::npos) << i;
      }
      EXPECT_EQ(rows[k][2].bytes().size(), i % 5 == 0 ? static_cast<std::size_t>(i) : 2u) << i;
      EXPECT_EQ(rows[k][3].real(), i * 2.5);
    }
  };
  check(c().ReadRows(10, kinds), 0);
  for (int first : {30, 10, 35, 0, 20}) {
    r = c().Request("FETCH-RESULT", {"STATEMENT-ID: " + id, "COMMAND-INDEX: 0",
                                     "FIRST-ROW-INDEX: " + std::to_string(first),
                                     "LAST-ROW-INDEX: " + std::to_string(first + 9), "OUTPUT-MODE: RELEASE"});
    ASSERT_TRUE(r.ok) << r.header;
    const int count = std::min(10, 40 - first);
    ASSERT_EQ(r.Field("Row-Count-Sent"), std::to_string(count));
    check(c().ReadRows(count, kinds), first);
  }
}

TEST_F(ServerResults, BatchOfRowSetAndUpdateCounts) {
  Run("create table batch(a INT, b TEXT)");
  RawReply r = c().Execute(
      "insert into batch values (1, 'x'), (2, 'y'), (3, 'z'); select a, b, a * 2 as \"twice a\" from batch "
      "order by a; update batch set b = 'w' where a > 1; select count(*) from batch",
      100);
  ASSERT_TRUE(r.ok) << r.header;
  EXPECT_EQ(r.Field("Result-Type"), "Update-Count Row-Set Update-Count Row-Set");
  EXPECT_EQ(r.Field("Column-Count"), "1 3 1 1");
  EXPECT_EQ(r.Field("Row-Count"), "3 3 2 1");
  EXPECT_EQ(r.Field("Column-Aliases"), "Update-Count a b \"twice a\" Update-Count count(*)");
  EXPECT_EQ(r.Field("Column-Types"), "VK_LONG VK_LONG VK_TEXT VK_LONG8 VK_LONG VK_LONG8");
  EXPECT_EQ(r.Field("Row-Count-Sent"), "0");
  EXPECT_EQ(c().ReadBytesExact(4), (Bytes{3, 0, 0, 0}));
  // The second result (index 1) is fetched by its command index.
  std::string id = r.Field("Statement-ID");
  r = c().Request("FETCH-RESULT", {"STATEMENT-ID: " + id, "COMMAND-INDEX: 1", "FIRST-ROW-INDEX: 0",
                                   "LAST-ROW-INDEX: 2", "OUTPUT-MODE: RELEASE"});
  ASSERT_TRUE(r.ok);
  auto rows = c().ReadRows(3, {VKind::Long, VKind::Text, VKind::Long8});
  EXPECT_EQ(rows[2][2].integer(), 6);
  EXPECT_EQ(rows[0][1].text(), u"x");  // the batch ran in order: update came later
  r = c().Request("FETCH-RESULT", {"STATEMENT-ID: " + id, "COMMAND-INDEX: 3", "FIRST-ROW-INDEX: 0",
                                   "LAST-ROW-INDEX: 0", "OUTPUT-MODE: RELEASE"});
  EXPECT_EQ(c().ReadRows(1, {VKind::Long8})[0][0].integer(), 3);
  // PREPARE describes without running, and stops at a statement that needs
  // an earlier one to have run.
  r = c().Prepare("select a from batch; create table later(x INT); select x from later");
  ASSERT_TRUE(r.ok) << r.header;
  EXPECT_EQ(r.Field("Result-Type"), "Row-Set Update-Count");
  EXPECT_EQ(r.Field("Row-Count"), "");
  EXPECT_FALSE(c().Execute("select * from later").ok);
  // An error in the first statement is an error reply.
  EXPECT_EQ(c().Prepare("selec 1").Field("Error-Code"), "4001");
}

TEST_F(ServerResults, EncoderWritesTheLayoutOfEveryKind) {
  Run("create table kinds(t VARCHAR(10), e TEXT, y TINYINT, b BOOLEAN, l INT, l8 BIGINT, ts TIMESTAMP, "
      "bl BLOB, d DECIMAL(5,2), w SMALLINT, r REAL, du TIME, u UUID, dt DATE)");
  Run("insert into kinds values ('AB', '', -2, 1, 1, -1, '2024-03-01 00:00:01.5', x'', 1.5, -300, 1.0, "
      "3723004, '00010203-0405-0607-0809-0a0b0c0d0e0f', '2024-03-01')");
  RawReply r = c().Execute("select t, e, y, b, l, l8, ts, bl, d, w, r, du, u, dt from kinds", 100);
  ASSERT_TRUE(r.ok) << r.header;
  EXPECT_EQ(r.Field("Column-Types"),
            "VK_TEXT VK_TEXT VK_BYTE VK_BOOLEAN VK_LONG VK_LONG8 VK_TIME VK_BLOB VK_FLOAT VK_WORD VK_REAL "
            "VK_DURATION VK_UUID VK_TIME");
  Bytes expected = {'1', 1, 0, 0, 0};  // row id 1
  auto add = [&](Bytes b) {
    expected.push_back('1');
    expected.insert(expected.end(), b.begin(), b.end());
  };
  for (const Bytes& cell : EveryKindCells()) add(cell);
  add({0xE8, 0x07, 0x03, 0x01, 0x00, 0x00, 0x00, 0x00});
  EXPECT_EQ(c().ReadBytesExact(expected.size()), expected);
}

TEST_F(ServerResults, DecoderReadsEveryKindFromAParameterBody) {
  Run("create table params(t VARCHAR(10), e TEXT, y TINYINT, b BOOLEAN, l INT, l8 BIGINT, ts TIMESTAMP, "
      "bl BLOB, d DECIMAL(5,2), w SMALLINT, r REAL, du TIME, u UUID, t3 TEXT, n INT)");
  Bytes body;
  auto add = [&](Bytes b) {
    body.push_back('1');
    body.insert(body.end(), b.begin(), b.end());
  };
  for (const Bytes& cell : EveryKindCells()) add(cell);
  add({2, 0, 0, 0, 1, 0, 0, 0, 'h', 0, 'i', 0, 0, 0});  // third text form
  body.push_back('0');                                   // NULL
  RawReply r = c().Execute("insert into params values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)", 100,
                           " VK_TEXT VK_TEXT VK_BYTE VK_BOOLEAN VK_LONG VK_LONG8 VK_TIME VK_BLOB VK_FLOAT VK_WORD "
                           "VK_REAL VK_DURATION VK_UUID VK_STRING",
                           body);
  ASSERT_TRUE(r.ok) << r.header;
  EXPECT_EQ(c().ReadBytesExact(4), (Bytes{1, 0, 0, 0}));
  r = c().Execute(
      "select quote(t) || ',' || quote(e) || ',' || quote(y) || ',' || quote(b) || ',' || quote(l) || ',' || "
      "quote(l8) || ',' || quote(ts) || ',' || quote(bl) || ',' || quote(d) || ',' || quote(w) || ',' || "
      "quote(r) || ',' || quote(du) || ',' || quote(u) || ',' || quote(t3) || ',' || quote(n) from params");
  ASSERT_TRUE(r.ok) << r.header;
  auto rows = c().ReadRows(1, {VKind::Text});
  EXPECT_EQ(rows[0][0].text().ToUtf8(),
            "'AB','',-2,1,1,-1,'2024-03-01 00:00:01.500',X'',1.5,-300,1.0,3723004,"
            "'00010203-0405-0607-0809-0a0b0c0d0e0f','hi',NULL");
}

TEST_F(ServerResults, UnrepresentableValuesAreFlaggedNotChanged) {
  Run("create table odd(i INT, b TINYINT, t TIMESTAMP, f BOOLEAN, x)");
  Run("insert into odd values (5000000000, 300, 'not a date', 7, 1), (1, 1, '2024-02-30', 1, 'mixed')");
  RawReply r = c().Execute("select i, b, t, f, x from odd order by _rowid_");
  ASSERT_TRUE(r.ok) << r.header;
  // The undeclared column holds an integer and a text: VK_TEXT.
  EXPECT_EQ(r.Field("Column-Types"), "VK_LONG VK_BYTE VK_TIME VK_BOOLEAN VK_TEXT");
  Bytes row1 = c().ReadBytesExact(5 + 4 * 5 + 1 + 4 + 2);
  Bytes expected = {'1', 1, 0, 0, 0, '2', 1, 0, 0, 0, '2', 1, 0, 0, 0, '2', 3, 0, 0, 0, '2', 1, 0, 0, 0,
                    '1', 0xFF, 0xFF, 0xFF, 0xFF, '1', 0};
  EXPECT_EQ(row1, expected);
  auto rows = c().ReadRows(1, {VKind::Long, VKind::Long, VKind::Byte, VKind::Unknown, VKind::Boolean, VKind::Text});
  EXPECT_EQ(rows[0][2].integer(), 1);
  EXPECT_EQ(rows[0][3].kind(), VKind::Unknown);  // 30 February
  EXPECT_EQ(rows[0][5].text(), u"mixed");
  // Decimals of up to 15 significant digits come back digit for digit.
  Run("create table exact(d DECIMAL(30,10))");
  Bytes body = {'1', 10, 0, 0, 0, 1, 15, 0, 0, 0, 12, 34, 56, 78, 90, 12, 34, 50, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_TRUE(c().Execute("insert into exact values (?)", 100, " VK_FLOAT", body).ok);
  c().ReadBytesExact(4);
  r = c().Execute("select d from exact");
  rows = c().ReadRows(1, {VKind::Long, VKind::Float});
  EXPECT_EQ(rows[0][1].decimal().ToText(), "1234567890.12345");
}

TEST_F(ServerResults, TransactionsAndParameterDescriptions) {
  Run("create table tx(id INTEGER PRIMARY KEY, name VARCHAR(20), at DATE, amount DECIMAL(8,2))");
  Run("COMMIT");    // nothing open: succeeds and does nothing
  Run("ROLLBACK");
  Run("START TRANSACTION");
  Run("insert into tx(name) values ('gone')");
  Run("ROLLBACK");
  Run("BEGIN");
  Run("insert into tx(name) values ('kept')");
  Run("COMMIT");
  RawReply r = c().Execute("select name from tx");
  EXPECT_EQ(r.Field("Row-Count"), "1");
  RawReply p = c().Prepare("insert into tx (name, at) values (?, ?)", true);
  EXPECT_EQ(p.Field("Parameter-Types"), "VK_TEXT VK_TIME");
  p = c().Prepare("insert into tx values (?, ?, ?, ?)", true);
  EXPECT_EQ(p.Field("Parameter-Types"), "VK_LONG VK_TEXT VK_TIME VK_FLOAT");
  p = c().Prepare("update tx set amount = ?, name = ? where id = ? and at > ?", true);
  EXPECT_EQ(p.Field("Parameter-Types"), "VK_FLOAT VK_TEXT VK_LONG VK_TIME");
  p = c().Prepare("select name from tx where id in (?, ?) and at between ? and ? limit ?", true);
  EXPECT_EQ(p.Field("Parameter-Types"), "VK_LONG VK_LONG VK_TIME VK_TIME VK_LONG");
  // The list ends at the first marker whose kind the text does not show.
  p = c().Prepare("select * from tx where name = ? and length(?) > 2 and id = ?", true);
  EXPECT_EQ(p.Field("Parameter-Types"), "VK_TEXT");
  // A NULL parameter, then a value: the line names the second one only.
  r = c().Execute("insert into tx (name, amount) values (?, ?)", 100, " VK_FLOAT",
                  {'0', '1', 2, 0, 0, 0, 1, 3, 0, 0, 0, 12, 50, 0});
  ASSERT_TRUE(r.ok) << r.header;
  c().ReadBytesExact(4);
  r = c().Execute("select amount from tx where name is null");
  auto rows = c().ReadRows(1, {VKind::Long, VKind::Float});
  EXPECT_EQ(rows[0][1].decimal().ToText(), "12.5");
}

TEST_F(ServerResults, AliasesRoundTripThroughTheTokenizer) {
  RawReply r = c().Execute("select 1 as \"two words\", 2 as [a \"b\" c], 3 as \"[x] y\", 4 as [ünï], 5 as \"\", "
                           "6 as \"it's x\", 7 as [\"q]");
  ASSERT_TRUE(r.ok) << r.header;
  // A non-ASCII alias sends the whole list in Base64.
  std::string b64 = r.Field("Column-Aliases-Base64");
  ASSERT_FALSE(b64.empty()) << r.header;
  RawReply decoded;
  decoded.header = "x\r\nA: " + *corvane::Base64DecodeText(b64) + "\r\n";
  EXPECT_EQ(decoded.List("A"), (std::vector<std::string>{"\"two words\"", "[a \"b\" c]", "\"[x] y\"", "ünï", "\"\"", "\"it's x\"",
                                      "[\"q]"}));
}

TEST_F(ServerResults, OtherDialectsTypeNamesMapToTheirKinds) {
  Run("create table dialects(b BIT, d2 DATETIME2(7), sd SMALLDATETIME, u UNIQUEIDENTIFIER, "
      "nm NVARCHAR(MAX), vm varchar ( max ), nt NTEXT, bm VARBINARY(Max), m MONEY, sm SMALLMONEY)");
  RawReply r = c().Execute("select * from dialects");
  ASSERT_TRUE(r.ok) << r.header;
  EXPECT_EQ(r.Field("Column-Types"),
            "VK_BOOLEAN VK_TIME VK_TIME VK_UUID VK_TEXT VK_TEXT VK_TEXT VK_BLOB VK_FLOAT VK_FLOAT");
  // The catalog reports the same kinds by their codes; "(MAX)" is unbounded.
  r = c().Execute("select [DATA_TYPE],[DATA_LENGTH] from [_USER_COLUMNS] "
                  "where [TABLE_NAME]='dialects' order by [COLUMN_ID]");
  ASSERT_TRUE(r.ok) << r.header;
  auto rows = c().ReadRows(10, {VKind::Long, VKind::Long});
  std::vector<std::int64_t> codes;
  for (const auto& row : rows) codes.push_back(row[0].integer());
  EXPECT_EQ(codes, (std::vector<std::int64_t>{1, 8, 8, 13, 14, 14, 14, 11, 7, 7}));
  EXPECT_EQ(rows[4][1].integer(), 2147483647);

  // "(MAX)" is a length only after those type names, and never inside a
  // literal or a quoted name.
  Run("create table max_kept([VARCHAR(MAX)] TEXT, \"max\" INTEGER)");
  Run("insert into max_kept values ('NVARCHAR(MAX) VARBINARY(MAX)', 1)");
  r = c().Execute("select [VARCHAR(MAX)], \"max\" from max_kept");
  ASSERT_TRUE(r.ok) << r.header;
  EXPECT_EQ(r.Field("Column-Types"), "VK_TEXT VK_LONG");
  rows = c().ReadRows(1, {VKind::Long, VKind::Text, VKind::Long});
  EXPECT_EQ(rows[0][1].text().ToUtf8(), "NVARCHAR(MAX) VARBINARY(MAX)");
  EXPECT_EQ(rows[0][2].integer(), 1);
}

TEST_F(ServerResults, OdbcEscapeClausesBecomeSqliteSql) {
  Run("create table escapes(n INTEGER, at TIMESTAMP, s TEXT)");
  Run("insert into escapes values (1, {ts '1998-05-11 12:13:01'}, '{d ''kept''}'), "
      "(2, {d '1998-05-12'}, {fn UPPER({fn LOWER('Ab')})})");
  RawReply r = c().Execute("select n, s from escapes where at > {ts '1998-05-11 00:00:00'} and "
                           "s like '%\\{%' {escape '\\'} order by n");
  ASSERT_TRUE(r.ok) << r.header;
  auto rows = c().ReadRows(1, {VKind::Long, VKind::Long, VKind::Text});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][1].integer(), 1);
  EXPECT_EQ(rows[0][2].text().ToUtf8(), "{d 'kept'}");  // braces inside a literal stay
  r = c().Execute("select s, at from escapes where n = 2");
  ASSERT_TRUE(r.ok) << r.header;
  rows = c().ReadRows(1, {VKind::Long, VKind::Text, VKind::Time});
  EXPECT_EQ(rows[0][1].text().ToUtf8(), "AB");
  EXPECT_EQ(rows[0][2].time().year, 1998);
  EXPECT_EQ(rows[0][2].time().day, 12);
  // Braces that open no escape are SQLite's to refuse.
  EXPECT_FALSE(c().Execute("select {x 1}").ok);
}
