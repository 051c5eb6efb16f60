#include "setup/common_handler.h"

#include <string>

#include "driver/connection.h"
#include "driver/environment.h"
#include "protocol/connect.h"
#include "protocol/settings.h"
#include "setup/control_values.h"
#include "setup/dialog_templates.h"

namespace kestrion {

SQLRETURN AllocHandle(SQLSMALLINT type, SQLHANDLE input, SQLHANDLE* output);

using corvane::VString;

namespace {

constexpr int kGap = 10;  // pixels between the anchor control, the buttons and the edge

// The connection string of the values on screen, Description to Windev; an
// empty value gives the key's default.
VString ConnectionStringOf(const Dialog& dialog) {
  VString text;
  const auto& keys = SettingKeys();
  for (std::size_t slot = 1; slot < kDialogKeyCount; ++slot) {
    std::optional<VString> value = ReadControlValue(dialog, KeyControls()[slot]);
    if (!text.empty()) text += u';';
    text += keys[slot].name;
    text += u'=';
    text += (value && !value->empty()) ? std::u16string_view(*value) : keys[slot].default_value;
  }
  return text;
}

// One line per diagnostic record, newest first.
VString DiagnosticLines(const CHConnection& connection) {
  VString text;
  const auto& records = connection.diagnostics();
  for (auto it = records.rbegin(); it != records.rend(); ++it) {
    text += u'[';
    text += SqlStateCode(it->state);
    if (it->native_error != 0) {
      text += u'-';
      text += VString::FromAscii(std::to_string(it->native_error));
    }
    text += u"]:\t";
    VString message = it->message.empty() ? VString(SqlStateText(it->state)) : it->message;
    if (message.size() > 255) message.resize(255);
    text += message;
    text += u'\n';
  }
  return text;
}

}  // namespace

void ToggleAdvanced(Dialog& dialog, const std::vector<int>& advanced, bool keep_position) {
  const std::u16string label = dialog.Text(control::kAdvanced);
  const bool expand = !label.empty() && label.back() == u'>';
  for (int id : advanced) {
    if (!dialog.Has(id)) continue;
    dialog.Show(id, expand);
    dialog.Enable(id, expand);
  }
  dialog.SetText(control::kAdvanced, expand ? u"Ad&vanced <<" : u"Ad&vanced >>");

  const Rect advanced_button = dialog.ControlRect(control::kAdvanced);
  int anchor = expand ? dialog.ControlRect(control::kCompatibilityGroup).bottom()
                      : advanced_button.bottom();
  if (!expand && !keep_position) anchor -= advanced_button.height + kGap;

  int button_height = 0;
  for (int id : {control::kOk, control::kCancel, control::kTest}) {
    if (!dialog.Has(id)) continue;
    Rect r = dialog.ControlRect(id);
    r.y = anchor + kGap;
    dialog.Move(id, r);
    button_height = std::max(button_height, r.height);
  }
  // Showing the list enabled it: refill it so that it is enabled only when it
  // holds formats, as after any other change.
  if (expand) RefillImageList(dialog, ReadImageList(dialog));
  dialog.SetClientHeight(anchor + 2 * kGap + button_height);
}

void TestConnection(Dialog& dialog) {
  SQLHANDLE env = nullptr, dbc = nullptr;
  if (AllocHandle(SQL_HANDLE_ENV, nullptr, &env) != SQL_SUCCESS) return;
  if (AllocHandle(SQL_HANDLE_DBC, env, &dbc) != SQL_SUCCESS) {
    delete static_cast<CHEnvironment*>(env);
    return;
  }
  auto& connection = *static_cast<CHConnection*>(dbc);
  VString text = ConnectionStringOf(dialog);
  SQLWCHAR out[1024];
  SQLSMALLINT out_length = 0;
  const SQLRETURN rc =
      ConnectProcedure(connection, &dialog, reinterpret_cast<const SQLWCHAR*>(text.c_str()),
                       SQL_NTS, out, sizeof out, &out_length, SQL_DRIVER_NOPROMPT);
  VString lines;
  if (rc == SQL_ERROR) lines = DiagnosticLines(connection);
  // Destroying the environment destroys the connection, which logs out.
  delete static_cast<CHEnvironment*>(env);

  if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) {
    dialog.MessageBox(u"Connection test", u"SUCCESS", MessageIcon::Information);
  } else if (rc == SQL_ERROR) {
    VString message = u"-------------------- FAILED ----------------------\n\n";
    message += lines;
    dialog.MessageBox(u"Connection test", message, MessageIcon::Error);
  }
}

bool CommonHandler(Dialog& dialog, const DialogMessage& message, const std::vector<int>& advanced,
                   bool keep_position) {
  switch (message.kind) {
    case MessageKind::InitDialog:
      ToggleAdvanced(dialog, advanced, keep_position);
      return true;
    case MessageKind::Close:
      dialog.End(message.result);
      return true;
    case MessageKind::Notify:
      if (message.id == control::kImageUpDown) MoveImageListEntry(dialog, message.delta);
      return true;
    case MessageKind::Command:
      break;
  }
  const int id = message.id;
  if (id == kIdEnter) return dialog.Send(DialogMessage::Command(control::kOk)), true;
  if (id == kIdEscape) return dialog.Send(DialogMessage::Command(control::kCancel)), true;
  if (id == control::kImageList && message.notification == kListKillFocus) {
    dialog.ListSelect(control::kImageList, -1);
    return true;
  }
  if (message.notification != kClicked) return true;
  if (id == control::kUtf8) {
    dialog.SetChecked(control::kSystem, !dialog.Checked(control::kUtf8));
  } else if (id == control::kSystem) {
    dialog.SetChecked(control::kUtf8, !dialog.Checked(control::kSystem));
  } else if (id >= control::kFirstImageFormat && id < control::kFirstImageFormat + 5) {
    ImageFormatToggled(dialog, id - control::kFirstImageFormat);
  } else if (id == control::kCancel) {
    dialog.End(control::kCancel);
  } else if (id == control::kTest) {
    TestConnection(dialog);
  } else if (id == control::kAdvanced) {
    ToggleAdvanced(dialog, advanced, keep_position);
  }
  return true;
}

}  // namespace kestrion
