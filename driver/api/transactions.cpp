// SQLEndTran.
#include "driver/entry_guard.h"
#include "statement/transaction.h"

using namespace kestrion;

extern "C" {

KESTRION_EXPORT SQLRETURN SQL_API SQLEndTran(SQLSMALLINT HandleType, SQLHANDLE Handle, SQLSMALLINT CompletionType) {
  const HandleKind kind = KindFromHandleType(HandleType);
  if (kind == HandleKind::None) return SQL_INVALID_HANDLE;
  return Guarded<CSQLHandle>(Handle, kind, [&](CSQLHandle& h) -> SQLRETURN {
    return EndTransaction(h, CompletionType);
  });
}

}  // extern "C"
