// Exported functions whose behaviour is not built yet. ConfigDSNW, the setup
// entry point, configures no data source until the setup dialogs exist.
#include <odbcinst.h>

#include "driver/odbc.h"

extern "C" {

KESTRION_EXPORT BOOL INSTAPI ConfigDSNW(HWND hwndParent, WORD fRequest, LPCWSTR lpszDriver,
                                         LPCWSTR lpszAttributes) {
  (void)hwndParent;
  (void)fRequest;
  (void)lpszDriver;
  (void)lpszAttributes;
  return 0;  // FALSE: no data source was configured
}

}  // extern "C"
