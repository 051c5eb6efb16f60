// The catalog's system tables [_USER_TABLES], [_USER_VIEWS], [_USER_COLUMNS],
// [_USER_VIEW_COLUMNS], [_USER_CONSTRAINTS] and [_USER_CONS_COLUMNS]: temporary
// tables of each connection, filled from SQLite's schema before a statement
// that names one of them runs.
#pragma once

#include <sqlite3.h>

#include <string_view>

namespace kestrion::server {

// Creates the (empty) tables on a new connection.
bool CreateSystemTables(sqlite3* db);
// Whether the text names a system table ("_USER_", any letter case).
bool MentionsSystemTables(std::string_view sql);
// Refills the tables from the current schema.
bool RefreshSystemTables(sqlite3* db);

// Constraint types in [_USER_CONSTRAINTS].[CONSTRAINT_TYPE].
enum ConstraintType { kPrimaryKey = 1, kForeignKey = 2 };

}  // namespace kestrion::server
