#pragma once
// Folder and file choosers (Qt dialogs). Each returns the chosen path, or
// std::nullopt when the user cancelled. Callable from any thread: the dialog
// runs on the UI thread while the caller waits. Tests script the answers
// through ChooserScript.
#include <optional>
#include <string>

class QWidget;

namespace plat {

// Existing folders only; starts at `initialFolder` when it exists.
std::optional<std::string> chooseFolder(QWidget* parent, const std::string& title, const std::string& initialFolder);

// An existing file; `initialPath` is a folder or a file to start at; `filter`
// is in Qt's form ("Programs (*.exe);;All files (*)"), empty for every file.
std::optional<std::string> chooseOpenFile(QWidget* parent, const std::string& title, const std::string& initialPath,
                                          const std::string& filter);

// An existing file or the name of a new one (nothing is asked about an existing
// file: the caller decides what a new or an old name means).
std::optional<std::string> chooseNewOrOpenFile(QWidget* parent, const std::string& title,
                                               const std::string& initialPath, const std::string& filter);

// Filters written as description|patterns pairs ("exe file (.exe)|*.exe||") in
// Qt's form ("exe file (.exe) (*.exe)"); several patterns stay separated by
// blanks. Text already in Qt's form (no '|') is returned unchanged.
std::string fileFilterFromPairs(const std::string& pairs);

}  // namespace plat
