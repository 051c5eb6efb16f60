// ConfigDSNW, the setup entry point the ODBC installer calls to add,
// configure and remove data sources.
#include <odbcinst.h>

#include "driver/odbc.h"
#include "setup/config_dsn.h"

extern "C" {

KESTRION_EXPORT BOOL INSTAPI ConfigDSNW(HWND hwndParent, WORD fRequest, LPCWSTR lpszDriver,
                                         LPCWSTR lpszAttributes) {
  try {
    return kestrion::ConfigureDataSource(
        hwndParent, fRequest, reinterpret_cast<const SQLWCHAR*>(lpszDriver),
        reinterpret_cast<const SQLWCHAR*>(lpszAttributes));
  } catch (...) {
    return 0;  // FALSE: nothing was configured
  }
}

}  // extern "C"
