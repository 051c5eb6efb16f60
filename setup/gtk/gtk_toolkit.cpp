// libkestrionodbc-gtk.so: the driver's dialogs as GTK 3 windows. The driver
// loads this module only when a dialog is to be shown, so that a process
// without a desktop never loads GTK. Controls sit at the template's positions
// (dialog units scaled from the font), every "&" becomes a working mnemonic,
// Enter acts as the default button, Escape as Cancel, closing the window as
// Cancel. The dialog procedures themselves live in the driver.
#include <gtk/gtk.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "setup/dialog.h"

namespace kestrion {
namespace {

std::string Utf8(std::u16string_view text) {
  if (text.empty()) return {};
  gchar* s = g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(text.data()),
                             static_cast<glong>(text.size()), nullptr, nullptr, nullptr);
  std::string out = s ? s : "";
  g_free(s);
  return out;
}

std::u16string Utf16(const char* text) {
  gunichar2* s = g_utf8_to_utf16(text ? text : "", -1, nullptr, nullptr, nullptr);
  std::u16string out = s ? reinterpret_cast<const char16_t*>(s) : u"";
  g_free(s);
  return out;
}

// "&x" marks the mnemonic, "&&" a plain "&"; GTK marks it with "_".
std::string MnemonicText(std::u16string_view text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'&') {
      if (i + 1 < text.size() && text[i + 1] == u'&') {
        out += u'&';
        ++i;
      } else {
        out += u'_';
      }
    } else if (text[i] == u'_') {
      out += u"__";
    } else {
      out += text[i];
    }
  }
  return Utf8(out);
}

constexpr const char* kCss =
    ".kestrion-dialog { font-family: Sans; font-size: 8pt; }\n"
    ".kestrion-dialog entry { min-height: 0; padding-top: 0; padding-bottom: 0; }\n"
    ".kestrion-dialog button { min-height: 0; min-width: 0; padding: 0 4px; }\n"
    ".kestrion-dialog checkbutton, .kestrion-dialog radiobutton { min-height: 0; padding: 0; }\n"
    ".kestrion-dialog .updown button { padding: 0; }\n"
    ".kestrion-dialog list row { min-height: 0; padding: 0 2px; }\n";

void InstallCss() {
  static bool done = false;
  if (done) return;
  done = true;
  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css, kCss, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);
}

// The template font's dialog base units: the average width of the Latin
// letters and the line height, in pixels.
DialogUnits UnitsFor(GtkWidget* widget, const DialogTemplate& tmpl) {
  PangoLayout* layout = gtk_widget_create_pango_layout(
      widget, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  PangoFontDescription* font = pango_font_description_from_string("Sans");
  pango_font_description_set_size(font, tmpl.font_points * PANGO_SCALE);
  pango_layout_set_font_description(layout, font);
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  pango_font_description_free(font);
  g_object_unref(layout);
  DialogUnits units;
  units.char_width = std::max(4, (width / 26 + 1) / 2);
  units.char_height = std::max(8, height);
  return units;
}

// The stand-in pictures: a person with a key (911) and a server (910).
gboolean DrawPicture(GtkWidget* widget, cairo_t* cr, gpointer data) {
  const int id = GPOINTER_TO_INT(data);
  const double w = gtk_widget_get_allocated_width(widget);
  const double h = gtk_widget_get_allocated_height(widget);
  if (id == 911) {
    cairo_set_source_rgb(cr, 0.55, 0.55, 0.55);
    cairo_rectangle(cr, 0.5, 0.5, w - 1, h - 1);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0.2, 0.35, 0.6);
    cairo_arc(cr, w * 0.5, h * 0.35, h * 0.17, 0, 2 * G_PI);
    cairo_fill(cr);
    cairo_arc(cr, w * 0.5, h * 0.95, h * 0.35, G_PI, 2 * G_PI);
    cairo_fill(cr);
  } else {
    cairo_set_source_rgb(cr, 0.35, 0.45, 0.55);
    for (int i = 0; i < 3; ++i) {
      const double y = 2 + i * (h - 4) / 3.0;
      cairo_rectangle(cr, w * 0.15, y, w * 0.7, (h - 4) / 3.0 - 2);
      cairo_fill(cr);
    }
    cairo_set_source_rgb(cr, 0.4, 0.9, 0.4);
    for (int i = 0; i < 3; ++i) {
      cairo_arc(cr, w * 0.72, 2 + i * (h - 4) / 3.0 + (h - 4) / 6.0, 1.5, 0, 2 * G_PI);
      cairo_fill(cr);
    }
  }
  return FALSE;
}

