#pragma once
// The server's two error boxes ("Unable to find App, %s", "Unable to Create
// Process, %s"). The server answers its clients from a loop of its own and must
// not stop answering while a box waits for the user, so the box is shown by a
// second, short-lived copy of the server program ("Skylet -ErrorBox <text>")
// on the user's desktop. The text also goes to standard error, and, when
// $VOREL_MESSAGE_LOG names a file, is appended there as one line
// "Error: <text>" (how logs and tests see it).
#include <filesystem>
#include <string>

namespace skylet {

void ShowErrorBox(const std::string& text);

// The program that shows the boxes; none (the default) writes the text only.
// The server program names itself here at its start.
void SetErrorBoxProgram(const std::filesystem::path& program);

// The switch that makes the server program show one box and end.
inline constexpr const char* kErrorBoxSwitch = "-ErrorBox";

// Whether this process can reach a desktop to show a window on.
bool HasDesktopDisplay();

}  // namespace skylet
