#include "setup/configuration_dialog.h"

#include <array>
#include <optional>

#include "protocol/settings.h"
#include "setup/common_handler.h"
#include "setup/control_values.h"
#include "setup/data_source_store.h"
#include "setup/dialog_templates.h"
#include "setup/setup_state.h"

namespace kestrion {

using corvane::VString;

namespace {

void FillFromDataSource(Dialog& dialog, const VString& name) {
  DataSourceStore& store = CurrentStore();
  const auto& keys = SettingKeys();
  WriteControlValue(dialog, KeyControls()[0], name);
  for (std::size_t slot = 1; slot < kDialogKeyCount; ++slot) {
    std::optional<VString> value;
    if (!name.empty()) value = store.Read(name, keys[slot].name);
    if (!value || value->empty()) value = VString(keys[slot].default_value);
    WriteControlValue(dialog, KeyControls()[slot], value);
  }
}

}  // namespace

bool AcceptConfiguration(Dialog& dialog) {
  SetupState& state = TheSetupState();
  DataSourceStore& store = CurrentStore();
  const auto& keys = SettingKeys();
  std::array<std::optional<VString>, kSettingCount> values;
  for (std::size_t slot = 0; slot < kDialogKeyCount; ++slot) {
    values[slot] = ReadControlValue(dialog, KeyControls()[slot]);
    if (values[slot] && values[slot]->empty()) values[slot].reset();
  }
  // Keys without a control keep what the data source had.
  if (state.opening_name && !state.opening_name->empty()) {
    for (std::size_t slot = kDialogKeyCount; slot < kSettingCount; ++slot) {
      values[slot] = store.Read(*state.opening_name, keys[slot].name);
      if (values[slot] && values[slot]->empty()) values[slot].reset();
    }
  }
  const VString& name = values[0] ? *values[0] : VString();

  std::u16string_view problem;
  if (!values[0]) {
    problem = u"Please provide a DSN name.";
  } else if (!values[static_cast<int>(Setting::Server)]) {
    problem = u"Please provide a server adress.";
  } else if (!store.Valid(name)) {
    problem = u"You didn't provide a valid DSN.";
  } else {
    // The section of the opening name goes first: a rename leaves no old
    // section behind, and keys cleared in the dialog are not kept.
    if (state.opening_name) {
      if (!state.opening_name->empty()) store.Remove(*state.opening_name);
      state.opening_name.reset();
    }
    // The data source names the driver as the installer knows it.
    const VString driver =
        state.driver_name.empty() ? VString(kDriverDescription) : state.driver_name;
    if (!store.WriteDataSource(name, driver)) {
      problem = u"Can't write the odbc.ini file";
    } else {
      for (std::size_t slot = 1; slot < kSettingCount; ++slot) {
        if (!values[slot]) continue;
        if (!store.Write(name, keys[slot].name, *values[slot])) {
          // No half-written data source is left behind.
          store.Remove(name);
          problem = u"Can't write the odbc.ini file";
          break;
        }
      }
    }
  }
  if (!problem.empty()) {
    dialog.MessageBox(u"Missing parameter.", problem, MessageIcon::Information);
    return false;
  }
  state.accepted = 1;
  dialog.End(control::kOk);
  return true;
}

bool ConfigurationDialogProcedure(Dialog& dialog, const DialogMessage& message) {
  SetupState& state = TheSetupState();
  if (message.kind == MessageKind::InitDialog) {
    state.opening_name = state.data_source_name;
    FillFromDataSource(dialog, state.data_source_name);
    state.accepted = 0;
  } else if (message.kind == MessageKind::Command && message.id == control::kOk &&
             message.notification == kClicked) {
    if (AcceptConfiguration(dialog)) return true;
  }
  return CommonHandler(dialog, message, ConfigurationAdvancedControls(), true);
}

}  // namespace kestrion
