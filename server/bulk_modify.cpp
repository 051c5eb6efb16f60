#include "server/bulk_modify.h"

#include <cstdint>

#include "server/error_codes.h"
#include "server/value_binding.h"
#include "toolbox/value_codec.h"

namespace kestrion::server {

namespace {

bool ReadColumns(corvane::VStream& s, const ResultSet& result, std::size_t count, BulkItem& item,
                 std::string& error) {
  for (std::size_t k = 0; k < count; ++k) {
    std::uint16_t index;
    std::uint8_t status;
    if (!s.GetU16(index) || !s.GetU8(status)) {
      error = "BULK-MODIFY body too short.";
      return false;
    }
    if (index >= result.columns.size()) {
      error = "BULK-MODIFY names column index " + std::to_string(index) + ", the result has " +
              std::to_string(result.columns.size()) + " columns.";
      return false;
    }
    corvane::VValue v;
    if (status == '1') {
      if (!corvane::ReadValue(s, result.columns[index].kind, v)) {
        error = "Cannot read a BULK-MODIFY value.";
        return false;
      }
    } else if (status != '0') {
      error = "Bad status byte in BULK-MODIFY.";
      return false;
    }
    item.columns.push_back({index, std::move(v)});
  }
  return true;
}

std::string QuoteName(const std::string& name) {
  std::string q = "\"";
  for (char c : name) {
    if (c == '"') q.push_back('"');
    q.push_back(c);
  }
  return q + "\"";
}

struct Stmt {
  sqlite3_stmt* s = nullptr;
  ~Stmt() { sqlite3_finalize(s); }
};

}  // namespace

bool ReadBulkItems(corvane::VStream& s, const ResultSet& result, long long count, std::vector<BulkItem>& items,
                   bool& rest_unread, std::string& error) {
  items.clear();
  rest_unread = false;
  for (long long n = 0; n < count; ++n) {
    BulkItem item;
    std::uint8_t op;
    if (!s.GetU8(op)) {
      error = "BULK-MODIFY body too short.";
      return false;
    }
    item.op = static_cast<char>(op);
    std::uint16_t columns = 0;
    bool ok = true;
    switch (item.op) {
      case '1':
        ok = s.GetI32(item.row_id) && s.GetU16(columns);
        break;
      case '2':
        ok = s.GetU16(columns);
        break;
      case '3':
        ok = s.GetI32(item.row_id);
        break;
      case '5':
        // Position carries column items without a count: the caller drops the
        // rest of the body, and the item does nothing.
        items.push_back(std::move(item));
        rest_unread = true;
        return true;
      default:
        error = "Unknown BULK-MODIFY operation.";
        return false;
    }
    if (!ok) {
      error = "BULK-MODIFY body too short.";
      return false;
    }
    if (!ReadColumns(s, result, columns, item, error)) return false;
    items.push_back(std::move(item));
  }
  return true;
}

bool ApplyBulkItems(sqlite3* db, const ResultSet& result, const std::vector<BulkItem>& items,
                    std::vector<std::int64_t>& new_ids, SqlError& error) {
  new_ids.clear();
  const std::string table = QuoteName(result.table);
  if (sqlite3_exec(db, "SAVEPOINT kestrion_bulk", nullptr, nullptr, nullptr) != SQLITE_OK) {
    error = SqliteError(db);
    return false;
  }
  auto fail = [&](SqlError e) {
    error = std::move(e);
    sqlite3_exec(db, "ROLLBACK TO kestrion_bulk; RELEASE kestrion_bulk", nullptr, nullptr, nullptr);
    return false;
  };
  for (const BulkItem& item : items) {
    if (item.op == '5') continue;
    std::string sql;
    if (item.op == '3') {
      sql = "DELETE FROM " + table + " WHERE _rowid_ = ?";
    } else if (item.op == '1') {
      if (item.columns.empty()) continue;
      sql = "UPDATE " + table + " SET ";
      for (std::size_t k = 0; k < item.columns.size(); ++k) {
        if (k) sql += ", ";
        sql += QuoteName(result.columns[item.columns[k].first].origin) + " = ?";
      }
      sql += " WHERE _rowid_ = ?";
    } else {
      if (item.columns.empty()) {
        sql = "INSERT INTO " + table + " DEFAULT VALUES";
      } else {
        sql = "INSERT INTO " + table + " (";
        std::string marks;
        for (std::size_t k = 0; k < item.columns.size(); ++k) {
          if (k) sql += ", ", marks += ", ";
          sql += QuoteName(result.columns[item.columns[k].first].origin);
          marks += "?";
        }
        sql += ") VALUES (" + marks + ")";
      }
    }
    Stmt st;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st.s, nullptr) != SQLITE_OK) return fail(SqliteError(db));
    int index = 1;
    if (item.op != '3') {
      for (const auto& [col, value] : item.columns) {
        std::string bad;
        if (BindValue(st.s, index++, value, bad) != SQLITE_OK)
          return fail(bad.empty() ? SqliteError(db) : SqlError{kSqlErrorBase + SQLITE_MISMATCH, bad, "22007"});
      }
    }
    if (item.op != '2') sqlite3_bind_int64(st.s, index, item.row_id);
    if (sqlite3_step(st.s) != SQLITE_DONE) return fail(SqliteError(db));
    if (item.op == '2') {
      std::int64_t id = sqlite3_last_insert_rowid(db);
      // The reply carries 32-bit row ids; a larger one cannot be reported.
      if (id > INT32_MAX || id < INT32_MIN)
        return fail({kBadBulkModify, "The new row id " + std::to_string(id) + " does not fit in 32 bits.", ""});
      new_ids.push_back(id);
    } else if (sqlite3_changes(db) == 0) {
      return fail({kRowNotFound, "No row with row id " + std::to_string(item.row_id) + " in " + result.table + ".", ""});
    }
  }
  if (sqlite3_exec(db, "RELEASE kestrion_bulk", nullptr, nullptr, nullptr) != SQLITE_OK)
    return fail(SqliteError(db));
  return true;
}

}  // namespace kestrion::server
