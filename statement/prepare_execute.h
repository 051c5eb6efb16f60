// Prepare and execute: the statement's text carried to the server in
// PREPARE-STATEMENT and EXECUTE-STATEMENT requests, and the first answer
// described and cached.
//
// Driver code (the catalog functions) runs SQL on a private statement with
// PrepareStatement, then ExecuteStatement, then CommonFetch (fetch.h), with
// SQLKESTRION_ATTR_DYNAMIC_BIND set to 8 when the columns should be bound to
// buffers of the driver's own.
#pragma once

#include "driver/odbc.h"
#include "toolbox/vstring.h"

namespace kestrion {

class CHStatement;

// The text of SQLPrepareW and SQLExecDirectW: SQL_NTS or a positive number
// of characters. A null or empty text or another length posts HY090 and
// answers false.
bool TakeStatementText(CHStatement& statement, const SQLWCHAR* text, SQLINTEGER length,
                       corvane::VString& out);

// Rewrites the text, counts its markers, stores it and has the server
// describe it: the IRD from its result columns, the IPD from its parameter
// kinds (as many records as markers). Closes whatever was open first.
SQLRETURN PrepareStatement(CHStatement& statement, corvane::VString text);

// The prepare of SQLExecDirectW. When the server announced that its execute
// reply describes the result and the text has no parameter markers, nothing
// is sent: the text is stored and the execute that follows describes it.
// Otherwise the same as PrepareStatement.
SQLRETURN PrepareForDirectExecution(CHStatement& statement, corvane::VString text);

// Executes the stored text with the bound parameters: describes the first
// result, reads its update count or caches its first page of rows.
SQLRETURN ExecuteStatement(CHStatement& statement);

}  // namespace kestrion
