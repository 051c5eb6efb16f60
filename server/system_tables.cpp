#include "server/system_tables.h"

#include <algorithm>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "server/column_types.h"

namespace kestrion::server {

namespace {

constexpr const char* kCreate = R"(
CREATE TEMP TABLE IF NOT EXISTS [_USER_TABLES](TABLE_NAME TEXT, TEMPORARY BOOLEAN, TABLE_ID INT);
CREATE TEMP TABLE IF NOT EXISTS [_USER_VIEWS](VIEW_NAME TEXT);
CREATE TEMP TABLE IF NOT EXISTS [_USER_COLUMNS](TABLE_NAME TEXT, COLUMN_NAME TEXT, DATA_TYPE INT,
  DATA_LENGTH INT, NULLABLE BOOLEAN, TABLE_ID INT, COLUMN_ID INT);
CREATE TEMP TABLE IF NOT EXISTS [_USER_VIEW_COLUMNS](VIEW_NAME TEXT, COLUMN_NAME TEXT, DATA_TYPE INT,
  DATA_LENGTH INT, NULLABLE BOOLEAN);
CREATE TEMP TABLE IF NOT EXISTS [_USER_CONSTRAINTS](CONSTRAINT_ID INT, CONSTRAINT_NAME TEXT,
  CONSTRAINT_TYPE INT, TABLE_NAME TEXT, TABLE_ID INT, RELATED_TABLE_NAME TEXT, RELATED_TABLE_ID INT);
CREATE TEMP TABLE IF NOT EXISTS [_USER_CONS_COLUMNS](CONSTRAINT_ID INT, TABLE_NAME TEXT, TABLE_ID INT,
  COLUMN_NAME TEXT, COLUMN_ID INT, RELATED_COLUMN_NAME TEXT, RELATED_COLUMN_ID INT);
)";

// Temporary tables get ids above this, so that they never meet the main ones.
constexpr long long kTempIdBase = 1000000;

struct Column {
  std::string name, type;
  bool notnull = false;
  int pk = 0;  // position in the primary key, 0 when not part of it
};

struct Table {
  std::string schema, name;
  long long id = 0;
  bool view = false;
  std::vector<Column> columns;

  int ColumnId(const std::string& col) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
      if (sqlite3_stricmp(columns[i].name.c_str(), col.c_str()) == 0) return static_cast<int>(i) + 1;
    return 0;
  }
};

class Stmt {
 public:
  Stmt(sqlite3* db, const std::string& sql) { sqlite3_prepare_v2(db, sql.c_str(), -1, &s_, nullptr); }
  ~Stmt() { sqlite3_finalize(s_); }
  sqlite3_stmt* get() const { return s_; }
  bool ok() const { return s_ != nullptr; }
  std::string Text(int i) const {
    const unsigned char* t = sqlite3_column_text(s_, i);
    return t ? reinterpret_cast<const char*>(t) : "";
  }

 private:
  sqlite3_stmt* s_ = nullptr;
};

std::string Quote(const std::string& name) {
  std::string q = "\"";
  for (char c : name) {
    if (c == '"') q.push_back('"');
    q.push_back(c);
  }
  return q + "\"";
}

bool IsOwnTable(const std::string& schema, const std::string& name) {
  return schema == "temp" && sqlite3_strnicmp(name.c_str(), "_USER_", 6) == 0;
}

void Insert(sqlite3_stmt* s, const std::vector<std::variant<std::monostate, long long, std::string>>& values) {
  sqlite3_reset(s);
  int i = 1;
  for (const auto& v : values) {
    if (std::holds_alternative<long long>(v)) sqlite3_bind_int64(s, i, std::get<long long>(v));
    else if (std::holds_alternative<std::string>(v))
      sqlite3_bind_text(s, i, std::get<std::string>(v).c_str(), -1, SQLITE_TRANSIENT);
    else sqlite3_bind_null(s, i);
    ++i;
  }
  sqlite3_step(s);
}

}  // namespace

bool CreateSystemTables(sqlite3* db) { return sqlite3_exec(db, kCreate, nullptr, nullptr, nullptr) == SQLITE_OK; }

bool MentionsSystemTables(std::string_view sql) {
  for (std::size_t i = 0; i + 6 <= sql.size(); ++i)
    if (sql[i] == '_' && sqlite3_strnicmp(sql.data() + i, "_USER_", 6) == 0) return true;
  return false;
}

