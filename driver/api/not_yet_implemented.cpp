// Exported ODBC functions whose behaviour is not built yet. Each passes the
// entry guard, then reports HYC00 ("Optional feature not implemented"). As
// each area is built, its functions move out of this file.
#include <odbcinst.h>

#include "driver/entry_guard.h"

using namespace kestrion;

namespace {

[[maybe_unused]] SQLRETURN NotImplemented(SQLHANDLE handle, HandleKind kind) {
  return Guarded<CSQLHandle>(handle, kind, [](CSQLHandle& h) { return h.Post(SqlState::HYC00); });
}

}  // namespace

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
