#pragma once
// The server's two error boxes ("Unable to find App, %s", "Unable to Create
// Process, %s"). The server has no window system of its own, so the text goes to
// standard error, and, when $VOREL_MESSAGE_LOG names a file, is appended there
// as one line "Error: <text>" (how tests and logs see it).
#include <string>

namespace skylet {

void ShowErrorBox(const std::string& text);

}  // namespace skylet
