// The two dialog templates (the data source configuration dialog and the
// login prompt) and the ids of their controls.
#pragma once

#include <array>

#include "setup/dialog.h"

namespace kestrion {

// Control ids, shared by both dialogs where they show the same key.
namespace control {
inline constexpr int kDsn = 101, kDescription = 103, kUser = 105, kPassword = 107,
                     kServer = 109, kPort = 111, kConnectionTimeout = 113, kLoginTimeout = 115,
                     kQueryTimeout = 117, kPacketSize = 119, kFirstPage = 121;
inline constexpr int kOk = 200, kCancel = 201, kTest = 202, kAdvanced = 203;
inline constexpr int kSsl = 300, kUtf8 = 301, kSystem = 302;
inline constexpr int kImageList = 400, kImageUpDown = 600;
inline constexpr int kFirstImageFormat = 800;  // 800 to 804
inline constexpr int kOpenQuery = 920, kMsAccess = 921, kWindev = 922;
inline constexpr int kCompatibilityGroup = 506;
}  // namespace control

// The control of each key, in key-table order (DSN to Windev). The keys after
// these (TLSVerify, TLSCAFile) have no control: the dialogs leave them alone.
inline constexpr std::size_t kDialogKeyCount = 17;
const std::array<int, kDialogKeyCount>& KeyControls();

const DialogTemplate& ConfigurationDialogTemplate();
const DialogTemplate& LoginPromptTemplate();

// The controls that the Advanced button shows and hides.
const std::vector<int>& ConfigurationAdvancedControls();
const std::vector<int>& LoginPromptAdvancedControls();

}  // namespace kestrion
