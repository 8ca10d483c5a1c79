#pragma once
// The box of the server's error messages, in a process of its own: caption
// "Error", OK and Cancel, exclamation icon, on top and brought to the front.
// It is listed in the desktop's window directory under its caption, so another
// process of the suite can find it and close it (the close message).
#include <string>

namespace skylet {

// Shows the box until the user answers it; the exit code of the box program.
int RunErrorBoxWindow(int argc, char** argv, const std::string& text);

}  // namespace skylet
