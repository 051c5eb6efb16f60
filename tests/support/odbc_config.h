// A private unixODBC configuration for tests: odbcinst.ini registers the
// driver under test, odbc.ini holds the test's data sources, and ODBCSYSINI
// and ODBCINI point at them (never at the system files).
#pragma once

#include <map>
#include <string>

namespace kestrion_test {

class PrivateOdbcConfig {
 public:
  // Creates a temporary directory holding odbcinst.ini with the driver
  // registered as "Kestrion" (and "Kestrion ODBC Driver"), an empty odbc.ini,
  // and points ODBCSYSINI and ODBCINI there.
  PrivateOdbcConfig();
  ~PrivateOdbcConfig();

  // Adds or replaces a data source section in odbc.ini.
  void AddDataSource(const std::string& name, const std::map<std::string, std::string>& keys);

  const std::string& dir() const { return dir_; }
  std::string odbc_ini() const { return dir_ + "/odbc.ini"; }
  std::string odbcinst_ini() const { return dir_ + "/odbcinst.ini"; }

 private:
  void WriteOdbcIni();
  std::string dir_;
  std::map<std::string, std::map<std::string, std::string>> sources_;
};

}  // namespace kestrion_test
