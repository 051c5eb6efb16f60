// The system tables answer the driver's catalog queries, verbatim.
#include <gtest/gtest.h>

#include "tests/server/raw_client.h"
#include "tests/support/dev_server.h"

using namespace kestrion_test;
using corvane::VKind;

namespace {

class ServerCatalog : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new DevServer({"--sample"}); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(server_->ok()) << server_->error();
    client_ = std::make_unique<RawClient>(server_->port());
    ASSERT_TRUE(client_->Login().ok);
  }
  // Every row of a query's answer as texts ("NULL" for null).
  std::vector<std::vector<std::string>> Rows(const std::string& sql, std::string* types = nullptr) {
    RawReply r = client_->Execute(sql, 100000);
    EXPECT_TRUE(r.ok) << sql << "\n" << r.header;
    if (types) *types = r.Field("Column-Types");
    std::vector<VKind> kinds = KindsOf(r);
    auto rows = client_->ReadRows(std::stoul(r.Field("Row-Count-Sent")), kinds);
    std::vector<std::vector<std::string>> out;
    for (auto& row : rows) {
      std::vector<std::string> cells;
      for (auto& v : row) {
        if (v.is_null()) cells.push_back("NULL");
        else if (v.kind() == VKind::Text) cells.push_back(v.text().ToUtf8());
        else cells.push_back(std::to_string(v.integer()));
      }
      out.push_back(std::move(cells));
    }
    return out;
  }
  static DevServer* server_;
  std::unique_ptr<RawClient> client_;
};
DevServer* ServerCatalog::server_ = nullptr;
using Table = std::vector<std::vector<std::string>>;

}  // namespace

TEST_F(ServerCatalog, TablesViewsAndColumns) {
  std::string types;
  EXPECT_EQ(Rows("select [table_name],[temporary] from [_user_tables] order by [table_name]", &types),
            (Table{{"customers", "0"}, {"order_lines", "0"}, {"orders", "0"}, {"products", "0"}, {"returns", "0"}}));
  EXPECT_EQ(types, "VK_TEXT VK_BOOLEAN");
  EXPECT_EQ(Rows("select [table_name],[temporary] from [_user_tables] where [table_name]='orders'"),
            (Table{{"orders", "0"}}));
  EXPECT_EQ(Rows("select [view_name] from [_user_views] order by [view_name]"), (Table{{"order_totals"}}));
  Table cols = Rows("select [TABLE_NAME],[COLUMN_NAME],[DATA_TYPE],[NULLABLE],[COLUMN_ID],[DATA_LENGTH] from "
                    "[_USER_COLUMNS] where [TABLE_NAME]='customers' order by [COLUMN_ID]",
                    &types);
  EXPECT_EQ(types, "VK_TEXT VK_TEXT VK_LONG VK_BOOLEAN VK_LONG VK_LONG");
  ASSERT_EQ(cols.size(), 7u);
  EXPECT_EQ(cols[0], (std::vector<std::string>{"customers", "id", "4", "0", "1", "4"}));
  EXPECT_EQ(cols[1], (std::vector<std::string>{"customers", "name", "10", "0", "2", "80"}));
  EXPECT_EQ(cols[2], (std::vector<std::string>{"customers", "email", "10", "1", "3", "160"}));
  EXPECT_EQ(cols[3][2], "1");   // BOOLEAN
  EXPECT_EQ(cols[4][2], "8");   // TIMESTAMP
  EXPECT_EQ(cols[5][2], "14");  // TEXT
  EXPECT_EQ(cols[6][2], "13");  // UUID
  Table all = Rows("select [TABLE_NAME],[COLUMN_NAME],[DATA_TYPE],[NULLABLE],[COLUMN_ID],[DATA_LENGTH] from "
                   "[_USER_COLUMNS] order by [TABLE_NAME],[COLUMN_ID]");
  EXPECT_EQ(all.size(), 7u + 5u + 6u + 10u + 5u);
  Table view_cols = Rows("select [VIEW_NAME],[COLUMN_NAME],[DATA_TYPE],[NULLABLE],[DATA_LENGTH] from "
                         "[_USER_VIEW_COLUMNS] where [VIEW_NAME]='order_totals'");
  ASSERT_EQ(view_cols.size(), 4u);
  EXPECT_EQ(view_cols[1], (std::vector<std::string>{"order_totals", "customer", "10", "1", "80"}));
}

