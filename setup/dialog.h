// What the dialog procedures are written against: dialog templates as data,
// the messages a procedure receives, and the small set of operations on a
// running dialog. A toolkit (GTK, or the scriptable headless host) supplies
// the operations; the procedures stay the same on every toolkit.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrion {

// Kinds of control a template holds.
enum class ControlKind {
  Static,       // a label; its mnemonic moves to the next control
  Edit,
  CheckBox,
  RadioButton,
  PushButton,
  GroupBox,     // a frame with a title; its mnemonic moves to the next control
  ListBox,      // notifies its owner (selection, focus loss)
  UpDown,       // two arrows beside the control before it; notifies with a delta
  Picture,      // a small drawing
};

// Style flags of a control.
enum ControlStyle : unsigned {
  kDigitsOnly = 1,     // edit: accepts digits only
  kPassword = 2,       // edit: hides what is typed
  kDefaultButton = 4,  // push button: the dialog's default
  kSunken = 8,         // picture: sunken edge
};

// One control of a template; positions in dialog units. The text's "&" marks
// the mnemonic letter ("&&" is a plain "&").
struct ControlTemplate {
  int id;
  ControlKind kind;
  std::u16string_view text;
  int x, y, width, height;
  unsigned style = 0;
};

struct DialogTemplate {
  std::u16string_view title;
  int width, height;  // dialog units
  std::u16string_view font_name;
  int font_points;
  std::vector<ControlTemplate> controls;

  const ControlTemplate* Find(int id) const {
    for (const auto& c : controls) {
      if (c.id == id) return &c;
    }
    return nullptr;
  }
};

// Dialog units to pixels: horizontal units are a quarter of the font's
// average character width, vertical units an eighth of its height.
struct DialogUnits {
  int char_width = 6;
  int char_height = 13;
  int X(int units) const { return (units * char_width + 2) / 4; }
  int Y(int units) const { return (units * char_height + 4) / 8; }
};

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  int bottom() const { return y + height; }
};

// Messages a dialog procedure receives.
enum class MessageKind { InitDialog, Command, Notify, Close };

// Notification codes carried by Command messages.
inline constexpr int kClicked = 0;        // a button was pressed (or a menu/accelerator)
inline constexpr int kListKillFocus = 5;  // the list box lost the focus

// Command ids that the toolkit sends for Enter and Escape.
inline constexpr int kIdEnter = 1;
inline constexpr int kIdEscape = 2;

struct DialogMessage {
  MessageKind kind;
  int id = 0;            // Command: the control; Notify: the sender
  int notification = 0;  // Command: the notification code
  int delta = 0;         // Notify from an up-down control: -1 up, +1 down
  int result = 0;        // Close: the result the window asks to end with

  static DialogMessage Init() { return {MessageKind::InitDialog}; }
  static DialogMessage Command(int id, int notification = kClicked) {
    return {MessageKind::Command, id, notification};
  }
  static DialogMessage Notify(int id, int delta) { return {MessageKind::Notify, id, 0, delta}; }
  static DialogMessage Close() { return {MessageKind::Close}; }
};

enum class MessageIcon { Information, Error };

class Dialog;

// A dialog procedure: true when it handled the message.
using DialogProcedure = bool (*)(Dialog& dialog, const DialogMessage& message);

// A running dialog as the procedures see it. Operations on a control id that
// the dialog does not have do nothing (and reads give empty answers).
class Dialog {
 public:
  virtual ~Dialog() = default;

  virtual bool Has(int id) const = 0;
  virtual std::u16string Text(int id) const = 0;
  virtual void SetText(int id, std::u16string_view text) = 0;
  virtual bool Checked(int id) const = 0;
  virtual void SetChecked(int id, bool checked) = 0;

  virtual int ListCount(int id) const = 0;
  virtual std::u16string ListEntry(int id, int index) const = 0;
  virtual void ListAdd(int id, std::u16string_view text) = 0;
  virtual void ListInsert(int id, int index, std::u16string_view text) = 0;
  virtual void ListDelete(int id, int index) = 0;
  virtual void ListClear(int id) = 0;
  virtual int ListSelection(int id) const = 0;  // -1: none
  virtual void ListSelect(int id, int index) = 0;  // -1: none

  virtual void Show(int id, bool shown) = 0;
  virtual void Enable(int id, bool enabled) = 0;
  virtual bool Visible(int id) const = 0;
  virtual bool Enabled(int id) const = 0;

  // Positions in pixels of the dialog's client area.
  virtual Rect ControlRect(int id) const = 0;
  virtual void Move(int id, const Rect& rect) = 0;
  virtual Rect ClientRect() const = 0;
  virtual void SetClientHeight(int height) = 0;

  // Ends the modal loop with `result` once the current message is handled.
  virtual void End(int result) = 0;
  // Runs the procedure on a message, as if the toolkit had sent it.
  virtual bool Send(const DialogMessage& message) = 0;
  // A modal message box without owner, with an OK button.
  virtual void MessageBox(std::u16string_view title, std::u16string_view text,
                          MessageIcon icon) = 0;
};

// Shows dialogs: one toolkit, or the headless host in tests and the
// command-line tool.
class DialogToolkit {
 public:
  virtual ~DialogToolkit() = default;
  // Runs `procedure` on a modal dialog built from `tmpl`, owned by `owner`
  // (an opaque window handle, never dereferenced). The result the dialog
  // ended with; nothing when no dialog could be shown.
  virtual std::optional<int> RunModal(const DialogTemplate& tmpl, DialogProcedure procedure,
                                      void* owner) = 0;
  virtual void MessageBox(std::u16string_view title, std::u16string_view text,
                          MessageIcon icon) = 0;
};

// The version of the interface between the driver and a toolkit module; a
// module built for another version is not used.
inline constexpr int kDialogToolkitVersion = 1;

// The name of the function a toolkit module exports:
//   extern "C" kestrion::DialogToolkit* kestrion_dialog_toolkit(int version);
// It answers null when it cannot show windows (no display).
inline constexpr const char* kToolkitEntryName = "kestrion_dialog_toolkit";

}  // namespace kestrion
