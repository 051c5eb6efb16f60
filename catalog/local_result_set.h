// Local result sets: results that the driver builds itself (catalog answers,
// type information). They are described through the ordinary result
// description and served by the ordinary fetch path; every row is in the row
// cache from the start, so no page is ever asked of the server.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "toolbox/value.h"
#include "toolbox/vstring.h"

namespace kestrion {

class CHStatement;

// A column of a local result: its name and value kind name ("VK_TEXT",
// "VK_WORD" or "VK_LONG").
struct LocalColumn {
  std::string_view name;
  std::string_view kind;
};

// A local row: element 0 the row-number slot (a VLong8), then one value per
// column; a null value is SQL NULL.
using LocalRow = std::vector<corvane::VValue>;

// Makes the statement's current result an empty, described local result
// with the given columns (closing whatever was open). Failures are posted on
// the statement.
void OpenLocalResultSet(CHStatement& statement, std::span<const LocalColumn> columns);

// Appends one row at the end of the local result; the row count that
// SQLRowCount and SQL_ATTR_ROWS_FETCHED_PTR report follows. A row with fewer
// values than columns is padded with NULLs.
void AppendLocalRow(CHStatement& statement, LocalRow row);

// Called once per server row of a catalog query: `row` holds element 0 (the
// row's 0-based position in the answer); `server` the server row's values in
// query column order. Appends the local columns and answers true to keep the
// row, or answers false to drop it.
using RowBuilder = std::function<bool(LocalRow& row, std::span<const corvane::VValue> server)>;

// Runs `sql` on a private statement of the same connection and appends the
// rows that `builder` keeps. A query that the server refuses leaves the local
// result as it was and posts nothing on `statement`. Answers whether a row
// was kept. The local result set must be open.
bool RunCatalogQuery(CHStatement& statement, const corvane::VString& sql, const RowBuilder& builder);

// Gives every cached row the status SQL_ROW_SUCCESS.
bool AllocateRowStatus(CHStatement& statement, std::int32_t rows);

// A private statement on the statement's connection, never given to the
// application; destroyed when the pointer goes.
struct PrivateStatementDeleter {
  void operator()(CHStatement* statement) const;
};
using PrivateStatement = std::unique_ptr<CHStatement, PrivateStatementDeleter>;
PrivateStatement CreatePrivateStatement(CHStatement& statement);

// Reading server values of a catalog query.
std::int64_t IntegerValue(const corvane::VValue& value);
corvane::VString TextValue(const corvane::VValue& value);
// A text value, or NULL when the server value is NULL.
corvane::VValue TextOrNull(const corvane::VValue& value);

}  // namespace kestrion
