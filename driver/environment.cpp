#include "driver/environment.h"

#include "driver/connection.h"

namespace kestrion {

CHEnvironment* CHEnvironment::Create() {
  auto* env = new CHEnvironment();
  if (env->defunct()) {
    delete env;
    return nullptr;
  }
  // The process's log (KESTRION_ODBC_LOG) is set up before the first call
  // that could write to it.
  ProcessLogTarget();
  env->odbc_version = SQL_OV_ODBC3;
  env->_ResetAttributes();
  if (env->defunct()) {
    delete env;
    return nullptr;
  }
  return env;
}

CHEnvironment::~CHEnvironment() {
  if (!defunct()) DestroyChildren();
}

CSQLHandle* CHEnvironment::_CreateChild(HandleKind) { return new CHConnection(this); }

}  // namespace kestrion
