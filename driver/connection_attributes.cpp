// The connection attributes: their cells, defaults and the rules applied
// when they are set.
#include <array>

#include "driver/connection.h"
#include "statement/transaction.h"

namespace kestrion {

namespace {

enum Slot : int {
  kQueryTimeout,
  kAsyncEnable,
  kAccessMode,
  kAutocommit,
  kLoginTimeout,
  kTrace,
  kTraceFile,
  kTranslateLib,
  kTranslateOption,
  kTxnIsolation,
  kCurrentCatalog,
  kOdbcCursors,
  kQuietMode,
  kPacketSize,
  kConnectionTimeout,
  kConnectionDead,
  kAutoIpd,
  kMetadataId,
};

constexpr int32_t kMaxPacketSize = 1048576;

int SlotOf(int32_t id) {
  switch (id) {
    case SQL_ATTR_QUERY_TIMEOUT: return kQueryTimeout;
    case SQL_ATTR_ASYNC_ENABLE: return kAsyncEnable;
    case SQL_ATTR_ACCESS_MODE: return kAccessMode;
    case SQL_ATTR_AUTOCOMMIT: return kAutocommit;
    case SQL_ATTR_LOGIN_TIMEOUT: return kLoginTimeout;
    case SQL_ATTR_TRACE: return kTrace;
    case SQL_ATTR_TRACEFILE: return kTraceFile;
    case SQL_ATTR_TRANSLATE_LIB: return kTranslateLib;
    case SQL_ATTR_TRANSLATE_OPTION: return kTranslateOption;
    case SQL_ATTR_TXN_ISOLATION: return kTxnIsolation;
    case SQL_ATTR_CURRENT_CATALOG: return kCurrentCatalog;
    case SQL_ATTR_ODBC_CURSORS: return kOdbcCursors;
    case SQL_ATTR_QUIET_MODE: return kQuietMode;
    case SQL_ATTR_PACKET_SIZE: return kPacketSize;
    case SQL_ATTR_CONNECTION_TIMEOUT: return kConnectionTimeout;
    case SQL_ATTR_CONNECTION_DEAD: return kConnectionDead;
    case SQL_ATTR_AUTO_IPD: return kAutoIpd;
    case SQL_ATTR_METADATA_ID: return kMetadataId;
    default: return -1;
  }
}

}  // namespace

std::array<AttributeCell, CHConnection::kAttributeCount> CHConnection::DefaultAttributes() {
  std::array<AttributeCell, kAttributeCount> cells;
  cells[kQueryTimeout] = AttributeCell::Int32(240);
  cells[kAsyncEnable] = AttributeCell::Int32(SQL_ASYNC_ENABLE_OFF);
  cells[kAccessMode] = AttributeCell::Int32(SQL_MODE_READ_WRITE);
  cells[kAutocommit] = AttributeCell::Int32(SQL_AUTOCOMMIT_ON);
  cells[kLoginTimeout] = AttributeCell::Int32(30);
  cells[kTrace] = AttributeCell::Int32(SQL_OPT_TRACE_OFF);
  cells[kTraceFile] = AttributeCell::String();
  cells[kTranslateLib] = AttributeCell::String();
  cells[kTranslateOption] = AttributeCell::Int32(0);
  cells[kTxnIsolation] = AttributeCell::Int32(0);
  cells[kCurrentCatalog] = AttributeCell::String();
  cells[kOdbcCursors] = AttributeCell::Int32(SQL_CUR_USE_DRIVER);
  cells[kQuietMode] = AttributeCell::Pointer(nullptr);
  cells[kPacketSize] = AttributeCell::Int32(131072);
  cells[kConnectionTimeout] = AttributeCell::Int32(30);
  cells[kConnectionDead] = AttributeCell::Int32(SQL_CD_TRUE);
  cells[kAutoIpd] = AttributeCell::Int32(SQL_FALSE);
  cells[kMetadataId] = AttributeCell::Int32(SQL_TRUE);
  return cells;
}

AttributeCell* CHConnection::_GetAvailableAttribute(int32_t id, int16_t record, uint32_t access) {
  const int slot = (access & kAnyAccess) != 0 ? SlotOf(id) : -1;
  if (slot < 0) return CSQLHandle::_GetAvailableAttribute(id, record, access);
  AttributeCell& cell = attributes_[slot];
  if (slot == kConnectionDead) {
    // Recomputed on every lookup: dead unless the link answers.
    cell.value = IsLinkAlive() ? SQL_CD_FALSE : SQL_CD_TRUE;
  }
  return &cell;
}

void CHConnection::_SetAttribute(AttributeCell& cell, int32_t id, SQLPOINTER value, SQLLEN,
                                 int16_t) {
  const auto v = static_cast<int32_t>(reinterpret_cast<intptr_t>(value));
  switch (id) {
    case SQL_ATTR_ASYNC_ENABLE:
      if (v != 0) {  // SQL_ASYNC_ENABLE_OFF
        Post(SqlState::HYC00, u"SQL_ATTR_ASYNC_ENABLE must be set to SQL_ASYNC_ENABLE_OFF.");
      }
      return;
    case SQL_ATTR_AUTOCOMMIT:
      if (static_cast<uint32_t>(v) <= 1) {
        // Switching autocommit back on commits what the driver left open.
        if (v == SQL_AUTOCOMMIT_ON && cell.value == SQL_AUTOCOMMIT_OFF) CommitOpenTransaction(*this);
        cell.value = v;
      } else {
        Post(SqlState::S01S02,
             u"SQL_ATTR_AUTOCOMMIT not changed as you provided an unavailable value for it.");
      }
      return;
    case SQL_ATTR_TRACEFILE:
    case SQL_ATTR_TRANSLATE_LIB:
    case SQL_ATTR_CURRENT_CATALOG:
      if (value != nullptr) {
        cell.text.assign(static_cast<const char16_t*>(value));
      } else {
        cell.text.clear();
      }
      return;
    case SQL_ATTR_QUIET_MODE:
      cell.value = static_cast<int64_t>(reinterpret_cast<intptr_t>(value));
      return;
    case SQL_ATTR_PACKET_SIZE:
      cell.value = v == 0 ? 1 : (v > kMaxPacketSize ? kMaxPacketSize : v);
      return;
    case SQL_ATTR_CONNECTION_DEAD:
      return;  // recomputed on every lookup
    case SQL_ATTR_METADATA_ID:
      cell.value = SQL_TRUE;
      return;
    default:
      cell.value = v;
      return;
  }
}

int32_t CHConnection::query_timeout() const { return attributes_[kQueryTimeout].AsInt32(); }
int32_t CHConnection::login_timeout() const { return attributes_[kLoginTimeout].AsInt32(); }
int32_t CHConnection::connection_timeout() const {
  return attributes_[kConnectionTimeout].AsInt32();
}
int32_t CHConnection::packet_size() const { return attributes_[kPacketSize].AsInt32(); }
bool CHConnection::autocommit() const { return attributes_[kAutocommit].AsInt32() != 0; }
int32_t CHConnection::access_mode() const { return attributes_[kAccessMode].AsInt32(); }
int32_t CHConnection::txn_isolation() const { return attributes_[kTxnIsolation].AsInt32(); }
const corvane::VString& CHConnection::current_catalog() const {
  return attributes_[kCurrentCatalog].text;
}
void CHConnection::set_autocommit(bool on) {
  attributes_[kAutocommit].value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
}
void CHConnection::set_current_catalog(std::u16string_view catalog) {
  attributes_[kCurrentCatalog].text.assign(catalog);
}

}  // namespace kestrion
