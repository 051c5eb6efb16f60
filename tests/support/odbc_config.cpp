#include "tests/support/odbc_config.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace kestrion_test {

PrivateOdbcConfig::PrivateOdbcConfig() {
  char templ[] = "/tmp/kestrion-odbc-XXXXXX";
  if (mkdtemp(templ) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = templ;
  std::ofstream inst(odbcinst_ini());
  // Registered as the package registers it: Threading = 2 has unixODBC
  // serialise the calls on each connection, which its own records need when
  // threads share a connection.
  for (const char* name : {"Kestrion", "Kestrion ODBC Driver"}) {
    inst << "[" << name << "]\n"
         << "Description = Kestrion ODBC driver under test\n"
         << "Driver = " << KESTRION_DRIVER_PATH << "\n"
         << "Setup = " << KESTRION_DRIVER_PATH << "\n"
         << "Threading = 2\n"
         << "UsageCount = 1\n\n";
  }
  inst.close();
  WriteOdbcIni();
  setenv("ODBCSYSINI", dir_.c_str(), 1);
  setenv("ODBCINSTINI", "odbcinst.ini", 1);
  setenv("ODBCINI", odbc_ini().c_str(), 1);
}

PrivateOdbcConfig::~PrivateOdbcConfig() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

void PrivateOdbcConfig::AddDataSource(const std::string& name,
                                      const std::map<std::string, std::string>& keys) {
  sources_[name] = keys;
  WriteOdbcIni();
}

void PrivateOdbcConfig::WriteOdbcIni() {
  std::ofstream ini(odbc_ini(), std::ios::trunc);
  for (const auto& [name, keys] : sources_) {
    ini << "[" << name << "]\n";
    if (keys.find("Driver") == keys.end()) ini << "Driver = Kestrion\n";
    for (const auto& [k, v] : keys) ini << k << " = " << v << "\n";
    ini << "\n";
  }
}

}  // namespace kestrion_test
