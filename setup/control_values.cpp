#include "setup/control_values.h"

#include <vector>

#include "setup/dialog_templates.h"

namespace kestrion {

using corvane::VString;

namespace {

constexpr std::u16string_view kAnyFormat = u"Any format";
// What a control's text is read into holds 1024 bytes: 511 characters and a zero.
constexpr std::size_t kLongestText = 511;
// What a list entry is read into when it is moved: 15 characters and a zero.
constexpr std::size_t kLongestEntry = 15;

bool IsFlagBox(int id) {
  return id == control::kSsl || id == control::kOpenQuery || id == control::kMsAccess ||
         id == control::kWindev;
}

std::vector<std::u16string_view> Words(std::u16string_view text) {
  std::vector<std::u16string_view> words;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] <= u' ') ++i;
    std::size_t start = i;
    while (i < text.size() && text[i] > u' ') ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

}  // namespace

std::optional<VString> ReadControlValue(const Dialog& dialog, int id) {
  if (IsFlagBox(id)) return VString(dialog.Checked(id) ? u"true" : u"false");
  if (id == control::kUtf8) return VString(dialog.Checked(id) ? u"UTF-8" : u"System");
  if (!dialog.Has(id)) return std::nullopt;
  if (id == control::kImageList) return ReadImageList(dialog);
  VString text = dialog.Text(id);
  if (text.size() > kLongestText) text.resize(kLongestText);
  return text.Trimmed();
}

void WriteControlValue(Dialog& dialog, int id, const std::optional<VString>& value) {
  if (IsFlagBox(id)) {
    dialog.SetChecked(id, value && *value == u"true");
  } else if (id == control::kUtf8) {
    const bool utf8 = value && *value == u"UTF-8";
    dialog.SetChecked(control::kUtf8, utf8);
    dialog.SetChecked(control::kSystem, !utf8);
  } else if (id == control::kImageList) {
    RefillImageList(dialog, value);
  } else {
    dialog.SetText(id, value ? std::u16string_view(*value) : std::u16string_view());
  }
}

std::optional<VString> ReadImageList(const Dialog& dialog) {
  VString value;
  const int count = dialog.ListCount(control::kImageList);
  for (int i = 0; i < count; ++i) {
    const std::u16string entry = dialog.ListEntry(control::kImageList, i);
    if (entry == kAnyFormat) break;
    for (const auto& format : kImageFormats) {
      if (entry == format.name) {
        if (!value.empty()) value += u' ';
        value += format.extension;
      }
    }
  }
  if (value.empty()) return std::nullopt;
  return value;
}

void RefillImageList(Dialog& dialog, const std::optional<VString>& value) {
  dialog.ListClear(control::kImageList);
  for (int n = 0; n < 5; ++n) dialog.SetChecked(control::kFirstImageFormat + n, false);
  bool added[5] = {};
  bool any = false;
  if (value) {
    for (auto word : Words(*value)) {
      for (int n = 0; n < 5; ++n) {
        if (word == kImageFormats[n].extension && !added[n]) {
          added[n] = any = true;
          dialog.ListAdd(control::kImageList, kImageFormats[n].name);
          dialog.SetChecked(control::kFirstImageFormat + n, true);
        }
      }
    }
  }
  if (!any) {
    for (auto line : {kAnyFormat, std::u16string_view(), std::u16string_view(u"As it was"),
                      std::u16string_view(u"stored")}) {
      dialog.ListAdd(control::kImageList, line);
    }
  }
  dialog.Enable(control::kImageList, any);
  dialog.Show(control::kImageUpDown, any);
  dialog.Enable(control::kImageUpDown, any);
}

void ImageFormatToggled(Dialog& dialog, int format) {
  if (format < 0 || format >= 5) return;
  const std::u16string_view extension = kImageFormats[format].extension;
  std::optional<VString> value = ReadImageList(dialog);
  VString text = value ? *value : VString();
  if (dialog.Checked(control::kFirstImageFormat + format)) {
    if (!text.empty()) text += u' ';
    text += extension;
  } else {
    VString kept;
    for (auto word : Words(text)) {
      if (word == extension) continue;
      if (!kept.empty()) kept += u' ';
      kept += word;
    }
    text = kept;
  }
  RefillImageList(dialog, text);
}

void MoveImageListEntry(Dialog& dialog, int delta) {
  const int selected = dialog.ListSelection(control::kImageList);
  if (selected < 0) return;
  const int target = selected + delta;
  if (target < 0 || target >= dialog.ListCount(control::kImageList)) return;
  std::u16string entry = dialog.ListEntry(control::kImageList, selected);
  if (entry.size() > kLongestEntry) entry.resize(kLongestEntry);
  dialog.ListDelete(control::kImageList, selected);
  dialog.ListInsert(control::kImageList, target, entry);
  dialog.ListSelect(control::kImageList, target);
}

}  // namespace kestrion
