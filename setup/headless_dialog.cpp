#include "setup/headless_dialog.h"

#include <algorithm>

namespace kestrion {

HeadlessDialog::HeadlessDialog(const DialogTemplate& tmpl, DialogProcedure procedure,
                               std::vector<ShownMessage>& messages, DialogUnits units)
    : title_(tmpl.title), procedure_(procedure), messages_(messages) {
  for (const auto& c : tmpl.controls) {
    Control control;
    control.kind = c.kind;
    control.style = c.style;
    control.text = c.text;
    control.rect = {units.X(c.x), units.Y(c.y), units.X(c.width), units.Y(c.height)};
    controls_.emplace(c.id, std::move(control));
  }
  client_ = {0, 0, units.X(tmpl.width), units.Y(tmpl.height)};
}

const HeadlessDialog::Control* HeadlessDialog::Find(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : &it->second;
}

HeadlessDialog::Control* HeadlessDialog::Find(int id) {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : &it->second;
}

HeadlessDialog::Control* HeadlessDialog::Usable(int id, ControlKind kind) {
  Control* c = Find(id);
  if (ended_ || !c || c->kind != kind || !c->visible || !c->enabled) return nullptr;
  return c;
}

bool HeadlessDialog::Type(int id, std::u16string_view text) {
  Control* c = Usable(id, ControlKind::Edit);
  if (!c) return false;
  std::u16string typed(text);
  if (c->style & kDigitsOnly) {
    std::erase_if(typed, [](char16_t ch) { return ch < u'0' || ch > u'9'; });
  }
  c->text = typed;
  return true;
}

bool HeadlessDialog::Click(int id) {
  Control* c = Find(id);
  if (ended_ || !c || !c->visible || !c->enabled) return false;
  if (c->kind == ControlKind::CheckBox) {
    c->checked = !c->checked;
  } else if (c->kind == ControlKind::RadioButton) {
    c->checked = true;
  } else if (c->kind != ControlKind::PushButton) {
    return false;
  }
  Send(DialogMessage::Command(id));
  return true;
}

bool HeadlessDialog::SelectEntry(int id, int index) {
  Control* c = Usable(id, ControlKind::ListBox);
  if (!c || index < 0 || index >= static_cast<int>(c->entries.size())) return false;
  c->selection = index;
  return true;
}

bool HeadlessDialog::Spin(int id, int delta) {
  if (!Usable(id, ControlKind::UpDown)) return false;
  Send(DialogMessage::Notify(id, delta));
  return true;
}

bool HeadlessDialog::LeaveList(int id) {
  if (!Usable(id, ControlKind::ListBox)) return false;
  Send(DialogMessage::Command(id, kListKillFocus));
  return true;
}

bool HeadlessDialog::PressEnter() {
  if (ended_) return false;
  Send(DialogMessage::Command(kIdEnter));
  return true;
}

bool HeadlessDialog::PressEscape() {
  if (ended_) return false;
  Send(DialogMessage::Command(kIdEscape));
  return true;
}

bool HeadlessDialog::CloseWindow() {
  if (ended_) return false;
  Send(DialogMessage::Close());
  return true;
}

bool HeadlessDialog::Has(int id) const { return Find(id) != nullptr; }

std::u16string HeadlessDialog::Text(int id) const {
  const Control* c = Find(id);
  return c ? c->text : std::u16string();
}

void HeadlessDialog::SetText(int id, std::u16string_view text) {
  if (Control* c = Find(id)) c->text = text;
}

bool HeadlessDialog::Checked(int id) const {
  const Control* c = Find(id);
  return c && c->checked;
}

void HeadlessDialog::SetChecked(int id, bool checked) {
  if (Control* c = Find(id)) c->checked = checked;
}

int HeadlessDialog::ListCount(int id) const {
  const Control* c = Find(id);
  return c ? static_cast<int>(c->entries.size()) : 0;
}

std::u16string HeadlessDialog::ListEntry(int id, int index) const {
  const Control* c = Find(id);
  if (!c || index < 0 || index >= static_cast<int>(c->entries.size())) return {};
  return c->entries[index];
}

void HeadlessDialog::ListAdd(int id, std::u16string_view text) {
  if (Control* c = Find(id)) c->entries.emplace_back(text);
}

void HeadlessDialog::ListInsert(int id, int index, std::u16string_view text) {
  Control* c = Find(id);
  if (!c || index < 0 || index > static_cast<int>(c->entries.size())) return;
  c->entries.insert(c->entries.begin() + index, std::u16string(text));
  if (c->selection >= index) ++c->selection;
}

void HeadlessDialog::ListDelete(int id, int index) {
  Control* c = Find(id);
  if (!c || index < 0 || index >= static_cast<int>(c->entries.size())) return;
  c->entries.erase(c->entries.begin() + index);
  if (c->selection == index) c->selection = -1;
  else if (c->selection > index) --c->selection;
}

void HeadlessDialog::ListClear(int id) {
  if (Control* c = Find(id)) {
    c->entries.clear();
    c->selection = -1;
  }
}

int HeadlessDialog::ListSelection(int id) const {
  const Control* c = Find(id);
  return c ? c->selection : -1;
}

void HeadlessDialog::ListSelect(int id, int index) {
  Control* c = Find(id);
  if (!c) return;
  c->selection = (index >= 0 && index < static_cast<int>(c->entries.size())) ? index : -1;
}

void HeadlessDialog::Show(int id, bool shown) {
  if (Control* c = Find(id)) c->visible = shown;
}

void HeadlessDialog::Enable(int id, bool enabled) {
  if (Control* c = Find(id)) c->enabled = enabled;
}

bool HeadlessDialog::Visible(int id) const {
  const Control* c = Find(id);
  return c && c->visible;
}

bool HeadlessDialog::Enabled(int id) const {
  const Control* c = Find(id);
  return c && c->enabled;
}

Rect HeadlessDialog::ControlRect(int id) const {
  const Control* c = Find(id);
  return c ? c->rect : Rect{};
}

void HeadlessDialog::Move(int id, const Rect& rect) {
  if (Control* c = Find(id)) c->rect = rect;
}

Rect HeadlessDialog::ClientRect() const { return client_; }

void HeadlessDialog::SetClientHeight(int height) { client_.height = height; }

void HeadlessDialog::End(int result) {
  if (ended_) return;
  ended_ = true;
  result_ = result;
}

bool HeadlessDialog::Send(const DialogMessage& message) { return procedure_(*this, message); }

void HeadlessDialog::MessageBox(std::u16string_view title, std::u16string_view text,
                                MessageIcon icon) {
  messages_.push_back({std::u16string(title), std::u16string(text), icon});
}

std::optional<int> HeadlessToolkit::RunModal(const DialogTemplate& tmpl, DialogProcedure procedure,
                                             void* /*owner*/) {
  ++dialogs_shown_;
  HeadlessDialog dialog(tmpl, procedure, messages_);
  dialog.Send(DialogMessage::Init());
  if (script_ && !dialog.ended()) script_(dialog);
  if (!dialog.ended()) dialog.CloseWindow();
  if (!dialog.ended()) dialog.End(0);
  return dialog.result();
}

void HeadlessToolkit::MessageBox(std::u16string_view title, std::u16string_view text,
                                 MessageIcon icon) {
  messages_.push_back({std::u16string(title), std::u16string(text), icon});
}

}  // namespace kestrion
