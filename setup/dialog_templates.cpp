#include "setup/dialog_templates.h"

namespace kestrion {

namespace {
using K = ControlKind;

std::vector<ControlTemplate> ImageFormatBoxes(int x, int y) {
  static constexpr std::u16string_view kNames[] = {u"TIFF", u"GIF", u"JPEG", u"PNG", u"BMP"};
  std::vector<ControlTemplate> boxes;
  for (int n = 0; n < 5; ++n) {
    boxes.push_back({control::kFirstImageFormat + n, K::CheckBox, kNames[n], x, y + 12 * n, 30, 12});
  }
  return boxes;
}

DialogTemplate BuildConfigurationDialog() {
  DialogTemplate t{u"Kestrion DSN Configuration", 268, 294, u"MS Shell Dlg", 8, {}};
  t.controls = {
      {100, K::Static, u"Data S&ource Name:", 6, 6, 66, 12},
      {101, K::Edit, u"", 72, 6, 192, 12},
      {102, K::Static, u"&Description:", 6, 24, 66, 12},
      {103, K::Edit, u"", 72, 24, 192, 12},
      {108, K::Static, u"Server &Address:", 6, 42, 66, 12},
      {109, K::Edit, u"", 72, 42, 192, 12},
      {110, K::Static, u"&Port:", 6, 60, 66, 12},
      {111, K::Edit, u"", 72, 60, 120, 12, kDigitsOnly},
      {300, K::CheckBox, u"Use &SSL", 216, 60, 48, 12},
      {104, K::Static, u"Us&er:", 6, 78, 66, 12},
      {105, K::Edit, u"", 72, 78, 192, 12},
      {106, K::Static, u"Pass&word:", 6, 96, 66, 12},
      {107, K::Edit, u"", 72, 96, 120, 12, kPassword},
      {203, K::PushButton, u"Ad&vanced <<", 210, 96, 56, 14},
      {500, K::GroupBox, u"Timeouts (Seconds)", 0, 114, 264, 30},
      {112, K::Static, u"&Connection:", 6, 126, 42, 12},
      {113, K::Edit, u"", 48, 126, 42, 12, kDigitsOnly},
      {114, K::Static, u"&Login:", 102, 126, 24, 12},
      {115, K::Edit, u"", 126, 126, 42, 12, kDigitsOnly},
      {116, K::Static, u"&Query:", 180, 126, 24, 12},
      {117, K::Edit, u"", 204, 126, 48, 12, kDigitsOnly},
      {504, K::GroupBox, u"F&avorite image formats", 0, 150, 102, 84},
  };
  for (const auto& box : ImageFormatBoxes(7, 163)) t.controls.push_back(box);
  t.controls.insert(t.controls.end(), {
      {400, K::ListBox, u"", 42, 168, 42, 48},
      {600, K::UpDown, u"", 84, 186, 11, 31},
      {503, K::GroupBox, u"Encoding", 108, 150, 156, 30},
      {301, K::RadioButton, u"UT&F-8", 132, 162, 42, 12},
      {302, K::RadioButton, u"Syste&m", 198, 162, 42, 11},
      {505, K::GroupBox, u"Cache Settings", 108, 186, 156, 48},
      {120, K::Static, u"First Page (&Rows):", 114, 198, 60, 12},
      {121, K::Edit, u"", 174, 198, 84, 12},
      {118, K::Static, u"Packet Size (&Kb):", 114, 216, 60, 12},
      {119, K::Edit, u"", 174, 216, 84, 12},
      {506, K::GroupBox, u"Compatibility", 0, 240, 264, 30},
      {920, K::CheckBox, u"Open Query", 31, 252, 65, 12},
      {921, K::CheckBox, u"MSAccess", 102, 252, 54, 12},
      {922, K::CheckBox, u"Windev", 162, 252, 54, 12},
      {202, K::PushButton, u"&Test...", 6, 276, 50, 14},
      {200, K::PushButton, u"OK", 156, 276, 50, 14, kDefaultButton},
      {201, K::PushButton, u"Cancel", 210, 276, 50, 14},
  });
  return t;
}

DialogTemplate BuildLoginPrompt() {
  DialogTemplate t{u"Kestrion ODBC Login", 268, 291, u"MS Shell Dlg", 8, {}};
  t.controls = {
      {911, K::Picture, u"", 6, 6, 25, 25, kSunken},
      {104, K::Static, u"Us&er:", 42, 6, 36, 12},
      {105, K::Edit, u"", 78, 6, 186, 12},
      {106, K::Static, u"Pass&word:", 42, 24, 36, 12},
      {107, K::Edit, u"", 78, 24, 186, 12, kPassword},
      {203, K::PushButton, u"Ad&vanced <<", 6, 42, 56, 14},
      {501, K::GroupBox, u"Connection", 6, 60, 258, 48},
      {910, K::Picture, u"", 17, 70, 26, 33},
      {108, K::Static, u"Server &Address:", 54, 72, 60, 12},
      {109, K::Edit, u"", 114, 73, 138, 12},
      {110, K::Static, u"&Port:", 54, 90, 60, 12},
      {111, K::Edit, u"", 114, 90, 60, 12, kDigitsOnly},
      {300, K::CheckBox, u"Use &SSL", 210, 90, 48, 12},
      {500, K::GroupBox, u"Timeouts (Seconds)", 6, 114, 258, 30},
      {112, K::Static, u"&Connection:", 12, 127, 42, 12},
      {113, K::Edit, u"", 54, 127, 42, 12, kDigitsOnly},
      {114, K::Static, u"&Login:", 108, 127, 24, 12},
      {115, K::Edit, u"", 132, 127, 42, 12, kDigitsOnly},
      {116, K::Static, u"&Query:", 186, 127, 24, 12},
      {117, K::Edit, u"", 210, 127, 48, 12, kDigitsOnly},
      {504, K::GroupBox, u"F&avorite image formats", 6, 150, 102, 84},
  };
  for (const auto& box : ImageFormatBoxes(12, 162)) t.controls.push_back(box);
  t.controls.insert(t.controls.end(), {
      {400, K::ListBox, u"", 48, 168, 42, 48},
      {600, K::UpDown, u"", 90, 186, 11, 31},
      {503, K::GroupBox, u"Encoding", 114, 151, 150, 30},
      {301, K::RadioButton, u"UT&F-8", 132, 162, 42, 12},
      {302, K::RadioButton, u"Syste&m", 210, 162, 42, 11},
      {505, K::GroupBox, u"Cache Settings", 114, 186, 150, 48},
      {120, K::Static, u"First Page (&Rows):", 120, 198, 60, 12},
      {121, K::Edit, u"", 180, 199, 78, 12},
      {118, K::Static, u"Packet Size (&Kb):", 120, 216, 60, 12},
      {119, K::Edit, u"", 180, 216, 78, 12},
      {506, K::GroupBox, u"Compatibility", 6, 240, 258, 30},
      {920, K::CheckBox, u"Open Query", 12, 252, 60, 12},
      {921, K::CheckBox, u"MSAccess", 78, 252, 48, 12},
      {922, K::CheckBox, u"Windev", 138, 252, 48, 12},
      {200, K::PushButton, u"OK", 162, 276, 50, 14, kDefaultButton},
      {201, K::PushButton, u"Cancel", 216, 276, 50, 14},
  });
  return t;
}

}  // namespace

const std::array<int, kDialogKeyCount>& KeyControls() {
  static const std::array<int, kDialogKeyCount> ids = {101, 103, 109, 111, 105, 107, 300, 113, 115,
                                          117, 121, 400, 119, 301, 920, 921, 922};
  return ids;
}

const DialogTemplate& ConfigurationDialogTemplate() {
  static const DialogTemplate t = BuildConfigurationDialog();
  return t;
}

const DialogTemplate& LoginPromptTemplate() {
  static const DialogTemplate t = BuildLoginPrompt();
  return t;
}

const std::vector<int>& ConfigurationAdvancedControls() {
  static const std::vector<int> ids = {112, 113, 114, 115, 116, 117, 118, 119, 120,
                                       121, 301, 302, 504, 400, 500, 503, 505, 506,
                                       800, 801, 802, 803, 804, 600, 920, 921, 922};
  return ids;
}

const std::vector<int>& LoginPromptAdvancedControls() {
  static const std::vector<int> ids = {108, 109, 110, 111, 112, 113, 114, 115, 116, 117, 118, 119,
                                       120, 121, 300, 301, 302, 400, 500, 501, 502, 503, 504, 505,
                                       506, 800, 801, 802, 803, 804, 910, 600, 920, 921, 922};
  return ids;
}

}  // namespace kestrion
