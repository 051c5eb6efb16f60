#include "setup/config_dsn.h"

#include <odbcinst.h>

#include <string>

#include "driver/environment.h"
#include "setup/configuration_dialog.h"
#include "setup/data_source_store.h"
#include "setup/dialog_templates.h"
#include "setup/dialog_toolkit.h"
#include "setup/setup_state.h"

namespace kestrion {

SQLRETURN AllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output);

using corvane::VString;

namespace {

void NoDialog(const std::string& reason) {
  CurrentStore().PostError(
      ODBC_ERROR_REQUEST_FAILED,
      VString::FromUtf8("The data source configuration dialog cannot be shown: " + reason +
                        ". Use the command kestrion-odbc-dsn add|configure NAME [KEY=VALUE ...] "
                        "instead."));
}

// Runs the configuration dialog; the accepted flag tells the outcome.
void RunConfigurationDialog(void* parent, const VString& name, const SQLWCHAR* driver) {
  SetupState& state = TheSetupState();
  state.accepted = 0;
  DialogToolkit* toolkit = CurrentToolkit();
  if (!toolkit) return NoDialog(NoToolkitReason());
  DialogSlot claim;
  if (claim.busy()) return NoDialog("another dialog of the driver is open in this process");
  state.data_source_name = name;
  state.driver_name = VString::FromUnits(driver);
  if (!toolkit->RunModal(ConfigurationDialogTemplate(), ConfigurationDialogProcedure, parent)) {
    state.accepted = 0;
    NoDialog("the dialog could not be opened");
  }
}

}  // namespace

VString DataSourceNameOf(const SQLWCHAR* attributes) {
  const VString first = VString::FromUnits(attributes);
  const std::size_t at = VString::FindFolded(first, u"DSN=", 0);
  if (at == VString::npos) return {};
  const std::size_t start = at + 4;
  const std::size_t end = first.find(u';', start);
  return first.substr(start, end == VString::npos ? VString::npos : end - start);
}

int ConfigureDataSource(void* parent, int request, const SQLWCHAR* driver,
                        const SQLWCHAR* attributes) {
  SetupState& state = TheSetupState();
  state.accepted = 0;
  SQLHANDLE env = nullptr;
  if (AllocHandle(SQL_HANDLE_ENV, nullptr, &env) != SQL_SUCCESS) return 0;
  state.accepted = 1;
  const VString name = DataSourceNameOf(attributes);
  switch (request) {
    case ODBC_ADD_DSN:
    case ODBC_CONFIG_DSN:
    case ODBC_ADD_SYS_DSN:
    case ODBC_CONFIG_SYS_DSN:
      RunConfigurationDialog(parent, name, driver);
      break;
    case ODBC_REMOVE_DSN:
    case ODBC_REMOVE_SYS_DSN:
    case ODBC_REMOVE_DEFAULT_DSN:
      // An empty name would not name a section.
      if (!name.empty()) CurrentStore().Remove(name);
      break;
    default:
      // An unknown request is not carried out, so it is not reported as done.
      CurrentStore().PostError(ODBC_ERROR_INVALID_REQUEST_TYPE, u"Unknown setup request.");
      state.accepted = 0;
      break;
  }
  delete static_cast<CHEnvironment*>(env);
  return state.accepted;
}

}  // namespace kestrion
