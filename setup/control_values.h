// Reading and writing the value of a key's control, and the favourite image
// format list with its check boxes and up-down control. Shared by the
// configuration dialog and the login prompt.
#pragma once

#include <optional>
#include <string_view>

#include "setup/dialog.h"
#include "toolbox/vstring.h"

namespace kestrion {

// The value a control shows: "true"/"false" for the SSL and compatibility
// boxes, "UTF-8"/"System" for the encoding pair, the extensions of the image
// list, else the control's text (at most 511 characters, spaces and tabs
// trimmed at both ends). Nothing for a text or list control the dialog lacks.
std::optional<corvane::VString> ReadControlValue(const Dialog& dialog, int id);

// Shows `value` in a control (the reverse of ReadControlValue); nothing
// clears a text control and empties the image list.
void WriteControlValue(Dialog& dialog, int id, const std::optional<corvane::VString>& value);

// The image formats: display name and extension, in their fixed order.
struct ImageFormat {
  std::u16string_view name;
  std::u16string_view extension;
};
inline constexpr ImageFormat kImageFormats[5] = {
    {u"TIFF", u".tiff"}, {u"GIF", u".gif"}, {u"JPEG", u".jpg"}, {u"PNG", u".png"}, {u"BMP", u".bmp"}};

// The list's value: the chosen extensions in order, separated by one space;
// nothing when none is chosen.
std::optional<corvane::VString> ReadImageList(const Dialog& dialog);
// Refills the list and the check boxes from a value; without a known
// extension the list shows "Any format" and is disabled.
void RefillImageList(Dialog& dialog, const std::optional<corvane::VString>& value);
// Check box 800 + `format` changed: adds or removes the format.
void ImageFormatToggled(Dialog& dialog, int format);
// The up-down control moves the selected entry by `delta`.
void MoveImageListEntry(Dialog& dialog, int delta);

}  // namespace kestrion
