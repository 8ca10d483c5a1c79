#pragma once
// Context help of the upload program's dialogs: a right-click on a control shows
// that control's popup text, read from the help folder's "albumhelp.txt" by the
// help id the dialog's pair table gives the control.
//
// "albumhelp.txt" is a text-popup file: each popup begins with a line
// ".topic <help id>" and runs until the next such line; blank lines at its ends
// are dropped.
#include <QString>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

class QWidget;

namespace caravel {

inline constexpr const char* kPopupFileName = "albumhelp.txt";

// The popups of one text-popup file, by help id.
std::map<int32_t, std::string> ParsePopupTexts(const std::string& fileText);

// The popup of a help id from the install folder's help folder; empty when the
// file or the id is missing.
std::string PopupText(const std::filesystem::path& installDir, int32_t helpId);

// Gives each control of the pair table its right-click popup. The popup file
// is read when a popup is asked for, so an installed change shows at once.
void InstallContextHelp(const std::vector<std::pair<QWidget*, int32_t>>& pairs);

}  // namespace caravel
