// Where data sources are read and written: the ODBC installer library's
// profile functions on "odbc.ini". Tests put an in-memory store in its place.
#pragma once

#include <optional>
#include <string_view>

#include "toolbox/vstring.h"

namespace kestrion {

class DataSourceStore {
 public:
  virtual ~DataSourceStore() = default;
  // The value of `key` in the section `dsn`, or nothing when the store has
  // none (the caller then applies its default).
  virtual std::optional<corvane::VString> Read(std::u16string_view dsn, std::u16string_view key) = 0;
  // Adds the section `dsn` naming `driver` (SQLWriteDSNToIniW).
  virtual bool WriteDataSource(std::u16string_view dsn, std::u16string_view driver) = 0;
  virtual bool Write(std::u16string_view dsn, std::u16string_view key, std::u16string_view value) = 0;
  // Removes the section (SQLRemoveDSNFromIniW).
  virtual bool Remove(std::u16string_view dsn) = 0;
  // SQLValidDSNW: a name the installer accepts.
  virtual bool Valid(std::u16string_view dsn) = 0;
  // Leaves an error for the installer's caller (SQLPostInstallerError).
  virtual void PostError(int code, std::u16string_view message) = 0;
};

// The installer library's store (the default).
DataSourceStore& InstallerStore();

// The store the setup code uses; `store` null restores the installer's.
DataSourceStore& CurrentStore();
void UseStore(DataSourceStore* store);

}  // namespace kestrion