bool RefreshSystemTables(sqlite3* db) {
  std::vector<Table> tables;
  for (const char* schema : {"main", "temp"}) {
    Stmt list(db, std::string("SELECT rowid, name, type FROM ") + schema +
                      ".sqlite_schema WHERE type IN ('table','view') AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' "
                      "ORDER BY rowid");
    if (!list.ok()) return false;
    while (sqlite3_step(list.get()) == SQLITE_ROW) {
      Table t;
      t.schema = schema;
      t.name = list.Text(1);
      if (IsOwnTable(t.schema, t.name)) continue;
      t.id = sqlite3_column_int64(list.get(), 0) + (t.schema == "temp" ? kTempIdBase : 0);
      t.view = list.Text(2) == "view";
      tables.push_back(std::move(t));
    }
  }
  for (Table& t : tables) {
    Stmt info(db, "PRAGMA " + t.schema + ".table_info(" + Quote(t.name) + ")");
    if (!info.ok()) continue;
    while (sqlite3_step(info.get()) == SQLITE_ROW) {
      Column c;
      c.name = info.Text(1);
      c.type = info.Text(2);
      c.notnull = sqlite3_column_int(info.get(), 3) != 0;
      c.pk = sqlite3_column_int(info.get(), 5);
      t.columns.push_back(std::move(c));
    }
  }
  auto find = [&](const std::string& schema, const std::string& name) -> const Table* {
    for (const Table& t : tables)
      if (!t.view && sqlite3_stricmp(t.name.c_str(), name.c_str()) == 0 && (schema.empty() || t.schema == schema))
        return &t;
    return nullptr;
  };

  if (sqlite3_exec(db,
                   "DELETE FROM temp.[_USER_TABLES]; DELETE FROM temp.[_USER_VIEWS]; DELETE FROM temp.[_USER_COLUMNS];"
                   "DELETE FROM temp.[_USER_VIEW_COLUMNS]; DELETE FROM temp.[_USER_CONSTRAINTS];"
                   "DELETE FROM temp.[_USER_CONS_COLUMNS];",
                   nullptr, nullptr, nullptr) != SQLITE_OK)
    return false;
  Stmt ins_table(db, "INSERT INTO temp.[_USER_TABLES] VALUES(?,?,?)");
  Stmt ins_view(db, "INSERT INTO temp.[_USER_VIEWS] VALUES(?)");
  Stmt ins_col(db, "INSERT INTO temp.[_USER_COLUMNS] VALUES(?,?,?,?,?,?,?)");
  Stmt ins_vcol(db, "INSERT INTO temp.[_USER_VIEW_COLUMNS] VALUES(?,?,?,?,?)");
  Stmt ins_cons(db, "INSERT INTO temp.[_USER_CONSTRAINTS] VALUES(?,?,?,?,?,?,?)");
  Stmt ins_ccol(db, "INSERT INTO temp.[_USER_CONS_COLUMNS] VALUES(?,?,?,?,?,?,?)");
  if (!ins_table.ok() || !ins_view.ok() || !ins_col.ok() || !ins_vcol.ok() || !ins_cons.ok() || !ins_ccol.ok())
    return false;

  long long constraint_id = 0;
  for (const Table& t : tables) {
    if (t.view) {
      Insert(ins_view.get(), {t.name});
      for (const Column& c : t.columns) {
        ColumnType ct = ColumnTypeFromDeclared(c.type);
        Insert(ins_vcol.get(), {t.name, c.name, static_cast<long long>(ct.server_code),
                                static_cast<long long>(ct.data_length), 1LL});
      }
      continue;
    }
    Insert(ins_table.get(), {t.name, t.schema == "temp" ? 1LL : 0LL, t.id});
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
      const Column& c = t.columns[i];
      ColumnType ct = ColumnTypeFromDeclared(c.type);
      bool nullable = !c.notnull && c.pk == 0;
      Insert(ins_col.get(), {t.name, c.name, static_cast<long long>(ct.server_code),
                             static_cast<long long>(ct.data_length), nullable ? 1LL : 0LL, t.id,
                             static_cast<long long>(i + 1)});
    }
    // The primary key: a constraint whose related table is the table itself.
    std::vector<std::pair<int, std::size_t>> key;
    for (std::size_t i = 0; i < t.columns.size(); ++i)
      if (t.columns[i].pk > 0) key.push_back({t.columns[i].pk, i});
    if (!key.empty()) {
      std::sort(key.begin(), key.end());
      ++constraint_id;
      Insert(ins_cons.get(), {constraint_id, "PK_" + t.name, static_cast<long long>(kPrimaryKey), t.name, t.id,
                              t.name, t.id});
      for (auto [pos, i] : key) {
        (void)pos;
        long long id = static_cast<long long>(i + 1);
        Insert(ins_ccol.get(), {constraint_id, t.name, t.id, t.columns[i].name, id, t.columns[i].name, id});
      }
    }
    // Foreign keys: related table and columns are the referenced ones.
    Stmt fks(db, "PRAGMA " + t.schema + ".foreign_key_list(" + Quote(t.name) + ")");
    if (!fks.ok()) continue;
    struct Ref {
      std::string table;
      std::vector<std::pair<std::string, std::string>> cols;  // from, to
    };
    std::map<int, Ref> refs;
    while (sqlite3_step(fks.get()) == SQLITE_ROW) {
      Ref& r = refs[sqlite3_column_int(fks.get(), 0)];
      r.table = fks.Text(2);
      r.cols.push_back({fks.Text(3), sqlite3_column_type(fks.get(), 4) == SQLITE_NULL ? "" : fks.Text(4)});
    }
    for (auto& [fk_id, r] : refs) {
      const Table* target = find(t.schema == "temp" ? "" : "main", r.table);
      ++constraint_id;
      Insert(ins_cons.get(), {constraint_id, "FK_" + t.name + "_" + std::to_string(fk_id),
                              static_cast<long long>(kForeignKey), t.name, t.id, r.table,
                              target ? target->id : 0LL});
      std::size_t k = 0;
      for (auto& [from, to] : r.cols) {
        std::string related = to;
        if (related.empty() && target) {
          // No column named: the referenced table's primary key, in order.
          std::vector<std::pair<int, std::string>> pk;
          for (const Column& c : target->columns)
            if (c.pk > 0) pk.push_back({c.pk, c.name});
          std::sort(pk.begin(), pk.end());
          if (k < pk.size()) related = pk[k].second;
        }
        ++k;
        Insert(ins_ccol.get(), {constraint_id, t.name, t.id, from, static_cast<long long>(t.ColumnId(from)), related,
                                target ? static_cast<long long>(target->ColumnId(related)) : 0LL});
      }
    }
  }
  return true;
}

}  // namespace kestrion::server
