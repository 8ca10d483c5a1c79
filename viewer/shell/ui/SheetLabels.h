#pragma once
// Language ids of the settings pages' control labels, and the page helpers that
// show language messages over a page.
#include "platform/msg/MessageBox.h"

#include <cstdint>
#include <string>

class QWidget;

namespace sheet_label {
inline constexpr uint32_t kAutoStartOn = 62720, kAutoStartOff = 62721, kStartPanel = 62722, kStartBrowser = 62723;
inline constexpr uint32_t kSaveImage = 62730, kDestination = 62731, kBrowse = 62732, kKeepNames = 62733,
                          kNewNames = 62734, kTextBefore = 62735, kTextAfter = 62736, kNoText = 62737,
                          kNoNamePart = 62738, kFolderName = 62739, kSourceName = 62740, kShotDate = 62741,
                          kSerial = 62742, kExample = 62743, kThumbnail = 62744;
inline constexpr uint32_t kRegister = 62750, kCatalogProgram = 62751, kCatalogFile = 62752, kRegistrationFolder = 62753;
inline constexpr uint32_t kCaptionCopy = 62760, kKeyword = 62761;
inline constexpr uint32_t kBuiltInViewer = 62770, kOtherViewer = 62771, kMovieProgram = 62772, kPictureProgram = 62773,
                          kCreateThumbnail = 62774;
}  // namespace sheet_label

// A language message over a page (arg fills its "%s" or "%d").
int ShowSheetMessage(QWidget* page, uint32_t textId, plat::MessageIcon icon, const std::string& arg = {},
                     plat::MessageButtons buttons = plat::MessageButtons::Ok);