TEST_F(ServerCatalog, PrimaryAndForeignKeys) {
  // Primary keys: related table is the table itself, related columns the
  // key; the composite foreign key of returns relates to the same columns.
  EXPECT_EQ(Rows("select [_USER_CONSTRAINTS].[RELATED_TABLE_NAME],[_USER_CONS_COLUMNS].[RELATED_COLUMN_NAME],"
                 "[_USER_CONS_COLUMNS].[RELATED_COLUMN_ID] from [_USER_CONSTRAINTS],[_USER_CONS_COLUMNS] where "
                 "([_USER_CONSTRAINTS].[RELATED_TABLE_NAME]='order_lines' and "
                 "[_USER_CONS_COLUMNS].[CONSTRAINT_ID]=[_USER_CONSTRAINTS].[CONSTRAINT_ID]) order by "
                 "[_USER_CONSTRAINTS].[RELATED_TABLE_NAME],[_USER_CONS_COLUMNS].[RELATED_COLUMN_ID]"),
            (Table{{"order_lines", "order_id", "1"}, {"order_lines", "order_id", "1"},
                   {"order_lines", "line", "2"}, {"order_lines", "line", "2"}}));
  // Foreign keys of order_lines: to orders(id) and products(id).
  EXPECT_EQ(Rows("select [_USER_CONSTRAINTS].[RELATED_TABLE_NAME],[_USER_CONS_COLUMNS].[RELATED_COLUMN_NAME],"
                 "[_USER_CONS_COLUMNS].[TABLE_NAME],[_USER_CONS_COLUMNS].[COLUMN_NAME],[_USER_CONS_COLUMNS]."
                 "[COLUMN_ID] from [_USER_CONS_COLUMNS],[_USER_CONSTRAINTS] where "
                 "([_USER_CONS_COLUMNS].[CONSTRAINT_ID]=[_USER_CONSTRAINTS].[CONSTRAINT_ID] and "
                 "[_USER_CONS_COLUMNS].[TABLE_NAME]='order_lines' and [_USER_CONSTRAINTS].[RELATED_TABLE_NAME]='orders'"
                 ") order by [_USER_CONS_COLUMNS].[COLUMN_ID]"),
            (Table{{"orders", "id", "order_lines", "order_id", "1"}}));
  // The composite key of returns, in the order of the referring columns.
  EXPECT_EQ(Rows("select [_USER_CONSTRAINTS].[RELATED_TABLE_NAME],[_USER_CONS_COLUMNS].[RELATED_COLUMN_NAME],"
                 "[_USER_CONS_COLUMNS].[TABLE_NAME],[_USER_CONS_COLUMNS].[COLUMN_NAME],[_USER_CONS_COLUMNS]."
                 "[COLUMN_ID] from [_USER_CONS_COLUMNS],[_USER_CONSTRAINTS] where "
                 "([_USER_CONS_COLUMNS].[CONSTRAINT_ID]=[_USER_CONSTRAINTS].[CONSTRAINT_ID] and "
                 "[_USER_CONS_COLUMNS].[TABLE_NAME]='returns' and [_USER_CONSTRAINTS].[RELATED_TABLE_NAME]="
                 "'order_lines') order by [_USER_CONS_COLUMNS].[COLUMN_ID]"),
            (Table{{"order_lines", "order_id", "returns", "order_id", "2"},
                   {"order_lines", "line", "returns", "line", "3"}}));
}

TEST_F(ServerCatalog, SpecialColumnsWithCastToBoolean) {
  std::string q =
      "select [_USER_COLUMNS].[DATA_TYPE],[_USER_COLUMNS].[COLUMN_NAME],[_USER_COLUMNS].[COLUMN_ID] from "
      "[_USER_COLUMNS],[_USER_CONSTRAINTS],[_USER_CONS_COLUMNS] where ([_USER_CONSTRAINTS].[RELATED_TABLE_NAME]="
      "'customers' and [_USER_CONS_COLUMNS].[CONSTRAINT_ID]=[_USER_CONSTRAINTS].[CONSTRAINT_ID] and "
      "[_USER_COLUMNS].[COLUMN_ID]=[_USER_CONS_COLUMNS].[RELATED_COLUMN_ID] and "
      "[_USER_COLUMNS].[TABLE_ID]=[_USER_CONSTRAINTS].[RELATED_TABLE_ID]";
  Table nonnull = Rows(q + " and [_USER_COLUMNS].[NULLABLE]=cast(0 as Boolean) ) order by [_USER_COLUMNS].[COLUMN_ID]");
  ASSERT_FALSE(nonnull.empty());
  for (const auto& row : nonnull) EXPECT_EQ(row, (std::vector<std::string>{"4", "id", "1"}));
  // Without a name the condition has nothing after "=": rejected, not a crash.
  RawReply r = client_->Execute("select [table_name] from [_user_tables] where [table_name]=");
  EXPECT_FALSE(r.ok);
  // Temporary tables are flagged, and the system tables never list themselves.
  ASSERT_TRUE(client_->Execute("create temp table scratch(a INT)").ok);
  client_->ReadBytesExact(4);
  EXPECT_EQ(Rows("select [table_name],[temporary] from [_user_tables] where [table_name]='scratch'"),
            (Table{{"scratch", "1"}}));
  EXPECT_TRUE(Rows("select [table_name] from [_user_tables] where [table_name] like '\\_USER%' escape '\\'").empty());
}
