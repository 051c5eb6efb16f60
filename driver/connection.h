// CHConnection: an ODBC connection handle; owns its statements and
// descriptors, and its link to the server while connected.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "driver/driver_log.h"
#include "driver/handle.h"
#include "protocol/session.h"

namespace kestrion {

class CHEnvironment;

class CHConnection : public CSQLHandle {
 public:
  explicit CHConnection(CHEnvironment* environment);
  ~CHConnection() override;

  CSQLHandle* _CreateChild(HandleKind kind) override;
  std::shared_ptr<std::recursive_mutex> _CallLock() const override { return call_lock_; }
  std::recursive_mutex* _CallMutex() const override { return call_lock_.get(); }
  AttributeCell* _GetAvailableAttribute(int32_t id, int16_t record, uint32_t access) override;
  void _SetAttribute(AttributeCell& cell, int32_t id, SQLPOINTER value, SQLLEN length,
                     int16_t record) override;

  // Taken from a process-wide counter when the handle is created (first
  // connection handle 0); numbers the requests of this connection.
  const int32_t connection_number;
  // The value the counter will give the next connection handle.
  static int32_t NextConnectionNumber();

  Session session;
  // The driver log of this connection: the process's (KESTRION_ODBC_LOG)
  // until a connect names another with LogFile and LogLevel.
  LogTarget log;
  // The link on which a server transaction opened by the driver (autocommit
  // off) is in progress; null when none is.
  const void* transaction_link = nullptr;

  // Connection attributes (connection_attributes.cpp), for driver code.
  int32_t query_timeout() const;
  int32_t login_timeout() const;
  int32_t connection_timeout() const;
  int32_t packet_size() const;
  bool autocommit() const;
  int32_t access_mode() const;
  int32_t txn_isolation() const;
  const corvane::VString& current_catalog() const;
  void set_autocommit(bool on);
  void set_current_catalog(std::u16string_view catalog);
  // The liveness probe behind SQL_ATTR_CONNECTION_DEAD.
  bool IsLinkAlive() const { return session.LinkAlive(); }

  static constexpr int kAttributeCount = 18;

 private:
  static std::array<AttributeCell, kAttributeCount> DefaultAttributes();
  std::array<AttributeCell, kAttributeCount> attributes_ = DefaultAttributes();
  std::shared_ptr<std::recursive_mutex> call_lock_ = std::make_shared<std::recursive_mutex>();
};

}  // namespace kestrion