class WindowDialog final : public Dialog {
 public:
  WindowDialog(const DialogTemplate& tmpl, DialogProcedure procedure)
      : procedure_(procedure), title_(Utf8(tmpl.title)) {
    InstallCss();
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_style_context_add_class(gtk_widget_get_style_context(window_), "kestrion-dialog");
    gtk_window_set_title(GTK_WINDOW(window_), title_.c_str());
    gtk_window_set_modal(GTK_WINDOW(window_), TRUE);
    // The size follows the dialog's own layout (Advanced); the user does
    // not resize it. Fixed geometry hints do that, and unlike a window that
    // is not resizable they follow each change at once.
    gtk_window_set_resizable(GTK_WINDOW(window_), TRUE);
    gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
    fixed_ = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(window_), fixed_);
    units_ = UnitsFor(window_, tmpl);
    client_ = {0, 0, units_.X(tmpl.width), units_.Y(tmpl.height)};
    gtk_widget_set_size_request(fixed_, client_.width, client_.height);
    FixSize();

    GtkWidget* previous_radio = nullptr;
    for (std::size_t i = 0; i < tmpl.controls.size(); ++i) {
      const ControlTemplate& t = tmpl.controls[i];
      Control& c = controls_[t.id];
      c.id = t.id;
      c.kind = t.kind;
      c.text = t.text;
      c.rect = {units_.X(t.x), units_.Y(t.y), units_.X(t.width), units_.Y(t.height)};
      Build(c, t, previous_radio);
      order_.push_back(t.id);
    }
    // A label's or a frame's mnemonic moves to the control after it.
    for (std::size_t i = 0; i + 1 < order_.size(); ++i) {
      Control& c = controls_[order_[i]];
      if (c.mnemonic_label) {
        gtk_label_set_mnemonic_widget(GTK_LABEL(c.mnemonic_label), controls_[order_[i + 1]].focus);
      }
    }
    g_signal_connect(window_, "key-press-event", G_CALLBACK(OnWindowKey), this);
    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
    gtk_widget_show(fixed_);
  }

  ~WindowDialog() override {
    if (window_) gtk_widget_destroy(window_);
    while (gtk_events_pending()) gtk_main_iteration();
  }

  int Run() {
    Send(DialogMessage::Init());
    if (!ended_) {
      for (auto& [id, c] : controls_) {
        if (c.default_button) {
          gtk_widget_set_can_default(c.widget, TRUE);
          gtk_window_set_default(GTK_WINDOW(window_), c.widget);
        }
      }
      gtk_widget_show(window_);
      gtk_window_present(GTK_WINDOW(window_));
      loop_ = g_main_loop_new(nullptr, FALSE);
      g_main_loop_run(loop_);
      g_main_loop_unref(loop_);
      loop_ = nullptr;
    }
    return result_;
  }

  // Dialog
  bool Has(int id) const override { return controls_.count(id) > 0; }

  std::u16string Text(int id) const override {
    const Control* c = Find(id);
    if (!c) return {};
    if (c->kind == ControlKind::Edit) return Utf16(gtk_entry_get_text(GTK_ENTRY(c->widget)));
    return c->text;
  }

  void SetText(int id, std::u16string_view text) override {
    Control* c = Find(id);
    if (!c) return;
    c->text = text;
    Quiet quiet(this);
    switch (c->kind) {
      case ControlKind::Edit:
        gtk_entry_set_text(GTK_ENTRY(c->widget), Utf8(text).c_str());
        break;
      case ControlKind::Static:
      case ControlKind::GroupBox:
        gtk_label_set_text_with_mnemonic(GTK_LABEL(c->mnemonic_label), MnemonicText(text).c_str());
        break;
      case ControlKind::PushButton:
      case ControlKind::CheckBox:
      case ControlKind::RadioButton:
        gtk_button_set_label(GTK_BUTTON(c->widget), MnemonicText(text).c_str());
        break;
      default:
        break;
    }
  }

  bool Checked(int id) const override {
    const Control* c = Find(id);
    return c && GTK_IS_TOGGLE_BUTTON(c->widget) &&
           gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(c->widget));
  }

  void SetChecked(int id, bool checked) override {
    const Control* c = Find(id);
    if (!c || !GTK_IS_TOGGLE_BUTTON(c->widget)) return;
    Quiet quiet(this);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(c->widget), checked);
  }

  int ListCount(int id) const override {
    const Control* c = Find(id);
    return c ? static_cast<int>(c->entries.size()) : 0;
  }

  std::u16string ListEntry(int id, int index) const override {
    const Control* c = Find(id);
    if (!c || index < 0 || index >= static_cast<int>(c->entries.size())) return {};
    return c->entries[index];
  }

  void ListAdd(int id, std::u16string_view text) override { ListInsert(id, ListCount(id), text); }

  void ListInsert(int id, int index, std::u16string_view text) override {
    Control* c = Find(id);
    if (!c || c->kind != ControlKind::ListBox || index < 0 ||
        index > static_cast<int>(c->entries.size())) {
      return;
    }
    Quiet quiet(this);
    c->entries.insert(c->entries.begin() + index, std::u16string(text));
    GtkWidget* label = gtk_label_new(Utf8(text).c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 0);
    gtk_widget_show(label);
    gtk_list_box_insert(GTK_LIST_BOX(c->focus), label, index);
  }

  void ListDelete(int id, int index) override {
    Control* c = Find(id);
    if (!c || c->kind != ControlKind::ListBox || index < 0 ||
        index >= static_cast<int>(c->entries.size())) {
      return;
    }
    Quiet quiet(this);
    c->entries.erase(c->entries.begin() + index);
    GtkListBoxRow* row = gtk_list_box_get_row_at_index(GTK_LIST_BOX(c->focus), index);
    if (row) gtk_widget_destroy(GTK_WIDGET(row));
  }

  void ListClear(int id) override {
    while (ListCount(id) > 0) ListDelete(id, 0);
  }

  int ListSelection(int id) const override {
    const Control* c = Find(id);
    if (!c || c->kind != ControlKind::ListBox) return -1;
    GtkListBoxRow* row = gtk_list_box_get_selected_row(GTK_LIST_BOX(c->focus));
    return row ? gtk_list_box_row_get_index(row) : -1;
  }

  void ListSelect(int id, int index) override {
    Control* c = Find(id);
    if (!c || c->kind != ControlKind::ListBox) return;
    Quiet quiet(this);
    GtkListBoxRow* row = index >= 0 ? gtk_list_box_get_row_at_index(GTK_LIST_BOX(c->focus), index)
                                    : nullptr;
    if (row) {
      gtk_list_box_select_row(GTK_LIST_BOX(c->focus), row);
    } else {
      gtk_list_box_unselect_all(GTK_LIST_BOX(c->focus));
    }
  }

  void Show(int id, bool shown) override {
    if (Control* c = Find(id)) gtk_widget_set_visible(c->widget, shown);
  }
  void Enable(int id, bool enabled) override {
    if (Control* c = Find(id)) gtk_widget_set_sensitive(c->widget, enabled);
  }
  bool Visible(int id) const override {
    const Control* c = Find(id);
    return c && gtk_widget_get_visible(c->widget);
  }
  bool Enabled(int id) const override {
    const Control* c = Find(id);
    return c && gtk_widget_get_sensitive(c->widget);
  }

  Rect ControlRect(int id) const override {
    const Control* c = Find(id);
    return c ? c->rect : Rect{};
  }
  void Move(int id, const Rect& rect) override {
    Control* c = Find(id);
    if (!c) return;
    c->rect = rect;
    gtk_fixed_move(GTK_FIXED(fixed_), c->widget, rect.x, rect.y);
    gtk_widget_set_size_request(c->widget, rect.width, rect.height);
  }
  Rect ClientRect() const override { return client_; }
  void SetClientHeight(int height) override {
    client_.height = height;
    gtk_widget_set_size_request(fixed_, client_.width, height);
    FixSize();
  }

  void End(int result) override {
    if (ended_) return;
    ended_ = true;
    result_ = result;
    if (loop_) g_main_loop_quit(loop_);
  }

  bool Send(const DialogMessage& message) override { return procedure_(*this, message); }

  void MessageBox(std::u16string_view title, std::u16string_view text, MessageIcon icon) override {
    ShowMessageBox(GTK_WINDOW(window_), title, text, icon);
  }

  static void ShowMessageBox(GtkWindow* parent, std::u16string_view title, std::u16string_view text,
                             MessageIcon icon) {
    GtkWidget* box = gtk_message_dialog_new(
        parent, GTK_DIALOG_MODAL,
        icon == MessageIcon::Error ? GTK_MESSAGE_ERROR : GTK_MESSAGE_INFO, GTK_BUTTONS_OK, "%s",
        Utf8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(box), Utf8(title).c_str());
    gtk_dialog_set_default_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
    gtk_dialog_run(GTK_DIALOG(box));
    gtk_widget_destroy(box);
    while (gtk_events_pending()) gtk_main_iteration();
  }

 private:
  struct Control {
    int id = 0;
    ControlKind kind = ControlKind::Static;
    bool default_button = false;
    GtkWidget* widget = nullptr;          // what is placed, shown and enabled
    GtkWidget* focus = nullptr;           // what a mnemonic moves to (the list inside its frame)
    GtkWidget* mnemonic_label = nullptr;  // labels and frames
    std::u16string text;
    Rect rect;
    std::vector<std::u16string> entries;
    WindowDialog* dialog = nullptr;
    int delta = 0;                        // up-down arrows
  };

  // Changes made by the procedures send no notifications.
  struct Quiet {
    explicit Quiet(WindowDialog* d) : d_(d) { ++d_->quiet_; }
    ~Quiet() { --d_->quiet_; }
    WindowDialog* d_;
  };

  void FixSize() {
    GdkGeometry hints{};
    hints.min_width = hints.max_width = client_.width;
    hints.min_height = hints.max_height = client_.height;
    gtk_window_set_geometry_hints(GTK_WINDOW(window_), nullptr, &hints,
                                  static_cast<GdkWindowHints>(GDK_HINT_MIN_SIZE | GDK_HINT_MAX_SIZE));
    gtk_window_resize(GTK_WINDOW(window_), client_.width, client_.height);
    // A dialog that grows keeps its place, unless its bottom would leave
    // the screen: then it moves up as far as needed.
    if (!gtk_widget_get_realized(window_)) return;
    GdkMonitor* monitor = gdk_display_get_monitor_at_window(gtk_widget_get_display(window_),
                                                            gtk_widget_get_window(window_));
    if (!monitor) return;
    GdkRectangle area{};
    gdk_monitor_get_workarea(monitor, &area);
    int x = 0, y = 0;
    gtk_window_get_position(GTK_WINDOW(window_), &x, &y);
    if (y + client_.height > area.y + area.height) {
      gtk_window_move(GTK_WINDOW(window_), x, std::max(area.y, area.y + area.height - client_.height));
    }
  }

  Control* Find(int id) {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
  }
  const Control* Find(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
  }

  void Command(int id, int notification = kClicked) {
    if (quiet_ == 0 && !ended_) Send(DialogMessage::Command(id, notification));
  }

  void Build(Control& c, const ControlTemplate& t, GtkWidget*& previous_radio) {
    c.dialog = this;
    c.default_button = (t.style & kDefaultButton) != 0;
    const std::string label = MnemonicText(t.text);
    switch (t.kind) {
      case ControlKind::Static:
        c.widget = c.mnemonic_label = gtk_label_new_with_mnemonic(label.c_str());
        gtk_label_set_xalign(GTK_LABEL(c.widget), 0);
        gtk_label_set_ellipsize(GTK_LABEL(c.widget), PANGO_ELLIPSIZE_END);
        break;
      case ControlKind::Edit:
        c.widget = gtk_entry_new();
        gtk_entry_set_width_chars(GTK_ENTRY(c.widget), 1);
        if (t.style & kPassword) gtk_entry_set_visibility(GTK_ENTRY(c.widget), FALSE);
        if (t.style & kDigitsOnly) {
          gtk_entry_set_input_purpose(GTK_ENTRY(c.widget), GTK_INPUT_PURPOSE_DIGITS);
          g_signal_connect(c.widget, "insert-text", G_CALLBACK(OnDigitsOnly), nullptr);
        }
        break;
      case ControlKind::CheckBox:
        c.widget = gtk_check_button_new_with_mnemonic(label.c_str());
        g_signal_connect(c.widget, "toggled", G_CALLBACK(OnToggled), &c);
        break;
      case ControlKind::RadioButton:
        c.widget = previous_radio
                       ? gtk_radio_button_new_with_mnemonic_from_widget(
                             GTK_RADIO_BUTTON(previous_radio), label.c_str())
                       : gtk_radio_button_new_with_mnemonic(nullptr, label.c_str());
        previous_radio = c.widget;
        g_signal_connect(c.widget, "toggled", G_CALLBACK(OnToggled), &c);
        break;
      case ControlKind::PushButton:
        c.widget = gtk_button_new_with_mnemonic(label.c_str());
        g_signal_connect(c.widget, "clicked", G_CALLBACK(OnClicked), &c);
        break;
      case ControlKind::GroupBox:
        c.widget = gtk_frame_new(nullptr);
        c.mnemonic_label = gtk_label_new_with_mnemonic(label.c_str());
        gtk_frame_set_label_widget(GTK_FRAME(c.widget), c.mnemonic_label);
        break;
      case ControlKind::ListBox: {
        c.widget = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(c.widget), GTK_POLICY_NEVER,
                                       GTK_POLICY_AUTOMATIC);
        gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(c.widget), GTK_SHADOW_IN);
        c.focus = gtk_list_box_new();
        gtk_list_box_set_selection_mode(GTK_LIST_BOX(c.focus), GTK_SELECTION_SINGLE);
        gtk_container_add(GTK_CONTAINER(c.widget), c.focus);
        g_signal_connect(c.focus, "focus-out-event", G_CALLBACK(OnListFocusOut), &c);
        g_signal_connect(c.focus, "key-press-event", G_CALLBACK(OnListKey), &c);
        break;
      }
      case ControlKind::UpDown: {
        c.widget = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        gtk_style_context_add_class(gtk_widget_get_style_context(c.widget), "updown");
        for (int delta : {-1, +1}) {
          GtkWidget* arrow = gtk_button_new_from_icon_name(
              delta < 0 ? "pan-up-symbolic" : "pan-down-symbolic", GTK_ICON_SIZE_MENU);
          gtk_widget_set_can_focus(arrow, FALSE);
          gtk_widget_set_focus_on_click(arrow, FALSE);
          g_object_set_data(G_OBJECT(arrow), "delta", GINT_TO_POINTER(delta));
          g_signal_connect(arrow, "clicked", G_CALLBACK(OnArrow), &c);
          gtk_box_pack_start(GTK_BOX(c.widget), arrow, TRUE, TRUE, 0);
        }
        break;
      }
      case ControlKind::Picture:
        c.widget = gtk_drawing_area_new();
        g_signal_connect(c.widget, "draw", G_CALLBACK(DrawPicture), GINT_TO_POINTER(t.id));
        break;
    }
    if (!c.focus) c.focus = c.widget;
    gtk_widget_set_size_request(c.widget, c.rect.width, c.rect.height);
    gtk_fixed_put(GTK_FIXED(fixed_), c.widget, c.rect.x, c.rect.y);
    gtk_widget_show_all(c.widget);
  }

  static void OnDigitsOnly(GtkEditable* editable, gchar* text, gint length, gpointer, gpointer) {
    const std::string typed(text, length < 0 ? std::strlen(text) : static_cast<std::size_t>(length));
    for (char ch : typed) {
      if (ch < '0' || ch > '9') {
        g_signal_stop_emission_by_name(editable, "insert-text");
        gtk_widget_error_bell(GTK_WIDGET(editable));
        return;
      }
    }
  }

  static void OnToggled(GtkToggleButton* button, gpointer data) {
    auto* c = static_cast<Control*>(data);
    // A radio button reports being chosen, not being left.
    if (c->kind == ControlKind::RadioButton && !gtk_toggle_button_get_active(button)) return;
    c->dialog->Command(c->id);
  }

  static void OnClicked(GtkButton*, gpointer data) {
    auto* c = static_cast<Control*>(data);
    c->dialog->Command(c->id);
  }

  static void OnArrow(GtkButton* arrow, gpointer data) {
    auto* c = static_cast<Control*>(data);
    WindowDialog* d = c->dialog;
    if (d->quiet_ == 0 && !d->ended_) {
      d->Send(DialogMessage::Notify(c->id, GPOINTER_TO_INT(g_object_get_data(G_OBJECT(arrow), "delta"))));
    }
  }

  static gboolean OnListFocusOut(GtkWidget*, GdkEvent*, gpointer data) {
    auto* c = static_cast<Control*>(data);
    c->dialog->Command(c->id, kListKillFocus);
    return FALSE;
  }

  // Alt or Ctrl with Up or Down moves the selected entry, as the arrows do.
  static gboolean OnListKey(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* c = static_cast<Control*>(data);
    if (!(event->state & (GDK_MOD1_MASK | GDK_CONTROL_MASK))) return FALSE;
    int delta = 0;
    if (event->keyval == GDK_KEY_Up || event->keyval == GDK_KEY_KP_Up) delta = -1;
    if (event->keyval == GDK_KEY_Down || event->keyval == GDK_KEY_KP_Down) delta = +1;
    if (delta == 0) return FALSE;
    WindowDialog* d = c->dialog;
    for (std::size_t i = 0; i + 1 < d->order_.size(); ++i) {
      if (d->order_[i] == c->id && d->controls_[d->order_[i + 1]].kind == ControlKind::UpDown) {
        if (!d->ended_) d->Send(DialogMessage::Notify(d->order_[i + 1], delta));
        return TRUE;
      }
    }
    return FALSE;
  }

  static gboolean OnWindowKey(GtkWidget* window, GdkEventKey* event, gpointer data) {
    auto* d = static_cast<WindowDialog*>(data);
    if (d->ended_) return TRUE;
    if (event->keyval == GDK_KEY_Escape) {
      d->Send(DialogMessage::Command(kIdEscape));
      return TRUE;
    }
    if (event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter ||
        event->keyval == GDK_KEY_ISO_Enter) {
      // Enter on a push button presses that button; anywhere else it is OK.
      GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
      if (focus && GTK_IS_BUTTON(focus) && !GTK_IS_TOGGLE_BUTTON(focus)) return FALSE;
      d->Send(DialogMessage::Command(kIdEnter));
      return TRUE;
    }
    return FALSE;
  }

  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    auto* d = static_cast<WindowDialog*>(data);
    if (!d->ended_) d->Send(DialogMessage::Close());
    return TRUE;  // the dialog is destroyed when it ends
  }

  DialogProcedure procedure_;
  std::string title_;
  GtkWidget* window_ = nullptr;
  GtkWidget* fixed_ = nullptr;
  GMainLoop* loop_ = nullptr;
  DialogUnits units_;
  Rect client_;
  std::map<int, Control> controls_;
  std::vector<int> order_;
  int quiet_ = 0;
  bool ended_ = false;
  int result_ = 0;
};

class GtkToolkit final : public DialogToolkit {
 public:
  std::optional<int> RunModal(const DialogTemplate& tmpl, DialogProcedure procedure,
                              void* /*owner: opaque on this platform*/) override {
    WindowDialog dialog(tmpl, procedure);
    return dialog.Run();
  }
  void MessageBox(std::u16string_view title, std::u16string_view text, MessageIcon icon) override {
    WindowDialog::ShowMessageBox(nullptr, title, text, icon);
  }
};

}  // namespace
}  // namespace kestrion

extern "C" __attribute__((visibility("default"))) kestrion::DialogToolkit* kestrion_dialog_toolkit(
    int version) {
  if (version != kestrion::kDialogToolkitVersion) return nullptr;
  // The host application's locale is its own: GTK must not change it.
  static const bool ready = [] {
    gtk_disable_setlocale();
    return gtk_init_check(nullptr, nullptr) != FALSE;
  }();
  if (!ready) return nullptr;
  static kestrion::GtkToolkit toolkit;
  return &toolkit;
}
