// A dialog without windows: controls are kept in memory and a script plays
// the user (typing, clicking, Enter, Escape, closing). The unit tests drive
// the real dialog procedures with it, and the command-line tool sets data
// sources up through it.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "setup/dialog.h"

namespace kestrion {

struct ShownMessage {
  std::u16string title;
  std::u16string text;
  MessageIcon icon;
};

class HeadlessDialog final : public Dialog {
 public:
  HeadlessDialog(const DialogTemplate& tmpl, DialogProcedure procedure,
                 std::vector<ShownMessage>& messages, DialogUnits units = {});

  // What a person can do. Each answers false (and does nothing) when the
  // control is missing, hidden or disabled, or the dialog has ended.
  bool Type(int id, std::u16string_view text);  // replaces the edit's text
  bool Click(int id);                           // button, check box, radio button
  bool SelectEntry(int id, int index);
  bool Spin(int id, int delta);                 // up-down control: -1 up, +1 down
  bool LeaveList(int id);                       // the list loses the focus
  bool PressEnter();
  bool PressEscape();
  bool CloseWindow();

  bool ended() const { return ended_; }
  int result() const { return result_; }
  const std::u16string& title() const { return title_; }

  // Dialog
  bool Has(int id) const override;
  std::u16string Text(int id) const override;
  void SetText(int id, std::u16string_view text) override;
  bool Checked(int id) const override;
  void SetChecked(int id, bool checked) override;
  int ListCount(int id) const override;
  std::u16string ListEntry(int id, int index) const override;
  void ListAdd(int id, std::u16string_view text) override;
  void ListInsert(int id, int index, std::u16string_view text) override;
  void ListDelete(int id, int index) override;
  void ListClear(int id) override;
  int ListSelection(int id) const override;
  void ListSelect(int id, int index) override;
  void Show(int id, bool shown) override;
  void Enable(int id, bool enabled) override;
  bool Visible(int id) const override;
  bool Enabled(int id) const override;
  Rect ControlRect(int id) const override;
  void Move(int id, const Rect& rect) override;
  Rect ClientRect() const override;
  void SetClientHeight(int height) override;
  void End(int result) override;
  bool Send(const DialogMessage& message) override;
  void MessageBox(std::u16string_view title, std::u16string_view text, MessageIcon icon) override;

 private:
  struct Control {
    ControlKind kind = ControlKind::Static;
    unsigned style = 0;
    std::u16string text;
    bool checked = false;
    bool visible = true;
    bool enabled = true;
    Rect rect;
    std::vector<std::u16string> entries;
    int selection = -1;
  };
  Control* Usable(int id, ControlKind kind);
  const Control* Find(int id) const;
  Control* Find(int id);

  std::u16string title_;
  DialogProcedure procedure_;
  std::vector<ShownMessage>& messages_;
  std::map<int, Control> controls_;
  Rect client_;
  bool ended_ = false;
  int result_ = 0;
};

// Shows dialogs as HeadlessDialog and lets `script` play the user. A dialog
// the script leaves open is closed as with the window's close button.
class HeadlessToolkit final : public DialogToolkit {
 public:
  using Script = std::function<void(HeadlessDialog&)>;
  explicit HeadlessToolkit(Script script = {}) : script_(std::move(script)) {}

  void set_script(Script script) { script_ = std::move(script); }
  // Every message box shown so far, in order.
  std::vector<ShownMessage>& messages() { return messages_; }
  int dialogs_shown() const { return dialogs_shown_; }

  std::optional<int> RunModal(const DialogTemplate& tmpl, DialogProcedure procedure,
                              void* owner) override;
  void MessageBox(std::u16string_view title, std::u16string_view text, MessageIcon icon) override;

 private:
  Script script_;
  std::vector<ShownMessage> messages_;
  int dialogs_shown_ = 0;
};

}  // namespace kestrion
