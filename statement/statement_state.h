// The execution state of a statement: text, reply lists, result description
// state, row cache, SQLGetData position and data-at-execution pieces.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <sql.h>

#include "protocol/receive_buffer.h"
#include "statement/fetch_pointer.h"
#include "statement/kept_description.h"
#include "statement/reply_lists.h"
#include "statement/row_cache.h"
#include "toolbox/vstring.h"

namespace kestrion {

// The data of a data-at-execution parameter, gathered by SQLPutData. It is
// sent in place of the application's buffer; the application's descriptor
// (its token, length and marker) is never changed.
struct PieceBuffer {
  std::vector<std::uint8_t> bytes;
  bool null = false;  // SQLPutData with SQL_NULL_DATA
};

struct StatementState {
  // The statement text after the rewrite, and its number of '?' markers.
  corvane::VString text;
  // The text as requests carry it (Base64 of its UTF-8 form), made once per
  // prepare rather than at every execute.
  std::string text_base64;
  std::int16_t marker_count = 0;
  // Per marker, the value kind the server described at the last prepare
  // (Unknown when it did not say): a text sent for a marker described as a
  // UUID goes as a UUID, so that the server stores one form of each UUID.
  std::vector<corvane::VKind> described_kinds;
  // The open result on the server; 0 when none.
  std::int32_t statement_id = 0;
  // Raised by one each time a result is described; -1 before the first.
  std::int16_t result_index = -1;
  ReplyLists lists;
  // The description of the last execute's result, for the next execute.
  KeptDescription kept_description;

  // Result state.
  bool described = false;
  bool updatable = false;
  bool result_set_open = false;
  std::int64_t total_rows = 0;  // rows of the current result ("Row-Count")
  std::int64_t row_count = 0;   // what SQLRowCount answers
  // Where a page that came back with fewer rows than asked for ended: the
  // server has no rows beyond it, whatever its count said, so fetching past
  // it is an error. -1 while every page was whole.
  std::int64_t short_page_end = -1;

  // The row cache and the number of rows the execute reply brought (the
  // shortest page asked for later).
  RowCache cache;
  std::int32_t first_page_rows = 0;
  // Per column (0 the bookmark), the value kind the reply described; it is
  // the wire layout of a VK_REAL column, which is described as SQL_DOUBLE.
  std::vector<corvane::VKind> column_kinds;
  // Per column (0 the bookmark), whether it holds long data: a byte string,
  // or text the server declares unbounded ("Column-Sizes"). Long columns are
  // described with the long types, so that clients read them in pieces.
  std::vector<bool> long_columns;
  // Per column, the largest data length seen in the last page (text with its
  // terminator, binary in bytes); -1 for a column of no such kind.
  std::vector<std::int64_t> column_lengths;

  // SQLGetData position: the column being read in pieces (-1 none) and the
  // bytes of it already delivered.
  std::int16_t getdata_column = -1;
  std::int64_t getdata_offset = 0;

  // 1-based result row of the first row of the current rowset; 0 before
  // the first row (SQL_ATTR_ROW_NUMBER holds the last row delivered).
  std::int64_t rowset_first = 0;
  // The row of the rowset that SQLGetData reads (0-based); SQLSetPos with
  // SQL_POSITION moves it, every fetch puts it back on the first row.
  std::int64_t rowset_position = 0;

  // The bound columns' addresses, rebuilt by each fetch (storage reused).
  std::vector<FetchPointer> fetch_pointers;

  // The row status array of the last fetch (SQLExtendedFetch passes its
  // own; SQLFetch and SQLFetchScroll that of SQL_ATTR_ROW_STATUS_PTR).
  SQLUSMALLINT* row_status = nullptr;

  // Data at execution: the pieces of each parameter supplied so far, by
  // parameter set and parameter number; the last one is receiving
  // SQLPutData. Emptied after every request with parameters.
  std::map<std::pair<std::int64_t, std::int16_t>, PieceBuffer> pieces;
  // Set while an execute waits for data at execution (SQL_NEED_DATA).
  bool need_data = false;

  // Buffers the driver allocated for result columns under dynamic binding.
  std::map<std::int16_t, std::unique_ptr<std::uint8_t[]>> dynamic_buffers;

  // The receive buffer of this statement's requests.
  ReceiveBuffer buffer;

  // The next page, asked for while the one before it was decoded: the
  // request's identifier (with its space) and the result rows [first, end)
  // it brings. It stands while the connection's read_ahead is this request
  // through this statement's buffer.
  std::string read_ahead_id;
  std::int64_t read_ahead_first = -1;
  std::int64_t read_ahead_end = -1;
};

}  // namespace kestrion
